// Loads the national-scale sample set through the map component and draws
// it at 1000 x 800 pixels: prints the load time, the redraw times and the
// record count of every file.
//
// Usage: bench_load_draw [datadir]
// Without a directory the national set is generated once into
// $TMPDIR/ostrapel-national and reused while it is complete.

#include "BenchCommon.h"

#include "gis/DataConnection.h"
#include "gis/Layer.h"
#include "gis/MapWidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHash>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{
const QStringList kStandardFiles {
    "01_elevation.shp", "02_landuse.shp", "11_solar_direct.shp", "12_solar_tilt.shp", "13_solar_direct.shp",
    "14_solar_glo.shp", "15_solar_glo.shp", "16_solar_tilt.shp", "17_solar_direct.shp", "18_solar_tilt.shp",
    "20_wind.shp", "21_wind.shp", "22_wind.shp", "30_lakes.shp", "31_protectedarea.shp",
    "36_subcountrybnd3.shp", "37_subcountrybnd2.shp", "38_subcountrybnd1.shp", "39_countryboundary.shp",
    "40_rivers.shp", "42_railroad.shp", "43_roads.shp", "44_transmissionline.shp", "50_protectedarea.shp",
    "51_powerplant.shp", "52_facilities.shp", "53_airports.shp", "59_cities.shp",
};

using bench::msSince;
using bench::visibleFeatures;

//! Opens every standard file of \a dir as a layer of \a map, in the standard
//! order; returns the milliseconds each file took, by file name.
QHash<QString, double> loadLayers( const QString &dir, gis::MapWidget &map )
{
    QHash<QString, double> ms;
    QElapsedTimer t;
    gis::DataConnection connection;
    connection.setDatabase( dir );
    if ( !connection.connect() )
        throw std::runtime_error( "cannot connect to the data directory" );
    for ( const QString &file : kStandardFiles )
    {
        t.start();
        auto ds = connection.findGeoDataset( file );
        ms.insert( file, msSince( t ) );
        if ( !ds )
        {
            std::printf( "  %s: missing\n", qPrintable( file ) );
            continue;
        }
        auto layer = std::make_shared<gis::Layer>( ds );
        layer->tag = file;
        map.addLayer( layer );
    }
    return ms;
}

//! What a freshly loaded set shows: state boundaries, power plants, the
//! unstyled files, and roads and cities while they have fewer than 50 records.
bool shownAfterLoading( const gis::Layer &layer )
{
    static const QStringList shown { "38_subcountrybnd1.shp", "51_powerplant.shp", "39_countryboundary.shp", "21_wind.shp", "22_wind.shp" };
    if ( layer.tag == QLatin1String( "43_roads.shp" ) || layer.tag == QLatin1String( "59_cities.shp" ) )
        return layer.geoDataset()->recordCount() < 50;
    return shown.contains( layer.tag );
}

struct DrawTimes
{
    double first = 0;
    double best = 0;
    double median = 0;
};

DrawTimes timeRedraws( gis::MapWidget &map, int runs )
{
    DrawTimes times;
    QElapsedTimer t;
    t.start();
    map.refresh();
    times.first = msSince( t );
    std::vector<double> ms;
    for ( int i = 0; i < runs; ++i )
    {
        t.restart();
        map.refresh();
        ms.push_back( msSince( t ) );
    }
    std::sort( ms.begin(), ms.end() );
    times.best = ms.front();
    times.median = ms[ms.size() / 2];
    return times;
}

void printDrawTimes( const char *what, const DrawTimes &t, qint64 features )
{
    std::printf( "draw %-22s %9lld features: first %8.1f ms, best %8.1f ms, median %8.1f ms\n", what,
                 static_cast<long long>( features ), t.first, t.best, t.median );
}

void printCounts( const gis::MapWidget &map, const QHash<QString, double> &loadMs )
{
    std::printf( "  %-24s %9s %10s\n", "file", "records", "load ms" );
    qint64 total = 0;
    // Layer 0 is the topmost, the last one loaded: print in loading order.
    for ( int i = map.layerCount() - 1; i >= 0; --i )
    {
        const gis::Layer &layer = *map.layer( i );
        const qint64 n = layer.geoDataset()->recordCount();
        std::printf( "  %-24s %9lld %10.1f\n", qPrintable( layer.tag ), static_cast<long long>( n ), loadMs.value( layer.tag ) );
        total += n;
    }
    std::printf( "  %-24s %9lld\n", "total", static_cast<long long>( total ) );
}

int run( int argc, char **argv )
{
    QApplication app( argc, argv );
    const QString dir = bench::dataDir( argc, argv );

    gis::MapWidget map;
    map.resize( 1000, 800 );
    map.show();
    QApplication::processEvents();

    QElapsedTimer t;
    t.start();
    const QHash<QString, double> fileMs = loadLayers( dir, map );
    const double loadMs = msSince( t );
    std::printf( "data: %s\n", qPrintable( dir ) );
    printCounts( map, fileMs );
    std::printf( "load %d layers: %.1f ms\n", map.layerCount(), loadMs );

    t.restart();
    map.setExtent( map.fullExtent() );
    std::printf( "first full-extent draw (setExtent): %.1f ms\n", msSince( t ) );

    constexpr int runs = 5;
    printDrawTimes( "all layers visible", timeRedraws( map, runs ), visibleFeatures( map ) );
    for ( const gis::LayerPtr &layer : map.layers() )
        layer->visible = shownAfterLoading( *layer );
    printDrawTimes( "default visibility", timeRedraws( map, runs ), visibleFeatures( map ) );
    return 0;
}
} // namespace

int main( int argc, char **argv )
{
    return bench::benchMain( "bench_load_draw", argc, argv, run );
}
