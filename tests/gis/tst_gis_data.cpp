#include "TestSupport.h"

#include "gis/DataConnection.h"
#include "gis/GisError.h"
#include "gis/Layer.h"
#include "gis/Recordset.h"
#include "gis/StringCollection.h"
#include "gis/TableDesc.h"

#include <ogrsf_frmts.h>

#include <QtTest>

#include <clocale>
#include <cmath>

using namespace gis;
using testsupport::FieldSpec;

Q_DECLARE_METATYPE( std::vector<qint64> )

namespace
{

QString square( double x, double y, double size = 10 )
{
    return QStringLiteral( "POLYGON((%1 %2,%3 %2,%3 %4,%1 %4,%1 %2))" )
        .arg( x )
        .arg( y )
        .arg( x + size )
        .arg( y + size );
}

QByteArray readAll( const QString &path )
{
    QFile f( path );
    return f.open( QIODevice::ReadOnly ) ? f.readAll() : QByteArray();
}

/**
 * Switches the C library's numbers to a decimal comma for the lifetime of
 * the guard, compiling a German locale into \a scratch when the system has
 * none. active() tells whether it worked.
 */
class CommaLocale
{
  public:
    explicit CommaLocale( const QString &scratch )
    {
        mPrevious = std::setlocale( LC_NUMERIC, nullptr );
        for ( const char *name : { "de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE" } )
        {
            if ( std::setlocale( LC_NUMERIC, name ) )
                return;
        }
        const QString target = scratch + QStringLiteral( "/de_DE.UTF-8" );
        QProcess localedef;
        localedef.start( QStringLiteral( "localedef" ),
                         { QStringLiteral( "-i" ), QStringLiteral( "de_DE" ), QStringLiteral( "-f" ),
                           QStringLiteral( "UTF-8" ), target } );
        if ( !localedef.waitForFinished( 60000 ) || !QFileInfo::exists( target ) )
            return;
        mOldLocPath = qgetenv( "LOCPATH" );
        mSetLocPath = true;
        qputenv( "LOCPATH", scratch.toLocal8Bit() );
        std::setlocale( LC_NUMERIC, "de_DE.UTF-8" );
    }
    ~CommaLocale()
    {
        std::setlocale( LC_NUMERIC, mPrevious.c_str() );
        if ( mSetLocPath )
        {
            if ( mOldLocPath.isNull() )
                qunsetenv( "LOCPATH" );
            else
                qputenv( "LOCPATH", mOldLocPath );
        }
    }
    bool active() const { return std::localeconv()->decimal_point[0] == ','; }

  private:
    std::string mPrevious;
    QByteArray mOldLocPath;
    bool mSetLocPath = false;
};

} // namespace

class TestGisData : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();

    void recordsInFileOrder();
    void attributeTypes();
    void shapeKinds_data();
    void shapeKinds();

    void searchExpression_data();
    void searchExpression();
    void searchFailures_data();
    void searchFailures();
    void searchIgnoresCommaLocale();
    void searchDoesNotRereadFile();

    void statistics_data();
    void statistics();

    void distanceSearch_data();
    void distanceSearch();

    void coordinateSystem_data();
    void coordinateSystem();

    void connect_data();
    void connect();
    void findGeoDataset_data();
    void findGeoDataset();
    void invalidPolygonsAreRepairedOnLoad();

    void newDatasetRoundTrip();
    void newDatasetReplacesOldFiles();
    void newDatasetCutsLongFieldName();

    void layerCloneCopiesRenderer();
    void valueMap();
    void stringCollection();

  private:
    QString path( const QString &file ) const { return mDir.filePath( file ); }
    std::shared_ptr<Dataset> openFixture( const QString &file ) const { return Dataset::open( path( file ) ); }
    //! A connection on \a dir, made first when missing.
    static DataConnection connectTo( const QString &dir )
    {
        QDir().mkpath( dir );
        DataConnection conn;
        conn.setDatabase( dir );
        conn.connect();
        return conn;
    }
    //! Writes \a count squares holding \a value in the one field \a field as \a dir / \a name; reads them back.
    static std::shared_ptr<Dataset> writeSquares( const QString &dir, const QString &name, const QString &field,
                                                  int count, double value )
    {
        DataConnection conn = connectTo( dir );
        TableDesc desc;
        desc.setFieldCount( 1 );
        desc.field( 0 ).name = field;
        const auto ds = conn.addGeoDataset( name, desc, std::nullopt );
        if ( !ds )
            return nullptr;
        for ( int i = 0; i < count; ++i )
            ds->addRecord( Geometry::fromWkt( square( i * 10, 0 ).toStdString() ), { value } );
        ds->stopEditing();
        return Dataset::open( dir + "/" + QFileInfo( name ).completeBaseName() + ".shp" );
    }

    QTemporaryDir mDir;
};

