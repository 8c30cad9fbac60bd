#include "md_functions.h"

#include "common/ErrorMessage.h"
#include "gis/GisError.h"
#include "gis/MapWidget.h"

#include <QLocale>

#include <cmath>

namespace
{
// The fifteen-digit value the scale has always been computed with.
constexpr double kPi = 3.14159265358979;
constexpr double kMilesPerMetre = 0.0006214;
constexpr double kInchesPerMetre = 39.37;
constexpr double kInchesPerMile = 5280.0 * 12.0;
constexpr double kProjectedSemiMajorAxis = 6378137.0;
constexpr double kProjectedFlattening = 0.003352813;

const QString kScaleError = QStringLiteral( " Error while calculating the scale factor. Error Source:md_functions.CalculateScale()" );
const QString kMilesError = QStringLiteral( " Error while converting degree to mile. Error Source:md_functions.DegreesToMiles()" );

//! Throws when \a v is not a finite number, as a trapping floating-point unit would.
double checked( double v )
{
    if ( !std::isfinite( v ) )
        throw gis::GisError( "floating-point failure" );
    return v;
}

double quotient( double numerator, double denominator )
{
    if ( denominator == 0 )
        throw gis::GisError( "division by zero" );
    return checked( numerator / denominator );
}

//! Whole number grouped in thousands with the regional separator of the default locale (the system's).
QString groupedWholeNumber( double value )
{
    double rounded = std::round( value );
    if ( rounded == 0 )
        rounded = 0; // no "-0"
    QLocale regional;
    // Grouping is on even where the locale's own options leave it off (the C locale's do).
    regional.setNumberOptions( regional.numberOptions() & ~QLocale::OmitGroupSeparator );
    return regional.toString( rounded, 'f', 0 );
}
} // namespace

namespace md_functions
{

double DegToRad( double degrees )
{
    try
    {
        return checked( degrees * kPi / 180 );
    }
    catch ( ... )
    {
        ErrorMessage( QStringLiteral( " Error while lconverting degree to Radian. Error Source:md_functions.DegToRad()" ), 48 );
        return 0;
    }
}

double DegreesToMiles( const gis::CoordinateSystem &crs, double lon1, double lat1, double lon2, double lat2 )
{
    if ( lon1 == lon2 && lat1 == lat2 )
        return 0;
    try
    {
        double a = kProjectedSemiMajorAxis;
        double f = kProjectedFlattening;
        if ( !crs.isProjected )
        {
            a = crs.semiMajorAxis;
            f = crs.flattening;
        }

        const double F = ( DegToRad( lat1 ) + DegToRad( lat2 ) ) / 2;
        const double G = ( DegToRad( lat1 ) - DegToRad( lat2 ) ) / 2;
        const double L = ( DegToRad( lon1 ) - DegToRad( lon2 ) ) / 2;

        const double S = std::pow( std::cos( L ), 2 ) * std::pow( std::sin( G ), 2 )
                         + std::pow( std::sin( L ), 2 ) * std::pow( std::cos( F ), 2 );
        const double C = std::pow( std::cos( L ), 2 ) * std::pow( std::cos( G ), 2 )
                         + std::pow( std::sin( L ), 2 ) * std::pow( std::sin( F ), 2 );

        const double w = checked( std::atan( std::sqrt( quotient( S, C ) ) ) );
        const double R = quotient( std::sqrt( S * C ), w );
        const double D = 2 * w * a;
        const double H1 = quotient( 3 * R - 1, 2 * C );
        const double H2 = quotient( 3 * R + 1, 2 * S );

        const double s = checked( ( ( H1 * std::pow( std::sin( F ), 2 ) * std::pow( std::cos( G ), 2 )
                                      - H2 * std::pow( std::cos( F ), 2 ) * std::pow( std::sin( G ), 2 ) )
                                        * f
                                    + 1 )
                                  * D );
        return checked( s * kMilesPerMetre );
    }
    catch ( ... )
    {
        ErrorMessage( kMilesError, 48 );
        return 0;
    }
}

double DegreesToMiles( const gis::MapWidget &map, double lon1, double lat1, double lon2, double lat2 )
{
    if ( lon1 == lon2 && lat1 == lat2 )
        return 0;
    try
    {
        if ( map.layerCount() < 1 || !map.layer( 0 )->coordinateSystem() )
            throw gis::GisError( "no coordinate system" );
        return DegreesToMiles( *map.layer( 0 )->coordinateSystem(), lon1, lat1, lon2, lat2 );
    }
    catch ( ... )
    {
        ErrorMessage( kMilesError, 48 );
        return 0;
    }
}

QString ScaleText( float widthTwips, const gis::Rect &extent, const std::optional<gis::CoordinateSystem> &crs )
{
    if ( !crs )
        return QStringLiteral( "- No Units - " );
    try
    {
        const float screenInches = widthTwips / 1440.0f;
        const QString unit = crs->unitName.toLower();

        double groundInches = 0;
        if ( unit == QLatin1String( "degree" ) )
        {
            const double midLatitude = ( extent.top + extent.bottom ) / 2;
            groundInches = DegreesToMiles( *crs, 0, midLatitude, extent.width(), midLatitude ) * kInchesPerMile;
        }
        else
        {
            // Any linear unit by its length in metres; a unit without a known length gives 0.
            groundInches = extent.width() * crs->metresPerUnit * kInchesPerMetre;
        }

        const double ratio = quotient( groundInches, screenInches );
        return QStringLiteral( "Scale 1 : " ) + groupedWholeNumber( ratio );
    }
    catch ( ... )
    {
        ErrorMessage( kScaleError, 48 );
        return QString();
    }
}

QString CalculateScale( const gis::MapWidget &map )
{
    try
    {
        if ( map.layerCount() < 1 )
            return QStringLiteral( "- No Map - " );
        return ScaleText( static_cast<float>( map.widthTwips() ), map.extent(), map.layer( 0 )->coordinateSystem() );
    }
    catch ( ... )
    {
        ErrorMessage( kScaleError, 48 );
        return QString();
    }
}

} // namespace md_functions
