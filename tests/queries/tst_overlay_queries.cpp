#include "QueryWindowFixture.h"

#include "gis/GeometryOps.h"
#include "queries/LandUseOverlay.h"
#include "queries/LineBufferOverlay.h"
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
const QString kLandUse = QStringLiteral( "02_landuse.shp" );
const QString kProtected = QStringLiteral( "31_protectedarea.shp" );
const QString kAsk = QStringLiteral( "This query may take few minutes to complete. Do you want to proceed?" );

QString line( double x0, double y0, double x1, double y1 )
{
    return QStringLiteral( "LINESTRING (%1 %2, %3 %4)" ).arg( x0 ).arg( y0 ).arg( x1 ).arg( y1 );
}

//! \a n horizontal pieces along y, \a length long, one every \a step from x.
QStringList pieces( int n, double x = 0, double y = 500, double length = 8, double step = 10 )
{
    QStringList wkts;
    for ( int i = 0; i < n; ++i )
        wkts << line( x + step * i, y, x + step * i + length, y );
    return wkts;
}

void addProtected( QueryFixture &f, const QStringList &wkts )
{
    QStringList names;
    for ( int i = 0; i < wkts.size(); ++i )
        names << QStringLiteral( "park %1" ).arg( i );
    f.addNumbered( kProtected, wkts, QStringLiteral( "NAME" ), names );
}

void addLandUse( QueryFixture &f, const QStringList &wkts, const QStringList &classes )
{
    f.addNumbered( kLandUse, wkts, QStringLiteral( "LAND_USE" ), classes );
}

//! A map of overlay layers whose dialogs are recorded, and a query run as the button runs it.
struct Overlay : QueryFixture
{
    //! Inputs of \a query over the map: wind from 0 to Max, both distances 1 km, GRASSLAND.
    QueryInputs inputs( const QString &query ) const
    {
        QueryInputs in = overlayInputs( query );
        in.captureMap( map );
        return in;
    }

    void run( const QueryInputs &in ) { q::fill_cShapes_collection( in, rec.callbacks() ); }
    void run( const QString &query ) { run( inputs( query ) ); }

    void removeLayer( const QString &tag )
    {
        for ( int i = 0; i < map.layerCount(); ++i )
        {
            if ( map.layer( i )->tag == tag )
            {
                map.removeLayer( i );
                rebuildIndex();
                return;
            }
        }
    }

    testsupport::RecordingDialogs dialogs;
    RecordingCallbacks rec;
};

//! \a of each result, in order.
template <typename Of> auto eachResult( Of of )
{
    QList<decltype( of( 0 ) )> list;
    for ( qint64 i = 0; i < q::cResults.count(); ++i )
        list << of( i );
    return list;
}

QList<double> values()
{
    return eachResult( []( qint64 i ) { return q::cResults.value( i ).toDouble(); } );
}

//! In square metres, rounded.
QList<double> areas()
{
    return eachResult( []( qint64 i ) { return std::round( q::cResults.shape( i ).area() ); } );
}

//! Every result is drawn in its wind value's class colour, without outline.
void verifyClassColours()
{
    for ( qint64 i = 0; i < q::cResults.count(); ++i )
    {
        gis::Symbol expected;
        md_functions::SetSymbolColorByValue( QStringLiteral( "WINDPWRD" ), q::cResults.value( i ).toDouble(), &expected );
        QCOMPARE( q::cResults.symbol( i ).color, expected.color );
        QVERIFY( !q::cResults.symbol( i ).outline );
    }
}

/**
 * \a n wind squares of 1 km in a row from x = 0 (300, 400, 500 ...), a
 * GRASSLAND square of 2 km under every two of them (and, when asked, an
 * URBAN one over the first), a road along y = 1000, a transmission line
 * along \a lineY and a protected area of 600 m inside the second wind square.
 */
