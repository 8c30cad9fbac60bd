#include "QueryWindowFixture.h"

#include "gis/GeometryOps.h"
#include "queries/CombinedWindQuery.h"
#include "queries/LandUseOverlay.h"
#include "queries/LineBufferOverlay.h"
#include "queries/QueryNames.h"
#include "queries/md_query_functions2.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <cmath>

namespace q = md_query_functions2;
using testsupport::FieldSpec;

namespace
{

const QString kRoads = QStringLiteral( "43_roads.shp" );
const QString kLines = QStringLiteral( "44_transmissionline.shp" );
const QString kQueryFailed = QStringLiteral( "Error generated in while performing the query" );

QString line( double x0, double y0, double x1, double y1 )
{
    return QStringLiteral( "LINESTRING (%1 %2, %3 %4)" ).arg( x0 ).arg( y0 ).arg( x1 ).arg( y1 );
}

std::vector<std::vector<QVariant>> numbered( int n )
{
    std::vector<std::vector<QVariant>> rows;
    for ( int i = 0; i < n; ++i )
        rows.push_back( { i } );
    return rows;
}

//! A line layer of \a wkts with FeatureID 0, 1, 2 ... in \a srs.
gis::LayerPtr addLineLayer( QueryFixture &f, const QString &file, const QStringList &wkts )
{
    return f.addLayer( file, wkts, { { QStringLiteral( "FeatureID" ), FieldSpec::Integer } },
                       numbered( static_cast<int>( wkts.size() ) ) );
}

//! \a n short horizontal pieces along y = 500 from x = 0, 10 m apart.
QStringList shortPieces( int n )
{
    QStringList wkts;
    for ( int i = 0; i < n; ++i )
        wkts << line( 10.0 * i, 500, 10.0 * i + 8, 500 );
    return wkts;
}

//! Takes the layer of \a file off the fixture's map.
void removeLayer( QueryFixture &f, const QString &file )
{
    for ( int i = 0; i < f.map.layerCount(); ++i )
    {
        if ( f.map.layer( i )->tag == file )
        {
            f.map.removeLayer( i );
            f.rebuildIndex();
            return;
        }
    }
}

void addProtected( QueryFixture &f, const QStringList &wkts, const QStringList &names = {} )
{
    std::vector<std::vector<QVariant>> rows;
    for ( int i = 0; i < wkts.size(); ++i )
        rows.push_back( { i, i < names.size() ? names[i] : QStringLiteral( "park %1" ).arg( i ) } );
    f.addLayer( QStringLiteral( "31_protectedarea.shp" ), wkts,
                { { QStringLiteral( "FeatureID" ), FieldSpec::Integer }, { QStringLiteral( "NAME" ), FieldSpec::String, 40 } },
                rows );
}

void addLandUse( QueryFixture &f, const QStringList &wkts, const QStringList &classes )
{
    std::vector<std::vector<QVariant>> rows;
    for ( int i = 0; i < wkts.size(); ++i )
        rows.push_back( { i, classes[i] } );
    f.addLayer( QStringLiteral( "02_landuse.shp" ), wkts,
                { { QStringLiteral( "FeatureID" ), FieldSpec::Integer },
                  { QStringLiteral( "LAND_USE" ), FieldSpec::String, 40 } },
                rows );
}

//! Inputs of \a query over the fixture's map: wind from 0 to Max, both distances 1 km, GRASSLAND.
QueryInputs inputsFor( const QueryFixture &f, const QString &query )
{
    QueryInputs in;
    in.queryName = query;
    in.minText = QStringLiteral( "0" );
    in.maxText = QStringLiteral( "Max" );
    in.distance1Text = QStringLiteral( "1" );
    in.distance2Text = QStringLiteral( "1" );
    in.selectedLandUses = { QStringLiteral( "GRASSLAND" ) };
    in.landUseItemCount = 12;
    in.removeProtectedAreas = true;
    in.captureMap( f.map );
    return in;
}

//! The wind values of the results, in order.
QList<double> values()
{
    QList<double> v;
    for ( qint64 i = 0; i < q::cResults.count(); ++i )
        v << q::cResults.value( i ).toDouble();
    return v;
}

QList<double> areas()
{
    QList<double> a;
    for ( qint64 i = 0; i < q::cResults.count(); ++i )
        a << std::round( q::cResults.shape( i ).area() );
    return a;
}

//! Values and areas of the results, to compare two runs.
QList<QPair<double, double>> resultList()
{
    QList<QPair<double, double>> r;
    for ( qint64 i = 0; i < q::cResults.count(); ++i )
        r << qMakePair( q::cResults.value( i ).toDouble(), q::cResults.shape( i ).area() );
    return r;
}

} // namespace