void TestGisData::initTestCase()
{
    QVERIFY( mDir.isValid() );
    const QString dir = mDir.path();

    // Wind: a row of squares, the last one with unset numbers.
    const std::vector<FieldSpec> windFields { { "FeatureID", FieldSpec::Integer },
                                              { "WINDPWRD", FieldSpec::Real, 15, 1 },
                                              { "NAME", FieldSpec::String, 20 } };
    const std::vector<std::vector<QVariant>> windRows {
        { 0, 100.0, "low" },      { 1, 500.0, "edge" }, { 2, 750.5, "mid" },
        { 3, 10000.0, "top" },    { 4, 12000.0, "over" }, { QVariant(), QVariant(), QVariant() },
    };
    QStringList windShapes;
    for ( int i = 0; i < 6; ++i )
        windShapes << square( 500000 + i * 10, 4000000 );
    testsupport::writeShapefile( dir, "wind.shp", windShapes, windFields, windRows, testsupport::kUtm );

    testsupport::writeShapefile( dir, "geo.shp", { "POINT(15 45)" }, {}, {}, testsupport::kWgs84 );
    testsupport::writeShapefile( dir, "noprj.shp", { "POINT(1 1)" } );
    testsupport::writeShapefile( dir, "feet.shp", { "POINT(1 1)" }, {}, {}, testsupport::kUtmFeet );
    testsupport::writeShapefile( dir, "usfeet.shp", { "POINT(1 1)" }, {}, {}, testsupport::kUtmUsFeet );

    testsupport::writeShapefile( dir, "points.shp", { "POINT(0 0)", "POINT(10 0)", "POINT(3 4)" } );
    testsupport::writeShapefile( dir, "lines.shp", { "LINESTRING(0 0,10 0)", "LINESTRING(0 20,10 20)" } );
    testsupport::writeShapefile( dir, "polys.shp",
                                 { square( 0, 0 ), square( 10, 0 ),
                                   "MULTIPOLYGON(((30 0,40 0,40 10,30 10,30 0)),((50 0,60 0,60 10,50 10,50 0)))" } );

    // Null shapes only, and no records at all.
    testsupport::writeShapefile( dir, "nulls.shp", { "POLYGON EMPTY", "POLYGON EMPTY" }, {}, {}, testsupport::kUtm );
    testsupport::writeShapefile( dir, "norecords.shp", {} );
    // Invalid polygons: a square with a spike, a bow tie.
    testsupport::writeShapefile( dir, "invalid.shp",
                                 { "POLYGON((0 0,10 0,10 10,5 10,5 20,5 10,0 10,0 0))",
                                   "POLYGON((0 0,10 10,10 0,0 10,0 0))" } );

    QFile junk( path( "junk.shp" ) );
    QVERIFY( junk.open( QIODevice::WriteOnly ) );
    junk.write( "this is not a shapefile" );
}

void TestGisData::recordsInFileOrder()
{
    const auto ds = openFixture( "wind.shp" );
    QCOMPARE( ds->recordCount(), 6 );
    QCOMPARE( ds->fieldNames(), QStringList( { "FeatureID", "WINDPWRD", "NAME" } ) );
    QCOMPARE( ds->fieldIndex( "windpwrd" ), 1 );
    QCOMPARE( ds->fieldIndex( "nosuch" ), -1 );

    Layer layer( ds );
    Recordset rs = layer.records();
    QCOMPARE( rs.count(), 6 );
    const QStringList expectedNames { "low", "edge", "mid", "top", "over", "" };
    for ( int i = 0; !rs.eof(); rs.moveNext(), ++i )
    {
        QCOMPARE( rs.recordIndex(), i );
        QCOMPARE( rs.value( "NAME" ).toString(), expectedNames.at( i ) );
        // Shapes stay with their records: square i starts at 500000 + 10 i.
        double minX = 0;
        GEOSGeom_getXMin_r( geosContext(), rs.shape().get(), &minX );
        QCOMPARE( minX, 500000.0 + i * 10 );
    }
    const Rect extent = ds->extent();
    QCOMPARE( extent.left, 500000.0 );
    QCOMPARE( extent.right, 500060.0 );
    QCOMPARE( extent.bottom, 4000000.0 );
    QCOMPARE( extent.top, 4000010.0 );
}

