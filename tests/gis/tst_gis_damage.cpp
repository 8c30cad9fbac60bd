// Damaged and hostile shapefiles: what is read, what is left out and how it
// is counted; which files are not opened at all; memory with a lying index;
// shapes read through the index equal to the driver's reading.

#include "TestSupport.h"

#include "gis/DataConnection.h"

#include <cpl_conv.h>
#include <ogrsf_frmts.h>

#include <QtEndian>
#include <QtTest>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cmath>
#include <functional>
#include <limits>

using namespace gis;
using testsupport::FieldSpec;

namespace
{

//! Changes the file set of the layer whose path without extension is given.
using Corruption = std::function<void( const QString &base )>;

//! What a damaged layer is expected to give; -1 where the count may be anything.
struct Loss
{
    qint64 loaded = 12;
    qint64 records = 12;
    qint64 lost = 0;
    qint64 deleted = 0;
    qint64 unread = 0;
    qint64 undrawable = 0;
    qint64 attributes = 0;
    bool table = false;
    QStringList parts = {};
    bool crs = false;
    bool geo = false;
};

} // namespace

Q_DECLARE_METATYPE( Corruption )
Q_DECLARE_METATYPE( Loss )
Q_DECLARE_METATYPE( ReadDamage::Unopened )

namespace
{

constexpr int kSquares = 12;
// Every square is one record of 136 bytes: an 8-byte header, type, box,
// one part, five points.
constexpr qint64 kRecordBytes = 136;

qint64 recordAt( int record )
{
    return 100 + kRecordBytes * record;
}

//! Offset of the x of \a vertex of \a record in the .shp.
qint64 vertexAt( int record, int vertex )
{
    return recordAt( record ) + 8 + 44 + 4 + 16 * vertex;
}

QByteArray bigEndian( quint32 v )
{
    QByteArray b( 4, '\0' );
    qToBigEndian( v, b.data() );
    return b;
}

QByteArray littleEndian( qint32 v )
{
    QByteArray b( 4, '\0' );
    qToLittleEndian( v, b.data() );
    return b;
}

QByteArray littleEndian( double v )
{
    QByteArray b( 8, '\0' );
    std::memcpy( b.data(), &v, 8 );
    return b;
}

quint16 dbfWord( const QString &base, int at )
{
    const QByteArray head = testsupport::readBytes( base + ".dbf" ).left( 12 );
    return qFromLittleEndian<quint16>( head.constData() + at );
}

//! Offset of row \a row of the table, its deletion flag.
qint64 rowAt( const QString &base, int row )
{
    return dbfWord( base, 8 ) + qint64( dbfWord( base, 10 ) ) * row;
}

void truncate( const QString &path, qint64 size )
{
    QVERIFY( QFile::resize( path, size ) );
}

Corruption setVertex( int record, double value )
{
    return [=]( const QString &base ) {
        testsupport::patchBytes( base + ".shp", vertexAt( record, 2 ), littleEndian( value ) );
    };
}

const QString kGeographicPrj = QStringLiteral(
    "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,298.257223563]],"
    "PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]" );

QString square( double x, double y, double size = 10 )
{
    return QStringLiteral( "POLYGON((%1 %2,%1 %4,%3 %4,%3 %2,%1 %2))" ).arg( x ).arg( y ).arg( x + size ).arg( y + size );
}

//! Peak resident memory of the process so far, in bytes.
qint64 peakMemory()
{
    rusage usage {};
    getrusage( RUSAGE_SELF, &usage );
    return qint64( usage.ru_maxrss ) * 1024;
}

//! Reads every feature of \a path once through the driver, as a plain reader would.
qint64 readOnceThroughDriver( const QString &path )
{
    GDALDatasetUniquePtr ds( GDALDataset::Open( QFile::encodeName( path ).constData(), GDAL_OF_VECTOR | GDAL_OF_READONLY ) );
    qint64 n = 0;
    if ( ds )
    {
        for ( auto &f : *ds->GetLayer( 0 ) )
            n += f ? 1 : 0;
    }
    return n;
}

} // namespace

