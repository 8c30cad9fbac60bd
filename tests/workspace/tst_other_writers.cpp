// Layers of the sample set as other writers make them (ogr2ogr and the OGR
// API with other kinds of shape, boxes that a writer left 0,0,0,0, stale or
// loose, records carrying blocks their type does not hold, a table of no
// fields), loaded as the program loads a data directory: each loads with no
// message and with what the shapefile driver reads there.

#include "TestSupport.h"

#include "common/Constants.h"
#include "gis/MapWidget.h"
#include "legend/LegendControl.h"
#include "workspace/md_functions.h"

#include <ogrsf_frmts.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <array>
#include <functional>

namespace
{

//! Writes the layer whose base path (without extension) is the second argument from the sample layer of the first.
using Writer = std::function<void( const QString &from, const QString &to )>;

bool ogr2ogr( const QString &from, const QString &to, const QStringList &options )
{
    QProcess process;
    process.start( QStringLiteral( "ogr2ogr" ), QStringList { QStringLiteral( "-f" ), QStringLiteral( "ESRI Shapefile" ), to + ".shp",
                                                              from + ".shp" }
                                                    + options );
    return process.waitForFinished( 60000 ) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

Writer translated( const QStringList &options )
{
    return [=]( const QString &from, const QString &to ) { QVERIFY( ogr2ogr( from, to, options ) ); };
}

Writer copied()
{
    return []( const QString &from, const QString &to ) { testsupport::copyFileSet( from, to ); };
}

//! \a first, then \a then on what it wrote.
Writer andThen( const Writer &first, const std::function<void( const QString &base )> &then )
{
    return [=]( const QString &from, const QString &to ) {
        first( from, to );
        then( to );
    };
}

QByteArray boxBytes( const std::array<double, 4> &box )
{
    QByteArray bytes;
    for ( double v : box )
        bytes += testsupport::littleEndianBytes( v );
    return bytes;
}

//! The box (xmin, ymin, xmax, ymax) at \a at of \a bytes.
std::array<double, 4> boxAt( const QByteArray &bytes, qint64 at )
{
    std::array<double, 4> box {};
    for ( int i = 0; i < 4; ++i )
        box[static_cast<size_t>( i )] = qFromLittleEndian<double>( bytes.constData() + at + 8 * i );
    return box;
}

//! Sets the box in the headers of the .shp and .shx of \a base to what \a change makes of it.
void changeHeaderBox( const QString &base, const std::function<std::array<double, 4>( std::array<double, 4> )> &change )
{
    const std::array<double, 4> box = change( boxAt( testsupport::readBytes( base + ".shp" ), 36 ) );
    for ( const char *ext : { ".shp", ".shx" } )
        testsupport::patchBytes( base + ext, 36, boxBytes( box ) );
}

//! Sets the box of every record of \a base that has one to what \a change makes of it.
void changeRecordBoxes( const QString &base, const std::function<std::array<double, 4>( std::array<double, 4> )> &change )
{
    QByteArray shp = testsupport::readBytes( base + ".shp" );
    const QByteArray shx = testsupport::readBytes( base + ".shx" );
    for ( qint64 entry = 100; entry + 8 <= shx.size(); entry += 8 )
    {
        const qint64 content = qint64( qFromBigEndian<quint32>( shx.constData() + entry ) ) * 2 + 8;
        const int type = qFromLittleEndian<qint32>( shp.constData() + content );
        if ( type != 0 && type % 10 != 1 )
            shp.replace( content + 4, 32, boxBytes( change( boxAt( shp, content + 4 ) ) ) );
    }
    testsupport::writeBytes( base + ".shp", shp );
}

//! Sets the type of shape in both headers and in every record of \a base to \a type.
void retype( const QString &base, qint32 type )
{
    QByteArray shp = testsupport::readBytes( base + ".shp" );
    const QByteArray shx = testsupport::readBytes( base + ".shx" );
    const QByteArray bytes = testsupport::littleEndianBytes( type );
    for ( qint64 entry = 100; entry + 8 <= shx.size(); entry += 8 )
        shp.replace( qint64( qFromBigEndian<quint32>( shx.constData() + entry ) ) * 2 + 8, 4, bytes );
    shp.replace( 32, 4, bytes );
    testsupport::writeBytes( base + ".shp", shp );
    testsupport::patchBytes( base + ".shx", 32, bytes );
}

//! Replaces the table of \a base with one of no fields, a row of only the deletion flag for each of \a rows.
void tableOfNoFields( const QString &base, int rows )
{
    QByteArray dbf( 32, '\0' );
    dbf[0] = 3;
    dbf.replace( 4, 4, testsupport::littleEndianBytes( qint32( rows ) ) );
    dbf.replace( 8, 2, testsupport::littleEndianBytes( quint16( 33 ) ) );
    dbf.replace( 10, 2, testsupport::littleEndianBytes( quint16( 1 ) ) );
    dbf += '\r';
    dbf += QByteArray( rows, ' ' );
    dbf += '\x1a';
    testsupport::writeBytes( base + ".dbf", dbf );
    QFile::remove( base + ".cpg" );
}

//! The sample layer with each two records after another joined into one of several parts.
Writer joinedInPairs()
{
    return []( const QString &from, const QString &to ) {
        GDALDatasetUniquePtr source( GDALDataset::Open( QFile::encodeName( from + ".shp" ).constData(), GDAL_OF_VECTOR ) );
        QVERIFY( source );
        GDALDriver *driver = GetGDALDriverManager()->GetDriverByName( "ESRI Shapefile" );
        GDALDatasetUniquePtr target( driver->Create( QFile::encodeName( to + ".shp" ).constData(), 0, 0, 0, GDT_Unknown, nullptr ) );
        OGRLayer *in = source->GetLayer( 0 );
        const OGRwkbGeometryType multi = OGR_GT_GetCollection( wkbFlatten( in->GetGeomType() ) );
        OGRLayer *out = target->CreateLayer( QFileInfo( to ).fileName().toUtf8().constData(), in->GetSpatialRef(), multi, nullptr );
        for ( int i = 0; i < in->GetLayerDefn()->GetFieldCount(); ++i )
            out->CreateField( in->GetLayerDefn()->GetFieldDefn( i ) );
        std::unique_ptr<OGRFeature> kept;
        for ( auto &f : *in )
        {
            if ( !kept )
            {
                kept.reset( f->Clone() );
                continue;
            }
            auto *parts = OGRGeometryFactory::createGeometry( multi )->toGeometryCollection();
            parts->addGeometry( kept->GetGeometryRef() );
            parts->addGeometry( f->GetGeometryRef() );
            kept->SetGeometryDirectly( parts );
            QCOMPARE( out->CreateFeature( kept.get() ), OGRERR_NONE );
            kept.reset();
        }
        if ( kept )
            QCOMPARE( out->CreateFeature( kept.get() ), OGRERR_NONE );
    };
}

const auto zeroBox = []( std::array<double, 4> ) { return std::array<double, 4> { 0, 0, 0, 0 }; };

} // namespace

Q_DECLARE_METATYPE( Writer )

class TestOtherWriters : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();

