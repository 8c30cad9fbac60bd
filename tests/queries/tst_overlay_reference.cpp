#include "OverlayReference.h"
#include "QueryFixture.h"

#include "queries/QueryNames.h"
#include "queries/QueryNumbers.h"
#include "queries/md_query_functions2.h"

#include <QProcess>
#include <QTest>

#include <cmath>

namespace q = md_query_functions2;

Q_DECLARE_METATYPE( QueryInputs )

namespace
{

const QStringList kOverlayFiles { QStringLiteral( "20_wind.shp" ), QStringLiteral( "02_landuse.shp" ),
                                  QStringLiteral( "31_protectedarea.shp" ), QStringLiteral( "43_roads.shp" ),
                                  QStringLiteral( "44_transmissionline.shp" ) };

//! A circle of \a n vertices: a polygon with many vertices when \a n is large.
QString circle( double cx, double cy, double r, int n )
{
    QStringList xy;
    for ( int i = 0; i <= n; ++i )
    {
        const double a = 2 * M_PI * ( i % n ) / n;
        xy << QStringLiteral( "%1 %2" ).arg( cx + r * std::cos( a ), 0, 'f', 3 ).arg( cy + r * std::sin( a ), 0, 'f', 3 );
    }
    return QStringLiteral( "POLYGON ((" ) + xy.join( QStringLiteral( ", " ) ) + QStringLiteral( "))" );
}

QString line( std::initializer_list<std::pair<double, double>> points )
{
    QStringList xy;
    for ( const auto &[x, y] : points )
        xy << QStringLiteral( "%1 %2" ).arg( x ).arg( y );
    return QStringLiteral( "LINESTRING (" ) + xy.join( QStringLiteral( ", " ) ) + QStringLiteral( ")" );
}

enum class World
{
    Sample,     //!< the sample data set
    Small,      //!< smallWorld()
    LargeRoads, //!< largeRoadLayer()
};

/**
 * Hand-made layers of 1 km wind squares over 20 x 10 km (lattice squares of
 * 8 km, and a column of wind squares straddles each of their edges), land uses that
 * split wind squares, one of them a circle of 3000 vertices with a hole,
 * three roads, two transmission lines and protected areas that cover wind
 * squares whole, in part and across lattice squares, one of them twice.
 */
void smallWorld( QueryFixture &f )
{
    std::vector<QVariant> values;
    QStringList squares;
    for ( int j = 0; j < 10; ++j )
        for ( int i = 0; i < 20; ++i )
        {
            values.push_back( 300.0 + 37.0 * ( ( i * 7 + j * 3 ) % 17 ) );
            squares << QueryFixture::square( 1000.0 * i + 500, 1000.0 * j + 500, 1000 );
        }
    f.addWind( values, squares );

    const QString withHole = QStringLiteral( "POLYGON ((500 500, 6500 500, 6500 9300, 500 9300, 500 500), "
                                             "(2000 2000, 3000 2000, 3000 3500, 2000 3500, 2000 2000))" );
    f.addNumbered( QStringLiteral( "02_landuse.shp" ),
                   { withHole, circle( 12000, 5000, 4100, 3000 ), QueryFixture::square( 15500, 250, 4000 ),
                     QueryFixture::square( 6400, 0, 1300 ), QueryFixture::square( 17000, 6000, 2500 ) },
                   QStringLiteral( "LAND_USE" ), { "GRASSLAND", "FARMER'S LAND", "SAVANNA", "URBAN", "GRASSLAND" } );
    f.addNumbered( QStringLiteral( "43_roads.shp" ), { line( { { -500, 1200 }, { 9000, 4100 }, { 21000, 4600 } } ),
                                                       line( { { 7950, -300 }, { 8100, 11000 } } ),
                                                       line( { { 14000, 10500 }, { 19500, 200 } } ) } );
    f.addNumbered( QStringLiteral( "44_transmissionline.shp" ),
                   { line( { { -1000, 6200 }, { 21000, 7400 } } ), line( { { 3000, -1000 }, { 13000, 11000 } } ) } );
    f.addNumbered( QStringLiteral( "31_protectedarea.shp" ),
                   { QueryFixture::square( 1000, 1000, 2000 ), circle( 8000, 5000, 1800, 40 ), circle( 8600, 5300, 1200, 30 ),
                     QueryFixture::square( 13500, 2500, 500 ),
                     QStringLiteral( "POLYGON ((15800 7700, 19200 7700, 19200 8300, 15800 8300, 15800 7700))" ) },
                   QStringLiteral( "NAME" ), { "a", "b", "c", "d", "e" } );
}

/**
 * A road layer of 430 short pieces (the batched merge), over a few wind
 * squares; the other layers are single polygons and lines.
 */
void largeRoadLayer( QueryFixture &f )
{
    std::vector<QVariant> values;
    QStringList squares;
    for ( int i = 0; i < 12; ++i )
    {
        values.push_back( 450.0 + 50.0 * ( i % 5 ) );
        squares << QueryFixture::square( 1000.0 * i, 0, 1000 );
    }
    f.addWind( values, squares );
    QStringList pieces;
    for ( int i = 0; i < 430; ++i )
    {
        const double x = 25.0 * i;
        pieces << line( { { x, 300 + 200 * std::sin( i / 20.0 ) }, { x + 30, 320 + 200 * std::sin( ( i + 1 ) / 20.0 ) } } );
    }
    f.addNumbered( QStringLiteral( "43_roads.shp" ), pieces );
    f.addNumbered( QStringLiteral( "44_transmissionline.shp" ), { line( { { 0, 900 }, { 12000, 700 } } ) } );
    f.addNumbered( QStringLiteral( "02_landuse.shp" ), { QueryFixture::square( 2500, -100, 6000 ) },
                   QStringLiteral( "LAND_USE" ), { "GRASSLAND" } );
    f.addNumbered( QStringLiteral( "31_protectedarea.shp" ), { circle( 6000, 500, 700, 50 ) } );
}

//! The reference result of \a inputs' query.
std::vector<reference::Result> referenceOf( const QueryInputs &inputs )
{
    const QString wind = q::CreateWindSelectExpression( inputs );
    using namespace querynames;
    const QString &name = inputs.queryName;
    if ( name == kWindMinusProtected )
        return reference::windMinusProtected( inputs, wind );
    if ( name == kWindLandUse )
        return reference::windWithLandUse( inputs, wind );
    const float km = inputs.distance2Text.toFloat();
    if ( name == kWindRoads )
        return reference::windInZone( inputs, wind, reference::lineBuffers( inputs, QStringLiteral( "43_roads.shp" ), km ) );
    if ( name == kWindTransmission )
        return reference::windInZone( inputs, wind,
                                      reference::lineBuffers( inputs, QStringLiteral( "44_transmissionline.shp" ), km ) );
    return reference::windAll( inputs, wind, km, inputs.distance1Text.toFloat() );
}

/**
 * Runs \a inputs' query as the button does and compares its results with
 * the reference: the same count, and polygon by polygon the same value, the
 * same area within 1e-6 relative and the same place.
 */
void compareWithReference( const QueryInputs &inputs )
{
    testsupport::RecordingDialogs dialogs;
    RecordingCallbacks rec;
    q::fill_cShapes_collection( inputs, rec.callbacks() );
    QVERIFY2( dialogs.shown.empty(), qPrintable( dialogs.texts().join( '\n' ) ) );
    QCOMPARE( rec.captions.last(), QStringLiteral( "Overlaying... finished" ) );
    // The captions count the land-use records the program selected: the reference's, record for record.
    const bool landUse = inputs.queryName == querynames::kWindLandUse || inputs.queryName == querynames::kWindAll;
    const qint64 land = landUse ? reference::landUse( inputs ).count() : 0;
    if ( land > 1 )
    {
        const QString stage = inputs.queryName == querynames::kWindAll ? QStringLiteral( "Intersecting... " )
                                                                       : QStringLiteral( "Overlaying... " );
        const QString second = stage + querynumbers::percentText( 1, land ) + QStringLiteral( " finished" );
        QVERIFY2( rec.captions.contains( second ), qPrintable( second ) );
    }

    const std::vector<reference::Result> expected = referenceOf( inputs );
    QVERIFY( !expected.empty() );
    QCOMPARE( q::cResults.count(), static_cast<qint64>( expected.size() ) );
    for ( qint64 i = 0; i < q::cResults.count(); ++i )
    {
        const reference::Result &want = expected[static_cast<size_t>( i )];
        const gis::Geometry &got = q::cResults.shape( i );
        const QString where = QStringLiteral( "result %1" ).arg( i );
        QVERIFY2( got.isPolygonal(), qPrintable( where ) );
        QVERIFY2( q::cResults.value( i ).toDouble() == want.value, qPrintable( where ) );
        const double a = got.area();
        const double b = want.shape.area();
        QVERIFY2( std::fabs( a - b ) <= 1e-6 * std::max( a, b ),
                  qPrintable( where + QStringLiteral( ": area %1, expected %2" ).arg( a, 0, 'f', 6 ).arg( b, 0, 'f', 6 ) ) );
        const gis::Rect e1 = *got.envelope();
        const gis::Rect e2 = *want.shape.envelope();
        const double size = std::max( e2.width(), e2.height() );
        QVERIFY2( std::fabs( e1.left - e2.left ) <= 1e-6 * size && std::fabs( e1.top - e2.top ) <= 1e-6 * size,
                  qPrintable( where + QStringLiteral( ": another place" ) ) );
    }
}

} // namespace

