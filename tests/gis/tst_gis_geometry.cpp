#include "gis/Geometry.h"
#include "gis/GeometryOps.h"
#include "gis/GisError.h"

#include <QtTest>

#include <cmath>
#include <optional>
#include <thread>

using namespace gis;

namespace
{

const char *kSquareA = "POLYGON((0 0,10 0,10 10,0 10,0 0))";
const char *kSquareB = "POLYGON((5 0,15 0,15 10,5 10,5 0))";     // overlaps A by 5 x 10
const char *kSquareC = "POLYGON((10 0,20 0,20 10,10 10,10 0))";   // shares A's right edge
const char *kSquareD = "POLYGON((10 10,20 10,20 20,10 20,10 10))"; // meets A in one corner
const char *kSquareE = "POLYGON((30 0,40 0,40 10,30 10,30 0))";   // apart from A
const char *kBigSquare = "POLYGON((-5 -5,15 -5,15 15,-5 15,-5 -5))";

constexpr double kNothing = -1;

Geometry wkt( const char *text )
{
    return Geometry::fromWkt( text );
}

//! The extent the clipped rows use: 0..8 x 0..10.
const Rect kClip { 0, 8, 10, 0 };

Geometry overlayOf( const QString &op, const Geometry &a, const Geometry &b, const std::optional<Rect> &extent )
{
    if ( op == QLatin1String( "union" ) )
        return extent ? ops::unionOf( a, b, *extent ) : ops::unionOf( a, b );
    if ( op == QLatin1String( "intersect" ) )
        return extent ? ops::intersect( a, b, *extent ) : ops::intersect( a, b );
    return extent ? ops::difference( a, b, *extent ) : ops::difference( a, b );
}

/**
 * Checks that \a g is nothing when \a expected is kNothing, else a polygon
 * of area \a expected, exactly or within \a tolerance (a share of the area).
 */
void verifyArea( const Geometry &g, double expected, double tolerance = 0 )
{
    if ( expected == kNothing )
    {
        QVERIFY2( g.isNull(), qPrintable( QString::number( g.area() ) ) );
        return;
    }
    QVERIFY( !g.isNull() );
    QCOMPARE( g.shapeType(), 23 );
    if ( tolerance == 0 )
        QCOMPARE( g.area(), expected );
    else
        QVERIFY2( std::abs( g.area() - expected ) <= expected * tolerance, qPrintable( QString::number( g.area() ) ) );
}

} // namespace

class TestGisGeometry : public QObject
{
    Q_OBJECT

  private slots:
    void shapeTypeCodes_data();
    void shapeTypeCodes();
    void copyClones();
    void invalidTextThrows();

    void overlay_data();
    void overlay();
    void bufferAreas_data();
    void bufferAreas();
    void rectangleBufferGivesItsPolygon();
    void nullInputGivesNothing();
    void polygonalPart_data();
    void polygonalPart();
    void unionAllKeepsParts();
    void worksOnAnotherThread();
};

void TestGisGeometry::shapeTypeCodes_data()
{
    QTest::addColumn<QString>( "text" );
    QTest::addColumn<int>( "code" );
    QTest::newRow( "point" ) << "POINT(1 2)" << 21;
    QTest::newRow( "multipoint" ) << "MULTIPOINT((1 2),(3 4))" << 21;
    QTest::newRow( "line" ) << "LINESTRING(0 0,1 1)" << 22;
    QTest::newRow( "multiline" ) << "MULTILINESTRING((0 0,1 1),(2 2,3 3))" << 22;
    QTest::newRow( "polygon" ) << kSquareA << 23;
    QTest::newRow( "multipolygon" ) << "MULTIPOLYGON(((0 0,1 0,1 1,0 0)),((5 5,6 5,6 6,5 5)))" << 23;
    QTest::newRow( "polygon z" ) << "POLYGON Z((0 0 1,1 0 1,1 1 1,0 0 1))" << 23;
    QTest::newRow( "collection" ) << "GEOMETRYCOLLECTION(POINT(0 0),LINESTRING(0 0,1 1))" << 0;
}

void TestGisGeometry::shapeTypeCodes()
{
    QFETCH( QString, text );
    QFETCH( int, code );
    const Geometry g = Geometry::fromWkt( text.toStdString() );
    QCOMPARE( g.shapeType(), code );
    QCOMPARE( g.isPolygonal(), code == 23 );
}