void combinedWorld( QueryFixture &f, double lineY, int n = 8, bool withUrban = false )
{
    std::vector<QVariant> windValues;
    QStringList wind;
    QStringList uses;
    for ( int i = 0; i < n; ++i )
    {
        windValues.push_back( 300.0 + 100 * i );
        wind << QueryFixture::square( 1000.0 * i, 500, 1000 );
        if ( i % 2 == 0 )
            uses << QueryFixture::square( 1000.0 * i, 0, 2000 );
    }
    QStringList classes( uses.size(), QStringLiteral( "GRASSLAND" ) );
    if ( withUrban )
    {
        uses << QueryFixture::square( 0, 0, 2000 );
        classes << QStringLiteral( "URBAN" );
    }
    f.addWind( windValues, wind );
    addLandUse( f, uses, classes );
    f.addNumbered( kRoads, { line( -1000, 1000, 1000.0 * n + 1000, 1000 ) } );
    f.addNumbered( kLines, { line( -1000, lineY, 1000.0 * n + 1000, lineY ) } );
    addProtected( f, { QueryFixture::square( 1200, 600, 600 ) } );
}

const QList<double> kCombinedAreas { 1e6, 1e6 - 3.6e5, 1e6, 1e6, 1e6, 1e6, 1e6, 1e6 };

//! Shows the window with \a query chosen, wind from 0 to Max and both distances at 1 km.
QueryController &showQuery( QueryWindowFixture &f, const QString &query )
{
    QueryController &c = *f.controller;
    f.window.show();
    f.choose( query );
    c.cboQueryDropDown->setEditText( QStringLiteral( "0" ) );
    c.cboQueryDropDown2->setEditText( QStringLiteral( "Max" ) );
    c.txtQuery1[1]->setText( QStringLiteral( "1" ) );
    c.txtQuery1[2]->setText( QStringLiteral( "1" ) );
    return c;
}

} // namespace

class TestOverlayQueries : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    // every overlay
    void failuresGiveNoResult_data();
    void failuresGiveNoResult();
    void cancelKeepsAPrefix_data();
    void cancelKeepsAPrefix();

    // protected areas
    void protectedRemainders_data();
    void protectedRemainders();
    void protectedCaptions();

    // land use
    void landUseExpression_data();
    void landUseExpression();
    void landUsePieces_data();
    void landUsePieces();

    // line buffers
    void lineBufferCaptions_data();
    void lineBufferCaptions();
    void largeLayerOverSixteenBits();
    void bufferOverlayCaptionsAndMisses();
    void geographicLineLayerIsRefused();
    void declinedQuestionThroughTheWindow();

    // combined query
    void combinedCaptionsAndResults_data();
    void combinedCaptionsAndResults();
    void combinedNeverReturnsProtectedLand();
    void declinedRoadQuestionAsksNoMore();
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

// --- every overlay ---

void TestOverlayQueries::failuresGiveNoResult_data()
{
    QTest::addColumn<QString>( "query" );
    QTest::addColumn<QString>( "missing" ); // the layer taken off the map
    QTest::addColumn<bool>( "withoutIds" ); // and put back without FeatureID
    QTest::addColumn<QStringList>( "selected" );
    QTest::addColumn<QString>( "message" );
    QTest::addColumn<QStringList>( "captions" );

    using namespace querynames;
    const QString landUse = QStringLiteral( " Error Source:md_query_functions2.Wind_Landuse_Overlay()12--0" );
    const QStringList grass { QStringLiteral( "GRASSLAND" ) };
    QTest::newRow( "no protected-area layer" ) << kWindMinusProtected << kProtected << false << grass
                                               << "Error generated in while performing the query"
                                               << QStringList { "Overlaying..." };
    QTest::newRow( "no land-use item selected" ) << kWindLandUse << QString() << false << QStringList {} << landUse
                                                 << QStringList { "Overlaying..." };
    QTest::newRow( "no land-use layer" ) << kWindLandUse << kLandUse << false << grass << landUse
                                         << QStringList { "Overlaying..." };
    // Protected records that cannot be selected cannot be subtracted.
    QTest::newRow( "combined, protected areas without FeatureID" )
        << kWindAll << kProtected << true << grass << " Error Source:md_query_functions2.Wind_All_Overlay()"
        << QStringList { "Intersecting...", "Intersecting... 0.0% finished", "Intersecting... 25.0% finished",
                         "Intersecting... 50.0% finished", "Intersecting... 75.0% finished" };
}