class TestGisDamage : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();

    void hugeIndexHeaderThroughSparseFile();

    void damageIsCounted_data();
    void damageIsCounted();
    void unreadableValueBecomesNull();
    void recordKeepsAttributesWithoutShape();
    void undrawableShapeTakesNoPart_data();
    void undrawableShapeTakesNoPart();
    void geographicLayerInRange();

    void unopened_data();
    void unopened();
    void linkInsideTheFolderIsRead();
    void virtualPathsAreNotOpened_data();
    void virtualPathsAreNotOpened();
    void connectionTellsWhyNot();

    void shapesReadAsTheDriverReads_data();
    void shapesReadAsTheDriverReads();
    void multipatchesAreNotRead();

  private:
    QTemporaryDir mDir;
    QString mClean; //!< the sound layer, path without extension
    int mCopies = 0;

    //! A fresh copy of the sound layer; its path without extension.
    QString copyOfClean()
    {
        const QString dir = mDir.filePath( QStringLiteral( "copy%1" ).arg( ++mCopies ) );
        QDir().mkpath( dir );
        for ( const char *ext : { ".shp", ".shx", ".dbf", ".prj", ".cpg" } )
        {
            if ( QFileInfo::exists( mClean + ext ) )
                QFile::copy( mClean + ext, dir + "/wind" + ext );
        }
        return dir + "/wind";
    }
};

void TestGisDamage::initTestCase()
{
    QVERIFY( mDir.isValid() );
    QStringList squares;
    std::vector<std::vector<QVariant>> rows;
    for ( int i = 0; i < kSquares; ++i )
    {
        squares << square( 500000 + 20 * i, 4000000 );
        rows.push_back( { 100.0 * i + 0.5, QStringLiteral( "sq %1" ).arg( i ) } );
    }
    const QString dir = mDir.filePath( QStringLiteral( "clean" ) );
    testsupport::writeShapefile( dir, QStringLiteral( "wind.shp" ), squares,
                                 { { QStringLiteral( "WINDPWRD" ), FieldSpec::Real, 12, 2 },
                                   { QStringLiteral( "NAME" ), FieldSpec::String, 10 } },
                                 rows, testsupport::kUtm );
    mClean = dir + "/wind";
    QCOMPARE( QFileInfo( mClean + ".shp" ).size(), recordAt( kSquares ) );
}

void TestGisDamage::hugeIndexHeaderThroughSparseFile()
{
    // An index whose header claims 64 MB, in a sparse file that long: the
    // driver holds it once; the load must not hold it once per thread.
    const QString base = copyOfClean();
    constexpr qint64 kClaimed = 64 << 20;
    truncate( base + ".shx", kClaimed );
    testsupport::patchBytes( base + ".shx", 24, bigEndian( quint32( kClaimed / 2 ) ) );

    const qint64 before = peakMemory();
    QCOMPARE( readOnceThroughDriver( base + ".shp" ), qint64( kSquares ) );
    const qint64 once = peakMemory() - before;

    const auto ds = Dataset::open( base + ".shp" );
    QCOMPARE( ds->recordCount(), qint64( kSquares ) );
    QCOMPARE( ds->damage().records, qint64( kSquares ) );
    QCOMPARE( ds->damage().recordsLost, qint64( 0 ) );
    QCOMPARE( ds->damage().shapesUnread, qint64( 0 ) );
    QCOMPARE( ds->damage().damagedParts, QStringList { QStringLiteral( "wind.shx" ) } );
#if !defined( __SANITIZE_ADDRESS__ )
    // (The address sanitizer keeps freed memory, which blurs the measure.)
    QVERIFY2( peakMemory() - before <= 2 * once + ( 16 << 20 ),
              qPrintable( QStringLiteral( "once %1 MB, load %2 MB" ).arg( once >> 20 ).arg( ( peakMemory() - before ) >> 20 ) ) );
#endif
}