void TestGisGeometry::copyClones()
{
    Geometry a = wkt( kSquareA );
    Geometry b = a;
    QVERIFY( a.get() != b.get() );
    QCOMPARE( b.toWkt(), a.toWkt() );
    a = Geometry();
    QVERIFY( a.isNull() );
    QCOMPARE( b.area(), 100.0 );

    const Geometry none;
    QCOMPARE( none.shapeType(), 0 );
    QVERIFY( !none.isPolygonal() );
    QCOMPARE( none.area(), 0.0 );
}

void TestGisGeometry::invalidTextThrows()
{
    QVERIFY_THROWS_EXCEPTION( GisError, Geometry::fromWkt( "POLYGON((0 0,1 0" ) );
}

void TestGisGeometry::overlay_data()
{
    QTest::addColumn<QString>( "op" );
    QTest::addColumn<QString>( "a" );
    QTest::addColumn<QString>( "b" );
    QTest::addColumn<bool>( "clipped" );
    QTest::addColumn<double>( "expectedArea" );

    QTest::newRow( "union of overlapping" ) << "union" << kSquareA << kSquareB << false << 150.0;
    QTest::newRow( "intersection of overlapping" ) << "intersect" << kSquareA << kSquareB << false << 50.0;
    QTest::newRow( "difference of overlapping" ) << "difference" << kSquareA << kSquareB << false << 50.0;
    QTest::newRow( "union clipped" ) << "union" << kSquareA << kSquareB << true << 80.0;
    QTest::newRow( "intersection clipped" ) << "intersect" << kSquareA << kSquareB << true << 30.0;
    QTest::newRow( "difference inside extent" ) << "difference" << kSquareA << kSquareB << true << 50.0;
    QTest::newRow( "union of edge neighbours" ) << "union" << kSquareA << kSquareC << false << 200.0;
    QTest::newRow( "union of separate squares" ) << "union" << kSquareA << kSquareE << false << 200.0;
    // GEOS answers these with a line, a point or an empty geometry.
    QTest::newRow( "edge contact intersects as nothing" ) << "intersect" << kSquareA << kSquareC << false << kNothing;
    QTest::newRow( "corner contact intersects as nothing" ) << "intersect" << kSquareA << kSquareD << false << kNothing;
    QTest::newRow( "apart intersects as nothing" ) << "intersect" << kSquareA << kSquareE << false << kNothing;
    QTest::newRow( "covered difference is nothing" ) << "difference" << kSquareA << kBigSquare << false << kNothing;
    QTest::newRow( "difference of edge neighbours is whole" ) << "difference" << kSquareA << kSquareC << false << 100.0;
    // Overlap in one part, edge contact in the other: a collection of a
    // polygon and a line, of which the polygon is kept.
    QTest::newRow( "overlap and touch keeps the polygon" )
        << "intersect" << kSquareA << "MULTIPOLYGON(((5 0,15 0,15 5,5 5,5 0)),((10 5,20 5,20 10,10 10,10 5)))" << false
        << 25.0;
    QTest::newRow( "hole" ) << "difference" << kBigSquare << kSquareA << false << 300.0;
    // A bow tie is repaired into two triangles of 25 each.
    QTest::newRow( "invalid input repaired" )
        << "intersect" << "POLYGON((0 0,10 10,10 0,0 10,0 0))" << kBigSquare << false << 50.0;
}

void TestGisGeometry::overlay()
{
    QFETCH( QString, op );
    QFETCH( QString, a );
    QFETCH( QString, b );
    QFETCH( bool, clipped );
    QFETCH( double, expectedArea );
    const Geometry result = overlayOf( op, Geometry::fromWkt( a.toStdString() ), Geometry::fromWkt( b.toStdString() ),
                                       clipped ? std::optional<Rect>( kClip ) : std::nullopt );
    verifyArea( result, expectedArea );
}

void TestGisGeometry::bufferAreas_data()
{
    QTest::addColumn<QString>( "input" );
    QTest::addColumn<double>( "distance" );
    QTest::addColumn<bool>( "clipped" );
    QTest::addColumn<double>( "expectedArea" );

    QTest::newRow( "point by 1 is a circle" ) << "POINT(100 100)" << 1.0 << false << M_PI;
    QTest::newRow( "circle clipped to a quarter" ) << "POINT(0 0)" << 1.0 << true << M_PI / 4;
    QTest::newRow( "line by 1" ) << "LINESTRING(0 0,10 0)" << 1.0 << false << 20 + M_PI;
    QTest::newRow( "two lines by 1" )
        << "MULTILINESTRING((0 0,10 0),(0 100,10 100))" << 1.0 << false << 2 * ( 20 + M_PI );
    QTest::newRow( "square by 0 is itself" ) << kSquareA << 0.0 << false << 100.0;
    QTest::newRow( "square shrunk" ) << kSquareA << -1.0 << false << 64.0;
    QTest::newRow( "square shrunk away" ) << kSquareA << -6.0 << false << kNothing;
    QTest::newRow( "point by 0 is nothing" ) << "POINT(0 0)" << 0.0 << false << kNothing;
}