void TestOverlayQueries::failuresGiveNoResult()
{
    QFETCH( QString, query );
    QFETCH( QString, missing );
    QFETCH( bool, withoutIds );
    QFETCH( QStringList, selected );
    QFETCH( QString, message );
    QFETCH( QStringList, captions );
    Overlay f;
    combinedWorld( f, 1200 );
    f.removeLayer( missing );
    if ( withoutIds )
        f.addLayer( missing, { QueryFixture::square( 1200, 600, 600 ) }, { { QStringLiteral( "NAME" ), FieldSpec::String, 20 } },
                    { { QStringLiteral( "park" ) } } );
    QueryInputs in = f.inputs( query );
    in.selectedLandUses = selected;

    f.run( in );

    QCOMPARE( f.dialogs.texts(), QStringList { message } );
    QCOMPARE( f.rec.captions, captions );
    QCOMPARE( q::cResults.count(), qint64( 0 ) );
}

void TestOverlayQueries::cancelKeepsAPrefix_data()
{
    QTest::addColumn<QString>( "query" );
    QTest::addColumn<int>( "roadPieces" ); // 0: one road along every wind square
    QTest::addColumn<int>( "stopAtYield" );
    QTest::addColumn<int>( "kept" );
    QTest::addColumn<QString>( "lastCaption" );

    using namespace querynames;
    // 60 wind squares in a row, 30 land-use squares of two wind squares each.
    // A line layer of one feature is buffered without a yield; the combined query yields once for the first
    // land-use record, then once per zone piece.
    QTest::newRow( "protected areas, before the 10th wind record" )
        << kWindMinusProtected << 0 << 10 << 9 << "Overlaying... 15.0% finished";
    QTest::newRow( "land use, before the 7th land-use record" )
        << kWindLandUse << 0 << 7 << 12 << "Overlaying... 20.0% finished";
    QTest::newRow( "roads, before the 41st wind record" ) << kWindRoads << 0 << 41 << 40 << "Overlaying... 65.0% finished";
    QTest::newRow( "roads, while they are buffered" ) << kWindRoads << 30 << 12 << 0 << "Creating Roads Buffers: 12 of 30";
    QTest::newRow( "combined, while the roads are buffered" )
        << kWindAll << 20 << 5 << 0 << "Creating Roads Buffers: 5 of 20";
    QTest::newRow( "combined, in the first stage" ) << kWindAll << 0 << 1 << 0 << "Intersecting...";
    QTest::newRow( "combined, in the second stage before the 4th piece" )
        << kWindAll << 0 << 5 << 6 << "Overlaying... 6.7% finished";
}

void TestOverlayQueries::cancelKeepsAPrefix()
{
    QFETCH( QString, query );
    QFETCH( int, roadPieces );
    QFETCH( int, stopAtYield );
    QFETCH( int, kept );
    QFETCH( QString, lastCaption );
    Overlay f;
    combinedWorld( f, 1200, 60 );
    if ( roadPieces > 0 )
    {
        f.removeLayer( kRoads );
        f.addNumbered( kRoads, pieces( roadPieces, -1000, 1000, 500, 500 ) );
    }
    const QueryInputs inputs = f.inputs( query );

    // Where the results lie: the centres of their envelopes.
    auto places = [] {
        return eachResult( []( qint64 i ) {
            const gis::Point c = q::cResults.shape( i ).envelope()->center();
            return QPointF( c.x, c.y );
        } );
    };
    f.run( inputs );
    const QList<double> allValues = values();
    const QList<QPointF> allPlaces = places();
    QVERIFY( allValues.size() > kept );

    f.rec = RecordingCallbacks();
    f.rec.cancelAtYield = stopAtYield;
    f.run( inputs );

    QVERIFY( f.dialogs.shown.empty() );
    QCOMPARE( values(), allValues.mid( 0, kept ) );
    QCOMPARE( places(), allPlaces.mid( 0, kept ) );
    QCOMPARE( f.rec.captions.last(), lastCaption );
    QVERIFY( !q::QueryResults() );
}

// --- protected areas ---