class TestOverlayQueries : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    // protected areas
    void protectedRemainders_data();
    void protectedRemainders();
    void protectedCaptions();
    void nothingToSubtractKeepsWindWhole_data();
    void nothingToSubtractKeepsWindWhole();
    void protectedFailureBeforeTheWalk();
    void cancelKeepsAPrefix_data();
    void cancelKeepsAPrefix();

    // land use
    void landUseExpression_data();
    void landUseExpression();
    void apostropheClassSelectsItsPolygons();
    void windAcrossTwoLandUses();
    void landUseCaptionsAndEmptySelections_data();
    void landUseCaptionsAndEmptySelections();
    void landUseFailuresNameThePlace_data();
    void landUseFailuresNameThePlace();

    // line buffers
    void lineBufferCaptions_data();
    void lineBufferCaptions();
    void zoneCoversEveryBuffer();
    void largeLayerOverSixteenBits();
    void bufferOverlayCaptionsAndMisses();
    void geographicLineLayerIsRefused();
    void cancelInTheFeatureWalkRunsNoOverlay();
    void declinedQuestionThroughTheWindow();

    // combined query
    void combinedCaptionsAndResults_data();
    void combinedCaptionsAndResults();
    void combinedNeverReturnsProtectedLand();
    void combinedStopsAtEachStage_data();
    void combinedStopsAtEachStage();
    void declinedRoadQuestionAsksNoMore();
    void unreadableProtectedAreasGiveNoResult();
    void frozenInputsDuringARun();
};

void TestOverlayQueries::init()
{
    Constants::bCancelQuery = false;
    Constants::bQueryRunning = false;
    q::cResults.reset();
}

void TestOverlayQueries::cleanup()
{
    Constants::bCancelQuery = false;
    q::cResults.reset();
}

// --- protected areas ---

void TestOverlayQueries::protectedRemainders_data()
{
    QTest::addColumn<QString>( "park" );
    QTest::addColumn<QList<double>>( "areas" ); // of the three wind squares at x = 0, 1000, 2000 that remain

    QTest::newRow( "outside every square" ) << QueryFixture::square( 5000, 0, 1000 )
                                            << QList<double> { 1e6, 1e6, 1e6 };
    QTest::newRow( "square 1 wholly inside" ) << QueryFixture::square( 900, -100, 1200 ) << QList<double> { 9e5, 9e5 };
    QTest::newRow( "square 2 partly inside" ) << QueryFixture::square( 2000, 0, 500 ) << QList<double> { 1e6, 1e6, 7.5e5 };
    QTest::newRow( "sharing an edge only" ) << QueryFixture::square( 3000, 0, 1000 ) << QList<double> { 1e6, 1e6, 1e6 };
}

void TestOverlayQueries::protectedRemainders()
{
    QFETCH( QString, park );
    QFETCH( QList<double>, areas );
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 250.0, 650.0, 850.0 } );
    addProtected( f, { park } );
    RecordingCallbacks rec;

    q::fill_cShapes_collection( inputsFor( f, querynames::kWindMinusProtected ), rec.callbacks() );

    QVERIFY( dialogs.shown.empty() );
    QCOMPARE( ::areas(), areas );
    // Every remainder has the colour of its wind polygon's class.
    for ( qint64 i = 0; i < q::cResults.count(); ++i )
    {
        gis::Symbol expected;
        md_functions::SetSymbolColorByValue( QStringLiteral( "WINDPWRD" ), q::cResults.value( i ).toDouble(), &expected );
        QCOMPARE( q::cResults.symbol( i ).color, expected.color );
        QVERIFY( !q::cResults.symbol( i ).outline );
    }
}

void TestOverlayQueries::protectedCaptions()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 500.0, 600.0, 700.0 },
               { QueryFixture::square( 0, 0, 1000 ), QStringLiteral( "POLYGON EMPTY" ), QueryFixture::square( 2000, 0, 1000 ) } );
    addProtected( f, { QueryFixture::square( 0, 0, 500 ) } );
    const gis::LayerPtr roads = addLineLayer( f, kRoads, { line( 0, 0, 10, 10 ) } );
    int redraws = 0;
    RecordingCallbacks rec;
    QueryCallbacks cb = rec.callbacks();
    cb.redrawMap = [&] { ++redraws; };

    q::fill_cShapes_collection( inputsFor( f, querynames::kWindMinusProtected ), cb );

    QCOMPARE( rec.captions, ( QStringList { "Overlaying...", "Overlaying... 33.3% finished", "Overlaying... 66.7% finished",
                                            "Overlaying... 100.0% finished", "Overlaying... finished" } ) );
    QCOMPARE( rec.yields, 3 );
    QCOMPARE( redraws, 1 );
    QVERIFY( !roads->visible );
    // The record without a polygon adds nothing but moves the caption on.
    QCOMPARE( values(), ( QList<double> { 500, 700 } ) );
    QCOMPARE( Constants::sValueField, QStringLiteral( "WINDPWRD" ) );
}

void TestOverlayQueries::nothingToSubtractKeepsWindWhole_data()
{
    QTest::addColumn<QStringList>( "parks" );
    QTest::addColumn<QStringList>( "messages" );
    QTest::addColumn<QList<double>>( "areas" );

    QTest::newRow( "no protected area" ) << QStringList {} << QStringList {} << QList<double> { 1e6, 1e6 };
    QTest::newRow( "lines, no polygon" ) << QStringList { line( 0, 0, 900, 900 ), line( 0, 900, 900, 0 ) }
                                         << QStringList { "park 0 is not a polygon type", "park 1 is not a polygon type" }
                                         << QList<double> { 1e6, 1e6 };
    QTest::newRow( "a record without a shape first" )
        << QStringList { QStringLiteral( "POLYGON EMPTY" ), QueryFixture::square( 0, 0, 500 ) }
        << QStringList { "park 0 is not a polygon type" } << QList<double> { 7.5e5, 1e6 };
}

