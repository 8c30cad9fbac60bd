// Runs the siting queries on the national-scale sample set through the
// "Update Map" button of the query panel, in a window laid out like the main
// window's query side, after the set was opened with LoadProject:
//   "Wind by Power Density" from 500 to Max on 20_wind.shp,
//   "Best Solar X kWh/m2/day" from 3.5 to 9 on the resource
//   "10 km Solar PV Annual Average(KWH/M2/DAY)" (16_solar_tilt.shp, ANNTILT).
// The run gets callbacks whose yield does nothing and never cancels, so the
// figures are the engine's own. Results are painted into every redraw of the
// map from its before-layer-draw event, as the main window does.
//
// For each query: the dispatcher call the button makes, on the inputs the
// button freezes; the whole click (input check, query, legend reload,
// redraw), with the bench's callbacks and with the window's own; and
// redraws of the 1000 x 800 map with all result polygons.
//
// Then the five overlay queries, each as the button runs it (and then the
// whole click, for comparison), wind 500 to Max,
// land uses GRASSLAND, SAVANNA and AGRICULTURE, roads 2 km, transmission
// lines 5 km, protected areas subtracted in "Best wind (all)", with
// callbacks that answer Yes to the question of a large line layer. Each
// prints one line, the best of its runs and the summed area of its results:
//   OVERLAY name="Best wind + roads" seconds=0.512 results=32212 km2=26022.004
// and a redraw with all results of "Best wind + land use" is timed.
//
// Usage: bench_queries [datadir]
// Without a directory the national set is generated once into
// $TMPDIR/ostrapel-national and reused while it is complete.

#include "BenchCommon.h"
#include "QuerySideWidgets.h"

#include "common/Constants.h"
#include "queries/QueryNames.h"
#include "queries/md_query_functions2.h"
#include "queries/md_query_list.h"
#include "queries/md_query_results.h"
#include "workspace/md_functions.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>

namespace
{
constexpr int kQueryRuns = 5;
constexpr int kOverlayRuns = 3;
constexpr int kRedrawRuns = 7;
constexpr double kQueryTargetMs = 1000;
//! "Wind by Power Density" 500 to Max on the national set.
constexpr double kWindRangeTargetMs = 30;
constexpr double kRedrawTargetMs = 150;
const QString kFinished = QStringLiteral( "Calculating... finished" );
const QString kOverlayFinished = QStringLiteral( "Overlaying... finished" );

/**
 * The query side of a main window around a 1000 x 800 map, with the map's
 * drawing events handled as the main window handles them.
 */
class QueryWindow : public QuerySideWidgets
{
  public:
    QueryWindow()
    {
        window.resize( 1250, 820 );
        map = new gis::MapWidget( &window );
        map->setGeometry( 245, 10, 1000, 800 );

        QObject::connect( map, &gis::MapWidget::beforeLayerDraw, [this]( int ) {
            if ( !Constants::bResultsDrawn )
            {
                draw_query_results( *map );
                Constants::bResultsDrawn = true;
            }
        } );
        QObject::connect( map, &gis::MapWidget::beforeTrackingLayerDraw, [this]() { UpdateInterface(); } );
        QObject::connect( map, &gis::MapWidget::afterTrackingLayerDraw, []() { Constants::bResultsDrawn = false; } );

        createController( map, [this]() { UpdateInterface(); }, []( bool ) {} );
        // As the main window's load: the list is filled and its first entry selected.
        FillcboSelectQuery( cboSelectQuery );
        window.show();
        QApplication::processEvents();
    }

    //! What the main window's interface refresh computes on every redraw.
    void UpdateInterface()
    {
        scaleText = md_functions::CalculateScale( *map );
        cboSelectQuery->setEnabled( map->layerCount() > 0 );
    }

    //! Selects \a name in the query list as the user does, which fills the panel.
    void choose( const QString &name )
    {
        const int index = cboSelectQuery->findText( name );
        if ( index < 0 )
            throw std::runtime_error( "the query list has no " + name.toStdString() );
        cboSelectQuery->setCurrentIndex( index );
        QApplication::processEvents();
    }

    gis::MapWidget *map = nullptr; //!< owned by the window
    QString scaleText;
};

//! Callbacks of a benchmark run: no painting, a yield that does nothing and never cancels. Counts what the run reports.
struct CountingCallbacks
{
    bool finished = false;
    qint64 captions = 0;
    qint64 yields = 0;