void TestGisData::attributeTypes()
{
    const auto ds = openFixture( "wind.shp" );
    QCOMPARE( ds->fieldType( 0 ), int( FieldInteger ) );
    QCOMPARE( ds->fieldType( 1 ), int( FieldDouble ) );
    QCOMPARE( ds->fieldType( 2 ), int( FieldString ) );
    QCOMPARE( ds->value( 2, 0 ).typeId(), QMetaType::LongLong );
    QCOMPARE( ds->value( 2, 1 ).typeId(), QMetaType::Double );
    QCOMPARE( ds->value( 2, 1 ).toDouble(), 750.5 );
    QCOMPARE( ds->value( 2, 2 ).typeId(), QMetaType::QString );
    QVERIFY( ds->value( 5, 0 ).isNull() );
    QVERIFY( ds->value( 5, 1 ).isNull() );

    Recordset rs( ds, { 2 } );
    QVERIFY_THROWS_EXCEPTION( GisError, rs.value( "NOSUCH" ) );
    QVERIFY_THROWS_EXCEPTION( GisError, rs.calculateStatistics( "FID" ) );
    QCOMPARE( rs.shapeType(), 23 );
}

void TestGisData::shapeKinds_data()
{
    QTest::addColumn<QString>( "file" );
    QTest::addColumn<int>( "kind" );
    QTest::newRow( "points" ) << "points.shp" << int( ShapePoint );
    QTest::newRow( "lines" ) << "lines.shp" << int( ShapeLine );
    QTest::newRow( "polygons" ) << "polys.shp" << int( ShapePolygon );
}

void TestGisData::shapeKinds()
{
    QFETCH( QString, file );
    QFETCH( int, kind );
    const auto ds = openFixture( file );
    QCOMPARE( int( ds->shapeKind() ), kind );
    for ( qint64 i = 0; i < ds->recordCount(); ++i )
        QCOMPARE( ds->shape( i ).shapeType(), kind );
}

void TestGisData::searchExpression_data()
{
    QTest::addColumn<QString>( "where" );
    QTest::addColumn<std::vector<qint64>>( "expected" );

    QTest::newRow( "wind range" ) << "WINDPWRD >= 500 AND WINDPWRD <= 10000" << std::vector<qint64> { 1, 2, 3 };
    QTest::newRow( "decimal bound" ) << "WINDPWRD >= 750.5 AND WINDPWRD <= 10000" << std::vector<qint64> { 2, 3 };
    QTest::newRow( "empty range" ) << "WINDPWRD >= 800 AND WINDPWRD <= 900" << std::vector<qint64> {};
    QTest::newRow( "every feature" ) << "FeatureID > -1" << std::vector<qint64> { 0, 1, 2, 3, 4 };
    QTest::newRow( "empty clause selects all" ) << "" << std::vector<qint64> { 0, 1, 2, 3, 4, 5 };
    QTest::newRow( "field name in any case" ) << "windpwrd > 10000" << std::vector<qint64> { 4 };
    QTest::newRow( "null values" ) << "WINDPWRD IS NULL" << std::vector<qint64> { 5 };
    QTest::newRow( "text list" ) << "NAME IN ('mid', 'low')" << std::vector<qint64> { 0, 2 };
}

void TestGisData::searchExpression()
{
    QFETCH( QString, where );
    QFETCH( std::vector<qint64>, expected );
    Layer layer( openFixture( "wind.shp" ) );
    QCOMPARE( layer.searchExpression( where ).records(), expected );
}

void TestGisData::searchFailures_data()
{
    QTest::addColumn<QString>( "where" );
    QTest::newRow( "unknown field" ) << "WINDPOWER >= 500";
    QTest::newRow( "syntax error" ) << "WINDPWRD >= AND 5";
    QTest::newRow( "decimal comma" ) << "WINDPWRD >= 2,5";
}