void TestOverlayQueries::protectedRemainders_data()
{
    QTest::addColumn<QStringList>( "parks" );
    QTest::addColumn<QStringList>( "messages" );
    QTest::addColumn<QList<double>>( "areas" ); // of the three wind squares at x = 0, 1000, 2000 that remain

    const QList<double> whole { 1e6, 1e6, 1e6 };
    QTest::newRow( "outside every square" ) << QStringList { QueryFixture::square( 5000, 0, 1000 ) } << QStringList {}
                                            << whole;
    QTest::newRow( "square 1 wholly inside" ) << QStringList { QueryFixture::square( 900, -100, 1200 ) } << QStringList {}
                                              << QList<double> { 9e5, 9e5 };
    QTest::newRow( "square 2 partly inside" ) << QStringList { QueryFixture::square( 2000, 0, 500 ) } << QStringList {}
                                              << QList<double> { 1e6, 1e6, 7.5e5 };
    // A hole of two distinct corners is dropped alone: the park around it still counts.
    QTest::newRow( "square 1 inside a park with a degenerate hole" )
        << QStringList { QStringLiteral( "POLYGON((900 -100,900 1100,2100 1100,2100 -100,900 -100),(1400 400,1500 500,1400 400))" ) }
        << QStringList {} << QList<double> { 9e5, 9e5 };
    QTest::newRow( "sharing an edge only" ) << QStringList { QueryFixture::square( 3000, 0, 1000 ) } << QStringList {}
                                            << whole;
    // With nothing to subtract every wind polygon is a result, whole.
    QTest::newRow( "no protected area" ) << QStringList {} << QStringList {} << whole;
    QTest::newRow( "lines, no polygon" ) << QStringList { line( 0, 0, 900, 900 ), line( 0, 900, 900, 0 ) }
                                         << QStringList { "park 0 is not a polygon type", "park 1 is not a polygon type" }
                                         << whole;
    QTest::newRow( "a record without a shape first" )
        << QStringList { QStringLiteral( "POLYGON EMPTY" ), QueryFixture::square( 0, 0, 500 ) }
        << QStringList { "park 0 is not a polygon type" } << QList<double> { 7.5e5, 1e6, 1e6 };
}

void TestOverlayQueries::protectedRemainders()
{
    QFETCH( QStringList, parks );
    QFETCH( QStringList, messages );
    QFETCH( QList<double>, areas );
    Overlay f;
    f.addWind( { 250.0, 650.0, 850.0 } );
    addProtected( f, parks );

    f.run( querynames::kWindMinusProtected );

    QCOMPARE( f.dialogs.texts(), messages );
    for ( const auto &shown : f.dialogs.shown )
        QCOMPARE( shown.title, QStringLiteral( "QUELM3" ) );
    QCOMPARE( ::areas(), areas );
    QCOMPARE( f.rec.captions.last(), QStringLiteral( "Overlaying... finished" ) );
    verifyClassColours();
}

