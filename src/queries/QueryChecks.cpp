#include "QueryChecks.h"

#include "QueryInputs.h"
#include "QueryNames.h"
#include "QueryNumbers.h"

#include "common/Constants.h"
#include "common/Dialogs.h"
#include "common/ErrorMessage.h"
#include "gis/MapWidget.h"
#include "workspace/ClassTables.h"

#include <QApplication>
#include <QLabel>

#include <stdexcept>

namespace md_query_functions2
{

namespace
{

const QString kWindFile = QStringLiteral( "20_wind.shp" );

const QString kNoWindFieldMessage = QStringLiteral(
    "Cannot perform the Query. Please check the Wind Energy shapefile.This can happen if there is no WINDPWRD field "
    "in the shape file." );

void plainMessage( const QString &text )
{
    Dialogs::instance().message( QApplication::activeWindow(), text, kAppTitle, Dialogs::Icon::None );
}

QString key( const QString &s )
{
    return s.trimmed().toUpper();
}

//! Shapefiles a query or solar resource needs beyond the wind layer test, in test order; nullopt for other names.
std::optional<QStringList> requiredFiles( const QString &upperName )
{
    using namespace querynames;
    if ( upperName == key( kWindByPowerDensity ) )
        return QStringList { kWindFile };
    if ( upperName == key( kWindMinusProtected ) )
        return QStringList { QStringLiteral( "31_protectedarea.shp" ) };
    if ( upperName == key( kWindLandUse ) )
        return QStringList { QStringLiteral( "02_landuse.shp" ) };
    if ( upperName == key( kWindRoads ) )
        return QStringList { QStringLiteral( "43_roads.shp" ) };
    if ( upperName == key( kWindTransmission ) )
        return QStringList { QStringLiteral( "44_transmissionline.shp" ) };
    if ( upperName == key( kWindAll ) )
        return QStringList { kWindFile, QStringLiteral( "31_protectedarea.shp" ), QStringLiteral( "02_landuse.shp" ),
                             QStringLiteral( "43_roads.shp" ), QStringLiteral( "44_transmissionline.shp" ) };
    // A solar resource needs the first standard file that carries its legend name.
    for ( const SolarResourceName &solar : SolarResourceNames )
    {
        if ( upperName == key( solar.legendName ) && !solar.files.isEmpty() )
            return QStringList { solar.files.constFirst() };
    }
    return std::nullopt;
}

bool isWindQueryKey( const QString &upperName )
{
    using namespace querynames;
    for ( const QString &n : { kWindByPowerDensity, kWindMinusProtected, kWindLandUse, kWindRoads, kWindTransmission,
                               kWindAll } )
    {
        if ( upperName == key( n ) )
            return true;
    }
    return false;
}

//! A distance as the single-precision number the checks compare; throws when the value does not fit.
float toSingle( double value )
{
    const std::optional<float> f = querynumbers::toSingle( value );
    if ( !f )
        throw std::overflow_error( "distance out of range" );
    return *f;
}

bool distanceInRange( float d )
{
    return d >= 0.001f && d <= 25.0f;
}

InputCheck refuse( const QString &message, InputCheck::Focus focus = InputCheck::Focus::None )
{
    InputCheck r;
    r.ok = false;
    r.message = message;
    r.focus = focus;
    return r;
}

} // namespace

bool isLayerExist( const std::vector<gis::LayerPtr> &layers, const QString &fileName, QString &message )
{
    try
    {
        const QString wanted = key( fileName );
        for ( const gis::LayerPtr &layer : layers )
        {
            if ( layer && key( layer->tag ) == wanted )
            {
                message.clear();
                return true;
            }
        }
        message = QStringLiteral( "This query requires " ) + fileName + QStringLiteral( " shapefile." );
        return false;
    }
    catch ( const std::exception & )
    {
        plainMessage( QStringLiteral(
            "Error in isLayerExist() function. Error while trying to check the existence of a layer. " ) );
        return false;
    }
}

bool isLayerExist( const gis::MapWidget &map, const QString &fileName, QString &message )
{
    return isLayerExist( map.layers(), fileName, message );
}

bool isQueryPossible( const gis::MapWidget &map, const QString &name, QString &message )
{
    bool possible = true;
    try
    {
        const QString n = key( name );
        if ( isWindQueryKey( n ) )
        {
            possible = isLayerExist( map, kWindFile, message );
            if ( !possible )
                return false;
            getMaxWindDensity( map );
        }

        const std::optional<QStringList> files = requiredFiles( n );
        if ( !files )
            return true;
        for ( const QString &file : *files )
        {
            possible = isLayerExist( map, file, message );
            if ( !possible )
                return false;
        }
        return possible;
    }
    catch ( const std::exception & )
    {
        plainMessage( QStringLiteral( "Error in isQueryPossible() function. Error while trying to check whether the "
                                      "query can be performed. " ) );
        return possible;
    }
}

void getMaxWindDensity( const gis::MapWidget &map )
{
    gis::Recordset records;
    try
    {
        const int index = md_functions::cLayerIndex.item( kWindFile );
        records = map.layer( index )->searchExpression( QStringLiteral( "WINDPWRD >= 0" ) );
    }
    catch ( const std::exception & )
    {
        plainMessage( kNoWindFieldMessage );
        return;
    }

    try
    {
        const gis::Statistics stats = records.calculateStatistics( QStringLiteral( "WINDPWRD" ) );
        if ( stats.count == 0 )
        {
            plainMessage( kNoWindFieldMessage );
            return;
        }
        const double m = stats.max;
        if ( m < 200 )
        {
            const QString mText = querynumbers::numberText( m );
            plainMessage( QStringLiteral( "The query results will be shown in light gray. Maximum Wind Power Density (" )
                          + mText
                          + QStringLiteral( ") is less than 200. So you may not get proper rendering in the output map. "
                                            "You will have to type in a value less than " )
                          + mText + QStringLiteral( " to perform any Wind Energy query." ) );
        }
    }
    catch ( const std::exception & )
    {
        plainMessage(
            QStringLiteral( "Error in getMaxWindDensity() function. Error while trying calculate the max wind energy. " ) );
    }
}

InputCheck CheckInputs( const QueryInputs &inputs )
{
    using namespace querynames;
    try
    {
        const QString name = key( inputs.queryName );
        if ( name == key( kNoQuery ) )
            return {};

        const std::optional<double> minimum = querynumbers::toNumber( inputs.minText );
        if ( name != key( kSolar ) )
        {
            // Only the exact word "Max" stands for the top of the scale; "max" is refused as not numeric.
            const std::optional<double> maximum = inputs.maxText.trimmed() == QLatin1String( "Max" )
                                                      ? std::optional<double>( 10000 )
                                                      : querynumbers::toNumber( inputs.maxText );
            if ( !minimum )
                return refuse( QStringLiteral( "Please enter a numeric value for Min. Wind Power Density" ) );
            if ( !maximum )
                return refuse( QStringLiteral( "Please enter a numeric value for Max. Wind Power Density" ) );
            if ( !( *maximum > *minimum ) )
                return refuse( QStringLiteral( "Max. Wind Power Density should be > Min. Wind Power Density" ) );
            if ( !( *minimum >= 0 && *minimum <= 10000 ) )
                return refuse( QStringLiteral( "Min. Wind Power Density should be >= 0 and " ) + QString::number( 10000 ) );
            if ( !( *maximum >= 0 && *maximum <= 10000 ) )
                return refuse( QStringLiteral( "Max. Wind Power Density should be >= 0 and " ) + QString::number( 10000 ) );
        }
        else
        {
            const std::optional<double> maximum = querynumbers::toNumber( inputs.maxText );
            if ( !minimum )
                return refuse( QStringLiteral( "Please enter a numeric value for Min. Solar Resource" ) );
            if ( !maximum )
                return refuse( QStringLiteral( "Please enter a numeric value for Max. Solar Resourcey" ) );
            if ( !( *maximum > *minimum ) )
                return refuse( QStringLiteral( "Max. Solar Resource should be > Min. Solar Resource" ) );
            if ( !( *minimum >= 0 && *minimum <= 10 ) )
                return refuse( QStringLiteral( "Min. Solar Resource should be >= 0 and <= 10" ) );
            if ( !( *maximum >= 0 && *maximum <= 10 ) )
                return refuse( QStringLiteral( "Max. Solar Resource should be >= 0 and <= 10" ) );
        }

        const QString notANumber = QStringLiteral( "Please enter a number for proximity value." );
        const QString selectLandUse = QStringLiteral( "Please select a land use." );
        const QString &q = inputs.queryName;
        if ( q == kWindLandUse )
        {
            if ( inputs.selectedLandUses.isEmpty() )
                return refuse( selectLandUse );
        }
        else if ( q == kWindRoads || q == kWindTransmission )
        {
            const std::optional<double> d2 = querynumbers::toNumber( inputs.distance2Text );
            if ( !d2 )
                return refuse( notANumber );
            if ( !distanceInRange( toSingle( *d2 ) ) )
                return refuse( QStringLiteral( "Proximity value must be >=0.001 and <= 25km." ) );
        }
        else if ( q == kWindAll )
        {
            const std::optional<double> d1 = querynumbers::toNumber( inputs.distance1Text );
            if ( !d1 )
                return refuse( notANumber, InputCheck::Focus::Distance1 );
            if ( !distanceInRange( toSingle( *d1 ) ) )
                return refuse( QStringLiteral( "Proximity to transmission must be >=0.001 and <= 25km." ),
                               InputCheck::Focus::Distance1 );
            const std::optional<double> d2 = querynumbers::toNumber( inputs.distance2Text );
            if ( !d2 )
                return refuse( notANumber, InputCheck::Focus::Distance2 );
            if ( !distanceInRange( toSingle( *d2 ) ) )
                return refuse( QStringLiteral( "Proximity to roads must be >=0.001 and <= 25km." ),
                               InputCheck::Focus::Distance2 );
            if ( inputs.selectedLandUses.isEmpty() )
                return refuse( selectLandUse );
        }
        return {};
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while validating input parameters. Error Source:md_functions.CheckInputs()" ),
                      48 );
        return refuse( QString() );
    }
}

void DisplayError( QLabel *lblWorking, const QString &message )
{
    try
    {
        if ( !lblWorking )
            throw std::invalid_argument( "no working label" );
        QPalette palette = lblWorking->palette();
        palette.setColor( QPalette::WindowText, QColor( 255, 0, 0 ) );
        lblWorking->setPalette( palette );
        lblWorking->setText( message );
        lblWorking->setVisible( true );
        lblWorking->window()->repaint();
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( "Error Source:md_functions.DisplayError()" ), 48 );
    }
}

} // namespace md_query_functions2
