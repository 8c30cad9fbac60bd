#pragma once

#include <QColor>
#include <QString>

namespace testsupport
{

//! The colour setMagentaResult() draws in.
inline const QColor kResultMagenta( 255, 0, 255 );

/**
 * Replaces the result model by a finished "Wind by Power Density" run
 * holding the one polygon \a wkt, filled solid magenta without outline
 * (no polygon at all when \a wkt is empty).
 */
void setMagentaResult( const QString &wkt );

} // namespace testsupport