void TestOverlayQueries::nothingToSubtractKeepsWindWhole()
{
    QFETCH( QStringList, parks );
    QFETCH( QStringList, messages );
    QFETCH( QList<double>, areas );
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 500.0, 600.0 } );
    addProtected( f, parks );
    RecordingCallbacks rec;

    q::fill_cShapes_collection( inputsFor( f, querynames::kWindMinusProtected ), rec.callbacks() );

    QCOMPARE( dialogs.texts(), messages );
    for ( const auto &shown : dialogs.shown )
        QCOMPARE( shown.title, QStringLiteral( "QUELM3" ) );
    QCOMPARE( ::areas(), areas );
    QCOMPARE( rec.captions.last(), QStringLiteral( "Overlaying... finished" ) );
}

void TestOverlayQueries::protectedFailureBeforeTheWalk()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 500.0 } );
    RecordingCallbacks rec;

    q::fill_cShapes_collection( inputsFor( f, querynames::kWindMinusProtected ), rec.callbacks() );

    QCOMPARE( dialogs.texts(), QStringList { kQueryFailed } );
    QCOMPARE( rec.captions, QStringList { "Overlaying..." } );
    QCOMPARE( q::cResults.count(), qint64( 0 ) );
}

void TestOverlayQueries::cancelKeepsAPrefix_data()
{
    QTest::addColumn<QString>( "query" );
    QTest::addColumn<int>( "stopAtYield" );
    QTest::addColumn<int>( "kept" );

    using namespace querynames;
    // 60 wind squares in a row, each cut by its own protected area; 30 land-use squares of two wind squares each.
    QTest::newRow( "protected areas, before the 10th wind record" ) << kWindMinusProtected << 10 << 9;
    QTest::newRow( "roads overlay, before the 41st wind record" ) << kWindRoads << 41 << 40;
    QTest::newRow( "land use, before the 7th land-use record" ) << kWindLandUse << 7 << 12;
}

void TestOverlayQueries::cancelKeepsAPrefix()
{
    QFETCH( QString, query );
    QFETCH( int, stopAtYield );
    QFETCH( int, kept );
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    std::vector<QVariant> windValues;
    QStringList parks;
    QStringList uses;
    QStringList classes;
    for ( int i = 0; i < 60; ++i )
    {
        windValues.push_back( 300.0 + i );
        parks << QueryFixture::square( 1000.0 * i + 100, 100, 200 + 5 * i );
    }
    for ( int i = 0; i < 30; ++i )
    {
        uses << QueryFixture::square( 2000.0 * i, 0, 2000 );
        classes << QStringLiteral( "GRASSLAND" );
    }
    f.addWind( windValues );
    addProtected( f, parks );
    addLandUse( f, uses, classes );
    // The roads run along every wind square but the last ones: the whole walk finds something.
    addLineLayer( f, kRoads, { line( 0, 500, 60000, 900 ) } );
    const QueryInputs inputs = inputsFor( f, query );

    RecordingCallbacks whole;
    q::fill_cShapes_collection( inputs, whole.callbacks() );
    const QList<QPair<double, double>> all = resultList();
    QVERIFY( all.size() > kept );

    RecordingCallbacks rec;
    rec.cancelAtYield = stopAtYield; // a road layer of one feature is buffered without a yield
    q::fill_cShapes_collection( inputs, rec.callbacks() );

    QCOMPARE( resultList(), all.mid( 0, kept ) );
    QVERIFY( !rec.captions.last().endsWith( QStringLiteral( "... finished" ) ) );
    QVERIFY( !q::QueryResults() );
}

// --- land use ---

void TestOverlayQueries::landUseExpression_data()
{
    QTest::addColumn<QStringList>( "selected" );
    QTest::addColumn<QString>( "expression" );

    QTest::newRow( "one item" ) << QStringList { "AGRICULTURE" } << "(LAND_USE = 'AGRICULTURE')";
    QTest::newRow( "two items" ) << QStringList { "AGRICULTURE", "CLOSED FOREST" }
                                 << "(LAND_USE = 'AGRICULTURE') OR (LAND_USE = 'CLOSED FOREST')";
    QTest::newRow( "an apostrophe" ) << QStringList { "FARMER'S LAND" } << "(LAND_USE = 'FARMER''S LAND')";
    QTest::newRow( "blanks and commas kept" ) << QStringList { " Forest ", "COFFEE, FRUITS, AND GRAINS" }
                                              << "(LAND_USE = ' Forest ') OR (LAND_USE = 'COFFEE, FRUITS, AND GRAINS')";
}