void TestGisData::searchFailures()
{
    QFETCH( QString, where );
    const auto ds = openFixture( "wind.shp" );
    QVERIFY_THROWS_EXCEPTION( GisError, ds->search( where ) );
    // A failed clause leaves no filter behind.
    QCOMPARE( ds->search( "WINDPWRD > 10000" ), std::vector<qint64> { 4 } );
}

void TestGisData::searchIgnoresCommaLocale()
{
    const auto ds = openFixture( "wind.shp" );
    const QString where = "WINDPWRD >= 750.5 AND WINDPWRD <= 10000";
    const std::vector<qint64> expected { 2, 3 };

    const QLocale previous;
    QLocale::setDefault( QLocale( QLocale::German, QLocale::Germany ) );
    QCOMPARE( ds->search( where ), expected );
    QLocale::setDefault( previous );

    QTemporaryDir scratch;
    CommaLocale comma( scratch.path() );
    if ( !comma.active() )
        QSKIP( "no locale with a decimal comma could be made" );
    const auto reopened = openFixture( "wind.shp" );
    QCOMPARE( reopened->value( 2, 1 ).toDouble(), 750.5 );
    QCOMPARE( reopened->search( where ), expected );
}

void TestGisData::searchDoesNotRereadFile()
{
    const QString dir = mDir.path() + "/gone";
    testsupport::writeShapefile( dir, "w.shp", { square( 0, 0 ), square( 20, 0 ) }, { { "WINDPWRD", FieldSpec::Real } },
                                 { { 300.0 }, { 600.0 } } );
    const auto ds = Dataset::open( dir + "/w.shp" );
    QVERIFY( QDir( dir ).removeRecursively() );
    QCOMPARE( ds->search( "WINDPWRD >= 500" ), std::vector<qint64> { 1 } );
    QCOMPARE( ds->searchByDistance( { 25, 5 }, 0 ), std::vector<qint64> { 1 } );
}

void TestGisData::statistics_data()
{
    QTest::addColumn<QString>( "where" );
    QTest::addColumn<QString>( "field" );
    QTest::addColumn<double>( "max" );
    QTest::addColumn<qint64>( "count" );

    QTest::newRow( "all, nulls not counted" ) << "" << "FeatureID" << 4.0 << qint64( 5 );
    QTest::newRow( "real field" ) << "" << "WINDPWRD" << 12000.0 << qint64( 5 );
    QTest::newRow( "selection" ) << "WINDPWRD >= 500 AND WINDPWRD <= 10000" << "WINDPWRD" << 10000.0 << qint64( 3 );
    QTest::newRow( "nothing selected" ) << "WINDPWRD > 50000" << "FeatureID" << 0.0 << qint64( 0 );
    QTest::newRow( "text field counts values" ) << "" << "NAME" << 0.0 << qint64( 5 );
}

void TestGisData::statistics()
{
    QFETCH( QString, where );
    QFETCH( QString, field );
    QFETCH( double, max );
    QFETCH( qint64, count );
    Layer layer( openFixture( "wind.shp" ) );
    const Statistics stats = layer.searchExpression( where ).calculateStatistics( field );
    QCOMPARE( stats.max, max );
    QCOMPARE( stats.count, count );
}

