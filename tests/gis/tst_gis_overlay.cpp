#include "TestSupport.h"

#include "gis/Dataset.h"
#include "gis/ExpressionFilter.h"
#include "gis/GeometryOps.h"
#include "gis/GisError.h"
#include "gis/OrderedWork.h"
#include "gis/TiledArea.h"

#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cmath>

using namespace gis;
using testsupport::FieldSpec;

Q_DECLARE_METATYPE( std::vector<qint64> )

namespace
{

QString circle( double cx, double cy, double r, int n = 24 )
{
    QStringList xy;
    for ( int i = 0; i <= n; ++i )
    {
        const double a = 2 * M_PI * ( i % n ) / n;
        xy << QStringLiteral( "%1 %2" ).arg( cx + r * std::cos( a ), 0, 'f', 4 ).arg( cy + r * std::sin( a ), 0, 'f', 4 );
    }
    return QStringLiteral( "POLYGON ((" ) + xy.join( QStringLiteral( ", " ) ) + QStringLiteral( "))" );
}

Geometry wkt( const QString &text )
{
    return Geometry::fromWkt( text.toStdString() );
}

QString box( double x0, double y0, double x1, double y1 )
{
    return QStringLiteral( "POLYGON ((%1 %2, %3 %2, %3 %4, %1 %4, %1 %2))" ).arg( x0 ).arg( y0 ).arg( x1 ).arg( y1 );
}

//! Geometries read from WKT, and the GEOS pointers to them that the union functions take.
struct Parts
{
    explicit Parts( const QStringList &wkts )
    {
        for ( const QString &w : wkts )
            shapes.push_back( wkt( w ) );
        for ( const Geometry &g : shapes )
            pointers.push_back( g.get() );
    }
    std::vector<Geometry> shapes;
    std::vector<const GEOSGeometry *> pointers;
};

double areaOf( const TiledArea::Overlap &o, const Geometry &whole )
{
    return o.whole ? whole.area() : o.part.area();
}

bool close( double a, double b )
{
    return std::fabs( a - b ) <= 1e-9 * std::max( { 1.0, std::fabs( a ), std::fabs( b ) } );
}

} // namespace

class TestGisOverlay : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();

    void quickFilterEqualsOgr_data();
    void quickFilterEqualsOgr();

    void tiledUnionEqualsOneUnion_data();
    void tiledUnionEqualsOneUnion();
    void tiledIntersectionOfAreas();
    void freshGeometryReadByManyThreads();

    void orderedWorkHandsOverInOrder_data();
    void orderedWorkHandsOverInOrder();
    void orderedWorkStops();

  private:
    QTemporaryDir mDir;
    std::shared_ptr<Dataset> mValues;
};

void TestGisOverlay::initTestCase()
{
    // FeatureID 0..7 (one null), WINDPWRD with fractions and a null, a text field of numbers, land-use classes
    // in several letter cases (one stored with blanks around it) and with an apostrophe.
    QStringList shapes;
    for ( int i = 0; i < 8; ++i )
        shapes << QStringLiteral( "POINT (%1 0)" ).arg( i );
    testsupport::writeShapefile(
        mDir.path(), QStringLiteral( "values.shp" ), shapes,
        { { QStringLiteral( "FeatureID" ), FieldSpec::Integer },
          { QStringLiteral( "WINDPWRD" ), FieldSpec::Real, 12, 3 },
          { QStringLiteral( "CODE" ), FieldSpec::String, 10 },
          { QStringLiteral( "LAND_USE" ), FieldSpec::String, 30 } },
        { { 0, 199.5, "10", "FOREST" }, { 1, 500.0, "9", " Forest " }, { 2, 750.5, "100", "Forest" },
          { 3, 10000.0, "5", "forest" }, { 4, 10000.25, "", "FARMER'S LAND" },
          { QVariant(), QVariant(), QVariant(), QVariant() }, { 6, -3.0, "-3", "COFFEE, FRUITS, AND GRAINS" },
          { 7, 500.0, "500", "GRASSLAND" } } );
    mValues = Dataset::open( mDir.filePath( QStringLiteral( "values.shp" ) ) );
}

