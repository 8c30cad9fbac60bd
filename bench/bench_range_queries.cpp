// Runs the two range queries on the national-scale sample set as "Update Map"
// runs them after the query was chosen in the list (window callbacks on a
// shown label) and times a redraw of the main map with all their result
// polygons (median of five):
//   "Wind by Power Density" from 200 to Max on 20_wind.shp,
//   "Best Solar X kWh/m2/day" from 2 to 9 on the 10 km PV layer 16_solar_tilt.shp.
//
// Usage: bench_range_queries [datadir]
// Without a directory the national set is generated once into
// $TMPDIR/ostrapel-national and reused while it is complete.

#include "common/Constants.h"
#include "common/Dialogs.h"
#include "gis/DataConnection.h"
#include "gis/Layer.h"
#include "gis/MapWidget.h"
#include "queries/QueryChecks.h"
#include "queries/WindowQueryCallbacks.h"
#include "queries/md_query_functions2.h"
#include "queries/md_query_results.h"
#include "workspace/md_functions.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <vector>

namespace
{
const char *const kCompleteStamp = "complete.stamp";
const QString kPv10 = QStringLiteral( "10 km Solar PV Annual Average(KWH/M2/DAY)" );

double msSince( const QElapsedTimer &t )
{
    return t.nsecsElapsed() / 1e6;
}

QByteArray generatorStamp()
{
    const QFileInfo info( QStringLiteral( OSTRAPEL_SAMPLEDATA ) );
    return QStringLiteral( "%1 %2 %3\n" )
        .arg( info.filePath() )
        .arg( info.size() )
        .arg( info.lastModified().toMSecsSinceEpoch() )
        .toUtf8();
}

QString nationalDataDir()
{
    const QString dir = QDir( QDir::tempPath() ).filePath( "ostrapel-national" );
    QFile stamp( QDir( dir ).filePath( kCompleteStamp ) );
    if ( stamp.open( QIODevice::ReadOnly ) && stamp.readAll() == generatorStamp() )
        return dir;
    stamp.close();
    stamp.remove();
    std::printf( "generating the national set into %s ...\n", qPrintable( dir ) );
    std::fflush( stdout );
    QProcess generator;
    generator.setProcessChannelMode( QProcess::ForwardedErrorChannel );
    generator.setStandardOutputFile( QProcess::nullDevice() );
    generator.start( QStringLiteral( OSTRAPEL_SAMPLEDATA ), { dir, "--national" } );
    if ( !generator.waitForFinished( 30 * 60 * 1000 ) || generator.exitStatus() != QProcess::NormalExit
         || generator.exitCode() != 0 )
        throw std::runtime_error( "the sample data generator failed" );
    if ( !stamp.open( QIODevice::WriteOnly ) || stamp.write( generatorStamp() ) < 0 )
        throw std::runtime_error( "cannot write the stamp file" );
    return dir;
}

void addLayer( gis::MapWidget &map, const gis::DataConnection &connection, const QString &file )
{
    auto ds = connection.findGeoDataset( file );
    if ( !ds )
        throw std::runtime_error( "missing " + file.toStdString() );
    auto layer = std::make_shared<gis::Layer>( ds );
    layer->tag = file;
    md_functions::SetLayerProperties( *layer, file, QString() );
    map.addLayer( layer );
}

struct Timing
{
    double queryMs = 0;
    qint64 results = 0;
    double redrawMs = 0;     //!< median of the redraws with the results
    double baseRedrawMs = 0; //!< median of the same redraws without them
};

double medianRedraw( gis::MapWidget &map, int runs )
{
    std::vector<double> ms;
    QElapsedTimer t;
    for ( int i = 0; i < runs; ++i )
    {
        Constants::bResultsDrawn = false;
        t.start();
        map.refresh();
        ms.push_back( msSince( t ) );
    }
    std::sort( ms.begin(), ms.end() );
    return ms[ms.size() / 2];
}

Timing runQuery( gis::MapWidget &map, QWidget &window, QLabel &label, QueryInputs inputs )
{
    Timing timing;
    // Choosing the query in the list checks its layers first (and reads the wind maximum).
    QString message;
    if ( !md_query_functions2::isQueryPossible( map, inputs.queryName, message )
         || ( !inputs.solarResource.isEmpty() && !md_query_functions2::isQueryPossible( map, inputs.solarResource, message ) ) )
        throw std::runtime_error( message.toStdString() );
    inputs.captureMap( map );
    const QueryCallbacks callbacks = makeWindowQueryCallbacks( &label, &window, &map );
    Constants::bCancelQuery = false;
    QElapsedTimer t;
    t.start();
    md_query_functions2::fill_cShapes_collection( inputs, callbacks );
    timing.queryMs = msSince( t );
    timing.results = md_query_functions2::cResults.count();

    timing.redrawMs = medianRedraw( map, 5 );
    const ResultModel kept = md_query_functions2::cResults;
    md_query_functions2::cResults.reset();
    timing.baseRedrawMs = medianRedraw( map, 5 );
    md_query_functions2::cResults = kept;
    return timing;
}

void print( const char *what, const Timing &t )
{
    std::printf( "%-34s %8lld results: query %8.1f ms; redraw with results %7.1f ms (without %7.1f ms)\n", what,
                 static_cast<long long>( t.results ), t.queryMs, t.redrawMs, t.baseRedrawMs );
}

//! Prints message boxes instead of showing them: nothing may block a bench.
class PrintingDialogs : public Dialogs
{
  public:
    void message( QWidget *, const QString &text, const QString &, Icon ) override
    {
        std::printf( "message: %s\n", qPrintable( text ) );
    }
    bool question( QWidget *, const QString &text, const QString &, Icon ) override
    {
        std::printf( "question (answered Yes): %s\n", qPrintable( text ) );
        return true;
    }
    QString openFile( QWidget *, const FileRequest & ) override { return {}; }
    QString saveFile( QWidget *, const FileRequest & ) override { return {}; }
};

int run( int argc, char **argv )
{
    QApplication app( argc, argv );
    PrintingDialogs dialogs;
    Dialogs::install( &dialogs );
    const QString dir = argc > 1 ? QString::fromLocal8Bit( argv[1] ) : nationalDataDir();

    gis::DataConnection connection;
    connection.setDatabase( dir );
    if ( !connection.connect() )
        throw std::runtime_error( "cannot connect to the data directory" );

    QWidget window;
    auto *layout = new QVBoxLayout( &window );
    auto *label = new QLabel( &window );
    auto *map = new gis::MapWidget( &window );
    layout->addWidget( label );
    layout->addWidget( map );
    map->setMinimumSize( 1000, 800 );
    window.show();
    QApplication::processEvents();

    QElapsedTimer t;
    t.start();
    addLayer( *map, connection, QStringLiteral( "39_countryboundary.shp" ) );
    addLayer( *map, connection, QStringLiteral( "16_solar_tilt.shp" ) );
    addLayer( *map, connection, QStringLiteral( "20_wind.shp" ) );
    md_functions::cLayerIndex.clear();
    for ( int i = 0; i < map->layerCount(); ++i )
        md_functions::cLayerIndex.add( map->layer( i )->tag, i );
    std::printf( "data: %s (loaded in %.1f ms)\n", qPrintable( dir ), msSince( t ) );
    std::printf( "20_wind.shp: %lld records; 16_solar_tilt.shp: %lld records\n",
                 static_cast<long long>( map->layer( 0 )->geoDataset()->recordCount() ),
                 static_cast<long long>( map->layer( 1 )->geoDataset()->recordCount() ) );
    // The query layers themselves stay hidden: the redraw shows the results over the boundary.
    map->layer( 0 )->visible = false;
    map->layer( 1 )->visible = false;
    map->setExtent( map->fullExtent() );

    QObject::connect( map, &gis::MapWidget::beforeLayerDraw, [map]( int ) {
        if ( Constants::bResultsDrawn )
            return;
        Constants::bResultsDrawn = true;
        draw_query_results( *map );
    } );

    QueryInputs wind;
    wind.queryName = QStringLiteral( "Wind by Power Density" );
    wind.minText = QStringLiteral( "200" );
    wind.maxText = QStringLiteral( "Max" );
    print( "Wind by Power Density 200 to Max", runQuery( *map, window, *label, wind ) );

    QueryInputs solar;
    solar.queryName = QStringLiteral( "Best Solar X kWh/m2/day" );
    solar.minText = QStringLiteral( "2" );
    solar.maxText = QStringLiteral( "9" );
    solar.solarResource = kPv10;
    print( "Best Solar 2 to 9, 10 km PV", runQuery( *map, window, *label, solar ) );
    Dialogs::install( nullptr );
    return 0;
}
} // namespace

int main( int argc, char **argv )
{
    if ( qEnvironmentVariableIsEmpty( "QT_QPA_PLATFORM" ) )
        qputenv( "QT_QPA_PLATFORM", "offscreen" );
    try
    {
        return run( argc, argv );
    }
    catch ( const std::exception &e )
    {
        std::fprintf( stderr, "bench_range_queries: %s\n", e.what() );
        return 1;
    }
}