    void loadsAsTheDriverReads_data();
    void loadsAsTheDriverReads();

  private:
    QTemporaryDir mRoot;
    QString mSample;
};

void TestOtherWriters::initTestCase()
{
    QVERIFY( mRoot.isValid() );
    QVERIFY2( !qEnvironmentVariableIsEmpty( "OSTRAPEL_SAMPLEDATA" ), "OSTRAPEL_SAMPLEDATA names the generator" );
    Constants::sStandardFiles = Constants::kStandardFileNames;
    GDALAllRegister();
    mSample = mRoot.filePath( QStringLiteral( "sample" ) );
    QProcess generator;
    generator.start( qEnvironmentVariable( "OSTRAPEL_SAMPLEDATA" ), { mSample } );
    QVERIFY( generator.waitForFinished( 120000 ) && generator.exitCode() == 0 );
}

void TestOtherWriters::loadsAsTheDriverReads_data()
{
    QTest::addColumn<QString>( "layer" );
    QTest::addColumn<Writer>( "writer" );
    QTest::addColumn<qint64>( "records" );

    const auto halfWidth = []( std::array<double, 4> b ) { return std::array<double, 4> { b[0], b[1], ( b[0] + b[2] ) / 2, b[3] }; };
    const auto looser = []( std::array<double, 4> b ) { return std::array<double, 4> { b[0] - 0.5, b[1] - 0.5, b[2] + 0.5, b[3] + 0.5 }; };
    const QStringList flat { QStringLiteral( "-dim" ), QStringLiteral( "XY" ) };

    QTest::newRow( "lines, 2D" ) << "43_roads" << translated( flat ) << qint64( 747 );
    QTest::newRow( "lines, with Z" ) << "43_roads" << translated( { "-dim", "XYZ" } ) << qint64( 747 );
    QTest::newRow( "lines, with M" ) << "43_roads" << translated( { "-dim", "XYM" } ) << qint64( 747 );
    QTest::newRow( "polygons, with Z and M" ) << "02_landuse" << translated( { "-dim", "XYZM" } ) << qint64( 431 );
    QTest::newRow( "points, with Z" ) << "59_cities" << translated( { "-dim", "XYZ" } ) << qint64( 40 );
    QTest::newRow( "points, with M" ) << "53_airports" << translated( { "-dim", "XYM" } ) << qint64( 9 );
    QTest::newRow( "lines, multipart" ) << "43_roads" << joinedInPairs() << qint64( 374 );
    QTest::newRow( "polygons, multipart" ) << "30_lakes" << joinedInPairs() << qint64( 4 );
    QTest::newRow( "polygons, record boxes a little larger" )
        << "02_landuse" << andThen( translated( flat ), [=]( const QString &b ) { changeRecordBoxes( b, looser ); } ) << qint64( 431 );
    QTest::newRow( "lines, record boxes a little larger" )
        << "43_roads" << andThen( translated( flat ), [=]( const QString &b ) { changeRecordBoxes( b, looser ); } ) << qint64( 747 );

    // Boxes a writer never filled in or did not update.
    QTest::newRow( "polygons, header box 0,0,0,0" ) << "30_lakes" << andThen( copied(), [=]( const QString &b ) { changeHeaderBox( b, zeroBox ); } )
                                                    << qint64( 8 );
    QTest::newRow( "lines, header box 0,0,0,0" ) << "43_roads" << andThen( copied(), [=]( const QString &b ) { changeHeaderBox( b, zeroBox ); } )
                                                 << qint64( 747 );
    QTest::newRow( "points, header box 0,0,0,0" ) << "53_airports"
                                                   << andThen( copied(), [=]( const QString &b ) { changeHeaderBox( b, zeroBox ); } ) << qint64( 9 );
    QTest::newRow( "polygons, header box over half the data" )
        << "02_landuse" << andThen( copied(), [=]( const QString &b ) { changeHeaderBox( b, halfWidth ); } ) << qint64( 431 );
    QTest::newRow( "points, header box over half the data" )
        << "59_cities" << andThen( copied(), [=]( const QString &b ) { changeHeaderBox( b, halfWidth ); } ) << qint64( 40 );
    QTest::newRow( "polygons, record boxes 0,0,0,0" ) << "30_lakes"
                                                      << andThen( copied(), [=]( const QString &b ) { changeRecordBoxes( b, zeroBox ); } )
                                                      << qint64( 8 );
    QTest::newRow( "lines, record boxes 0,0,0,0" ) << "43_roads"
                                                   << andThen( copied(), [=]( const QString &b ) { changeRecordBoxes( b, zeroBox ); } )
                                                   << qint64( 747 );

    // Z and M blocks under the type of M only, beside a table of no fields.
    QTest::newRow( "PolyLineM records with Z and M blocks, table of no fields" )
        << "43_roads" << andThen( translated( { "-dim", "XYZM" } ), []( const QString &b ) {
               retype( b, 23 );
               tableOfNoFields( b, 747 );
           } ) << qint64( 747 );
}