void TestOverlayQueries::protectedCaptions()
{
    Overlay f;
    f.addWind( { 500.0, 600.0, 700.0 },
               { QueryFixture::square( 0, 0, 1000 ), QStringLiteral( "POLYGON EMPTY" ), QueryFixture::square( 2000, 0, 1000 ) } );
    addProtected( f, { QueryFixture::square( 0, 0, 500 ) } );
    const gis::LayerPtr roads = f.addNumbered( kRoads, { line( 0, 0, 10, 10 ) } );
    int redraws = 0;
    QueryCallbacks cb = f.rec.callbacks();
    cb.redrawMap = [&] { ++redraws; };

    q::fill_cShapes_collection( f.inputs( querynames::kWindMinusProtected ), cb );

    QCOMPARE( f.rec.captions, ( QStringList { "Overlaying...", "Overlaying... 33.3% finished", "Overlaying... 66.7% finished",
                                              "Overlaying... 100.0% finished", "Overlaying... finished" } ) );
    QCOMPARE( f.rec.yields, 3 );
    QCOMPARE( redraws, 1 );
    QVERIFY( !roads->visible );
    // The record without a polygon adds nothing but moves the caption on.
    QCOMPARE( values(), ( QList<double> { 500, 700 } ) );
    QCOMPARE( Constants::sValueField, QStringLiteral( "WINDPWRD" ) );
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

void TestOverlayQueries::landUsePieces_data()
{
    QTest::addColumn<QString>( "minimum" );
    QTest::addColumn<QStringList>( "selected" );
    QTest::addColumn<QStringList>( "captions" );
    QTest::addColumn<QList<double>>( "values" );
    QTest::addColumn<QList<double>>( "areas" );

    // Land-use record by record: the first covers the right 70 %, the fourth the left 30 % of wind square 450.
    QTest::newRow( "four records, a wind polygon across two" )
        << "0" << QStringList { "GRASSLAND", "URBAN" }
        << QStringList { "Overlaying...", "Overlaying... 25.0% finished", "Overlaying... 50.0% finished",
                         "Overlaying... 75.0% finished", "Overlaying... 100.0% finished", "Overlaying... finished" }
        << QList<double> { 450, 450 } << QList<double> { 7e5, 3e5 };
    QTest::newRow( "a class with an apostrophe" )
        << "0" << QStringList { "FARMER'S LAND" }
        << QStringList { "Overlaying...", "Overlaying... 100.0% finished", "Overlaying... finished" }
        << QList<double> { 850 } << QList<double> { 1e6 };
    QTest::newRow( "another letter case is another class" )
        << "0" << QStringList { "Farmer's land" }
        << QStringList { "Overlaying...", "Overlaying... 100.0% finished", "Overlaying... finished" }
        << QList<double> { 450 } << QList<double> { 2.5e5 };
    QTest::newRow( "no wind polygon in the range" ) << "9000" << QStringList { "GRASSLAND" }
                                                    << QStringList { "Overlaying..." } << QList<double> {}
                                                    << QList<double> {};
    QTest::newRow( "no land-use record of the class" ) << "0" << QStringList { "WATER" }
                                                       << QStringList { "Overlaying..." } << QList<double> {}
                                                       << QList<double> {};
}

void TestOverlayQueries::landUsePieces()
{
    QFETCH( QString, minimum );
    QFETCH( QStringList, selected );
    QFETCH( QStringList, captions );
    QFETCH( QList<double>, values );
    QFETCH( QList<double>, areas );
    Overlay f;
    f.addWind( { 450.0, 850.0 }, { QueryFixture::square( 0, 0, 1000 ), QueryFixture::square( 5000, 0, 1000 ) } );
    addLandUse( f,
                { QueryFixture::square( 300, -500, 2000 ), QueryFixture::square( 9000, 0, 500 ), QStringLiteral( "POLYGON EMPTY" ),
                  QStringLiteral( "POLYGON ((-700 -500, 300 -500, 300 1500, -700 1500, -700 -500))" ),
                  QueryFixture::square( 5000, 0, 1000 ), QueryFixture::square( 5000, 0, 500 ), QueryFixture::square( 0, 0, 500 ) },
                { "GRASSLAND", "URBAN", "GRASSLAND", "GRASSLAND", "FARMER'S LAND", "FARMER", "Farmer's land" } );
    QueryInputs in = f.inputs( querynames::kWindLandUse );
    in.minText = minimum;
    in.selectedLandUses = selected;

    f.run( in );

    QVERIFY( f.dialogs.shown.empty() );
    QCOMPARE( f.rec.captions, captions );
    QCOMPARE( ::values(), values );
    QCOMPARE( ::areas(), areas );
    verifyClassColours();
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
    // The 11th batch closes the first group of batches and shows no caption.
    QStringList twelve;
    for ( int batch : { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12 } )
        twelve << QStringLiteral( "Creating buffer polygon %1 out of 12" ).arg( batch );
    QTest::newRow( "1213 features: twelve batches, one group" )
        << 1213 << true << "Creating Roads Buffers: 1213 of 1213" << twelve + QStringList { "Creating buffer polygon 1 out of 1" };
}

void TestOverlayQueries::lineBufferCaptions()
{
    QFETCH( int, features );
    QFETCH( bool, asked );
    QFETCH( QString, lastFeatureCaption );
    QFETCH( QStringList, mergeCaptions );
    Overlay f;
    const QStringList roads = pieces( features );
    f.addNumbered( kRoads, roads )->name = QStringLiteral( "Roads" );

    const std::optional<gis::TiledArea> zone =
        q::create_line_buffers( f.inputs( querynames::kWindRoads ), f.rec.callbacks(), kRoads, 0.003f );

    QVERIFY( zone.has_value() );
    QVERIFY( f.dialogs.shown.empty() );
    QCOMPARE( f.rec.questions, asked ? QStringList { kAsk } : QStringList {} );
    QCOMPARE( f.rec.yields, features - 1 );
    const QStringList walk = f.rec.captions.mid( 0, features - 1 );
    QCOMPARE( walk.isEmpty() ? QString() : walk.last(), lastFeatureCaption );
    if ( !walk.isEmpty() )
        QCOMPARE( walk.first(), QStringLiteral( "Creating Roads Buffers: 2 of %1" ).arg( features ) );
    QCOMPARE( f.rec.captions.mid( features - 1 ), mergeCaptions );

    // The zone covers every buffer and nothing more: pieces 8 m long, 2 m apart, buffered by 3 m make one strip.
    for ( const QString &road : roads )
    {
        const gis::Geometry buffer = gis::ops::buffer( gis::Geometry::fromWkt( road.toStdString() ), 3.0 );
        const gis::TiledArea::Overlap inside = zone->intersect( buffer, 0 );
        QVERIFY( inside.whole || std::fabs( inside.part.area() - buffer.area() ) < 1e-6 * buffer.area() );
    }
    const double strip = ( 10.0 * features - 2 ) * 6 + M_PI * 9;
    QVERIFY( std::fabs( zone->area() - strip ) < 0.01 * strip );
}

void TestOverlayQueries::largeLayerOverSixteenBits()
{
    Overlay f;
    f.addWind( { 500.0, 600.0 } );
    f.addNumbered( kRoads, pieces( 32768 ) );

    f.run( querynames::kWindRoads );

    QVERIFY( f.dialogs.shown.empty() );
    QCOMPARE( f.rec.questions, QStringList { kAsk } );
    QVERIFY( f.rec.captions.contains( QStringLiteral( "Creating Roads Buffers: 32768 of 32768" ) ) );
    QCOMPARE( values(), ( QList<double> { 500, 600 } ) );
}

void TestOverlayQueries::bufferOverlayCaptionsAndMisses()
{
    Overlay f;
    // The line passes square 0 and square 2; square 1 lies more than 1 km from it; square 3 is not a polygon.
    f.addWind( { 300.0, 400.0, 500.0, 600.0 },
               { QueryFixture::square( 0, 0, 1000 ), QueryFixture::square( 0, 5000, 1000 ), QueryFixture::square( 2000, 0, 1000 ),
                 QStringLiteral( "POLYGON EMPTY" ) } );
    f.addNumbered( kLines, { line( -500, 500, 3500, 500 ) } );

    f.run( querynames::kWindTransmission );

    QVERIFY( f.dialogs.shown.empty() );
    QCOMPARE( values(), ( QList<double> { 300, 500 } ) );
    QCOMPARE( f.rec.captions, ( QStringList { "Overlaying...", "Overlaying... 0.0% finished", "Overlaying... 25.0% finished",
                                              "Overlaying... 50.0% finished", "Overlaying... 75.0% finished",
                                              "Overlaying... finished" } ) );
    QCOMPARE( f.rec.yields, 4 );
}

void TestOverlayQueries::geographicLineLayerIsRefused()
{
    Overlay f;
    f.addWind( { 500.0 } );
    // A road layer in longitude and latitude.
    QTemporaryDir geographic;
    testsupport::writeShapefile( geographic.path(), kRoads, { line( 10.1, 45.1, 10.2, 45.2 ) },
                                 { { QStringLiteral( "FeatureID" ), FieldSpec::Integer } }, { { 0 } }, testsupport::kWgs84 );
    auto roads = std::make_shared<gis::Layer>( gis::Dataset::open( geographic.filePath( kRoads ) ) );
    roads->tag = kRoads;
    f.map.addLayer( roads );
    f.rebuildIndex();

    f.run( querynames::kWindRoads );

    QCOMPARE( f.dialogs.texts(),
              QStringList { " The layer 43_roads.shp has geographic coordinates (degrees), so a buffer distance in "
                            "kilometres cannot be drawn around its features. Error "
                            "Source:md_query_functions2.create_line_buffers()" } );
    QCOMPARE( q::cResults.count(), qint64( 0 ) );
    QVERIFY( !f.rec.captions.contains( QStringLiteral( "Overlaying..." ) ) );
}

void TestOverlayQueries::declinedQuestionThroughTheWindow()
{
    QueryWindowFixture f;
    f.addWind( { 500.0, 600.0 } );
    f.addNumbered( kRoads, pieces( 400 ) );
    f.addNumbered( kLines, { line( 0, 0, 10, 10 ) } );
    QueryController &c = showQuery( f, querynames::kWindRoads );
    c.cmdShowData->show();
    f.dialogs.reset();
    f.dialogs.yesNoAnswers = { false };

    QTest::mouseClick( c.cmdUpdateMap, Qt::LeftButton );

    QCOMPARE( f.dialogs.texts(), QStringList { kAsk } );
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

void TestOverlayQueries::combinedCaptionsAndResults_data()
{
    QTest::addColumn<double>( "lineY" ); // the transmission line runs along this y
    QTest::addColumn<QStringList>( "captions" );
    QTest::addColumn<int>( "yields" );
    QTest::addColumn<QList<double>>( "areas" );

    const QStringList intersecting { "Intersecting...", "Intersecting... 0.0% finished", "Intersecting... 25.0% finished",
                                     "Intersecting... 50.0% finished", "Intersecting... 75.0% finished" };
    QTest::newRow( "zones that do not meet" ) << 30000.0 << intersecting << 1 << QList<double> {};
    // Piece by piece, wind record by wind record; the second wind square keeps its part outside the protected area.
    QTest::newRow( "four pieces" ) << 1200.0
                                   << intersecting + QStringList { "Overlaying... 0.0% finished", "Overlaying... 25.0% finished",
                                                                   "Overlaying... 50.0% finished",
                                                                   "Overlaying... 75.0% finished", "Overlaying... finished" }
                                   << 1 + 4 << kCombinedAreas;
}

void TestOverlayQueries::combinedCaptionsAndResults()
{
    QFETCH( double, lineY );
    QFETCH( QStringList, captions );
    QFETCH( int, yields );
    QFETCH( QList<double>, areas );
    Overlay f;
    combinedWorld( f, lineY );

    f.run( querynames::kWindAll );

    QVERIFY( f.dialogs.shown.empty() );
    QCOMPARE( f.rec.captions, captions );
    QCOMPARE( f.rec.yields, yields );
    QCOMPARE( ::areas(), areas );
    if ( !areas.isEmpty() )
        QCOMPARE( values(), ( QList<double> { 300, 400, 500, 600, 700, 800, 900, 1000 } ) );
    verifyClassColours();
}

void TestOverlayQueries::combinedNeverReturnsProtectedLand()
{
    Overlay f;
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
    f.addNumbered( kRoads, { line( -1000, 700, 25000, 700 ) } );
    f.addNumbered( kLines, { line( -1000, 500, 25000, 900 ) } );
    addProtected( f, parks );

    f.run( querynames::kWindAll );

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

void TestOverlayQueries::declinedRoadQuestionAsksNoMore()
{
    Overlay f;
    f.addWind( { 500.0 } );
    f.addNumbered( kRoads, pieces( 400 ) );
    f.addNumbered( kLines, pieces( 450 ) );
    addLandUse( f, { QueryFixture::square( 0, 0, 5000 ) }, { "GRASSLAND" } );
    f.rec.answers = { false };

    f.run( querynames::kWindAll );

    QVERIFY( f.dialogs.shown.empty() );
    QCOMPARE( f.rec.questions, QStringList { kAsk } );
    QCOMPARE( q::cResults.count(), qint64( 0 ) );
    QVERIFY( f.rec.captions.isEmpty() );
}

void TestOverlayQueries::frozenInputsDuringARun()
{
    QueryWindowFixture f;
    combinedWorld( f, 1200, 8, true );
    QueryController &c = showQuery( f, querynames::kWindAll );
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
    QCOMPARE( areas(), kCombinedAreas );
}

QTEST_MAIN( TestOverlayQueries )
#include "tst_overlay_queries.moc"