void TestGisOverlay::quickFilterEqualsOgr_data()
{
    QTest::addColumn<QString>( "where" );
    QTest::addColumn<bool>( "quick" ); // the quick evaluator takes it
    QTest::addColumn<QString>( "ogrWhere" ); // what OGR selects the same records with, when not the clause itself

    QTest::newRow( "wind range" ) << "WINDPWRD >= 500 AND WINDPWRD <= 10000" << true << "";
    QTest::newRow( "bounds as typed" ) << "WINDPWRD >= 199.5 AND WINDPWRD <= 750.5" << true << "";
    QTest::newRow( "every feature" ) << "FeatureID > -1" << true << "";
    QTest::newRow( "field in lower case, and in lower case" ) << "windpwrd > 500 and featureid < 7" << true << "";
    QTest::newRow( "equal" ) << "WINDPWRD = 500" << true << "";
    QTest::newRow( "not equal skips nulls" ) << "FeatureID <> 3" << true << "";
    QTest::newRow( "whole field, fraction" ) << "FeatureID >= 2.5" << true << "";
    QTest::newRow( "negative bound" ) << "WINDPWRD < -2.5" << true << "";
    QTest::newRow( "trailing point, leading zeros" ) << "WINDPWRD > 5. AND WINDPWRD < 00600" << true << "";
    QTest::newRow( "leading point is OGR's error" ) << "WINDPWRD > .5" << false << "";
    QTest::newRow( "plus sign is OGR's error" ) << "WINDPWRD > +5" << false << "";
    QTest::newRow( "unclosed text is OGR's error" ) << "LAND_USE = 'FOREST" << false << "";
    QTest::newRow( "no blanks" ) << "WINDPWRD>=500" << true << "";
    QTest::newRow( "text field compares as text" ) << "CODE >= 5" << false << "";
    QTest::newRow( "or" ) << "WINDPWRD < 200 OR WINDPWRD > 9000" << true << "";
    QTest::newRow( "three terms" ) << "FeatureID > 0 AND FeatureID < 7 AND WINDPWRD > 0" << true << "";
    QTest::newRow( "and before or" ) << "FeatureID = 1 OR FeatureID > 5 AND WINDPWRD > 0" << true << "";
    QTest::newRow( "parentheses first" ) << "(FeatureID = 1 OR FeatureID > 5) AND (WINDPWRD > 0)" << true << "";
    QTest::newRow( "exponent" ) << "WINDPWRD >= 5e2" << false << "";
    QTest::newRow( "is null" ) << "WINDPWRD IS NULL" << false << "";
    QTest::newRow( "not" ) << "NOT (WINDPWRD > 500)" << false << "";
    // OGR's = ignores letter case; its LIKE without wildcards compares as the quick evaluator does.
    QTest::newRow( "text in mixed case, stored with blanks around" )
        << "LAND_USE = 'Forest'" << true << "LAND_USE LIKE 'Forest'";
    QTest::newRow( "text in capitals" ) << "LAND_USE = 'FOREST'" << true << "LAND_USE LIKE 'FOREST'";
    QTest::newRow( "blanks in the text count" ) << "LAND_USE = 'Forest '" << true << "LAND_USE LIKE 'Forest '";
    QTest::newRow( "apostrophe written twice" ) << "LAND_USE = 'FARMER''S LAND'" << true << "LAND_USE LIKE 'FARMER''S LAND'";
    QTest::newRow( "land-use expression" )
        << "(LAND_USE = 'GRASSLAND') OR (LAND_USE = 'COFFEE, FRUITS, AND GRAINS') OR (LAND_USE = 'Forest')" << true
        << "LAND_USE LIKE 'GRASSLAND' OR LAND_USE LIKE 'COFFEE, FRUITS, AND GRAINS' OR LAND_USE LIKE 'Forest'";
    QTest::newRow( "text not equal skips nulls" ) << "LAND_USE <> 'forest'" << true
                                                  << "LAND_USE IS NOT NULL AND NOT (LAND_USE LIKE 'forest')";
    QTest::newRow( "text ordered" ) << "LAND_USE > 'F'" << false << "";
    QTest::newRow( "number for a text field" ) << "LAND_USE = 5" << false << "";
    QTest::newRow( "text for a numeric field" ) << "WINDPWRD = '500'" << false << "";
}

