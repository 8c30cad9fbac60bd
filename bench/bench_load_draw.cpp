// Loads the national-scale sample set through the map component and draws
// it at 1000 x 800 pixels: prints the load time, the redraw times and the
// record count of every file.
//
// Usage: bench_load_draw [datadir]
// Without a directory the national set is generated once into
// $TMPDIR/ostrapel-national and reused while it is complete.

#include "BenchCommon.h"

#include "common/Constants.h"
#include "gis/DataConnection.h"
#include "gis/Layer.h"
#include "gis/MapWidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHash>

#include <cstdio>

namespace
{
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
    for ( const QString &file : Constants::kStandardFileNames )
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

//! Draws \a map once, then \a runs times more, and prints the first time and the best and median of the others.
void timeRedraws( const char *what, gis::MapWidget &map, int runs )
{
    const auto redraw = [&map]() { map.refresh(); };
    const bench::Samples first = bench::timeRuns( 1, redraw );
    const bench::Samples again = bench::timeRuns( runs, redraw );
    std::printf( "draw %-22s %9lld features: first %8.1f ms, best %8.1f ms, median %8.1f ms\n", what,
                 static_cast<long long>( visibleFeatures( map ) ), first.first(), again.best(), again.median() );
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
    timeRedraws( "all layers visible", map, runs );
    for ( const gis::LayerPtr &layer : map.layers() )
        layer->visible = shownAfterLoading( *layer );
    timeRedraws( "default visibility", map, runs );
    return 0;
}
} // namespace

int main( int argc, char **argv )
{
    return bench::benchMain( "bench_load_draw", argc, argv, run );
}
