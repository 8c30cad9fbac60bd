#pragma once

#include <QFont>
#include <QString>

namespace gis
{

/**
 * Installed family that stands in for a Windows font name: "MS Sans Serif",
 * "Arial" and "Tahoma" become "Liberation Sans", "Arial Narrow" "Liberation
 * Sans Narrow", "Times New Roman" "Liberation Serif", "Courier New"
 * "Liberation Mono" (compared without regard to case). Any other name is
 * returned unchanged.
 */
QString mapFontFamily( const QString &family );

//! \a font with its family replaced by mapFontFamily().
QFont mappedFont( const QFont &font );

//! Registers mapFontFamily()'s stand-in of every Windows family it knows as a QFont substitution.
void installFontSubstitutions();

} // namespace gis