    QueryCallbacks callbacks()
    {
        QueryCallbacks c;
        c.caption = [this]( const QString &text ) {
            if ( text == kFinished || text == kOverlayFinished )
                finished = true;
            ++captions;
        };
        c.yieldAndPollCancel = [this]() {
            ++yields;
            return false;
        };
        c.askYesNo = []( const QString & ) { return true; };
        return c;
    }
    void reset()
    {
        finished = false;
        captions = yields = 0;
    }
};

void setText( QComboBox *box, const QString &text )
{
    const int index = box->findText( text );
    if ( index >= 0 )
        box->setCurrentIndex( index );
    else
        box->setEditText( text );
}

void runQuery( QueryWindow &w, const char *what, const QString &sourceFile, double targetMs = kQueryTargetMs )
{
    QueryController &c = *w.controller;
    CountingCallbacks counting;
    const QueryCallbacks callbacks = counting.callbacks();

    // The dispatcher call of the button, on the inputs the button freezes.
    const bench::Samples query = bench::timeRuns( kQueryRuns, [&]() {
        counting.reset();
        Constants::bCancelQuery = false;
        md_query_functions2::fill_cShapes_collection( c.FreezeInputs(), callbacks );
        if ( !counting.finished )
            throw std::runtime_error( std::string( what ) + " did not finish" );
    } );

    c.setQueryCallbacks( callbacks );
    const bench::Samples click = bench::timeRuns( kQueryRuns, [&]() {
        counting.reset();
        c.cmdUpdateMap_Click();
        if ( !counting.finished )
            throw std::runtime_error( std::string( what ) + " was refused: "
                                      + w.lblWorking->text().toStdString() );
    } );
    // The window's own callbacks: captions to the working label, event pumps.
    c.setQueryCallbacks( std::nullopt );
    const bench::Samples windowClick = bench::timeRuns( kQueryRuns, [&]() {
        c.cmdUpdateMap_Click();
        if ( !md_query_functions2::QueryResults() )
            throw std::runtime_error( std::string( what ) + " found nothing with the window's callbacks" );
    } );

    const qint64 results = md_query_functions2::cResults.count();
    const gis::LayerPtr source = w.map->layer( md_functions::cLayerIndex.item( sourceFile ) );
    const qint64 records = source->geoDataset()->recordCount();
    const QueryInputs inputs = c.FreezeInputs();
    std::printf( "\n%s: %s, %lld records, %lld results; results table %s\n", what, qPrintable( sourceFile ),
                 static_cast<long long>( records ), static_cast<long long>( results ),
                 md_query_functions2::QueryResults() ? "offered" : "not offered" );
    std::printf( "inputs \"%s\" \"%s\" to \"%s\"%s%s; %lld yields, %lld captions per run\n",
                 qPrintable( inputs.queryName ), qPrintable( inputs.minText ), qPrintable( inputs.maxText ),
                 inputs.queryName == querynames::kSolar ? ", resource " : "",
                 inputs.queryName == querynames::kSolar ? qPrintable( inputs.solarResource ) : "",
                 static_cast<long long>( counting.yields ), static_cast<long long>( counting.captions ) );
    bench::printSamples( "query", records, query, targetMs );
    bench::printSamples( "click (check, query, legend, redraw)", records, click );
    bench::printSamples( "click with the window's callbacks", records, windowClick );

    // The map as the click left it: reference layers hidden, results on top.
    const qint64 baseFeatures = bench::featuresInView( *w.map );
    const bench::Samples withResults = bench::timeRuns( kRedrawRuns, [&w]() {
        Constants::bResultsDrawn = false;
        w.map->refresh();
    } );
    bench::printSamples( "redraw with all results", baseFeatures + results, withResults, kRedrawTargetMs );

    const ResultModel kept = md_query_functions2::cResults;
    md_query_functions2::cResults.reset();
    const bench::Samples without = bench::timeRuns( kRedrawRuns, [&w]() {
        Constants::bResultsDrawn = false;
        w.map->refresh();
    } );
    md_query_functions2::cResults = kept;
    bench::printSamples( "same redraw without the results", baseFeatures, without );
}

//! Sum of the areas of the result polygons, in square kilometres.
double resultSquareKm()
{
    double units = 0;
    for ( qint64 i = 0; i < md_query_functions2::cResults.count(); ++i )
        units += md_query_functions2::cResults.shape( i ).area();
    const gis::LayerPtr &layer = md_query_functions2::cResults.run().classLayer;
    const double unit = gis::groundMetresPerUnit( layer ? layer->coordinateSystem() : std::nullopt );
    return units * ( unit * unit ) / 1e6;
}

//! The panel of an overlay query: wind 500 to Max and the distances, land uses and box of the benchmark.
void setOverlayInputs( QueryWindow &w, const QString &name )
{
    QueryController &c = *w.controller;
    w.choose( name );
    setText( c.cboQueryDropDown, QStringLiteral( "500" ) );
    setText( c.cboQueryDropDown2, QStringLiteral( "Max" ) );
    if ( name == querynames::kWindAll )
    {
        c.txtQuery1[1]->setText( QStringLiteral( "5" ) );
        c.txtQuery1[2]->setText( QStringLiteral( "2" ) );
    }
    else
    {
        c.txtQuery1[2]->setText( name == querynames::kWindTransmission ? QStringLiteral( "5" ) : QStringLiteral( "2" ) );
    }
    const QStringList uses { QStringLiteral( "GRASSLAND" ), QStringLiteral( "SAVANNA" ), QStringLiteral( "AGRICULTURE" ) };
    for ( int i = 0; i < c.lstQuery1->count(); ++i )
        c.lstQuery1->item( i )->setSelected( uses.contains( c.lstQuery1->item( i )->text() ) );
    c.chkProtectedAreas->setChecked( true );
}

/**
 * Runs overlay query \a name as the button does (the dispatcher on the inputs
 * the button freezes) and prints its OVERLAY line; then times the whole click
 * (input check, query, legend reload, redraw with the results).
 */
void runOverlay( QueryWindow &w, const QString &name )
{
    QueryController &c = *w.controller;
    setOverlayInputs( w, name );
    CountingCallbacks counting;
    const QueryCallbacks callbacks = counting.callbacks();
    auto check = [&]() {
        if ( !counting.finished )
            throw std::runtime_error( name.toStdString() + " did not finish" );
    };
    const bench::Samples query = bench::timeRuns( kOverlayRuns, [&]() {
        counting.reset();
        Constants::bCancelQuery = false;
        md_query_functions2::fill_cShapes_collection( c.FreezeInputs(), callbacks );
        check();
    } );
    std::printf( "OVERLAY name=\"%s\" seconds=%.3f results=%lld km2=%.3f\n", qPrintable( name ), query.best() / 1000,
                 static_cast<long long>( md_query_functions2::cResults.count() ), resultSquareKm() );

    c.setQueryCallbacks( callbacks );
    const bench::Samples click = bench::timeRuns( kOverlayRuns, [&]() {
        counting.reset();
        c.cmdUpdateMap_Click();
        check();
    } );
    c.setQueryCallbacks( std::nullopt );
    bench::printSamples( "  click (check, query, legend, redraw)", md_query_functions2::cResults.count(), click );
    std::fflush( stdout );
}

int run( int argc, char **argv )
{
    QApplication app( argc, argv );
    bench::PrintingDialogs dialogs;
    Dialogs::install( &dialogs );
    Constants::sStandardFiles = Constants::kStandardFileNames;
    const QString dir = bench::dataDir( argc, argv );

    QueryWindow w;
    QElapsedTimer t;
    t.start();
    const QString fileTitle = QStringLiteral( "20_wind.shp" );
    md_functions::LoadProject( fileTitle, QDir( dir ).filePath( fileTitle ), *w.map, *w.legend );
    if ( w.map->layerCount() == 0 )
        throw std::runtime_error( "LoadProject loaded no layer" );
    std::printf( "data: %s, %d layers opened with LoadProject in %.1f ms; map 1000 x 800\n", qPrintable( dir ),
                 w.map->layerCount(), bench::msSince( t ) );
    std::printf( "(features of a redraw: records of the visible layers whose envelope meets the view, "
                 "plus the results)\n" );

    w.choose( querynames::kWindByPowerDensity );
    setText( w.controller->cboQueryDropDown, QStringLiteral( "500" ) );
    setText( w.controller->cboQueryDropDown2, QStringLiteral( "Max" ) );
    runQuery( w, "Wind by Power Density 500 to Max", QStringLiteral( "20_wind.shp" ), kWindRangeTargetMs );

    w.choose( querynames::kSolar );
    const QString pv10 = QStringLiteral( "10 km Solar PV Annual Average(KWH/M2/DAY)" );
    const int resource = w.controller->cboQueryDropDown3->findText( pv10 );
    if ( resource < 0 )
        throw std::runtime_error( "the solar resource list does not offer the 10 km PV layer" );
    w.controller->cboQueryDropDown3->setCurrentIndex( resource );
    setText( w.controller->cboQueryDropDown, QStringLiteral( "3.5" ) );
    setText( w.controller->cboQueryDropDown2, QStringLiteral( "9" ) );
    runQuery( w, "Best Solar 3.5 to 9, 10 km PV", QStringLiteral( "16_solar_tilt.shp" ) );
    std::printf( "solar layer and field of the run: %s, %s\n", qPrintable( md_query_functions2::sSolarLayerFile ),
                 qPrintable( md_query_functions2::sSolarField ) );

    auto records = [&w]( const char *file ) {
        return static_cast<long long>(
            w.map->layer( md_functions::cLayerIndex.item( QString::fromLatin1( file ) ) )->geoDataset()->recordCount() );
    };
    std::printf( "\noverlays: %lld wind, %lld land-use, %lld road, %lld transmission-line and %lld protected-area "
                 "records\n",
                 records( "20_wind.shp" ), records( "02_landuse.shp" ), records( "43_roads.shp" ),
                 records( "44_transmissionline.shp" ), records( "31_protectedarea.shp" ) );
    for ( const QString &name : { querynames::kWindMinusProtected, querynames::kWindLandUse, querynames::kWindRoads,
                                  querynames::kWindTransmission, querynames::kWindAll } )
    {
        runOverlay( w, name );
        if ( name == querynames::kWindLandUse )
        {
            const qint64 features = bench::featuresInView( *w.map ) + md_query_functions2::cResults.count();
            const bench::Samples redraw = bench::timeRuns( kRedrawRuns, [&w]() {
                Constants::bResultsDrawn = false;
                w.map->refresh();
            } );
            bench::printSamples( "redraw with all land-use results", features, redraw, kRedrawTargetMs );
        }
    }

    Dialogs::install( nullptr );
    return 0;
}
} // namespace

int main( int argc, char **argv )
{
    return bench::benchMain( "bench_queries", argc, argv, run );
}