void TestGisDamage::damageIsCounted_data()
{
    QTest::addColumn<Corruption>( "corrupt" );
    QTest::addColumn<Loss>( "loss" );

    QTest::newRow( "sound" ) << Corruption( []( const QString & ) {} ) << Loss {};

    // The shapes: records the index does not lead to soundly keep their attributes only.
    QTest::newRow( "shp cut within record 9" )
        << Corruption( []( const QString &b ) { truncate( b + ".shp", recordAt( 9 ) + 20 ); } )
        << Loss { .unread = 3 };
    QTest::newRow( "entry 3 leads to record 7" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".shx", 100 + 8 * 3, bigEndian( quint32( recordAt( 7 ) / 2 ) ) );
    } ) << Loss { .unread = 1 };
    QTest::newRow( "entry 3 two words into its record" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".shx", 100 + 8 * 3, bigEndian( quint32( recordAt( 3 ) / 2 + 2 ) ) );
    } ) << Loss { .unread = 1 };
    QTest::newRow( "entry 3 beyond the file" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".shx", 100 + 8 * 3, bigEndian( 0x7fffffffu ) );
    } ) << Loss { .unread = 1 };
    QTest::newRow( "entry 3 length two words long" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".shx", 100 + 8 * 3 + 4, bigEndian( quint32( ( kRecordBytes - 8 ) / 2 + 2 ) ) );
    } ) << Loss { .unread = 1 };
    QTest::newRow( "record 3 numbered 4" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".shp", recordAt( 3 ), bigEndian( 5 ) );
    } ) << Loss { .unread = 1 };
    QTest::newRow( "record 3 null with content" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".shp", recordAt( 3 ) + 8, littleEndian( 0 ) );
    } ) << Loss { .unread = 1 };
    QTest::newRow( "record 3 a line in a polygon file" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".shp", recordAt( 3 ) + 8, littleEndian( 3 ) );
    } ) << Loss { .unread = 1 };
    QTest::newRow( "record 3 one point short" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".shp", recordAt( 3 ) + 8 + 40, littleEndian( 4 ) );
    } ) << Loss { .unread = 1 };
    QTest::newRow( "record 3 part starts at point 2" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".shp", recordAt( 3 ) + 8 + 44, littleEndian( 2 ) );
    } ) << Loss { .unread = 1 };

    // Coordinates that cannot be drawn.
    QTest::newRow( "NaN vertex" ) << setVertex( 3, std::numeric_limits<double>::quiet_NaN() ) << Loss { .undrawable = 1 };
    QTest::newRow( "infinite vertex" ) << setVertex( 3, -std::numeric_limits<double>::infinity() ) << Loss { .undrawable = 1 };
    QTest::newRow( "1e300 vertex" ) << setVertex( 3, 1e300 ) << Loss { .undrawable = 1 };
    QTest::newRow( "1.7e308 vertex" ) << setVertex( 3, 1.7e308 ) << Loss { .undrawable = 1 };
    QTest::newRow( "vertex just beyond 1e15" ) << setVertex( 3, 1.0000001e15 ) << Loss { .undrawable = 1 };
    QTest::newRow( "vertex at 1e15" ) << setVertex( 3, 1e15 ) << Loss {};

    // The index and the headers.
    QTest::newRow( "index claims 8 entries" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".shx", 24, bigEndian( ( 100 + 8 * 8 ) / 2 ) );
    } ) << Loss { .loaded = 8, .lost = 4, .parts = { "wind.shx" } };
    QTest::newRow( "index header of points" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".shx", 32, littleEndian( 1 ) );
    } ) << Loss { .parts = { "wind.shx" } };
    QTest::newRow( "shp header of points" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".shp", 32, littleEndian( 1 ) );
    } ) << Loss { .parts = { "wind.shp" } };

    // The table.
    QTest::newRow( "table cut within row 7" ) << Corruption( []( const QString &b ) {
        truncate( b + ".dbf", rowAt( b, 7 ) + 5 );
    } ) << Loss { .loaded = 7, .lost = 5, .parts = { "wind.dbf" } };
    QTest::newRow( "table claims 8 rows" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".dbf", 4, littleEndian( 8 ) );
    } ) << Loss { .loaded = 8, .lost = 4, .parts = { "wind.dbf" } };
    QTest::newRow( "byte inserted into row 2" ) << Corruption( []( const QString &b ) {
        QByteArray bytes = testsupport::readBytes( b + ".dbf" );
        testsupport::writeBytes( b + ".dbf", bytes.insert( rowAt( b, 2 ) + 3, ' ' ) );
    } ) << Loss { .attributes = -1, .parts = { "wind.dbf" } };
    QTest::newRow( "number with a NUL" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".dbf", rowAt( b, 4 ) + 1 + 11, QByteArray( 1, '\0' ) );
    } ) << Loss { .attributes = 1 };
    QTest::newRow( "text zeroed" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".dbf", rowAt( b, 4 ) + 1 + 12, QByteArray( 10, '\0' ) );
    } ) << Loss { .attributes = 1 };
    QTest::newRow( "text with NUL padding" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".dbf", rowAt( b, 4 ) + 1 + 12 + 4, QByteArray( 6, '\0' ) );
    } ) << Loss {};
    QTest::newRow( "field name zeroed" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".dbf", 32, QByteArray( 11, '\0' ) );
    } ) << Loss { .parts = { "wind.dbf" } };
    QTest::newRow( "row 5 deleted" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".dbf", rowAt( b, 5 ), "*" );
    } ) << Loss { .loaded = 11, .deleted = 1 };
    QTest::newRow( "number of row 4 unreadable" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".dbf", rowAt( b, 4 ) + 1 + 9, "x" );
    } ) << Loss { .attributes = 1 };
    QTest::newRow( "number of row 4 empty" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".dbf", rowAt( b, 4 ) + 1, QByteArray( 12, ' ' ) );
    } ) << Loss {};
    QTest::newRow( "number of row 4 stars" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".dbf", rowAt( b, 4 ) + 1, QByteArray( 12, '*' ) );
    } ) << Loss {};
    QTest::newRow( "row length contradicts the fields" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".dbf", 10, littleEndian( qint32( dbfWord( b, 10 ) + 1 ) ).left( 2 ) );
    } ) << Loss { .loaded = -1, .lost = -1, .attributes = -1, .parts = { "wind.dbf" } };
    QTest::newRow( "no table" ) << Corruption( []( const QString &b ) { QFile::remove( b + ".dbf" ); } )
                                << Loss { .table = true };

    // The coordinate system.
    QTest::newRow( "prj unreadable" ) << Corruption( []( const QString &b ) {
        testsupport::writeBytes( b + ".prj", "PROJCS[nonsense" );
    } ) << Loss { .crs = true };
    QTest::newRow( "geographic prj on metres" ) << Corruption( []( const QString &b ) {
        testsupport::writeBytes( b + ".prj", kGeographicPrj.toUtf8() );
    } ) << Loss { .geo = true };
}