void TestOverlayQueries::landUseExpression()
{
    QFETCH( QStringList, selected );
    QFETCH( QString, expression );
    QCOMPARE( q::CreateLandUseExpression( selected ), expression );
}

void TestOverlayQueries::apostropheClassSelectsItsPolygons()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 500.0, 600.0 } );
    addLandUse( f, { QueryFixture::square( 0, 0, 1000 ), QueryFixture::square( 1000, 0, 1000 ) },
                { QStringLiteral( "FARMER'S LAND" ), QStringLiteral( "FARMER" ) } );
    QueryInputs in = inputsFor( f, querynames::kWindLandUse );
    in.selectedLandUses = { QStringLiteral( "FARMER'S LAND" ) };
    RecordingCallbacks rec;

    q::fill_cShapes_collection( in, rec.callbacks() );

    QVERIFY( dialogs.shown.empty() );
    QCOMPARE( values(), QList<double> { 500 } );
}

void TestOverlayQueries::windAcrossTwoLandUses()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 450.0, 850.0 }, { QueryFixture::square( 0, 0, 1000 ), QueryFixture::square( 5000, 0, 1000 ) } );
    // The second land-use record covers the left 30 %, the first the right 70 % of the first wind square.
    addLandUse( f, { QueryFixture::square( 300, -500, 2000 ), QStringLiteral( "POLYGON ((-700 -500, 300 -500, 300 1500, -700 1500, -700 -500))" ) },
                { QStringLiteral( "GRASSLAND" ), QStringLiteral( "GRASSLAND" ) } );
    RecordingCallbacks rec;

    q::fill_cShapes_collection( inputsFor( f, querynames::kWindLandUse ), rec.callbacks() );

    QCOMPARE( areas(), ( QList<double> { 7e5, 3e5 } ) );
    QCOMPARE( values(), ( QList<double> { 450, 450 } ) );
    QCOMPARE( q::cResults.symbol( 0 ).color, q::cResults.symbol( 1 ).color );
}

void TestOverlayQueries::landUseCaptionsAndEmptySelections_data()
{
    QTest::addColumn<QString>( "minimum" );
    QTest::addColumn<QStringList>( "selected" );
    QTest::addColumn<QStringList>( "captions" );
    QTest::addColumn<int>( "yields" );

    QTest::newRow( "four land-use records" )
        << "0" << QStringList { "GRASSLAND", "URBAN" }
        << QStringList { "Overlaying...", "Overlaying... 25.0% finished", "Overlaying... 50.0% finished",
                         "Overlaying... 75.0% finished", "Overlaying... 100.0% finished", "Overlaying... finished" }
        << 4;
    QTest::newRow( "no wind polygon in the range" ) << "9000" << QStringList { "GRASSLAND" }
                                                    << QStringList { "Overlaying..." } << 0;
    QTest::newRow( "no land-use record of the class" ) << "0" << QStringList { "WATER" }
                                                       << QStringList { "Overlaying..." } << 0;
}

void TestOverlayQueries::landUseCaptionsAndEmptySelections()
{
    QFETCH( QString, minimum );
    QFETCH( QStringList, selected );
    QFETCH( QStringList, captions );
    QFETCH( int, yields );
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 500.0, 600.0 } );
    addLandUse( f,
                { QueryFixture::square( 0, 0, 500 ), QueryFixture::square( 9000, 0, 500 ), QStringLiteral( "POLYGON EMPTY" ),
                  QueryFixture::square( 1500, 0, 500 ), QueryFixture::square( 0, 0, 100 ) },
                { "GRASSLAND", "URBAN", "GRASSLAND", "GRASSLAND", "FOREST" } );
    QueryInputs in = inputsFor( f, querynames::kWindLandUse );
    in.minText = minimum;
    in.selectedLandUses = selected;
    RecordingCallbacks rec;

    q::fill_cShapes_collection( in, rec.callbacks() );

    QVERIFY( dialogs.shown.empty() );
    QCOMPARE( rec.captions, captions );
    QCOMPARE( rec.yields, yields );
    QCOMPARE( q::cResults.count(), qint64( yields > 0 ? 2 : 0 ) );
}

void TestOverlayQueries::landUseFailuresNameThePlace_data()
{
    QTest::addColumn<QStringList>( "selected" );
    QTest::addColumn<bool>( "withLandUseLayer" );
    QTest::addColumn<QString>( "message" );

    const QString source = QStringLiteral( " Error Source:md_query_functions2.Wind_Landuse_Overlay()" );
    QTest::newRow( "no item selected" ) << QStringList {} << true << source + "12--0";
    QTest::newRow( "no land-use layer" ) << QStringList { "GRASSLAND" } << false << source + "12--0";
}

void TestOverlayQueries::landUseFailuresNameThePlace()
{
    QFETCH( QStringList, selected );
    QFETCH( bool, withLandUseLayer );
    QFETCH( QString, message );
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 500.0 } );
    if ( withLandUseLayer )
        addLandUse( f, { QueryFixture::square( 0, 0, 500 ) }, { "GRASSLAND" } );
    QueryInputs in = inputsFor( f, querynames::kWindLandUse );
    in.selectedLandUses = selected;
    RecordingCallbacks rec;

    q::fill_cShapes_collection( in, rec.callbacks() );

    QCOMPARE( dialogs.texts(), QStringList { message } );
    QCOMPARE( q::cResults.count(), qint64( 0 ) );
}