void TestGisGeometry::bufferAreas()
{
    QFETCH( QString, input );
    QFETCH( double, distance );
    QFETCH( bool, clipped );
    QFETCH( double, expectedArea );
    const Geometry g = Geometry::fromWkt( input.toStdString() );
    verifyArea( clipped ? ops::buffer( g, distance, kClip ) : ops::buffer( g, distance ), expectedArea, 0.01 );
}

void TestGisGeometry::rectangleBufferGivesItsPolygon()
{
    const Rect r { 2, 6, 9, 1 };
    const Geometry polygon = ops::buffer( ops::fromRect( r ), 0, Rect { 0, 100, 100, 0 } );
    QVERIFY( !polygon.isNull() );
    QCOMPARE( polygon.shapeType(), 23 );
    QCOMPARE( polygon.area(), 32.0 );
}

void TestGisGeometry::nullInputGivesNothing()
{
    const Geometry none;
    const Geometry a = wkt( kSquareA );
    QVERIFY( ops::buffer( none, 5 ).isNull() );
    QVERIFY( ops::unionOf( a, none ).isNull() );
    QVERIFY( ops::intersect( none, a ).isNull() );
    QVERIFY( ops::difference( none, a ).isNull() );
    QVERIFY( ops::unionAll( {} ).isNull() );
}

void TestGisGeometry::polygonalPart_data()
{
    QTest::addColumn<QString>( "input" );
    QTest::addColumn<double>( "expectedArea" );

    QTest::newRow( "polygon kept" ) << kSquareA << 100.0;
    QTest::newRow( "line dropped" ) << "LINESTRING(0 0,10 0)" << kNothing;
    QTest::newRow( "point dropped" ) << "POINT(3 3)" << kNothing;
    QTest::newRow( "empty polygon dropped" ) << "POLYGON EMPTY" << kNothing;
    QTest::newRow( "empty collection dropped" ) << "GEOMETRYCOLLECTION EMPTY" << kNothing;
    QTest::newRow( "polygons of a collection kept" )
        << "GEOMETRYCOLLECTION(POLYGON((0 0,1 0,1 1,0 1,0 0)),LINESTRING(5 5,6 6),POLYGON((3 3,5 3,5 5,3 5,3 3)))" << 5.0;
    QTest::newRow( "collection without area dropped" ) << "GEOMETRYCOLLECTION(POINT(0 0),LINESTRING(5 5,6 6))" << kNothing;
}

void TestGisGeometry::polygonalPart()
{
    QFETCH( QString, input );
    QFETCH( double, expectedArea );
    verifyArea( ops::polygonalPart( Geometry::fromWkt( input.toStdString() ) ), expectedArea );
}

void TestGisGeometry::unionAllKeepsParts()
{
    const Geometry a = wkt( kSquareA );
    const Geometry b = wkt( kSquareB );
    const Geometry e = wkt( kSquareE );
    const Geometry merged = ops::unionAll( { a.get(), b.get(), e.get() } );
    QVERIFY( !merged.isNull() );
    QCOMPARE( merged.area(), 250.0 );
    QCOMPARE( GEOSGetNumGeometries_r( geosContext(), merged.get() ), 2 );
}

void TestGisGeometry::worksOnAnotherThread()
{
    // Each thread works in a context of its own; a geometry made on one
    // thread may be used and freed on another.
    const Geometry a = wkt( kSquareA );
    double area = 0;
    std::string error;
    std::thread worker( [&] {
        try
        {
            const Geometry b = Geometry::fromWkt( kSquareB );
            area = ops::intersect( a, b ).area();
        }
        catch ( const std::exception &e )
        {
            error = e.what();
        }
    } );
    worker.join();
    QVERIFY2( error.empty(), error.c_str() );
    QCOMPARE( area, 50.0 );
}

QTEST_GUILESS_MAIN( TestGisGeometry )
#include "tst_gis_geometry.moc"
