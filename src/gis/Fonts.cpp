#include "Fonts.h"

#include <QStringList>

#include <initializer_list>

namespace gis
{

QString mapFontFamily( const QString &family )
{
    const QString key = family.trimmed().toLower();
    if ( key == QLatin1String( "ms sans serif" ) || key == QLatin1String( "arial" ) || key == QLatin1String( "tahoma" ) )
        return QStringLiteral( "Liberation Sans" );
    if ( key == QLatin1String( "arial narrow" ) )
        return QStringLiteral( "Liberation Sans Narrow" );
    if ( key == QLatin1String( "times new roman" ) )
        return QStringLiteral( "Liberation Serif" );
    if ( key == QLatin1String( "courier new" ) )
        return QStringLiteral( "Liberation Mono" );
    return family;
}

QFont mappedFont( const QFont &font )
{
    QFont f( font );
    const QString mapped = mapFontFamily( font.family() );
    if ( mapped != font.family() )
        f.setFamilies( QStringList { mapped } );
    return f;
}

void installFontSubstitutions()
{
    for ( const char *family : { "MS Sans Serif", "Arial", "Arial Narrow", "Tahoma", "Times New Roman", "Courier New" } )
    {
        const QString windowsFamily = QString::fromLatin1( family );
        QFont::insertSubstitution( windowsFamily, mapFontFamily( windowsFamily ) );
    }
}

} // namespace gis