// --- line buffers ---

void TestOverlayQueries::lineBufferCaptions_data()
{
    QTest::addColumn<int>( "features" );
    QTest::addColumn<bool>( "asked" );
    QTest::addColumn<QString>( "lastFeatureCaption" );
    QTest::addColumn<QStringList>( "mergeCaptions" );

    QTest::newRow( "one feature" ) << 1 << false << QString() << QStringList {};
    QTest::newRow( "399 features: one running union" ) << 399 << false << "Creating Roads Buffers: 399 of 399"
                                                        << QStringList {};
    QTest::newRow( "400 features: three batches" )
        << 400 << true << "Creating Roads Buffers: 400 of 400"
        << QStringList { "Creating buffer polygon 1 out of 3", "Creating buffer polygon 2 out of 3",
                         "Creating buffer polygon 3 out of 3" };
    QTest::newRow( "1213 features: twelve batches, one group" )
        << 1213 << true << "Creating Roads Buffers: 1213 of 1213"
        << QStringList { "Creating buffer polygon 1 out of 12", "Creating buffer polygon 2 out of 12",
                         "Creating buffer polygon 3 out of 12", "Creating buffer polygon 4 out of 12",
                         "Creating buffer polygon 5 out of 12", "Creating buffer polygon 6 out of 12",
                         "Creating buffer polygon 7 out of 12", "Creating buffer polygon 8 out of 12",
                         "Creating buffer polygon 9 out of 12", "Creating buffer polygon 10 out of 12",
                         "Creating buffer polygon 12 out of 12", "Creating buffer polygon 1 out of 1" };
}

void TestOverlayQueries::lineBufferCaptions()
{
    QFETCH( int, features );
    QFETCH( bool, asked );
    QFETCH( QString, lastFeatureCaption );
    QFETCH( QStringList, mergeCaptions );
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    const gis::LayerPtr roads = addLineLayer( f, kRoads, shortPieces( features ) );
    roads->name = QStringLiteral( "Roads" );
    RecordingCallbacks rec;

    const std::optional<gis::TiledArea> zone = q::create_line_buffers( inputsFor( f, querynames::kWindRoads ),
                                                                        rec.callbacks(), kRoads, 0.05f );

    QVERIFY( zone.has_value() );
    QVERIFY( dialogs.shown.empty() );
    QCOMPARE( rec.questions,
              asked ? QStringList { "This query may take few minutes to complete. Do you want to proceed?" } : QStringList {} );
    QCOMPARE( rec.yields, features - 1 );
    const QStringList walk = rec.captions.mid( 0, features - 1 );
    QCOMPARE( walk.isEmpty() ? QString() : walk.last(), lastFeatureCaption );
    if ( !walk.isEmpty() )
        QCOMPARE( walk.first(), QStringLiteral( "Creating Roads Buffers: 2 of %1" ).arg( features ) );
    QCOMPARE( rec.captions.mid( features - 1 ), mergeCaptions );
}

void TestOverlayQueries::zoneCoversEveryBuffer()
{
    QueryFixture f;
    const QStringList pieces = shortPieces( 400 );
    addLineLayer( f, kRoads, pieces );
    RecordingCallbacks rec;

    const std::optional<gis::TiledArea> zone =
        q::create_line_buffers( inputsFor( f, querynames::kWindRoads ), rec.callbacks(), kRoads, 0.003f );

    QVERIFY( zone.has_value() );
    for ( const QString &piece : pieces )
    {
        const gis::Geometry buffer = gis::ops::buffer( gis::Geometry::fromWkt( piece.toStdString() ), 3.0 );
        const gis::TiledArea::Overlap inside = zone->intersect( buffer, 0 );
        QVERIFY( inside.whole || std::fabs( inside.part.area() - buffer.area() ) < 1e-6 * buffer.area() );
    }
    // Nothing more: 400 pieces 8 m long, 2 m apart, buffered by 3 m, make one strip.
    const double strip = 3998 * 6 + M_PI * 9;
    QVERIFY( std::fabs( zone->area() - strip ) < 0.01 * strip );
}

void TestOverlayQueries::largeLayerOverSixteenBits()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 500.0, 600.0 } );
    addLineLayer( f, kRoads, shortPieces( 32768 ) );
    RecordingCallbacks rec;

    q::fill_cShapes_collection( inputsFor( f, querynames::kWindRoads ), rec.callbacks() );

    QVERIFY( dialogs.shown.empty() );
    QCOMPARE( rec.questions, QStringList { "This query may take few minutes to complete. Do you want to proceed?" } );
    QVERIFY( rec.captions.contains( QStringLiteral( "Creating Roads Buffers: 32768 of 32768" ) ) );
    QCOMPARE( values(), ( QList<double> { 500, 600 } ) );
}