void TestGisData::distanceSearch_data()
{
    QTest::addColumn<QString>( "file" );
    QTest::addColumn<double>( "x" );
    QTest::addColumn<double>( "y" );
    QTest::addColumn<double>( "distance" );
    QTest::addColumn<std::vector<qint64>>( "expected" );

    QTest::newRow( "point hit exactly" ) << "points.shp" << 0.0 << 0.0 << 0.0 << std::vector<qint64> { 0 };
    QTest::newRow( "points within 5, border included" ) << "points.shp" << 0.0 << 0.0 << 5.0 << std::vector<qint64> { 0, 2 };
    QTest::newRow( "points within 10" ) << "points.shp" << 0.0 << 0.0 << 10.0 << std::vector<qint64> { 0, 1, 2 };
    QTest::newRow( "point missed" ) << "points.shp" << 1.0 << 1.0 << 0.0 << std::vector<qint64> {};
    QTest::newRow( "line within 1" ) << "lines.shp" << 5.0 << 1.0 << 1.0 << std::vector<qint64> { 0 };
    QTest::newRow( "line beyond 0.5" ) << "lines.shp" << 5.0 << 1.0 << 0.5 << std::vector<qint64> {};
    QTest::newRow( "on a line" ) << "lines.shp" << 5.0 << 0.0 << 0.0 << std::vector<qint64> { 0 };
    QTest::newRow( "both lines" ) << "lines.shp" << 5.0 << 10.0 << 10.0 << std::vector<qint64> { 0, 1 };
    QTest::newRow( "inside a polygon" ) << "polys.shp" << 5.0 << 5.0 << 0.0 << std::vector<qint64> { 0 };
    QTest::newRow( "on a shared edge" ) << "polys.shp" << 10.0 << 5.0 << 0.0 << std::vector<qint64> { 0, 1 };
    QTest::newRow( "on an outer edge" ) << "polys.shp" << 0.0 << 5.0 << 0.0 << std::vector<qint64> { 0 };
    QTest::newRow( "outside at 0" ) << "polys.shp" << 25.0 << 5.0 << 0.0 << std::vector<qint64> {};
    QTest::newRow( "outside within 5" ) << "polys.shp" << 25.0 << 5.0 << 5.0 << std::vector<qint64> { 1, 2 };
    QTest::newRow( "outside beyond 4.9" ) << "polys.shp" << 25.0 << 5.0 << 4.9 << std::vector<qint64> {};
    QTest::newRow( "in the second part" ) << "polys.shp" << 55.0 << 5.0 << 0.0 << std::vector<qint64> { 2 };
    QTest::newRow( "between the parts" ) << "polys.shp" << 45.0 << 5.0 << 0.0 << std::vector<qint64> {};
}

void TestGisData::distanceSearch()
{
    QFETCH( QString, file );
    QFETCH( double, x );
    QFETCH( double, y );
    QFETCH( double, distance );
    QFETCH( std::vector<qint64>, expected );
    Layer layer( openFixture( file ) );
    QCOMPARE( layer.searchByDistance( { x, y }, distance ).records(), expected );
}

void TestGisData::coordinateSystem_data()
{
    QTest::addColumn<QString>( "file" );
    QTest::addColumn<bool>( "present" );
    QTest::addColumn<QString>( "unit" );
    QTest::addColumn<bool>( "projected" );
    QTest::addColumn<double>( "metresPerUnit" );

    QTest::newRow( "utm" ) << "wind.shp" << true << "meter" << true << 1.0;
    QTest::newRow( "utm in feet" ) << "feet.shp" << true << "foot" << true << testsupport::kMetresPerFoot;
    QTest::newRow( "utm in US survey feet" )
        << "usfeet.shp" << true << "us survey foot" << true << testsupport::kMetresPerUsFoot;
    QTest::newRow( "geographic" ) << "geo.shp" << true << "degree" << false << 0.0;
    QTest::newRow( "no prj" ) << "noprj.shp" << false << "" << false << 0.0;
}

void TestGisData::coordinateSystem()
{
    QFETCH( QString, file );
    QFETCH( bool, present );
    QFETCH( QString, unit );
    QFETCH( bool, projected );
    QFETCH( double, metresPerUnit );

    Layer layer( openFixture( file ) );
    const std::optional<CoordinateSystem> &crs = layer.coordinateSystem();
    QCOMPARE( crs.has_value(), present );
    // Distances and areas of a layer without a system, or in degrees, stay as they are.
    QCOMPARE( groundMetresPerUnit( crs ), metresPerUnit > 0 ? metresPerUnit : 1.0 );
    if ( !present )
        return;
    QCOMPARE( crs->unitName, unit );
    QVERIFY2( std::abs( crs->metresPerUnit - metresPerUnit ) <= 1e-12, qPrintable( QString::number( crs->metresPerUnit, 'g', 17 ) ) );
    QCOMPARE( crs->isProjected, projected );
    QCOMPARE( crs->semiMajorAxis, 6378137.0 );
    QVERIFY( std::abs( crs->flattening - 1 / 298.257223563 ) < 1e-12 );
    QCOMPARE( crs->wkt.toUtf8(), readAll( path( QFileInfo( file ).completeBaseName() + ".prj" ) ) );
}

