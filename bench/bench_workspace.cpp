// Opens the national-scale sample set as "Open Dataset..." does (LoadProject:
// every standard file, styling, default visibility, legend, full-extent
// redraw) into a 1000 x 800 map, then times the redraws a planner causes
// right after: the first redraw, a zoom in (extent halved about its
// centre), a zoom out (doubled) and a pan (shifted by a quarter width).
// Every redraw also computes the scale text, as the main window does.
// A planner opens a set once per session, so the load is timed in fresh
// processes (this program started again with --one-load) as well as
// repeated within one process.
//
// Usage: bench_workspace [datadir]
// Without a directory the national set is generated once into
// $TMPDIR/ostrapel-national and reused while it is complete.

#include "BenchCommon.h"

#include "common/Constants.h"
#include "legend/LegendControl.h"
#include "workspace/md_functions.h"

#include <QApplication>
#include <QDir>
#include <QProcess>

#include <cmath>

namespace
{
constexpr int kProcessRuns = 5;
constexpr int kLoadRuns = 5;
constexpr int kNavigationRuns = 9;
constexpr double kLoadTargetMs = 2000;
constexpr double kRedrawTargetMs = 100;

qint64 totalFeatures( const gis::MapWidget &map )
{
    qint64 n = 0;
    for ( const gis::LayerPtr &layer : map.layers() )
        n += layer->geoDataset()->recordCount();
    return n;
}

void printLoadedSet( const gis::MapWidget &map, const LegendControl &legend )
{
    std::printf( "loaded: %d layers, %lld features; legend rows %d\n", map.layerCount(),
                 static_cast<long long>( totalFeatures( map ) ), legend.rowCount() );
    std::printf( "visible after loading: %d layers, %lld features:", bench::visibleLayers( map ),
                 static_cast<long long>( bench::visibleFeatures( map ) ) );
    for ( const gis::LayerPtr &layer : map.layers() )
        if ( layer->visible )
            std::printf( " %s", qPrintable( layer->tag ) );
    std::printf( "\n" );
}

void setExtentShifted( gis::MapWidget &map, double dxFraction )
{
    gis::Rect r = map.extent();
    const double dx = r.width() * dxFraction;
    r.left += dx;
    r.right += dx;
    map.setExtent( r );
}

void setExtentScaled( gis::MapWidget &map, double factor )
{
    gis::Rect r = map.extent();
    r.scaleRectangle( factor );
    map.setExtent( r );
}

struct Session
{
    Session()
    {
        map.resize( 1000, 800 );
        map.show();
        legend.setMapSource( &map );
        legend.resize( 250, 800 );
        legend.show();
        QApplication::processEvents();
        QObject::connect( &map, &gis::MapWidget::beforeTrackingLayerDraw, [this]() {
            if ( !md_functions::CalculateScale( map ).isEmpty() )
                ++scaleTexts;
        } );
    }

    //! LoadProject as "Open Dataset..." calls it, for a file the planner picked in \a dir.
    void load( const QString &dir )
    {
        // The planner picks any file of the directory; LoadProject takes them all.
        const QString fileTitle = QStringLiteral( "20_wind.shp" );
        md_functions::LoadProject( fileTitle, QDir( dir ).filePath( fileTitle ), map, legend );
        if ( map.layerCount() == 0 )
            throw std::runtime_error( "LoadProject loaded no layer" );
    }

