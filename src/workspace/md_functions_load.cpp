#include "md_functions.h"

#include "DamageReport.h"
#include "common/Constants.h"
#include "common/Dialogs.h"
#include "common/ErrorMessage.h"
#include "gis/GisError.h"
#include "gis/MapWidget.h"
#include "legend/LegendControl.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace
{
constexpr int kLayerLimit = 27;
constexpr qint64 kManyRecords = 50;

/**
 * The ".shp" names of \a directory, extension matched without regard to
 * case, in name order without regard to case (ties in case-sensitive order),
 * so that every machine loads the layers in the same order. A FIFO, device,
 * dangling link or folder of such a name is listed too, to be reported as
 * damaged.
 */
QStringList shapefileNames( const QString &directory )
{
    QDir dir( directory );
    dir.setNameFilters( { QStringLiteral( "*.shp" ) } );
    dir.setFilter( QDir::Files | QDir::System | QDir::Dirs | QDir::NoDotAndDotDot );
    dir.setSorting( QDir::Unsorted );
    QStringList names = dir.entryList();
    std::sort( names.begin(), names.end(), []( const QString &a, const QString &b ) {
        const int c = a.compare( b, Qt::CaseInsensitive );
        return c != 0 ? c < 0 : a < b;
    } );
    return names;
}

void reloadLegendAndRedraw( gis::MapWidget &map, LegendControl &legend )
{
    legend.clear();
    legend.loadLegend( true );
    // setExtent() ignores an empty rectangle (layers without records) and would not redraw
    const gis::Rect full = map.layerCount() > 0 ? map.fullExtent() : gis::Rect();
    if ( !full.isNull() )
        map.setExtent( full );
    else
        map.refresh();
}
} // namespace