void TestOverlayQueries::bufferOverlayCaptionsAndMisses()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    // The road passes square 0 and square 2; square 1 lies more than 1 km from it; square 3 is not a polygon.
    f.addWind( { 300.0, 400.0, 500.0, 600.0 },
               { QueryFixture::square( 0, 0, 1000 ), QueryFixture::square( 0, 5000, 1000 ), QueryFixture::square( 2000, 0, 1000 ),
                 QStringLiteral( "POLYGON EMPTY" ) } );
    addLineLayer( f, kLines, { line( -500, 500, 3500, 500 ) } );
    RecordingCallbacks rec;

    q::fill_cShapes_collection( inputsFor( f, querynames::kWindTransmission ), rec.callbacks() );

    QVERIFY( dialogs.shown.empty() );
    QCOMPARE( values(), ( QList<double> { 300, 500 } ) );
    QCOMPARE( rec.captions, ( QStringList { "Overlaying...", "Overlaying... 0.0% finished", "Overlaying... 25.0% finished",
                                            "Overlaying... 50.0% finished", "Overlaying... 75.0% finished",
                                            "Overlaying... finished" } ) );
    QCOMPARE( rec.yields, 4 );
}

void TestOverlayQueries::geographicLineLayerIsRefused()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 500.0 } );
    // A road layer in longitude and latitude.
    QTemporaryDir geographic;
    testsupport::writeShapefile( geographic.path(), kRoads, { line( 10.1, 45.1, 10.2, 45.2 ) },
                                 { { QStringLiteral( "FeatureID" ), FieldSpec::Integer } }, { { 0 } }, testsupport::kWgs84 );
    auto roads = std::make_shared<gis::Layer>( gis::Dataset::open( geographic.filePath( kRoads ) ) );
    roads->tag = kRoads;
    f.map.addLayer( roads );
    f.rebuildIndex();
    RecordingCallbacks rec;

    q::fill_cShapes_collection( inputsFor( f, querynames::kWindRoads ), rec.callbacks() );

    QCOMPARE( dialogs.texts(),
              QStringList { " The layer 43_roads.shp has geographic coordinates (degrees), so a buffer distance in "
                            "kilometres cannot be drawn around its features. Error "
                            "Source:md_query_functions2.create_line_buffers()" } );
    QCOMPARE( q::cResults.count(), qint64( 0 ) );
    QVERIFY( !rec.captions.contains( QStringLiteral( "Overlaying..." ) ) );
}

void TestOverlayQueries::cancelInTheFeatureWalkRunsNoOverlay()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 500.0 } );
    addLineLayer( f, kRoads, shortPieces( 30 ) );
    RecordingCallbacks rec;
    rec.cancelAtYield = 12;

    q::fill_cShapes_collection( inputsFor( f, querynames::kWindRoads ), rec.callbacks() );

    QVERIFY( dialogs.shown.empty() );
    QCOMPARE( rec.captions.last(), QStringLiteral( "Creating Roads Buffers: 12 of 30" ) );
    QCOMPARE( q::cResults.count(), qint64( 0 ) );
}

void TestOverlayQueries::declinedQuestionThroughTheWindow()
{
    QueryWindowFixture f;
    f.addWind( { 500.0, 600.0 } );
    addLineLayer( f, kRoads, shortPieces( 400 ) );
    addLineLayer( f, kLines, { line( 0, 0, 10, 10 ) } );
    QueryController &c = *f.controller;
    f.window.show();
    f.choose( querynames::kWindRoads );
    c.cboQueryDropDown->setEditText( QStringLiteral( "0" ) );
    c.cboQueryDropDown2->setEditText( QStringLiteral( "Max" ) );
    c.txtQuery1[2]->setText( QStringLiteral( "1" ) );
    c.cmdShowData->show();
    f.dialogs.reset();
    f.dialogs.yesNoAnswers = { false };

    QTest::mouseClick( c.cmdUpdateMap, Qt::LeftButton );

    QCOMPARE( f.dialogs.texts(), QStringList { "This query may take few minutes to complete. Do you want to proceed?" } );
    QVERIFY( f.dialogs.shown.front().question );
    QCOMPARE( f.dialogs.shown.front().title, QStringLiteral( "QUELM3" ) );
    QVERIFY( f.dialogs.shown.front().icon == Dialogs::Icon::None );
    QCOMPARE( q::cResults.count(), qint64( 0 ) );
    QVERIFY( c.cmdShowData->isHidden() );
    QCOMPARE( c.cmdUpdateMap->text(), QStringLiteral( "Update Map" ) );

    // Yes runs it.
    f.dialogs.reset();
    QTest::mouseClick( c.cmdUpdateMap, Qt::LeftButton );
    QCOMPARE( q::cResults.count(), qint64( 2 ) );
    QVERIFY( !c.cmdShowData->isHidden() );
}

// --- combined query ---