    gis::MapWidget map;
    LegendControl legend;
    int scaleTexts = 0;
};

//! The child of a fresh-process run: one load, one redraw, one line "<load ms> <redraw ms>".
int oneLoad( const QString &dir )
{
    Session session;
    QElapsedTimer t;
    t.start();
    session.load( dir );
    const double loadMs = bench::msSince( t );
    t.start();
    session.map.refresh();
    std::printf( "%.3f %.3f\n", loadMs, bench::msSince( t ) );
    return 0;
}

void timeFreshProcesses( const QString &dir, qint64 features, qint64 visible )
{
    bench::Samples load;
    bench::Samples firstRedraw;
    for ( int i = 0; i < kProcessRuns; ++i )
    {
        QProcess child;
        child.setProcessChannelMode( QProcess::ForwardedErrorChannel );
        child.start( QCoreApplication::applicationFilePath(), { QStringLiteral( "--one-load" ), dir } );
        if ( !child.waitForFinished( 5 * 60 * 1000 ) || child.exitStatus() != QProcess::NormalExit
             || child.exitCode() != 0 )
            throw std::runtime_error( "a fresh-process load failed" );
        // The last line is the figures; the platform may print notes before it.
        const QList<QByteArray> lines = child.readAllStandardOutput().trimmed().split( '\n' );
        const QList<QByteArray> figures = lines.last().split( ' ' );
        bool okLoad = false;
        bool okDraw = false;
        if ( figures.size() == 2 )
        {
            load.add( figures[0].toDouble( &okLoad ) );
            firstRedraw.add( figures[1].toDouble( &okDraw ) );
        }
        if ( !okLoad || !okDraw )
            throw std::runtime_error( "unexpected output of a fresh-process load" );
    }
    bench::printSamples( "LoadProject, fresh process", features, load, kLoadTargetMs );
    bench::printSamples( "first redraw after it, fresh process", visible, firstRedraw, kRedrawTargetMs );
}

int run( int argc, char **argv )
{
    QApplication app( argc, argv );
    bench::PrintingDialogs dialogs;
    Dialogs::install( &dialogs );
    // The main window's load fills the standard names that LoadProject looks for.
    Constants::sStandardFiles = Constants::kStandardFileNames;
    if ( argc > 2 && qstrcmp( argv[1], "--one-load" ) == 0 )
    {
        const int rc = oneLoad( QString::fromLocal8Bit( argv[2] ) );
        Dialogs::install( nullptr );
        return rc;
    }
    const QString dir = bench::dataDir( argc, argv );
    std::printf( "data: %s\n", qPrintable( dir ) );

    Session session;
    gis::MapWidget &map = session.map;
    bench::Samples load;
    bench::Samples firstRedraw;
    QElapsedTimer t;
    for ( int i = 0; i < kLoadRuns; ++i )
    {
        t.start();
        session.load( dir );
        load.add( bench::msSince( t ) );
        t.start();
        map.refresh();
        firstRedraw.add( bench::msSince( t ) );
    }
    printLoadedSet( map, session.legend );
    timeFreshProcesses( dir, totalFeatures( map ), bench::visibleFeatures( map ) );
    std::printf( "%-40s %9lld features: first %8.1f ms\n", "LoadProject, same process",
                 static_cast<long long>( totalFeatures( map ) ), load.first() );
    bench::printSamples( "LoadProject, same process", totalFeatures( map ), load, kLoadTargetMs );
    bench::printSamples( "first redraw after it, same process", bench::visibleFeatures( map ), firstRedraw,
                         kRedrawTargetMs );

    const gis::Rect full = map.extent();
    bench::Samples zoomIn;
    bench::Samples zoomOut;
    bench::Samples pan;
    qint64 inViewZoomedIn = 0;
    qint64 inViewZoomedOut = 0;
    qint64 inViewPanned = 0;
    for ( int i = 0; i < kNavigationRuns; ++i )
    {
        Constants::bResultsDrawn = false;
        t.start();
        setExtentScaled( map, 0.5 );
        zoomIn.add( bench::msSince( t ) );
        inViewZoomedIn = bench::featuresInView( map );

        Constants::bResultsDrawn = false;
        t.start();
        setExtentScaled( map, 2 );
        zoomOut.add( bench::msSince( t ) );
        inViewZoomedOut = bench::featuresInView( map );

        // Right, then back left: the view stays over the country.
        t.start();
        setExtentShifted( map, 0.25 );
        pan.add( bench::msSince( t ) );
        inViewPanned = bench::featuresInView( map );
        t.start();
        setExtentShifted( map, -0.25 );
        pan.add( bench::msSince( t ) );
    }
    const double drift = std::max( std::abs( map.extent().center().x - full.center().x ),
                                   std::abs( map.extent().center().y - full.center().y ) );
    std::printf( "navigation: %d scale texts computed; centre drift after the runs %.3g map units\n",
                 session.scaleTexts, drift );
    std::printf( "(features below: records of the visible layers whose envelope meets the view)\n" );
    bench::printSamples( "redraw after zoom in (x0.5)", inViewZoomedIn, zoomIn, kRedrawTargetMs );
    bench::printSamples( "redraw after zoom out (x2)", inViewZoomedOut, zoomOut, kRedrawTargetMs );
    bench::printSamples( "redraw after pan (1/4 width)", inViewPanned, pan, kRedrawTargetMs );

    Dialogs::install( nullptr );
    return 0;
}
} // namespace

int main( int argc, char **argv )
{
    return bench::benchMain( "bench_workspace", argc, argv, run );
}