void TestGisDamage::damageIsCounted()
{
    QFETCH( Corruption, corrupt );
    QFETCH( Loss, loss );
    const QString base = copyOfClean();
    corrupt( base );

    const auto ds = Dataset::open( base + ".shp" );
    const ReadDamage &d = ds->damage();
    const auto compareCount = []( qint64 actual, qint64 expected ) { return expected < 0 || actual == expected; };
    QVERIFY2( compareCount( ds->recordCount(), loss.loaded ), qPrintable( QString::number( ds->recordCount() ) ) );
    QCOMPARE( d.records, loss.records );
    QVERIFY2( compareCount( d.recordsLost, loss.lost ), qPrintable( QString::number( d.recordsLost ) ) );
    QCOMPARE( d.recordsDeleted, loss.deleted );
    QCOMPARE( d.shapesUnread, loss.unread );
    QCOMPARE( d.shapesUndrawable, loss.undrawable );
    QVERIFY2( compareCount( d.attributesUnread, loss.attributes ), qPrintable( QString::number( d.attributesUnread ) ) );
    QCOMPARE( d.tableUnread, loss.table );
    QCOMPARE( d.damagedParts, loss.parts );
    QCOMPARE( d.crsUnreadable, loss.crs );
    QCOMPARE( d.geographicOutOfRange, loss.geo );
    QCOMPARE( d.isDamaged(), loss.lost != 0 || loss.deleted != 0 || loss.unread != 0 || loss.undrawable != 0
                                 || loss.attributes != 0 || loss.table || !loss.parts.isEmpty() || loss.crs || loss.geo );
    QCOMPARE( ds->shapeKind(), ShapePolygon );

    // Whatever was read can be drawn: every shape and the extent within the limit.
    for ( qint64 r = 0; r < ds->recordCount(); ++r )
    {
        if ( const std::optional<Rect> e = ds->shape( r ).envelope() )
            QVERIFY( std::abs( e->left ) <= kCoordinateLimit && std::abs( e->right ) <= kCoordinateLimit );
    }
    QVERIFY( std::abs( ds->extent().left ) <= kCoordinateLimit && std::abs( ds->extent().right ) <= kCoordinateLimit );
}