namespace
{
/**
 * Four GRASSLAND squares of 2 km at x = 0, 2000, 4000, 6000 (and, when
 * asked, an URBAN one over the first), two wind squares of 1 km in each, a
 * road along y = 1000, the given transmission line and a protected area of
 * 600 m inside the second wind square.
 */
void combinedWorld( QueryFixture &f, const QString &transmission, bool withUrban = false )
{
    std::vector<QVariant> windValues;
    QStringList wind;
    QStringList uses;
    for ( int i = 0; i < 8; ++i )
    {
        windValues.push_back( 300.0 + 100 * i );
        wind << QueryFixture::square( 1000.0 * i, 500, 1000 );
    }
    for ( int i = 0; i < 4; ++i )
        uses << QueryFixture::square( 2000.0 * i, 0, 2000 );
    QStringList classes { "GRASSLAND", "GRASSLAND", "GRASSLAND", "GRASSLAND" };
    if ( withUrban )
    {
        uses << QueryFixture::square( 0, 0, 2000 );
        classes << QStringLiteral( "URBAN" );
    }
    f.addWind( windValues, wind );
    addLandUse( f, uses, classes );
    addLineLayer( f, kRoads, { line( -1000, 1000, 9000, 1000 ) } );
    addLineLayer( f, kLines, { transmission } );
    addProtected( f, { QueryFixture::square( 1200, 600, 600 ) } );
}
} // namespace

void TestOverlayQueries::combinedCaptionsAndResults_data()
{
    QTest::addColumn<double>( "lineY" ); // the transmission line runs along this y
    QTest::addColumn<QStringList>( "captions" );
    QTest::addColumn<int>( "yields" );
    QTest::addColumn<QList<double>>( "areas" );

    QTest::newRow( "zones that do not meet" )
        << 30000.0
        << QStringList { "Intersecting...", "Intersecting... 0.0% finished", "Intersecting... 25.0% finished",
                         "Intersecting... 50.0% finished", "Intersecting... 75.0% finished" }
        << 1 << QList<double> {};
    // One yield for the first land-use record, one per piece; the single-feature line layers yield nothing.
    // Piece by piece, wind record by wind record; the second wind square keeps its part outside the protected area.
    QTest::newRow( "four pieces" )
        << 1200.0
        << QStringList { "Intersecting...", "Intersecting... 0.0% finished", "Intersecting... 25.0% finished",
                         "Intersecting... 50.0% finished", "Intersecting... 75.0% finished", "Overlaying... 0.0% finished",
                         "Overlaying... 25.0% finished", "Overlaying... 50.0% finished", "Overlaying... 75.0% finished",
                         "Overlaying... finished" }
        << 1 + 4 << QList<double> { 1e6, 1e6 - 3.6e5, 1e6, 1e6, 1e6, 1e6, 1e6, 1e6 };
}

void TestOverlayQueries::combinedCaptionsAndResults()
{
    QFETCH( double, lineY );
    QFETCH( QStringList, captions );
    QFETCH( int, yields );
    QFETCH( QList<double>, areas );
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    combinedWorld( f, line( -1000, lineY, 9000, lineY ) );
    RecordingCallbacks rec;

    q::fill_cShapes_collection( inputsFor( f, querynames::kWindAll ), rec.callbacks() );

    QVERIFY( dialogs.shown.empty() );
    QCOMPARE( rec.captions, captions );
    QCOMPARE( rec.yields, yields );
    QCOMPARE( ::areas(), areas );
    if ( !areas.isEmpty() )
        QCOMPARE( values(), ( QList<double> { 300, 400, 500, 600, 700, 800, 900, 1000 } ) );
}

void TestOverlayQueries::combinedNeverReturnsProtectedLand()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    std::vector<QVariant> windValues;
    QStringList wind;
    QStringList parks;
    for ( int i = 0; i < 30; ++i )
    {
        windValues.push_back( 500.0 );
        wind << QueryFixture::square( 730.0 * i, 250.0 * ( i % 3 ), 1000 );
        if ( i % 4 == 0 )
            parks << QStringLiteral( "POLYGON ((%1 0, %2 400, %1 1400, %3 600, %1 0))" )
                         .arg( 730.0 * i + 100 )
                         .arg( 730.0 * i - 300 )
                         .arg( 730.0 * i + 900 );
    }
    f.addWind( windValues, wind );
    addLandUse( f, { QueryFixture::square( -1000, -1000, 30000 ), QueryFixture::square( 5000, -500, 4000 ) },
                { "GRASSLAND", "GRASSLAND" } );
    addLineLayer( f, kRoads, { line( -1000, 700, 25000, 700 ) } );
    addLineLayer( f, kLines, { line( -1000, 500, 25000, 900 ) } );
    addProtected( f, parks );
    RecordingCallbacks rec;

    q::fill_cShapes_collection( inputsFor( f, querynames::kWindAll ), rec.callbacks() );

    QVERIFY( q::cResults.count() > 30 );
    for ( qint64 i = 0; i < q::cResults.count(); ++i )
    {
        for ( const QString &park : parks )
        {
            const gis::Geometry common =
                gis::ops::intersect( q::cResults.shape( i ), gis::Geometry::fromWkt( park.toStdString() ) );
            QVERIFY( common.isNull() || common.area() < 1e-6 );
        }
    }
}

