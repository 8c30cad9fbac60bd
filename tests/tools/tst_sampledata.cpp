// Runs the sample data generator into a temporary directory and checks that
// the set serves the program: names, projection, record numbering, fields,
// sizes, value classes, geometry and determinism.

#include "common/Constants.h"

#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace
{
QStringList solarFields( const QString &kind )
{
    QStringList fields { "Cell_ID", "Gridcode", "Lon", "Lat" };
    for ( const char *month : { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" } )
        fields << QLatin1String( month ) + kind;
    return fields << QStringLiteral( "ANN" ) + kind.toUpper();
}

//! The solar grid files with the kind of value each holds (the field suffix).
const std::pair<const char *, const char *> kSolarFiles[] {
    { "11_solar_direct.shp", "dir" }, { "12_solar_tilt.shp", "tilt" },  { "13_solar_direct.shp", "dir" },
    { "14_solar_glo.shp", "glo" },    { "15_solar_glo.shp", "glo" },     { "16_solar_tilt.shp", "tilt" },
    { "17_solar_direct.shp", "dir" }, { "18_solar_tilt.shp", "tilt" },
};
const char *const kWindFiles[] { "20_wind.shp", "21_wind.shp", "22_wind.shp" };

//! One shapefile read whole through OGR.
struct ShapeTable
{
    QStringList fields;
    OGRwkbGeometryType type = wkbUnknown;
    std::vector<std::unique_ptr<OGRFeature>> records;

    QVariant value( std::size_t record, const QString &field ) const
    {
        const OGRFeature &f = *records.at( record );
        const int i = f.GetFieldIndex( field.toUtf8().constData() );
        if ( i < 0 || !f.IsFieldSetAndNotNull( i ) )
            return {};
        if ( f.GetFieldDefnRef( i )->GetType() == OFTString )
            return QString::fromUtf8( f.GetFieldAsString( i ) );
        return f.GetFieldAsDouble( i );
    }
    std::vector<double> numbers( const QString &field ) const
    {
        std::vector<double> v;
        for ( std::size_t r = 0; r < records.size(); ++r )
            v.push_back( value( r, field ).toDouble() );
        return v;
    }
    const OGRGeometry *shape( std::size_t record ) const { return records.at( record )->GetGeometryRef(); }
};

ShapeTable readTable( const QString &path )
{
    ShapeTable t;
    GDALDatasetUniquePtr ds( GDALDataset::Open( path.toUtf8().constData(), GDAL_OF_VECTOR | GDAL_OF_READONLY ) );
    if ( !ds || ds->GetLayerCount() != 1 )
        return t;
    OGRLayer *layer = ds->GetLayer( 0 );
    t.type = wkbFlatten( layer->GetGeomType() );
    for ( int i = 0; i < layer->GetLayerDefn()->GetFieldCount(); ++i )
        t.fields << QString::fromUtf8( layer->GetLayerDefn()->GetFieldDefn( i )->GetNameRef() );
    for ( auto &f : *layer )
        t.records.emplace_back( f.release() );
    return t;
}

//! Area of the polygonal parts of \a g (an overlay may give lines and points too).
double areaOf( const OGRGeometry *g )
{
    if ( !g )
        return 0;
    switch ( wkbFlatten( g->getGeometryType() ) )
    {
        case wkbPolygon:
            return g->toPolygon()->get_Area();
        case wkbMultiPolygon:
            return g->toMultiPolygon()->get_Area();
        case wkbGeometryCollection:
        {
            double area = 0;
            for ( const OGRGeometry *part : *g->toGeometryCollection() )
                area += areaOf( part );
            return area;
        }
        default:
            return 0;
    }
}

double areaOf( const ShapeTable &t )
{
    double area = 0;
    for ( std::size_t r = 0; r < t.records.size(); ++r )
        area += areaOf( t.shape( r ) );
    return area;
}

//! Runs the generator in \a workDir; its exit code, or -1 when it did not end normally.
int runGenerator( const QStringList &arguments, const QString &workDir = {}, QString *errors = nullptr )
{
    QProcess p;
    p.setWorkingDirectory( workDir );
    p.start( qEnvironmentVariable( "OSTRAPEL_SAMPLEDATA" ), arguments );
    const bool ended = p.waitForFinished( 120000 ) && p.exitStatus() == QProcess::NormalExit;
    if ( errors )
        *errors = QString::fromLocal8Bit( p.readAllStandardError() );
    return ended ? p.exitCode() : -1;
}
} // namespace

class TestSampleData : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();

    void standardFile_data();
    void standardFile();
    void fieldNames_data();
    void fieldNames();
    void recordCounts();
    void windClasses_data();
    void windClasses();
    void elevationClasses();
    void solarRange_data();
    void solarRange();
    void landUseTexts();
    void coveringLayersTileTheCountry_data();
    void coveringLayersTileTheCountry();
    void subdivisionsNest();
    void protectedAreasOverlapWind();
    void deterministic();
    void optionIsNoDirectory_data();
    void optionIsNoDirectory();

  private:
    ShapeTable table( const QString &file ) const { return readTable( mFirst.filePath( file ) ); }

    QTemporaryDir mFirst;
    QTemporaryDir mSecond;
};

void TestSampleData::initTestCase()
{
    GDALAllRegister();
    QVERIFY2( !qEnvironmentVariableIsEmpty( "OSTRAPEL_SAMPLEDATA" ), "OSTRAPEL_SAMPLEDATA names the generator" );
    QVERIFY( mFirst.isValid() && mSecond.isValid() );
    QString errors;
    QVERIFY2( runGenerator( { mFirst.path() }, {}, &errors ) == 0, qPrintable( errors ) );
    QVERIFY2( runGenerator( { mSecond.path() }, {}, &errors ) == 0, qPrintable( errors ) );
}

void TestSampleData::standardFile_data()
{
    QTest::addColumn<QString>( "file" );
    for ( const QString &file : Constants::kStandardFileNames )
        QTest::newRow( qPrintable( file ) ) << file;
}

// Every standard file is there with its projection, its records numbered
// 0 to n-1 by FeatureID in record order, and only valid shapes.
void TestSampleData::standardFile()
{
    QFETCH( QString, file );
    QVERIFY( QFile::exists( mFirst.filePath( file ) ) );

    QFile prj( mFirst.filePath( QString( file ).replace( ".shp", ".prj" ) ) );
    QVERIFY( prj.open( QIODevice::ReadOnly ) );
    OGRSpatialReference srs;
    QCOMPARE( srs.importFromWkt( prj.readAll().constData() ), OGRERR_NONE );
    QVERIFY( srs.IsProjected() );
    QCOMPARE( srs.GetLinearUnits(), 1.0 );

    const ShapeTable t = table( file );
    QVERIFY( !t.records.empty() );
    QCOMPARE( t.fields.value( 0 ), QStringLiteral( "FeatureID" ) );
    for ( std::size_t r = 0; r < t.records.size(); ++r )
    {
        QCOMPARE( t.value( r, "FeatureID" ).toLongLong(), static_cast<qlonglong>( r ) );
        QVERIFY( t.shape( r ) && !t.shape( r )->IsEmpty() );
        if ( t.type == wkbPolygon )
            QVERIFY2( t.shape( r )->IsValid(), qPrintable( QStringLiteral( "record %1" ).arg( r ) ) );
    }
}

void TestSampleData::fieldNames_data()
{
    QTest::addColumn<QString>( "file" );
    QTest::addColumn<int>( "type" );
    QTest::addColumn<QStringList>( "fields" );
    const QStringList nameType { "NAME", "TYPE" };
    const QStringList namePop { "NAME", "POP" };
    QTest::newRow( "elevation" ) << "01_elevation.shp" << int( wkbPolygon ) << QStringList { "Elev_m" };
    QTest::newRow( "land use" ) << "02_landuse.shp" << int( wkbPolygon ) << QStringList { "LAND_USE" };
    for ( const auto &[file, kind] : kSolarFiles )
        QTest::newRow( file ) << file << int( wkbPolygon ) << solarFields( kind );
    for ( const char *file : kWindFiles )
        QTest::newRow( file ) << file << int( wkbPolygon ) << QStringList { "WINDCLASS", "WINDPWRD" };
    QTest::newRow( "lakes" ) << "30_lakes.shp" << int( wkbPolygon ) << QStringList { "NAME" };
    QTest::newRow( "protected areas" ) << "31_protectedarea.shp" << int( wkbPolygon ) << nameType;
    QTest::newRow( "districts" ) << "36_subcountrybnd3.shp" << int( wkbPolygon ) << namePop;
    QTest::newRow( "regions" ) << "37_subcountrybnd2.shp" << int( wkbPolygon ) << namePop;
    QTest::newRow( "states" ) << "38_subcountrybnd1.shp" << int( wkbPolygon ) << namePop;
    QTest::newRow( "country" ) << "39_countryboundary.shp" << int( wkbPolygon ) << QStringList();
    QTest::newRow( "rivers" ) << "40_rivers.shp" << int( wkbLineString ) << QStringList { "NAME" };
    QTest::newRow( "railways" ) << "42_railroad.shp" << int( wkbLineString ) << QStringList { "NAME" };
    QTest::newRow( "roads" ) << "43_roads.shp" << int( wkbLineString ) << QStringList { "NAME" };
    QTest::newRow( "transmission" ) << "44_transmissionline.shp" << int( wkbLineString ) << QStringList { "NAME", "VOLTAGE" };
    QTest::newRow( "historic sites" ) << "50_protectedarea.shp" << int( wkbPoint ) << QStringList { "NAME" };
    QTest::newRow( "power plants" ) << "51_powerplant.shp" << int( wkbPoint ) << QStringList { "NAME", "CAPACITY" };
    QTest::newRow( "facilities" ) << "52_facilities.shp" << int( wkbPoint ) << nameType;
    QTest::newRow( "airports" ) << "53_airports.shp" << int( wkbPoint ) << QStringList { "NAME" };
    QTest::newRow( "cities" ) << "59_cities.shp" << int( wkbPoint ) << QStringList { "NAME", "TYPE", "POP" };
}

// The fields the program reads are there, in the letter case it names them,
// and hold a value on every record.
void TestSampleData::fieldNames()
{
    QFETCH( QString, file );
    QFETCH( int, type );
    QFETCH( QStringList, fields );
    const ShapeTable t = table( file );
    QCOMPARE( int( t.type ), type );
    for ( const QString &field : fields )
    {
        QVERIFY2( t.fields.contains( field, Qt::CaseSensitive ), qPrintable( field ) );
        for ( std::size_t r = 0; r < t.records.size(); ++r )
            QVERIFY2( !t.value( r, field ).isNull(), qPrintable( QStringLiteral( "%1 of record %2" ).arg( field ).arg( r ) ) );
    }
}

void TestSampleData::recordCounts()
{
    const std::size_t roads = table( "43_roads.shp" ).records.size();
    const std::size_t lines = table( "44_transmissionline.shp" ).records.size();
    const std::size_t cities = table( "59_cities.shp" ).records.size();
    // Roads reach the size that asks before buffering; transmission lines stay below it.
    QVERIFY2( roads >= 400, qPrintable( QString::number( roads ) ) );
    QVERIFY2( lines < 400 && lines < roads, qPrintable( QString::number( lines ) ) );
    // Few enough cities to be shown by default.
    QVERIFY2( cities < 50, qPrintable( QString::number( cities ) ) );
    QCOMPARE( table( "39_countryboundary.shp" ).records.size(), std::size_t( 1 ) );
}

void TestSampleData::windClasses_data()
{
    QTest::addColumn<QString>( "file" );
    for ( const char *file : kWindFiles )
        QTest::newRow( file ) << file;
}

// Densities fall in every class from below 200 to 800 and more, hit the
// class bounds exactly, and WINDCLASS agrees with the density.
void TestSampleData::windClasses()
{
    QFETCH( QString, file );
    const ShapeTable t = table( file );
    const std::vector<double> bounds { 200, 300, 400, 500, 600, 800 };
    QSet<int> classes;
    QSet<double> exact;
    for ( std::size_t r = 0; r < t.records.size(); ++r )
    {
        const double density = t.value( r, "WINDPWRD" ).toDouble();
        const int k = int( std::upper_bound( bounds.begin(), bounds.end(), density ) - bounds.begin() );
        classes.insert( k );
        if ( std::find( bounds.begin(), bounds.end(), density ) != bounds.end() )
            exact.insert( density );
        QCOMPARE( t.value( r, "WINDCLASS" ).toInt(), k + 1 );
    }
    QCOMPARE( classes.size(), 7 );
    if ( file == QLatin1String( "20_wind.shp" ) )
    {
        for ( double b : { 200.0, 500.0, 800.0 } )
            QVERIFY2( exact.contains( b ), qPrintable( QString::number( b ) ) );
    }
}

void TestSampleData::elevationClasses()
{
    const std::vector<double> bounds { 200, 400, 600, 800, 1000, 1200, 1400, 1600, 1800, 2000, 2200, 2500, 3000 };
    QSet<int> classes;
    bool exact2200 = false, exact3000 = false;
    for ( double v : table( "01_elevation.shp" ).numbers( "Elev_m" ) )
    {
        classes.insert( int( std::upper_bound( bounds.begin(), bounds.end(), v ) - bounds.begin() ) );
        exact2200 |= v == 2200;
        exact3000 |= v == 3000;
    }
    QCOMPARE( classes.size(), 14 );
    QVERIFY( exact2200 && exact3000 );
}

void TestSampleData::solarRange_data()
{
    QTest::addColumn<QString>( "file" );
    QTest::addColumn<QString>( "field" );
    for ( const auto &[file, kind] : kSolarFiles )
        QTest::newRow( file ) << file << QStringLiteral( "ANN%1" ).arg( kind ).toUpper();
}

// Annual values from below 2 to above 9 with a few exact values the input
// lists offer; every half-unit class between is used.
void TestSampleData::solarRange()
{
    QFETCH( QString, file );
    QFETCH( QString, field );
    const std::vector<double> values = table( file ).numbers( field );
    QVERIFY( *std::min_element( values.begin(), values.end() ) < 2 );
    QVERIFY( *std::max_element( values.begin(), values.end() ) > 9 );
    for ( double exact : { 3.3, 4.5, 6.0 } )
        QVERIFY2( std::find( values.begin(), values.end(), exact ) != values.end(), qPrintable( QString::number( exact ) ) );
    QSet<int> halves;
    for ( double v : values )
        halves.insert( std::clamp( int( std::floor( v * 2 ) ), 3, 18 ) );
    QCOMPARE( halves.size(), 16 );
}

void TestSampleData::landUseTexts()
{
    const ShapeTable t = table( "02_landuse.shp" );
    QHash<QString, int> counts;
    for ( std::size_t r = 0; r < t.records.size(); ++r )
        ++counts[t.value( r, "LAND_USE" ).toString()];
    for ( const char *text : { "FOREST", "DENSE FOREST", "GRASSLAND", "AGRICULTURE", "URBAN", "WATER BODIES", "SAVANNA",
                               "COFFEE, FRUITS, AND GRAINS", "BARE SOIL" } )
        QVERIFY2( counts.value( text ) >= 2, text );
    // OGR trims the blanks around a text on reading; the mixed case remains.
    QVERIFY( counts.value( "Forest" ) + counts.value( " Forest " ) >= 1 );
}

void TestSampleData::coveringLayersTileTheCountry_data()
{
    QTest::addColumn<QString>( "file" );
    for ( const char *file : { "01_elevation.shp", "02_landuse.shp", "11_solar_direct.shp", "13_solar_direct.shp", "20_wind.shp",
                               "36_subcountrybnd3.shp", "37_subcountrybnd2.shp", "38_subcountrybnd1.shp" } )
        QTest::newRow( file ) << file;
}

// Gaps or overlaps between cells would show as a difference in total area.
void TestSampleData::coveringLayersTileTheCountry()
{
    QFETCH( QString, file );
    const double country = areaOf( table( "39_countryboundary.shp" ) );
    QVERIFY( country > 150000e6 && country < 300000e6 );
    QVERIFY( qAbs( areaOf( table( file ) ) - country ) < country * 1e-6 );
}

void TestSampleData::subdivisionsNest()
{
    const ShapeTable districts = table( "36_subcountrybnd3.shp" );
    const ShapeTable regions = table( "37_subcountrybnd2.shp" );
    const ShapeTable states = table( "38_subcountrybnd1.shp" );
    QVERIFY( districts.records.size() > regions.records.size() && regions.records.size() > states.records.size() );
    QVERIFY( states.records.size() > 1 );
    auto nestsIn = [&]( const ShapeTable &inner, const ShapeTable &outer ) {
        for ( std::size_t i = 0; i < inner.records.size(); ++i )
        {
            const double area = areaOf( inner.shape( i ) );
            bool inside = false;
            for ( std::size_t o = 0; o < outer.records.size() && !inside; ++o )
            {
                if ( !inner.shape( i )->Intersects( outer.shape( o ) ) )
                    continue;
                std::unique_ptr<OGRGeometry> common( inner.shape( i )->Intersection( outer.shape( o ) ) );
                inside = areaOf( common.get() ) > area * 0.999999;
            }
            if ( !inside )
                return false;
        }
        return true;
    };
    QVERIFY( nestsIn( districts, regions ) );
    QVERIFY( nestsIn( regions, states ) );
}

void TestSampleData::protectedAreasOverlapWind()
{
    const ShapeTable wind = table( "20_wind.shp" );
    const ShapeTable parks = table( "31_protectedarea.shp" );
    int whole = 0, partly = 0;
    for ( std::size_t w = 0; w < wind.records.size(); ++w )
    {
        for ( std::size_t p = 0; p < parks.records.size(); ++p )
        {
            if ( !wind.shape( w )->Intersects( parks.shape( p ) ) )
                continue;
            if ( wind.shape( w )->Within( parks.shape( p ) ) )
                ++whole;
            else
                ++partly;
        }
    }
    QVERIFY( whole >= 5 );
    QVERIFY( partly >= 5 );
}

void TestSampleData::deterministic()
{
    for ( const QString &file : Constants::kStandardFileNames )
    {
        for ( const char *ext : { ".dbf", ".shp" } )
        {
            const QString name = QString( file ).replace( ".shp", QLatin1String( ext ) );
            QFile a( mFirst.filePath( name ) );
            QFile b( mSecond.filePath( name ) );
            QVERIFY( a.open( QIODevice::ReadOnly ) && b.open( QIODevice::ReadOnly ) );
            QVERIFY2( a.readAll() == b.readAll(), qPrintable( name ) );
        }
    }
}

void TestSampleData::optionIsNoDirectory_data()
{
    QTest::addColumn<QStringList>( "arguments" );
    QTest::newRow( "--help" ) << QStringList { "--help" };
    QTest::newRow( "-h" ) << QStringList { "-h" };
    QTest::newRow( "--national first" ) << QStringList { "--national", "out" };
}

// An option where the directory belongs is a usage error and writes nothing.
void TestSampleData::optionIsNoDirectory()
{
    QFETCH( QStringList, arguments );
    QTemporaryDir work;
    QVERIFY( work.isValid() );
    QCOMPARE( runGenerator( arguments, work.path() ), 2 );
    QVERIFY( QDir( work.path() ).entryList( QDir::AllEntries | QDir::NoDotAndDotDot ).isEmpty() );
}

QTEST_GUILESS_MAIN( TestSampleData )
#include "tst_sampledata.moc"