void TestGisOverlay::quickFilterEqualsOgr()
{
    QFETCH( QString, where );
    QFETCH( bool, quick );
    QFETCH( QString, ogrWhere );
    const std::optional<std::vector<qint64>> fast = expressionfilter::evaluate( *mValues, where );
    QCOMPARE( fast.has_value(), quick );
    // Joined with a constant comparison, the clause is OGR's alone.
    std::optional<std::vector<qint64>> ogr;
    try
    {
        ogr = mValues->search( QStringLiteral( "(" ) + ( ogrWhere.isEmpty() ? where : ogrWhere )
                               + QStringLiteral( ") AND 1 = 1" ) );
    }
    catch ( const GisError & )
    {
        QVERIFY( !quick );
        QVERIFY_THROWS_EXCEPTION( GisError, mValues->search( where ) );
        return;
    }
    if ( fast )
        QCOMPARE( *fast, *ogr );
    QCOMPARE( mValues->search( where ), *ogr );
}

void TestGisOverlay::tiledUnionEqualsOneUnion_data()
{
    QTest::addColumn<double>( "tileSize" );
    QTest::newRow( "one piece" ) << 0.0;
    QTest::newRow( "squares of 7" ) << 7.0;
    QTest::newRow( "squares of 2.5, parts across many" ) << 2.5;
}

void TestGisOverlay::tiledUnionEqualsOneUnion()
{
    QFETCH( double, tileSize );
    // Overlapping circles, one with a neighbour touching it, and a ring with a hole.
    Parts parts( { circle( 3, 3, 2.2 ), circle( 5.5, 3.4, 2 ), circle( 12, 12, 1.5 ), circle( 13.5, 12, 1.5 ),
                   QStringLiteral( "POLYGON ((-6 -6, 0 -6, 0 0, -6 0, -6 -6), (-4 -4, -2 -4, -2 -2, -4 -2, -4 -4))" ) } );
    parts.pointers.push_back( nullptr ); // skipped

    const TiledArea area = TiledArea::unionOf( parts.pointers, tileSize, true );
    const Geometry one = ops::unionAll( parts.pointers );
    QVERIFY( close( area.area(), one.area() ) );
    QVERIFY( close( area.toGeometry().area(), one.area() ) );

    // Probes inside, outside, across a square's edge and corner, half over a circle and over the hole.
    for ( const QString &p : { box( 2.5, 2.5, 3.5, 3.5 ), box( 20, 20, 21, 21 ), box( 4, 1.5, 8, 5.5 ), box( -5, -5, 1, 1 ),
                               box( 11, 10, 16, 14 ), box( -3.5, -3.5, -2.5, -2.5 ) } )
    {
        const Geometry probe = wkt( p );
        const double inside = ops::intersect( probe, one ).area();
        const double outside = ops::difference( probe, one ).area();
        const TiledArea::Overlap in = area.intersect( probe, 0 );
        const TiledArea::Overlap out = area.subtract( probe, 0 );
        QVERIFY2( close( areaOf( in, probe ), inside ), qPrintable( p ) );
        QVERIFY2( close( areaOf( out, probe ), outside ), qPrintable( p ) );
        QCOMPARE( in.whole, close( inside, probe.area() ) );
        QCOMPARE( out.whole, close( outside, probe.area() ) );
        if ( !in.whole && !in.part.isNull() )
            QVERIFY( GEOSisValid_r( geosContext(), in.part.get() ) == 1 );
    }
}