void TestGisData::connect_data()
{
    QTest::addColumn<QString>( "directory" );
    QTest::addColumn<bool>( "ok" );
    QTest::newRow( "directory" ) << mDir.path() << true;
    QTest::newRow( "missing" ) << mDir.path() + "/missing" << false;
    QTest::newRow( "a file" ) << mDir.path() + "/wind.shp" << false;
    QTest::newRow( "empty" ) << QString() << false;
}

void TestGisData::connect()
{
    QFETCH( QString, directory );
    QFETCH( bool, ok );
    DataConnection conn;
    conn.setDatabase( directory );
    QCOMPARE( conn.connect(), ok );
    QCOMPARE( conn.connected(), ok );
    QCOMPARE( conn.connectError() == 0, ok );
}

void TestGisData::findGeoDataset_data()
{
    QTest::addColumn<QString>( "file" );
    QTest::addColumn<qint64>( "records" ); // -1: nothing
    QTest::newRow( "shapefile" ) << "wind.shp" << qint64( 6 );
    QTest::newRow( "only null shapes" ) << "nulls.shp" << qint64( 2 );
    QTest::newRow( "no records" ) << "norecords.shp" << qint64( 0 );
    QTest::newRow( "missing" ) << "nosuch.shp" << qint64( -1 );
    QTest::newRow( "not a shapefile" ) << "junk.shp" << qint64( -1 );
}

void TestGisData::findGeoDataset()
{
    QFETCH( QString, file );
    QFETCH( qint64, records );
    DataConnection conn;
    conn.setDatabase( mDir.path() );
    QVERIFY( conn.connect() );
    const auto ds = conn.findGeoDataset( file );
    QCOMPARE( ds ? ds->recordCount() : -1, records );
    if ( !ds )
        return;
    QCOMPARE( ds->fileName(), file );
    // Null shapes have no place: they neither widen the extent nor get found.
    QCOMPARE( ds->hasShapes(), file == "wind.shp" );
    if ( !ds->hasShapes() )
        QCOMPARE( ds->extent().width(), 0.0 );
    Layer layer( ds );
    QCOMPARE( layer.searchByDistance( { 0, 0 }, 1 ).count(), 0 );
    QCOMPARE( layer.searchExpression( "" ).count(), records );
}

void TestGisData::invalidPolygonsAreRepairedOnLoad()
{
    // Overlays on invalid input give wrong areas without failing.
    const auto ds = openFixture( "invalid.shp" );
    QCOMPARE( ds->recordCount(), 2 );
    const double areas[] = { 100, 50 };
    for ( qint64 i = 0; i < 2; ++i )
    {
        QCOMPARE( ds->shape( i ).shapeType(), 23 );
        QCOMPARE( GEOSisValid_r( geosContext(), ds->shape( i ).get() ), char( 1 ) );
        QCOMPARE( ds->shape( i ).area(), areas[i] );
    }
}