void TestOtherWriters::loadsAsTheDriverReads()
{
    QFETCH( QString, layer );
    QFETCH( Writer, writer );
    QFETCH( qint64, records );
    const QString dir = mRoot.filePath( QString::fromLatin1( QTest::currentDataTag() ).replace( QRegularExpression( "\\W+" ), "-" ) );
    QVERIFY( QDir().mkpath( dir ) );
    writer( QDir( mSample ).filePath( layer ), QDir( dir ).filePath( layer ) );

    testsupport::RecordingDialogs dialogs;
    std::unique_ptr<gis::MapWidget> map;
    std::unique_ptr<LegendControl> legend;
    testsupport::makeLoadTarget( map, legend );
    md_functions::LoadProject( layer + ".shp", QDir( dir ).filePath( layer + ".shp" ), *map, *legend );
    QVERIFY2( dialogs.shown.empty(), qPrintable( dialogs.texts().join( '\n' ) ) );
    QCOMPARE( map->layerCount(), 1 );
    const gis::Dataset &dataset = *map->layer( 0 )->geoDataset();
    QCOMPARE( dataset.recordCount(), records );
    const QString difference = testsupport::differenceFromDriver( QDir( dir ).filePath( layer + ".shp" ), dataset, 1e-9 );
    QVERIFY2( difference.isEmpty(), qPrintable( difference ) );
}

QTEST_MAIN( TestOtherWriters )
#include "tst_other_writers.moc"