void TestGisDamage::unreadableValueBecomesNull()
{
    const QString base = copyOfClean();
    testsupport::patchBytes( base + ".dbf", rowAt( base, 4 ) + 1 + 9, "x" ); // "      400.x0"
    const auto ds = Dataset::open( base + ".shp" );
    const int field = ds->fieldIndex( QStringLiteral( "WINDPWRD" ) );
    QVERIFY( ds->value( 4, field ).isNull() );
    QCOMPARE( ds->value( 4, ds->fieldIndex( QStringLiteral( "NAME" ) ) ).toString(), QStringLiteral( "sq 4" ) );
    QCOMPARE( ds->value( 5, field ).toDouble(), 500.5 );
    QCOMPARE( ds->search( QStringLiteral( "WINDPWRD > 350 AND WINDPWRD < 450" ) ), std::vector<qint64> {} );
}

void TestGisDamage::recordKeepsAttributesWithoutShape()
{
    // Shapes and attributes stay in step: the record whose shape cannot be
    // read is still record 3, and record 7 keeps its own shape.
    const QString base = copyOfClean();
    testsupport::patchBytes( base + ".shx", 100 + 8 * 3, bigEndian( quint32( recordAt( 7 ) / 2 ) ) );
    const auto ds = Dataset::open( base + ".shp" );
    QVERIFY( ds->shape( 3 ).isNull() );
    QCOMPARE( ds->value( 3, ds->fieldIndex( QStringLiteral( "NAME" ) ) ).toString(), QStringLiteral( "sq 3" ) );
    QCOMPARE( ds->value( 7, ds->fieldIndex( QStringLiteral( "NAME" ) ) ).toString(), QStringLiteral( "sq 7" ) );
    QCOMPARE( ds->shape( 7 ).envelope()->left, 500000.0 + 20 * 7 );
    QCOMPARE( ds->searchByDistance( { 500000 + 20 * 3 + 5, 4000005 }, 0 ), std::vector<qint64> {} );
}

void TestGisDamage::undrawableShapeTakesNoPart_data()
{
    QTest::addColumn<double>( "value" );
    QTest::newRow( "NaN" ) << std::numeric_limits<double>::quiet_NaN();
    QTest::newRow( "1e300" ) << 1e300;
    QTest::newRow( "-1.7e308" ) << -1.7e308;
}

void TestGisDamage::undrawableShapeTakesNoPart()
{
    QFETCH( double, value );
    const QString base = copyOfClean();
    setVertex( kSquares - 1, value )( base );
    const auto ds = Dataset::open( base + ".shp" );
    QVERIFY( ds->shape( kSquares - 1 ).isNull() );
    // The extent is that of the other squares.
    QCOMPARE( ds->extent().left, 500000.0 );
    QCOMPARE( ds->extent().right, 500000.0 + 20 * ( kSquares - 2 ) + 10 );
    QCOMPARE( ds->recordsInRect( { -1e300, 1e300, 1e300, -1e300 } ).size(), size_t( kSquares - 1 ) );
}