void TestGisData::newDatasetRoundTrip()
{
    const auto source = openFixture( "wind.shp" );
    const QString outDir = mDir.path() + "/out";
    DataConnection conn = connectTo( outDir );
    QVERIFY( conn.connected() );

    TableDesc desc;
    desc.setFieldCount( 1 );
    desc.field( 0 ).name = "WINDPWRD";
    desc.field( 0 ).type = 5;
    desc.field( 0 ).precision = 15;
    desc.field( 0 ).scale = 1;
    const auto ds = conn.addGeoDataset( "result", desc, source->coordinateSystem() );
    QVERIFY( ds );
    QVERIFY( !QFileInfo::exists( outDir + "/result.shp" ) );

    // Sizes 3, 1, 2 so that the order shows in the areas.
    const std::vector<double> values { 812.3, 500, 10000 };
    const std::vector<double> sizes { 3, 1, 2 };
    for ( size_t i = 0; i < values.size(); ++i )
        QCOMPARE( ds->addRecord( Geometry::fromWkt( square( i * 10, 0, sizes[i] ).toStdString() ), { values[i] } ),
                  qint64( i ) );
    ds->stopEditing();

    GDALAllRegister();
    GDALDataset *written = static_cast<GDALDataset *>(
        GDALOpenEx( QFile::encodeName( outDir + "/result.shp" ).constData(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr ) );
    QVERIFY( written );
    OGRLayer *layer = written->GetLayer( 0 );
    QCOMPARE( wkbFlatten( layer->GetGeomType() ), wkbPolygon );
    QCOMPARE( layer->GetLayerDefn()->GetFieldCount(), 1 );
    const OGRFieldDefn *field = layer->GetLayerDefn()->GetFieldDefn( 0 );
    QCOMPARE( QString( field->GetNameRef() ), QString( "WINDPWRD" ) );
    QCOMPARE( field->GetType(), OFTReal );
    QCOMPARE( field->GetWidth(), 15 );
    QCOMPARE( field->GetPrecision(), 1 );
    QCOMPARE( layer->GetFeatureCount(), GIntBig( 3 ) );
    layer->ResetReading();
    for ( size_t i = 0; i < values.size(); ++i )
    {
        OGRFeature *f = layer->GetNextFeature();
        QVERIFY( f );
        const double value = f->GetFieldAsDouble( 0 );
        const double area = f->GetGeometryRef()->toPolygon()->get_Area();
        OGRFeature::DestroyFeature( f );
        QCOMPARE( value, values[i] );
        QCOMPARE( area, sizes[i] * sizes[i] );
    }
    GDALClose( written );

    QCOMPARE( readAll( outDir + "/result.prj" ), readAll( path( "wind.prj" ) ) );
}

void TestGisData::newDatasetReplacesOldFiles()
{
    const QString outDir = mDir.path() + "/replace";
    QVERIFY( writeSquares( outDir, "again.shp", "ANNTILT", 4, 5.5 ) );
    const auto reread = writeSquares( outDir, "again.shp", "ANNTILT", 2, 5.5 );
    QVERIFY( reread );
    QCOMPARE( reread->recordCount(), 2 );
    QCOMPARE( reread->value( 1, 0 ).toDouble(), 5.5 );
    QVERIFY( !reread->coordinateSystem() );
    QVERIFY( !QFileInfo::exists( outDir + "/again.prj" ) );
}

void TestGisData::newDatasetCutsLongFieldName()
{
    const auto reread = writeSquares( mDir.path() + "/long", "cut", "POWERDENSITY", 1, 1.5 );
    QVERIFY( reread );
    QCOMPARE( reread->fieldNames(), QStringList { "POWERDENSI" } );
    QCOMPARE( reread->value( 0, 0 ).toDouble(), 1.5 );
}

void TestGisData::layerCloneCopiesRenderer()
{
    Layer layer( openFixture( "wind.shp" ) );
    layer.name = "Wind";
    auto breaks = std::make_shared<ClassBreaksRenderer>();
    breaks->field = "WINDPWRD";
    breaks->setBreakCount( 2 );
    breaks->setBreak( 0, 200 );
    breaks->setBreak( 1, 300 );
    layer.renderer = breaks;

    const auto copy = layer.clone();
    QCOMPARE( copy->geoDataset(), layer.geoDataset() );
    QCOMPARE( copy->name, layer.name );
    auto *copied = dynamic_cast<ClassBreaksRenderer *>( copy->renderer.get() );
    QVERIFY( copied );
    QVERIFY( copied != breaks.get() );
    copied->setBreak( 0, 999 );
    QCOMPARE( breaks->breakValue( 0 ), 200.0 );
    QCOMPARE( copied->breakValue( 1 ), 300.0 );
}

void TestGisData::valueMap()
{
    ValueMapRenderer r;
    r.setValueCount( 2 );
    r.setValue( 0, "FOREST" );
    r.setValue( 1, "COFFEE, FRUITS, AND GRAINS" );
    QCOMPARE( r.indexOf( "COFFEE, FRUITS, AND GRAINS" ), 1 );
    QCOMPARE( r.indexOf( "forest" ), -1 );
    QCOMPARE( r.indexOf( "FOREST " ), -1 );
}

void TestGisData::stringCollection()
{
    StringCollection c;
    QVERIFY( c.add( "WATER" ) );
    QVERIFY( c.add( "BARREN" ) );
    QVERIFY( !c.add( "WATER" ) );
    QVERIFY( c.add( "water" ) );
    QCOMPARE( c.count(), 3 );
    QStringList seen;
    for ( const QString &s : c )
        seen << s;
    QCOMPARE( seen, QStringList( { "WATER", "BARREN", "water" } ) );
    QCOMPARE( c.item( 1 ), QString( "BARREN" ) );
}

QTEST_GUILESS_MAIN( TestGisData )
#include "tst_gis_data.moc"