void TestOverlayQueries::combinedStopsAtEachStage_data()
{
    QTest::addColumn<int>( "roadFeatures" );
    QTest::addColumn<int>( "stopAtYield" );
    QTest::addColumn<int>( "kept" );
    QTest::addColumn<QString>( "lastCaption" );

    QTest::newRow( "while the roads are buffered" ) << 20 << 5 << 0 << "Creating Roads Buffers: 5 of 20";
    QTest::newRow( "in the first stage" ) << 1 << 1 << 0 << "Intersecting...";
    QTest::newRow( "in the second stage, before the third piece" ) << 1 << 4 << 4 << "Overlaying... 25.0% finished";
}

void TestOverlayQueries::combinedStopsAtEachStage()
{
    QFETCH( int, roadFeatures );
    QFETCH( int, stopAtYield );
    QFETCH( int, kept );
    QFETCH( QString, lastCaption );
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    combinedWorld( f, line( -1000, 1200, 9000, 1200 ) );
    if ( roadFeatures > 1 )
    {
        QStringList pieces;
        for ( int i = 0; i < roadFeatures; ++i )
            pieces << line( -1000 + 500.0 * i, 1000, -500 + 500.0 * i, 1000 );
        removeLayer( f, kRoads );
        addLineLayer( f, kRoads, pieces );
    }
    RecordingCallbacks rec;
    rec.cancelAtYield = stopAtYield;

    q::fill_cShapes_collection( inputsFor( f, querynames::kWindAll ), rec.callbacks() );

    QCOMPARE( q::cResults.count(), qint64( kept ) );
    QCOMPARE( rec.captions.last(), lastCaption );
}

void TestOverlayQueries::declinedRoadQuestionAsksNoMore()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 500.0 } );
    addLineLayer( f, kRoads, shortPieces( 400 ) );
    addLineLayer( f, kLines, shortPieces( 450 ) );
    addLandUse( f, { QueryFixture::square( 0, 0, 5000 ) }, { "GRASSLAND" } );
    RecordingCallbacks rec;
    rec.answers = { false };

    q::fill_cShapes_collection( inputsFor( f, querynames::kWindAll ), rec.callbacks() );

    QVERIFY( dialogs.shown.empty() );
    QCOMPARE( rec.questions, QStringList { "This query may take few minutes to complete. Do you want to proceed?" } );
    QCOMPARE( q::cResults.count(), qint64( 0 ) );
    QVERIFY( rec.captions.isEmpty() );
}

void TestOverlayQueries::unreadableProtectedAreasGiveNoResult()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    combinedWorld( f, line( -1000, 1200, 9000, 1200 ) );
    // A protected-area layer without FeatureID: its records cannot be selected, so nothing could be subtracted.
    removeLayer( f, QStringLiteral( "31_protectedarea.shp" ) );
    f.addLayer( QStringLiteral( "31_protectedarea.shp" ), { QueryFixture::square( 1200, 600, 600 ) },
                { { QStringLiteral( "NAME" ), FieldSpec::String, 20 } }, { { QStringLiteral( "park" ) } } );
    RecordingCallbacks rec;

    q::fill_cShapes_collection( inputsFor( f, querynames::kWindAll ), rec.callbacks() );

    QCOMPARE( dialogs.texts(), QStringList { " Error Source:md_query_functions2.Wind_All_Overlay()" } );
    QCOMPARE( q::cResults.count(), qint64( 0 ) );
}

void TestOverlayQueries::frozenInputsDuringARun()
{
    QueryWindowFixture f;
    combinedWorld( f, line( -1000, 1200, 9000, 1200 ), true );
    QueryController &c = *f.controller;
    f.window.show();
    f.choose( querynames::kWindAll );
    c.cboQueryDropDown->setEditText( QStringLiteral( "0" ) );
    c.cboQueryDropDown2->setEditText( QStringLiteral( "Max" ) );
    c.txtQuery1[1]->setText( QStringLiteral( "1" ) );
    c.txtQuery1[2]->setText( QStringLiteral( "1" ) );
    c.chkProtectedAreas->setChecked( true );
    for ( int i = 0; i < c.lstQuery1->count(); ++i )
        c.lstQuery1->item( i )->setSelected( c.lstQuery1->item( i )->text() == QStringLiteral( "GRASSLAND" ) );

    bool panelEnabled = true;
    QueryCallbacks callbacks;
    callbacks.yieldAndPollCancel = [&]() {
        panelEnabled = c.fraEditQueryParameters->isEnabled();
        // Whatever reaches the panel during the run changes nothing of it.
        c.chkProtectedAreas->setChecked( false );
        for ( int i = 0; i < c.lstQuery1->count(); ++i )
            c.lstQuery1->item( i )->setSelected( true );
        return false;
    };
    c.setQueryCallbacks( callbacks );
    QTest::mouseClick( c.cmdUpdateMap, Qt::LeftButton );

    QVERIFY( !panelEnabled );
    QCOMPARE( areas(), ( QList<double> { 1e6, 1e6 - 3.6e5, 1e6, 1e6, 1e6, 1e6, 1e6, 1e6 } ) );
}

QTEST_MAIN( TestOverlayQueries )
#include "tst_overlay_queries.moc"