void TestGisOverlay::tiledIntersectionOfAreas()
{
    const Geometry a = wkt( circle( 0, 0, 10, 64 ) );
    const Geometry b = wkt( box( -3, -20, 3, 20 ) );
    const Geometry c = wkt( box( 50, 50, 51, 51 ) );
    const TiledArea ta = TiledArea::unionOf( { a.get() }, 4, true );
    const TiledArea tb = TiledArea::unionOf( { b.get() }, 4, true );
    const TiledArea tc = TiledArea::unionOf( { c.get() }, 4, true );

    QVERIFY( close( TiledArea::intersection( ta, tb, true ).area(), ops::intersect( a, b ).area() ) );
    QVERIFY( TiledArea::intersection( ta, tc, false ).isEmpty() );
    // Areas cut on other lattices do not meet square by square.
    QVERIFY_THROWS_EXCEPTION( GisError, TiledArea::intersection( ta, TiledArea::unionOf( { a.get() }, 5, false ), false ) );
}

void TestGisOverlay::freshGeometryReadByManyThreads()
{
    // GEOS computes the envelopes of a geometry and its parts on first use and
    // keeps them; threads doing that at once on a fresh geometry corrupt
    // memory. Every round makes a fresh union of many parts and reads it from
    // all workers at once.
    QStringList squares;
    for ( int i = 0; i < 600; ++i )
        squares << box( 2 * ( i % 30 ), 2 * ( i / 30 ), 2 * ( i % 30 ) + 1, 2 * ( i / 30 ) + 1 );
    const Parts parts( squares );
    auto outside = []( qint64 i, const Geometry &shared ) {
        const double x = static_cast<double>( i % 58 ) + 0.5;
        return ops::difference( wkt( box( x, 0.5, x + 1, 2.5 ) ), shared ).area();
    };
    std::vector<double> expected;
    {
        const Geometry once = ops::unionAll( parts.pointers );
        for ( qint64 i = 0; i < 240; ++i )
            expected.push_back( outside( i, once ) );
    }
    for ( int round = 0; round < 20; ++round )
    {
        const Geometry shared = ops::unionAll( parts.pointers );
        prepareForThreads( shared.get() );
        OrderedResults<double> found( 240, [&]( qint64 i, int ) { return outside( i, shared ); }, 1 );
        for ( qint64 i = 0; i < 240; ++i )
            QVERIFY( close( found.take( i ), expected[static_cast<size_t>( i )] ) );
    }
}

void TestGisOverlay::orderedWorkHandsOverInOrder_data()
{
    QTest::addColumn<qint64>( "count" );
    QTest::addColumn<qint64>( "blockSize" );
    QTest::newRow( "nothing" ) << qint64( 0 ) << qint64( 0 );
    QTest::newRow( "one item" ) << qint64( 1 ) << qint64( 0 );
    QTest::newRow( "many cheap items" ) << qint64( 100000 ) << qint64( 0 );
    QTest::newRow( "odd blocks" ) << qint64( 1001 ) << qint64( 7 );
}

void TestGisOverlay::orderedWorkHandsOverInOrder()
{
    QFETCH( qint64, count );
    QFETCH( qint64, blockSize );
    std::vector<std::atomic<int>> runs( static_cast<size_t>( count ) );
    std::atomic<int> badWorker { 0 };
    OrderedResults<qint64> work(
        count,
        [&]( qint64 item, int worker ) {
            runs[static_cast<size_t>( item )]++;
            if ( worker < 0 || worker >= OrderedWork::maxWorkers() )
                ++badWorker;
            if ( item % 97 == 13 )
                throw GisError( "a failing item" ); // leaves a default result
            return item * item;
        },
        blockSize );
    for ( qint64 i = 0; i < count; ++i )
        QCOMPARE( work.take( i ), i % 97 == 13 ? 0 : i * i );
    work.stop();
    for ( const std::atomic<int> &r : runs )
        QCOMPARE( r.load(), 1 );
    QCOMPARE( badWorker.load(), 0 );
}

void TestGisOverlay::orderedWorkStops()
{
    std::atomic<qint64> computed { 0 };
    {
        OrderedWork work( 1000000, [&]( qint64, int ) { ++computed; } );
        work.waitFor( 10 );
        work.stop();
        // After the stop nothing more is computed.
        const qint64 atStop = computed.load();
        QTest::qWait( 20 );
        QCOMPARE( computed.load(), atStop );
    }
    QVERIFY( computed.load() >= 11 );
}

QTEST_MAIN( TestGisOverlay )
#include "tst_gis_overlay.moc"