namespace md_functions
{

void LoadProject( const QString &fileTitle, const QString &fullFileName, gis::MapWidget &map, LegendControl &legend )
{
    Q_UNUSED( fileTitle )
    DamageReport damage;
    try
    {
        map.clearLayers();
        cLayerIndex.clear();

        // The chosen file's own directory: cutting the path at the file's
        // name would stop early in a parent folder that bears that name.
        sDataPath = QDir::toNativeSeparators( QFileInfo( fullFileName ).absolutePath() );
        if ( !sDataPath.endsWith( QDir::separator() ) )
            sDataPath += QDir::separator();

        auto connection = std::make_shared<gis::DataConnection>();
        connection->setDatabase( sDataPath );
        Constants::oDataConnection = connection;
        if ( !connection->connect() )
        {
            Dialogs::instance().message( QApplication::activeWindow(),
                                         QStringLiteral( "No data found... Data Connection error #" )
                                             + QString::number( connection->connectError() ),
                                         kAppTitle, Dialogs::Icon::Exclamation );
        }
        else
        {
            const QStringList names = shapefileNames( sDataPath );
            QSet<QString> loaded;
            for ( qsizetype n = 0; n < names.size(); ++n )
            {
                if ( n > 0 && map.layerCount() > kLayerLimit )
                {
                    Dialogs::instance().message(
                        QApplication::activeWindow(),
                        QStringLiteral( "Sorry, this program was not meant to handle more than " )
                            + QString::number( kLayerLimit )
                            + QStringLiteral( " layers.  Please reduce the number of shape (.shp) files in the data directory." ),
                        kAppTitle, Dialogs::Icon::None );
                    break;
                }

                const QString &name = names.at( n );
                // The index cannot hold two names that differ only in case: the first one wins.
                if ( !StandardFile( name ) || loaded.contains( name.toLower() ) )
                    continue;
                gis::ReadDamage unopened;
                std::shared_ptr<gis::Dataset> dataset = connection->findGeoDataset( name, &unopened );
                if ( !dataset )
                {
                    damage.add( name, unopened );
                    continue;
                }
                damage.add( name, dataset->damage() );

                auto layer = std::make_shared<gis::Layer>();
                layer->setGeoDataset( dataset );
                layer->tag = name;
                SetLayerProperties( *layer, name, QString() );
                map.addLayer( layer );
                loaded.insert( name.toLower() );
            }

            for ( int i = 0; i < map.layerCount(); ++i )
            {
                cLayerIndex.add( map.layer( i )->tag, i );
                SetDefaultVisibility( *map.layer( i ) );
            }
        }
    }
    catch ( ... )
    {
        ErrorMessage( QStringLiteral( " Error while loading the project. Error Source:md_functions.LoadProject()" ), 48 );
    }

    // However the load ended, the legend and the map must show what the map now holds.
    try
    {
        reloadLegendAndRedraw( map, legend );
    }
    catch ( ... )
    {
        ErrorMessage( QStringLiteral( " Error while loading the project. Error Source:md_functions.LoadProject()" ), 48 );
    }

    if ( !damage.isEmpty() )
        Dialogs::instance().message( QApplication::activeWindow(), damage.text(), kAppTitle, Dialogs::Icon::Exclamation );
}

bool StandardFile( const QString &fileName )
{
    try
    {
        const QString lower = fileName.toLower();
        for ( const QString &standard : Constants::sStandardFiles )
        {
            if ( lower == standard.toLower() )
                return true;
        }
        return false;
    }
    catch ( ... )
    {
        ErrorMessage( QStringLiteral( "Error Source:md_functions.StandardFile()" ), 48 );
        return false;
    }
}

void SetDefaultVisibility( gis::Layer &layer )
{
    try
    {
        static const QSet<QString> hidden = {
            QStringLiteral( "01_elevation.shp" ),      QStringLiteral( "02_landuse.shp" ),
            QStringLiteral( "11_solar_direct.shp" ),   QStringLiteral( "12_solar_tilt.shp" ),
            QStringLiteral( "30_lakes.shp" ),          QStringLiteral( "31_protectedarea.shp" ),
            QStringLiteral( "36_subcountrybnd3.shp" ), QStringLiteral( "37_subcountrybnd2.shp" ),
            QStringLiteral( "40_rivers.shp" ),         QStringLiteral( "42_railroad.shp" ),
            QStringLiteral( "44_transmissionline.shp" ), QStringLiteral( "50_protectedarea.shp" ),
            QStringLiteral( "52_facilities.shp" ),     QStringLiteral( "53_airports.shp" ),
        };
        const QString &tag = layer.tag;
        if ( hidden.contains( tag ) )
        {
            layer.visible = false;
        }
        else if ( tag == QLatin1String( "20_wind.shp" ) )
        {
            layer.visible = false;
            // Only the further text goes: every query finds the layer by its tag.
            layer.textProperty.clear();
        }
        else if ( tag == QLatin1String( "38_subcountrybnd1.shp" ) || tag == QLatin1String( "51_powerplant.shp" ) )
        {
            layer.visible = true;
        }
        else if ( tag == QLatin1String( "43_roads.shp" ) || tag == QLatin1String( "59_cities.shp" ) )
        {
            layer.visible = isSetLayerVisible( layer );
        }
    }
    catch ( ... )
    {
        ErrorMessage( QStringLiteral( "Erro while setting default visibility Error Source:md_functions.SetDefaultVisibility()" ), 48 );
    }
}

bool isSetLayerVisible( const gis::Layer &layer )
{
    try
    {
        if ( !layer.geoDataset() )
            throw gis::GisError( "layer without dataset" );
        return layer.geoDataset()->recordCount() < kManyRecords;
    }
    catch ( ... )
    {
        Dialogs::instance().message( QApplication::activeWindow(),
                                     QStringLiteral( "Error in isSetLayerVisible() function. Error while trying to count the number of features in a layer layer and set its visibility. " ),
                                     kAppTitle, Dialogs::Icon::None );
        return false;
    }
}

} // namespace md_functions