void TestGisDamage::geographicLayerInRange()
{
    const QString dir = mDir.filePath( QStringLiteral( "degrees" ) );
    testsupport::writeShapefile( dir, QStringLiteral( "geo.shp" ), { square( 10, 40, 1 ), square( 179, 89, 1 ) }, {}, {},
                                 testsupport::kWgs84 );
    QVERIFY( !Dataset::open( dir + "/geo.shp" )->damage().isDamaged() );
}

void TestGisDamage::unopened_data()
{
    QTest::addColumn<Corruption>( "corrupt" );
    QTest::addColumn<ReadDamage::Unopened>( "reason" );
    QTest::addColumn<QString>( "part" );

    for ( const char *ext : { ".shp", ".shx", ".dbf", ".prj", ".cpg", ".PRJ" } )
    {
        QTest::addRow( "FIFO as %s", ext ) << Corruption( [ext]( const QString &b ) {
            QFile::remove( b + QString::fromLatin1( ext ).toLower() );
            QVERIFY( ::mkfifo( QFile::encodeName( b + ext ).constData(), 0600 ) == 0 );
        } ) << ReadDamage::Unopened::NotRegularFile
            << QStringLiteral( "wind" ) + ext;
    }
    QTest::newRow( "dangling link as .dbf" ) << Corruption( []( const QString &b ) {
        QFile::remove( b + ".dbf" );
        QVERIFY( QFile::link( b + ".nowhere", b + ".dbf" ) );
    } ) << ReadDamage::Unopened::NotRegularFile
        << "wind.dbf";
    QTest::newRow( "link out of the folder as .dbf" ) << Corruption( [this]( const QString &b ) {
        QFile::remove( b + ".dbf" );
        QVERIFY( QFile::link( mClean + ".dbf", b + ".dbf" ) );
    } ) << ReadDamage::Unopened::LinkOutside
        << "wind.dbf";
    QTest::newRow( "link out of the folder as .shp" ) << Corruption( [this]( const QString &b ) {
        QFile::remove( b + ".shp" );
        QVERIFY( QFile::link( mClean + ".shp", b + ".shp" ) );
    } ) << ReadDamage::Unopened::LinkOutside
        << "wind.shp";
    QTest::newRow( "directory as .shx" ) << Corruption( []( const QString &b ) {
        QFile::remove( b + ".shx" );
        QVERIFY( QDir().mkdir( b + ".shx" ) );
    } ) << ReadDamage::Unopened::NotRegularFile
        << "wind.shx";
    QTest::newRow( "no index" ) << Corruption( []( const QString &b ) { QFile::remove( b + ".shx" ); } )
                                << ReadDamage::Unopened::MissingIndex << "wind.shx";
    QTest::newRow( "index shorter than its header" )
        << Corruption( []( const QString &b ) { truncate( b + ".shx", 100 + 8 * 5 + 3 ); } )
        << ReadDamage::Unopened::DamagedIndex << "wind.shx";
    QTest::newRow( "shp header cut" ) << Corruption( []( const QString &b ) { truncate( b + ".shp", 50 ); } )
                                      << ReadDamage::Unopened::CannotOpen << "wind.shp";
    QTest::newRow( "GeoJSON named .shp" ) << Corruption( []( const QString &b ) {
        testsupport::writeBytes( b + ".shp", R"({"type":"FeatureCollection","features":[]})" );
    } ) << ReadDamage::Unopened::CannotOpen
        << "wind.shp";
    QTest::newRow( "virtual data source named .shp" ) << Corruption( [this]( const QString &b ) {
        // It would read a layer from elsewhere: the sound copy of this very layer.
        testsupport::writeBytes( b + ".shp", QStringLiteral( "<OGRVRTDataSource><OGRVRTLayer name=\"wind\"><SrcDataSource>%1"
                                                             "</SrcDataSource></OGRVRTLayer></OGRVRTDataSource>" )
                                                 .arg( mClean + ".shp" )
                                                 .toUtf8() );
        QFile::remove( b + ".shx" );
    } ) << ReadDamage::Unopened::CannotOpen
        << "wind.shp";
}