Q_DECLARE_METATYPE( World )

class TestOverlayReference : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void fastPathEqualsReference_data();
    void fastPathEqualsReference();

  private:
    QTemporaryDir mSample;
    std::vector<gis::LayerPtr> mSampleLayers;
};

void TestOverlayReference::initTestCase()
{
    QVERIFY2( !qEnvironmentVariableIsEmpty( "OSTRAPEL_SAMPLEDATA" ), "OSTRAPEL_SAMPLEDATA names the generator" );
    QProcess generator;
    generator.start( qEnvironmentVariable( "OSTRAPEL_SAMPLEDATA" ), { mSample.path() } );
    QVERIFY( generator.waitForFinished( 120000 ) && generator.exitCode() == 0 );
    for ( const QString &file : kOverlayFiles )
    {
        auto layer = std::make_shared<gis::Layer>( gis::Dataset::open( mSample.filePath( file ) ) );
        layer->tag = file;
        layer->name = file;
        mSampleLayers.push_back( layer );
    }
}

void TestOverlayReference::init()
{
    Constants::bCancelQuery = false;
    q::cResults.reset();
}

void TestOverlayReference::cleanupTestCase()
{
    q::cResults.reset();
}

void TestOverlayReference::fastPathEqualsReference_data()
{
    QTest::addColumn<World>( "world" );
    QTest::addColumn<QueryInputs>( "inputs" );
    QTest::addColumn<int>( "landRecords" ); // the land-use records of the selected classes; -1: not stated

    using namespace querynames;
    const auto overlayInputs = &QueryFixture::overlayInputs;
    const QStringList sample { "GRASSLAND", "SAVANNA", "AGRICULTURE" };
    QTest::newRow( "sample: protected areas" ) << World::Sample << overlayInputs( kWindMinusProtected, "500", {}, true, "1", "1" )
                                               << -1;
    QTest::newRow( "sample: land use" ) << World::Sample << overlayInputs( kWindLandUse, "500", sample, true, "1", "1" ) << -1;
    // "Forest" is stored with blanks around it, which the reader drops; "FOREST" is another class.
    QTest::newRow( "sample: land use, Forest alone" ) << World::Sample
                                                      << overlayInputs( kWindLandUse, "0", { "Forest" }, true, "1", "1" ) << 4;
    QTest::newRow( "sample: land use, FOREST alone" ) << World::Sample
                                                      << overlayInputs( kWindLandUse, "0", { "FOREST" }, true, "1", "1" ) << 26;
    QTest::newRow( "sample: land use, Forest among three" )
        << World::Sample
        << overlayInputs( kWindLandUse, "400", { "GRASSLAND", "COFFEE, FRUITS, AND GRAINS", "Forest" }, true, "1", "1" ) << -1;
    QTest::newRow( "sample: roads, 747 features" ) << World::Sample << overlayInputs( kWindRoads, "500", {}, true, "2", "1" )
                                                   << -1;
    QTest::newRow( "sample: transmission lines" ) << World::Sample
                                                  << overlayInputs( kWindTransmission, "500", {}, true, "1", "5" ) << -1;
    QTest::newRow( "sample: all" ) << World::Sample << overlayInputs( kWindAll, "400", sample, true, "6", "15" ) << -1;
    QTest::newRow( "sample: all, protected areas kept" ) << World::Sample
                                                         << overlayInputs( kWindAll, "400", sample, false, "6", "15" ) << -1;
    QTest::newRow( "sample: all, Forest alone" ) << World::Sample
                                                 << overlayInputs( kWindAll, "0", { "Forest" }, true, "6", "15" ) << 4;
    QTest::newRow( "sample: all, FOREST alone" ) << World::Sample
                                                 << overlayInputs( kWindAll, "0", { "FOREST" }, true, "6", "15" ) << 26;

    const QStringList uses { "GRASSLAND", "FARMER'S LAND", "SAVANNA" };
    QTest::newRow( "protected areas" ) << World::Small << overlayInputs( kWindMinusProtected, "0", {}, true, "1", "1" ) << -1;
    QTest::newRow( "land use, a polygon of 3000 vertices" ) << World::Small
                                                            << overlayInputs( kWindLandUse, "0", uses, true, "1", "1" ) << -1;
    QTest::newRow( "roads" ) << World::Small << overlayInputs( kWindRoads, "400", {}, true, "0.7", "1" ) << -1;
    QTest::newRow( "transmission lines" ) << World::Small << overlayInputs( kWindTransmission, "0", {}, true, "1", "1.3" )
                                          << -1;
    QTest::newRow( "all" ) << World::Small << overlayInputs( kWindAll, "0", uses, true, "1.5", "2" ) << -1;
    QTest::newRow( "roads, 430 features" ) << World::LargeRoads << overlayInputs( kWindRoads, "0", {}, true, "0.25", "1" )
                                           << -1;
    QTest::newRow( "all, 430 road features" ) << World::LargeRoads
                                              << overlayInputs( kWindAll, "0", { "GRASSLAND" }, true, "0.25", "0.4" ) << -1;
}

void TestOverlayReference::fastPathEqualsReference()
{
    QFETCH( World, world );
    QFETCH( QueryInputs, inputs );
    QFETCH( int, landRecords );
    QueryFixture f;
    if ( world == World::Sample )
    {
        for ( const gis::LayerPtr &layer : mSampleLayers )
        {
            inputs.addIndexedLayer( layer->tag, layer );
            inputs.mapLayers.push_back( layer );
            inputs.fullExtent = inputs.fullExtent.isNull() ? layer->extent() : inputs.fullExtent.united( layer->extent() );
        }
    }
    else
    {
        world == World::Small ? smallWorld( f ) : largeRoadLayer( f );
        inputs.captureMap( f.map );
    }
    if ( landRecords >= 0 )
        QCOMPARE( reference::landUse( inputs ).count(), qint64( landRecords ) );
    compareWithReference( inputs );
}

QTEST_MAIN( TestOverlayReference )
#include "tst_overlay_reference.moc"
