#include "Fonts.h"

#include <QStringList>

#include <array>

namespace gis
{

namespace
{
struct StandIn
{
    QLatin1String windowsFamily; //!< lower case
    QLatin1String installedFamily;
};

constexpr std::array<StandIn, 6> kStandIns { {
    { QLatin1String( "ms sans serif" ), QLatin1String( "Liberation Sans" ) },
    { QLatin1String( "arial" ), QLatin1String( "Liberation Sans" ) },
    { QLatin1String( "arial narrow" ), QLatin1String( "Liberation Sans" ) },
    { QLatin1String( "tahoma" ), QLatin1String( "Liberation Sans" ) },
    { QLatin1String( "times new roman" ), QLatin1String( "Liberation Serif" ) },
    { QLatin1String( "courier new" ), QLatin1String( "Liberation Mono" ) },
} };
} // namespace

QString mapFontFamily( const QString &family )
{
    const QString key = family.trimmed().toLower();
    for ( const StandIn &s : kStandIns )
    {
        if ( key == s.windowsFamily )
            return s.installedFamily;
    }
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
    for ( const StandIn &s : kStandIns )
        QFont::insertSubstitution( s.windowsFamily, s.installedFamily );
}

} // namespace gis