void TestGisDamage::unopened()
{
    QFETCH( Corruption, corrupt );
    QFETCH( ReadDamage::Unopened, reason );
    QFETCH( QString, part );
    const QString base = copyOfClean();
    corrupt( base );
    QStringList fifos;
    const QDir dir( QFileInfo( base ).path() );
    for ( const QString &name : dir.entryList( QDir::System ) )
        fifos << dir.filePath( name );
    testsupport::FifoRelease release( fifos );

    try
    {
        Dataset::open( base + ".shp" );
        QFAIL( "the file set was opened" );
    }
    catch ( const UnreadableDataset &e )
    {
        QCOMPARE( e.damage().unopened, reason );
        QCOMPARE( e.damage().part, part );
        QVERIFY( e.damage().isDamaged() );
    }
}

void TestGisDamage::linkInsideTheFolderIsRead()
{
    const QString base = copyOfClean();
    QVERIFY( QFile::rename( base + ".dbf", base + "-table.dbf" ) );
    QVERIFY( QFile::link( base + "-table.dbf", base + ".dbf" ) );
    QVERIFY( !Dataset::open( base + ".shp" )->damage().isDamaged() );
}

void TestGisDamage::virtualPathsAreNotOpened_data()
{
    QTest::addColumn<QString>( "path" );
    QTest::newRow( "memory" ) << "/vsimem/wind.shp";
    QTest::newRow( "network" ) << "/vsicurl/http://127.0.0.1:9/wind.shp";
    QTest::newRow( "archive" ) << "/vsizip//tmp/data.zip/wind.shp";
}

void TestGisDamage::virtualPathsAreNotOpened()
{
    QFETCH( QString, path );
    try
    {
        Dataset::open( path );
        QFAIL( "a virtual path was opened" );
    }
    catch ( const UnreadableDataset &e )
    {
        QCOMPARE( e.damage().unopened, ReadDamage::Unopened::CannotOpen );
    }
}

void TestGisDamage::connectionTellsWhyNot()
{
    const QString base = copyOfClean();
    QFile::remove( base + ".shx" );
    DataConnection connection;
    connection.setDatabase( QFileInfo( base ).path() );
    QVERIFY( connection.connect() );
    ReadDamage why;
    QVERIFY( !connection.findGeoDataset( QStringLiteral( "wind.shp" ), &why ) );
    QCOMPARE( why.unopened, ReadDamage::Unopened::MissingIndex );
    QVERIFY( !connection.findGeoDataset( QStringLiteral( "nosuch.shp" ), &why ) );
    QCOMPARE( why.unopened, ReadDamage::Unopened::CannotOpen );
    QCOMPARE( why.part, QStringLiteral( "nosuch.shp" ) );
}

void TestGisDamage::shapesReadAsTheDriverReads_data()
{
    QTest::addColumn<QStringList>( "wkts" );
    // Rings are written as given, not turned the way the format wants:
    // which ring is a hole of which is the driver's reading of them.
    QTest::newRow( "polygon with a hole" ) << QStringList { "POLYGON((0 0,0 10,10 10,10 0,0 0),(2 2,8 2,8 8,2 8,2 2))" };
    QTest::newRow( "hole written clockwise" ) << QStringList { "POLYGON((0 0,0 10,10 10,10 0,0 0),(2 2,2 8,8 8,8 2,2 2))" };
    QTest::newRow( "outer ring counter-clockwise" ) << QStringList { "POLYGON((0 0,10 0,10 10,0 10,0 0),(2 2,8 2,8 8,2 8,2 2))" };
    QTest::newRow( "two outer rings" )
        << QStringList { "MULTIPOLYGON(((0 0,0 10,10 10,10 0,0 0)),((20 0,20 10,30 10,30 0,20 0)))", square( 40, 0 ) };
    QTest::newRow( "island in a hole" ) << QStringList {
        "MULTIPOLYGON(((0 0,0 30,30 30,30 0,0 0),(10 10,20 10,20 20,10 20,10 10)),((12 12,12 18,18 18,18 12,12 12)))" };
    QTest::newRow( "invalid bow tie" ) << QStringList { "POLYGON((0 0,10 10,10 0,0 10,0 0))" };
    QTest::newRow( "null among polygons" ) << QStringList { square( 0, 0 ), "POLYGON EMPTY", square( 20, 0 ) };
    QTest::newRow( "lines" ) << QStringList { "LINESTRING(0 0,10 0,10 10)", "MULTILINESTRING((0 0,1 1),(2 2,3 3,4 2))" };
    QTest::newRow( "points" ) << QStringList { "POINT(1 2)", "POINT(-3 4.5)" };
    QTest::newRow( "multipoints" ) << QStringList { "MULTIPOINT((1 2),(3 4))", "MULTIPOINT((5 6))" };
    QTest::newRow( "polygons with z" ) << QStringList { "POLYGON Z((0 0 1,0 10 2,10 10 3,10 0 4,0 0 1))" };
}

void TestGisDamage::shapesReadAsTheDriverReads()
{
    QFETCH( QStringList, wkts );
    const QString dir = mDir.filePath( QStringLiteral( "as-driver-%1" ).arg( ++mCopies ) );
    CPLSetConfigOption( "SHAPE_REWIND_ON_WRITE", "NO" );
    testsupport::writeShapefile( dir, QStringLiteral( "shapes.shp" ), wkts );
    CPLSetConfigOption( "SHAPE_REWIND_ON_WRITE", nullptr );
    const QString path = dir + "/shapes.shp";

    const auto ds = Dataset::open( path );
    QVERIFY( !ds->damage().isDamaged() );
    const QString difference = testsupport::differenceFromDriver( path, *ds );
    QVERIFY2( difference.isEmpty(), qPrintable( difference ) );
}

void TestGisDamage::multipatchesAreNotRead()
{
    // The program has no surfaces: a layer of patches is read without its
    // shapes, and says so.
    const QString dir = mDir.filePath( QStringLiteral( "multipatch" ) );
    QDir().mkpath( dir );
    const QString path = dir + "/patches.shp";
    {
        GDALDriver *driver = GetGDALDriverManager()->GetDriverByName( "ESRI Shapefile" );
        GDALDatasetUniquePtr ds( driver->Create( QFile::encodeName( path ).constData(), 0, 0, 0, GDT_Unknown, nullptr ) );
        QVERIFY( ds );
        const char *options[] = { "SHPT=MULTIPATCH", nullptr };
        OGRLayer *layer = ds->CreateLayer( "patches", nullptr, wkbTINZ, const_cast<char **>( options ) );
        QVERIFY( layer );
        OGRFieldDefn name( "NAME", OFTString );
        QCOMPARE( layer->CreateField( &name ), OGRERR_NONE );
        for ( const char *wkt : { "TIN Z (((0 0 0,0 1 0,1 0 0,0 0 0)),((0 1 0,1 1 0,1 0 0,0 1 0)))",
                                  "TIN Z (((5 5 1,5 6 1,6 5 1,5 5 1)))" } )
        {
            OGRGeometry *g = nullptr;
            QCOMPARE( OGRGeometryFactory::createFromWkt( wkt, nullptr, &g ), OGRERR_NONE );
            OGRFeature feature( layer->GetLayerDefn() );
            feature.SetGeometryDirectly( g );
            feature.SetField( 0, wkt );
            QCOMPARE( layer->CreateFeature( &feature ), OGRERR_NONE );
        }
    }
    const auto ds = Dataset::open( path );
    QCOMPARE( ds->recordCount(), qint64( 2 ) );
    QVERIFY( ds->shape( 0 ).isNull() && ds->shape( 1 ).isNull() );
    QCOMPARE( ds->damage().shapesUnread, qint64( 2 ) );
}

QTEST_GUILESS_MAIN( TestGisDamage )
#include "tst_gis_damage.moc"
