// Damaged and hostile shapefiles: what is read, what is left out and how it
// is counted and worded; which files are not opened at all; memory and time
// with a lying index or table header; a loading thread that fails; shapes
// read through the index equal to the driver's reading.

#include "TestSupport.h"

#include "gis/DataConnection.h"
#include "workspace/DamageReport.h"

#include <cpl_conv.h>
#include <cpl_vsi.h>
#include <ogrsf_frmts.h>

#include <QtTest>

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>
#include <new>
#include <thread>

using namespace gis;
using testsupport::bigEndianBytes;
using testsupport::FieldSpec;
using testsupport::littleEndianBytes;

#if !defined( __SANITIZE_ADDRESS__ )
namespace
{
// The threads that read a file set run out of memory while this is set.
std::atomic<bool> gLoadingThreadsFail { false };
const std::thread::id gMainThread = std::this_thread::get_id();
} // namespace

void *operator new( std::size_t size )
{
    if ( gLoadingThreadsFail.load( std::memory_order_relaxed ) && std::this_thread::get_id() != gMainThread )
        throw std::bad_alloc();
    if ( void *p = std::malloc( size > 0 ? size : 1 ) )
        return p;
    throw std::bad_alloc();
}

void operator delete( void *p ) noexcept
{
    std::free( p );
}

void operator delete( void *p, std::size_t ) noexcept
{
    std::free( p );
}
#endif

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
    qint64 tooSmall = 0;
    qint64 partTooSmall = 0;
    qint64 outside = 0;
    ShapeKind kind = ShapePolygon;
    qint64 attributes = 0;
    bool table = false;
    std::map<QString, qint64> fields = {}; //!< values lost by field, of fields whose description is damaged
    QStringList parts = {};
    bool crs = false;
    bool geo = false;
    bool rebuilt = false;  //!< the records were read in the order of the .shp, not through its index
    QString encoding = {}; //!< the encoding named by the .cpg that was not applied
    QString line = {};     //!< the line of the damage message, when given

    bool operator==( const Loss & ) const = default;
};

} // namespace

Q_DECLARE_METATYPE( Corruption )
Q_DECLARE_METATYPE( Loss )
Q_DECLARE_METATYPE( ReadDamage::Unopened )

namespace
{

// Square i lies at x = 500000 + 20 i and is named "sq i". Every square is
// one record of 136 bytes: an 8-byte header, type, box, one part, five points.
constexpr int kSquares = 12;
constexpr qint64 kRecordBytes = 136;
constexpr qint64 kEntry3 = 100 + 8 * 3; //!< the index entry of record 3

//! What a damaged index alone gives, the .shp walked in its stead.
const Loss kIndexRebuilt { .rebuilt = true,
                           .line = QStringLiteral( "wind.shp: its index file wind.shx is damaged; "
                                                   "the records were read from wind.shp in order." ) };

//! Sets the length of the index that its header claims to \a words 16-bit words.
Corruption indexClaims( quint32 words )
{
    return [=]( const QString &b ) { testsupport::patchBytes( b + ".shx", 24, bigEndianBytes( words ) ); };
}

qint64 recordAt( int record )
{
    return 100 + kRecordBytes * record;
}

quint16 dbfWord( const QString &base, int at )
{
    return qFromLittleEndian<quint16>( testsupport::readBytes( base + ".dbf" ).constData() + at );
}

//! Offset of row \a row of the table, its deletion flag.
qint64 rowAt( const QString &base, int row )
{
    return dbfWord( base, 8 ) + qint64( dbfWord( base, 10 ) ) * row;
}

Corruption patch( const char *ext, qint64 offset, const QByteArray &bytes )
{
    return [=]( const QString &b ) { testsupport::patchBytes( b + ext, offset, bytes ); };
}

//! Overwrites bytes of row \a row, from \a offset after its deletion flag on.
Corruption patchRow( int row, qint64 offset, const QByteArray &bytes )
{
    return [=]( const QString &b ) { testsupport::patchBytes( b + ".dbf", rowAt( b, row ) + offset, bytes ); };
}

Corruption cut( const char *ext, qint64 size )
{
    return [=]( const QString &b ) { QVERIFY( QFile::resize( b + ext, size ) ); };
}

//! Sets the x of the third vertex of \a record.
Corruption setVertex( int record, double value )
{
    return patch( ".shp", recordAt( record ) + 8 + 44 + 4 + 16 * 2, littleEndianBytes( value ) );
}

//! Sets the box of record \a record to \a box (xmin, ymin, xmax, ymax).
Corruption setRecordBox( int record, std::array<double, 4> box )
{
    QByteArray bytes;
    for ( double v : box )
        bytes += littleEndianBytes( v );
    return patch( ".shp", recordAt( record ) + 8 + 4, bytes );
}

//! Sets the box of the file in the headers of the .shp and the .shx to \a box (xmin, ymin, xmax, ymax).
Corruption setHeaderBox( std::array<double, 4> box )
{
    QByteArray bytes;
    for ( double v : box )
        bytes += littleEndianBytes( v );
    return [=]( const QString &b ) {
        for ( const char *ext : { ".shp", ".shx" } )
            patch( ext, 36, bytes )( b );
    };
}

//! Applies \a corruptions in turn.
Corruption both( const Corruption &first, const Corruption &second )
{
    return [=]( const QString &b ) {
        first( b );
        second( b );
    };
}

//! Takes the right to read the part \a ext.
Corruption deny( const char *ext )
{
    return [=]( const QString &b ) { QVERIFY( QFile::setPermissions( b + ext, {} ) ); };
}

//! Removes the part \a ext and has \a make put something else in its place.
Corruption replace( const char *ext, const std::function<bool( const QString &path )> &make )
{
    return [=]( const QString &b ) {
        QFile::remove( b + QString::fromLatin1( ext ).toLower() );
        QVERIFY( make( b + ext ) );
    };
}

const QString kGeographicPrj = QStringLiteral(
    "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,298.257223563]],"
    "PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]" );

QString square( double x, double y, double size = 10 )
{
    return QStringLiteral( "POLYGON((%1 %2,%1 %4,%3 %4,%3 %2,%1 %2))" ).arg( x ).arg( y ).arg( x + size ).arg( y + size );
}

/**
 * Writes the layer anew as the sound one, but for its shapes: record i a
 * square, a line or a point at x = 500000 + 20 i; record \a record \a wkt.
 */
Corruption layerOf( ShapeKind kind, int record = -1, const QString &wkt = {} )
{
    return [=]( const QString &b ) {
        QStringList shapes;
        std::vector<std::vector<QVariant>> rows;
        for ( int i = 0; i < kSquares; ++i )
        {
            const double x = 500000 + 20 * i;
            shapes << ( i == record                ? wkt
                        : kind == ShapePolygon     ? square( x, 4000000 )
                        : kind == ShapeLine        ? QStringLiteral( "LINESTRING(%1 4000000,%2 4000010)" ).arg( x ).arg( x + 10 )
                                                   : QStringLiteral( "POINT(%1 4000000)" ).arg( x ) );
            rows.push_back( { 100.0 * i + 0.5, QStringLiteral( "sq %1" ).arg( i ) } );
        }
        for ( const char *ext : { ".shp", ".shx", ".dbf", ".prj" } )
            QFile::remove( b + ext );
        testsupport::writeShapefile( QFileInfo( b ).path(), QStringLiteral( "wind.shp" ), shapes,
                                     { { QStringLiteral( "WINDPWRD" ), FieldSpec::Real, 12, 2 },
                                       { QStringLiteral( "NAME" ), FieldSpec::String, 10 } },
                                     rows, testsupport::kUtm );
    };
}

//! Moves record \a record of the squares, its box and its vertices, by \a dx.
Corruption shiftSquare( int record, double dx )
{
    return [=]( const QString &b ) {
        const qint64 content = recordAt( record ) + 8;
        const QByteArray shp = testsupport::readBytes( b + ".shp" );
        for ( qint64 at : { content + 4, content + 20, content + 48, content + 64, content + 80, content + 96, content + 112 } )
        {
            const double x = qFromLittleEndian<double>( shp.constData() + at );
            testsupport::patchBytes( b + ".shp", at, littleEndianBytes( x + dx ) );
        }
    };
}

//! What Dataset::open reports of \a path, which it must refuse to open (nothing when it opens it).
ReadDamage refusal( const QString &path )
{
    try
    {
        Dataset::open( path );
    }
    catch ( const UnreadableDataset &e )
    {
        return e.damage();
    }
    return ReadDamage();
}

/**
 * How far the resident memory of the process rose at its peak since
 * start(), in bytes: start() sets the kernel's peak back to the present.
 */
class PeakMemory
{
  public:
    void start()
    {
        QFile reset( QStringLiteral( "/proc/self/clear_refs" ) );
        if ( reset.open( QIODevice::WriteOnly | QIODevice::Unbuffered ) )
            reset.write( "5" );
        mBase = peak();
    }
    qint64 rise() const { return peak() - mBase; }

  private:
    static qint64 peak()
    {
        QFile status( QStringLiteral( "/proc/self/status" ) );
        if ( !status.open( QIODevice::ReadOnly ) )
            return 0;
        const QByteArray text = status.readAll();
        const qsizetype at = text.indexOf( "VmHWM:" );
        return at < 0 ? 0 : text.mid( at + 6, text.indexOf( '\n', at ) - at - 6 ).replace( "kB", "" ).trimmed().toLongLong() * 1024;
    }
    qint64 mBase = 0;
};

//! The line the damage message gives \a damage of the file set \a fileName, numbers written in English.
QString reportLine( const QString &fileName, const ReadDamage &damage )
{
    const QLocale before;
    QLocale::setDefault( QLocale( QLocale::English, QLocale::UnitedStates ) );
    DamageReport report;
    report.add( fileName, damage );
    QLocale::setDefault( before );
    return report.isEmpty() ? QString() : report.text().section( QLatin1Char( '\n' ), 2 );
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

    void lyingHeaderThroughSparseFile_data();
    void lyingHeaderThroughSparseFile();

    void damageIsCounted_data();
    void damageIsCounted();
    void partTooSmallIsDroppedAlone_data();
    void partTooSmallIsDroppedAlone();
    void failingThreadIsDamage_data();
    void failingThreadIsDamage();
    void unreadableValueBecomesNull_data();
    void unreadableValueBecomesNull();
    void geographicLayerInRange();

    void unopened_data();
    void unopened();
    void virtualFileIsNotOpened();
    void connectionTellsWhyNot();

    void shapesReadAsTheDriverReads_data();
    void shapesReadAsTheDriverReads();
    void multipatchesAreNotRead();
    void codePageNamesAreRecognised_data();
    void codePageNamesAreRecognised();
    void accentedCitiesOfOtherWriters_data();
    void accentedCitiesOfOtherWriters();

  private:
    QTemporaryDir mDir;
    QString mClean; //!< the sound layer, path without extension
    int mCopies = 0;

    //! A fresh copy of the sound layer; its path without extension.
    QString copyOfClean()
    {
        const QString base = mDir.filePath( QStringLiteral( "copy%1/wind" ).arg( ++mCopies ) );
        testsupport::copyFileSet( mClean, base );
        return base;
    }

    //! Checks that \a ds, a copy of the sound layer read with damage, gives \a loss.
    void verifyLoss( const Dataset &ds, const Loss &loss );
};

void TestGisDamage::initTestCase()
{
    QVERIFY( mDir.isValid() );
    QStringList squares;
    std::vector<std::vector<QVariant>> rows;
    for ( int i = 0; i < kSquares; ++i )
    {
        squares << square( 500000 + 20 * i, 4000000 );
        rows.push_back( { 100.0 * i + 0.5, QStringLiteral( "sq %1" ).arg( i ), QDate( 2024, 1, 1 + i ) } );
    }
    const QString dir = mDir.filePath( QStringLiteral( "clean" ) );
    testsupport::writeShapefile( dir, QStringLiteral( "wind.shp" ), squares,
                                 { { QStringLiteral( "WINDPWRD" ), FieldSpec::Real, 12, 2 },
                                   { QStringLiteral( "NAME" ), FieldSpec::String, 10 },
                                   { QStringLiteral( "SURVEYED" ), FieldSpec::Date } },
                                 rows, testsupport::kUtm );
    mClean = dir + "/wind";
    QCOMPARE( QFileInfo( mClean + ".shp" ).size(), recordAt( kSquares ) );
}

void TestGisDamage::lyingHeaderThroughSparseFile_data()
{
    QTest::addColumn<Corruption>( "corrupt" );
    QTest::addColumn<Loss>( "loss" );
    // An index whose header claims 64 MB, in a sparse file that long: neither
    // the driver nor the load's threads may hold it.
    constexpr qint64 kIndex = 64 << 20;
    QTest::newRow( "index claims 64 MB" ) << Corruption( []( const QString &b ) {
        QVERIFY( QFile::resize( b + ".shx", kIndex ) );
        testsupport::patchBytes( b + ".shx", 24, bigEndianBytes( quint32( kIndex / 2 ) ) );
    } ) << Loss { .parts = { "wind.shx" } };
    // An index of 300 M entries, in a sparse file that long, is cut short
    // for the driver; one whose header alone claims them is rebuilt from the
    // .shp. Neither costs the memory of its entries.
    constexpr qint64 k300M = 300'000'000;
    QTest::newRow( "index claims 300 M entries in a sparse file" ) << Corruption( []( const QString &b ) {
        QVERIFY( QFile::resize( b + ".shx", 100 + 8 * k300M ) );
        indexClaims( ( 100 + 8 * k300M ) / 2 )( b );
    } ) << Loss { .parts = { "wind.shx" }, .line = "wind.shp: wind.shx is damaged." };
    QTest::newRow( "index header alone claims 300 M entries" ) << indexClaims( ( 100 + 8 * k300M ) / 2 ) << kIndexRebuilt;
    // A table of 1 GiB of NUL rows, all claimed by its header, and an index
    // grown with zero entries to as many, all claimed by its header: the
    // records of which neither a shape nor a value can be read are lost,
    // counted and held neither by the load nor by the driver.
    const qint64 rows = ( ( 1 << 30 ) - dbfWord( mClean, 8 ) ) / dbfWord( mClean, 10 );
    const Corruption table = [rows]( const QString &b ) {
        QVERIFY( QFile::resize( b + ".dbf", rowAt( b, rows ) ) );
        testsupport::patchBytes( b + ".dbf", 4, littleEndianBytes( quint32( rows ) ) );
    };
    const Corruption index = [rows]( const QString &b ) {
        QVERIFY( QFile::resize( b + ".shx", 100 + 8 * rows ) );
        testsupport::patchBytes( b + ".shx", 24, bigEndianBytes( quint32( ( 100 + 8 * rows ) / 2 ) ) );
    };
    const QLocale english( QLocale::English, QLocale::UnitedStates );
    const Loss recordsLost { .records = rows,
                             .lost = rows - kSquares,
                             .line = QStringLiteral( "wind.shp: %1 of %2 records could not be read." )
                                         .arg( english.toString( rows - kSquares ), english.toString( rows ) ) };
    QTest::newRow( "table claims 1 GiB of rows" ) << table << recordsLost;
    QTest::newRow( "index claims as many entries as 1 GiB of rows" )
        << index << Loss { .parts = { "wind.shx" }, .line = "wind.shp: wind.shx is damaged." };
    QTest::newRow( "table and index claim 1 GiB of rows" ) << Corruption( [=]( const QString &b ) {
        table( b );
        index( b );
    } ) << recordsLost;
}

void TestGisDamage::lyingHeaderThroughSparseFile()
{
    QFETCH( Corruption, corrupt );
    QFETCH( Loss, loss );
    const QString base = copyOfClean();
    corrupt( base );

    // The load may take twice what a load of the sound layer takes.
    PeakMemory memory;
    memory.start();
    Dataset::open( mClean + ".shp" );
    const qint64 reference = memory.rise();

    memory.start();
    QElapsedTimer time;
    time.start();
    const auto ds = Dataset::open( base + ".shp" );
    QVERIFY2( time.elapsed() < 10000, qPrintable( QStringLiteral( "%1 ms" ).arg( time.elapsed() ) ) );
#if !defined( __SANITIZE_ADDRESS__ )
    // (The address sanitizer keeps freed memory, which blurs the measure.)
    QVERIFY2( memory.rise() <= 2 * reference + ( 16 << 20 ),
              qPrintable( QStringLiteral( "reference %1 MB, load %2 MB" ).arg( reference >> 20 ).arg( memory.rise() >> 20 ) ) );
#endif
    verifyLoss( *ds, loss );
}

void TestGisDamage::damageIsCounted_data()
{
    QTest::addColumn<Corruption>( "corrupt" );
    QTest::addColumn<Loss>( "loss" );
    const auto write = []( const char *ext, const QByteArray &bytes ) {
        return Corruption( [=]( const QString &b ) { testsupport::writeBytes( b + ext, bytes ); } );
    };

    QTest::newRow( "sound" ) << Corruption( []( const QString & ) {} ) << Loss {};
    QTest::newRow( "link within the folder as .dbf" ) << Corruption( []( const QString &b ) {
        QVERIFY( QFile::rename( b + ".dbf", b + "-table.dbf" ) && QFile::link( b + "-table.dbf", b + ".dbf" ) );
    } ) << Loss {};

    // The shapes: records the index does not lead to soundly keep their attributes only.
    QTest::newRow( "shp cut within record 9" ) << cut( ".shp", recordAt( 9 ) + 20 ) << Loss { .unread = 3 };
    // An index damaged alone: the records are read by walking the .shp.
    QTest::newRow( "entry 3 leads to record 7" ) << patch( ".shx", kEntry3, bigEndianBytes( quint32( recordAt( 7 ) / 2 ) ) )
                                                 << kIndexRebuilt;
    QTest::newRow( "entry 3 two words into its record" )
        << patch( ".shx", kEntry3, bigEndianBytes( quint32( recordAt( 3 ) / 2 + 2 ) ) ) << kIndexRebuilt;
    QTest::newRow( "entry 3 beyond the file" ) << patch( ".shx", kEntry3, bigEndianBytes( 0x7fffffffu ) ) << kIndexRebuilt;
    QTest::newRow( "entry 3 length two words long" )
        << patch( ".shx", kEntry3 + 4, bigEndianBytes( quint32( ( kRecordBytes - 8 ) / 2 + 2 ) ) ) << kIndexRebuilt;
    QTest::newRow( "entry 3 length -1" ) << patch( ".shx", kEntry3 + 4, bigEndianBytes( 0xffffffffu ) ) << kIndexRebuilt;
    QTest::newRow( "entry 3 offset negative" ) << patch( ".shx", kEntry3, bigEndianBytes( 0xfffffff0u ) ) << kIndexRebuilt;
    QTest::newRow( "index header claims 2^31 words" ) << indexClaims( 0x80000000u ) << kIndexRebuilt;
    QTest::newRow( "index header claims 300 M entries" ) << indexClaims( ( 100 + 8 * 300'000'000u ) / 2 ) << kIndexRebuilt;
    QTest::newRow( "index claims 8 entries" ) << indexClaims( ( 100 + 8 * 8 ) / 2 ) << kIndexRebuilt;
    QTest::newRow( "index cut within entry 5" ) << cut( ".shx", 100 + 8 * 5 + 3 ) << kIndexRebuilt;
    // A damaged index beside a .shp that cannot be walked either: as the index leads.
    QTest::newRow( "entry 3 leads to record 7, record 9 misnumbered" ) << Corruption( []( const QString &b ) {
        patch( ".shx", kEntry3, bigEndianBytes( quint32( recordAt( 7 ) / 2 ) ) )( b );
        patch( ".shp", recordAt( 9 ), bigEndianBytes( 11 ) )( b );
    } ) << Loss { .unread = 2 };
    QTest::newRow( "index claims 8 entries, record 9 length broken" ) << Corruption( []( const QString &b ) {
        indexClaims( ( 100 + 8 * 8 ) / 2 )( b );
        patch( ".shp", recordAt( 9 ) + 4, bigEndianBytes( 0x7fff0000u ) )( b );
    } ) << Loss { .loaded = 8, .lost = 4, .parts = { "wind.shx" }, .line = "wind.shp: 4 of 12 records could not be read; wind.shx is damaged." };
    QTest::newRow( "record 3 numbered 4" ) << patch( ".shp", recordAt( 3 ), bigEndianBytes( 5 ) ) << Loss { .unread = 1 };
    QTest::newRow( "record 3 null with content" ) << patch( ".shp", recordAt( 3 ) + 8, littleEndianBytes( 0 ) ) << Loss { .unread = 1 };
    QTest::newRow( "record 3 a line in a polygon file" ) << patch( ".shp", recordAt( 3 ) + 8, littleEndianBytes( 3 ) )
                                                         << Loss { .unread = 1 };
    QTest::newRow( "record 3 one point short" ) << patch( ".shp", recordAt( 3 ) + 8 + 40, littleEndianBytes( 4 ) )
                                                << Loss { .unread = 1 };
    QTest::newRow( "record 3 part starts at point 2" ) << patch( ".shp", recordAt( 3 ) + 8 + 44, littleEndianBytes( 2 ) )
                                                       << Loss { .unread = 1 };

    // Coordinates that cannot be drawn, in the middle and at the end of the extent (where the
    // record's box, which the file still holds sound, would widen the extent if it were used).
    QTest::newRow( "NaN vertex" ) << setVertex( 3, std::numeric_limits<double>::quiet_NaN() ) << Loss { .undrawable = 1 };
    QTest::newRow( "infinite vertex" ) << setVertex( 3, -std::numeric_limits<double>::infinity() ) << Loss { .undrawable = 1 };
    QTest::newRow( "1e300 vertex" ) << setVertex( 3, 1e300 ) << Loss { .undrawable = 1 };
    QTest::newRow( "last square -1.7e308" ) << setVertex( kSquares - 1, -1.7e308 ) << Loss { .undrawable = 1 };
    QTest::newRow( "vertex just beyond 1e15" ) << setVertex( 3, 1.0000001e15 ) << Loss { .undrawable = 1 };

    // Vertices outside the box of their record or of the file (both headers give it), beyond
    // rounding: 1e-7 of the box's largest coordinate, here 0.4.
    QTest::newRow( "vertex at 1e15" ) << setVertex( 3, 1e15 ) << Loss { .outside = 1 };
    QTest::newRow( "vertex 24,000 km away" ) << setVertex( 3, 500070 + 2.4e7 ) << Loss { .outside = 1 };
    QTest::newRow( "vertex a metre out of its box" ) << setVertex( 3, 500071 ) << Loss { .outside = 1 };
    QTest::newRow( "vertex out of its box by rounding" ) << setVertex( 3, 500070.3 ) << Loss {};
    QTest::newRow( "record box narrowed" ) << patch( ".shp", recordAt( 3 ) + 8 + 20, littleEndianBytes( 500065.0 ) )
                                           << Loss { .outside = 1 };
    QTest::newRow( "record box widened" ) << patch( ".shp", recordAt( 3 ) + 8 + 20, littleEndianBytes( 500100.0 ) ) << Loss {};
    // A box is evidence only where it is usable and the rest of the file agrees with it.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Corruption farVertex = setVertex( 3, 500070 + 2.4e7 );
    const Corruption halfHeader = setHeaderBox( { 500000, 4000000, 500120, 4000010 } );
    const Corruption zeroHeader = setHeaderBox( { 0, 0, 0, 0 } );
    const auto allRecordBoxes = []( std::array<double, 4> box ) {
        return Corruption( [=]( const QString &b ) {
            for ( int i = 0; i < kSquares; ++i )
                setRecordBox( i, box )( b );
        } );
    };
    // Renamed, as it no longer lies where its name says.
    QTest::newRow( "square and its box moved out of the file's box" )
        << both( shiftSquare( 3, 1e6 ), patchRow( 3, 1 + 12, "moved     " ) ) << Loss {};
    QTest::newRow( "header box 0,0,0,0: polygons" ) << zeroHeader << Loss {};
    QTest::newRow( "header box 0,0,0,0: lines" ) << both( layerOf( ShapeLine ), zeroHeader ) << Loss { .kind = ShapeLine };
    QTest::newRow( "header box 0,0,0,0: points" ) << both( layerOf( ShapePoint ), zeroHeader ) << Loss { .kind = ShapePoint };
    QTest::newRow( "header box inverted" ) << setHeaderBox( { 500240, 4000010, 500000, 4000000 } ) << Loss {};
    QTest::newRow( "header box over half the polygons" ) << halfHeader << Loss {};
    QTest::newRow( "header box over half the lines" ) << both( layerOf( ShapeLine ), halfHeader ) << Loss { .kind = ShapeLine };
    QTest::newRow( "header box over half the points" ) << both( layerOf( ShapePoint ), halfHeader ) << Loss { .kind = ShapePoint };
    // Two of twelve points are a tenth: the header is stale, not the points.
    QTest::newRow( "header box without the last two points" )
        << both( layerOf( ShapePoint ), setHeaderBox( { 500000, 4000000, 500180, 4000000 } ) ) << Loss { .kind = ShapePoint };
    QTest::newRow( "header box without the last point" )
        << both( layerOf( ShapePoint ), setHeaderBox( { 500000, 4000000, 500200, 4000000 } ) )
        << Loss { .outside = 1, .kind = ShapePoint };
    QTest::newRow( "all record boxes 0,0,0,0" ) << allRecordBoxes( { 0, 0, 0, 0 } ) << Loss {};
    QTest::newRow( "all record boxes 0,0,0,0, header box 0,0,0,0" ) << both( allRecordBoxes( { 0, 0, 0, 0 } ), zeroHeader ) << Loss {};
    QTest::newRow( "record box NaN" ) << setRecordBox( 3, { nan, 4000000, 500070, 4000010 } ) << Loss {};
    QTest::newRow( "record box inverted" ) << setRecordBox( 3, { 500070, 4000000, 500060, 4000010 } ) << Loss {};
    // The far vertex: the header decides where the record box cannot.
    QTest::newRow( "vertex 24,000 km away, record box 0,0,0,0" ) << both( setRecordBox( 3, { 0, 0, 0, 0 } ), farVertex )
                                                                 << Loss { .outside = 1 };
    QTest::newRow( "vertex 24,000 km away, record box NaN" ) << both( setRecordBox( 3, { nan, 0, 0, 0 } ), farVertex )
                                                             << Loss { .outside = 1 };
    QTest::newRow( "vertex 24,000 km away, no usable box at all" )
        << both( both( setRecordBox( 3, { 0, 0, 0, 0 } ), zeroHeader ), farVertex ) << Loss {};
    QTest::newRow( "file box narrowed in the .shp header" ) << patch( ".shp", 36 + 16, littleEndianBytes( 500100.0 ) ) << Loss {};
    QTest::newRow( "file box NaN in the .shx header" )
        << patch( ".shx", 36, littleEndianBytes( std::numeric_limits<double>::quiet_NaN() ) ) << Loss {};
    QTest::newRow( "file box narrowed in both headers" ) << Corruption( []( const QString &b ) {
        for ( const char *ext : { ".shp", ".shx" } )
            patch( ext, 36 + 16, littleEndianBytes( 500100.0 ) )( b );
    } ) << Loss {};
    QTest::newRow( "point 24,000 km away" ) << Corruption( []( const QString &b ) {
        layerOf( ShapePoint )( b );
        patch( ".shp", 100 + 28 * 3 + 12, littleEndianBytes( 500060 + 2.4e7 ) )( b );
    } ) << Loss { .outside = 1, .kind = ShapePoint };

    // Shapes too small to draw, whether written so or damaged so; a null shape is none. A
    // part too small is dropped alone.
    const QString partTooSmall = QStringLiteral( "wind.shp: 1 of 12 shapes had a part too small to draw, which was left out." );
    const QString tooSmall = QStringLiteral( "wind.shp: 1 of 12 shapes are too small to draw (a line of fewer than two points "
                                             "or a ring of fewer than three corners) and were left out." );
    QTest::newRow( "ring of two points" ) << layerOf( ShapePolygon, 3, "POLYGON((500060 4000000,500070 4000010))" )
                                          << Loss { .tooSmall = 1 };
    QTest::newRow( "ring of one point" ) << layerOf( ShapePolygon, 3, "POLYGON((500060 4000000))" ) << Loss { .tooSmall = 1 };
    QTest::newRow( "ring of two corners, closed" )
        << layerOf( ShapePolygon, 3, "POLYGON((500060 4000000,500070 4000010,500060 4000000))" ) << Loss { .tooSmall = 1 };
    QTest::newRow( "hole of two points" ) << layerOf( ShapePolygon, 3,
                                                        "POLYGON((500060 4000000,500060 4000010,500070 4000010,500070 4000000,"
                                                        "500060 4000000),(500062 4000002,500064 4000004))" )
                                          << Loss { .partTooSmall = 1, .line = partTooSmall };
    QTest::newRow( "hole of two corners, closed" )
        << layerOf( ShapePolygon, 3,
                    "POLYGON((500060 4000000,500060 4000010,500070 4000010,500070 4000000,500060 4000000),"
                    "(500062 4000002,500064 4000004,500064 4000004,500062 4000002))" )
        << Loss { .partTooSmall = 1, .line = partTooSmall };
    QTest::newRow( "two rings of two corners" )
        << layerOf( ShapePolygon, 3, "MULTIPOLYGON(((500060 4000000,500070 4000010,500060 4000000)),"
                                     "((500062 4000002,500064 4000004,500064 4000004,500062 4000002)))" )
        << Loss { .tooSmall = 1, .line = tooSmall };
    QTest::newRow( "triangle left open" ) << layerOf( ShapePolygon, 3, "POLYGON((500060 4000000,500060 4000010,500070 4000010))" )
                                          << Loss {};
    QTest::newRow( "null shape" ) << layerOf( ShapePolygon, 3, "POLYGON EMPTY" ) << Loss {};
    QTest::newRow( "line of one point" ) << layerOf( ShapeLine, 3, "LINESTRING(500060 4000000)" )
                                         << Loss { .tooSmall = 1, .kind = ShapeLine };
    QTest::newRow( "line with a part of one point" )
        << layerOf( ShapeLine, 3, "MULTILINESTRING((500060 4000000,500070 4000010),(500065 4000005))" )
        << Loss { .partTooSmall = 1, .kind = ShapeLine, .line = partTooSmall };
    QTest::newRow( "line of two parts of one point" )
        << layerOf( ShapeLine, 3, "MULTILINESTRING((500060 4000000),(500065 4000005))" )
        << Loss { .tooSmall = 1, .kind = ShapeLine, .line = tooSmall };
    QTest::newRow( "lines of two points" ) << layerOf( ShapeLine ) << Loss { .kind = ShapeLine };

    // The index and the headers.
    QTest::newRow( "index header of points" ) << patch( ".shx", 32, littleEndianBytes( 1 ) ) << Loss { .parts = { "wind.shx" } };
    QTest::newRow( "shp header of points" ) << patch( ".shp", 32, littleEndianBytes( 1 ) ) << Loss { .parts = { "wind.shp" } };
    // No record tells the kind of shape: the driver's reading of the headers does.
    QTest::newRow( "shp header of null shapes, no record" ) << Corruption( []( const QString &b ) {
        patch( ".shp", 32, littleEndianBytes( 0 ) )( b );
        cut( ".shp", 100 )( b );
    } ) << Loss { .unread = 12, .parts = { "wind.shp", "wind.shx" } };

    // The table; a row holds the deletion flag, WINDPWRD (12 bytes), NAME (10 bytes).
    QTest::newRow( "table cut within row 7" ) << Corruption( []( const QString &b ) { cut( ".dbf", rowAt( b, 7 ) + 5 )( b ); } )
                                              << Loss { .loaded = 7, .lost = 5, .parts = { "wind.dbf" } };
    QTest::newRow( "table claims 8 rows" ) << patch( ".dbf", 4, littleEndianBytes( 8 ) )
                                           << Loss { .loaded = 8, .lost = 4, .parts = { "wind.dbf" } };
    QTest::newRow( "byte inserted into row 2" ) << Corruption( []( const QString &b ) {
        testsupport::writeBytes( b + ".dbf", testsupport::readBytes( b + ".dbf" ).insert( rowAt( b, 2 ) + 3, ' ' ) );
    } ) << Loss { .attributes = -1, .parts = { "wind.dbf" } };
    QTest::newRow( "number with a NUL" ) << patchRow( 4, 1 + 11, QByteArray( 1, '\0' ) ) << Loss { .attributes = 1 };
    QTest::newRow( "text zeroed" ) << patchRow( 4, 1 + 12, QByteArray( 10, '\0' ) ) << Loss { .attributes = 1 };
    QTest::newRow( "text with NUL padding" ) << patchRow( 4, 1 + 12 + 4, QByteArray( 6, '\0' ) ) << Loss {};
    QTest::newRow( "field name zeroed" ) << patch( ".dbf", 32, QByteArray( 11, '\0' ) ) << Loss { .parts = { "wind.dbf" } };
    QTest::newRow( "row 5 deleted" ) << patchRow( 5, 0, "*" ) << Loss { .loaded = 11, .deleted = 1 };
    QTest::newRow( "number of row 4 unreadable" ) << patchRow( 4, 1 + 9, "x" ) << Loss { .attributes = 1 };
    QTest::newRow( "number of row 4 empty" ) << patchRow( 4, 1, QByteArray( 12, ' ' ) ) << Loss {};
    QTest::newRow( "number of row 4 stars" ) << patchRow( 4, 1, QByteArray( 12, '*' ) ) << Loss {};
    QTest::newRow( "row length contradicts the fields" ) << Corruption( []( const QString &b ) {
        testsupport::patchBytes( b + ".dbf", 10, littleEndianBytes( quint16( dbfWord( b, 10 ) + 1 ) ) );
    } ) << Loss { .loaded = -1, .lost = -1, .attributes = -1, .parts = { "wind.dbf" } };
    QTest::newRow( "no table" ) << Corruption( []( const QString &b ) { QFile::remove( b + ".dbf" ); } ) << Loss { .table = true };

    // Damage the table's own checks see, worded as the message words it. A
    // field description sits 32 bytes on per field: its type at byte 11,
    // its width at 16, its decimals at 17.
    const QString noTable = QStringLiteral( "wind.shp: its attribute table (.dbf) is missing or cannot be read." );
    QTest::newRow( "empty table" ) << cut( ".dbf", 0 ) << Loss { .table = true, .line = noTable };
    QTest::newRow( "table that may not be read" ) << deny( ".dbf" ) << Loss { .table = true, .line = noTable };
    QTest::newRow( "WINDPWRD of an unknown type" )
        << patch( ".dbf", 32 + 11, "X" )
        << Loss { .fields = { { "WINDPWRD", 12 } },
                  .line = "wind.shp: the description of its field WINDPWRD is damaged: 12 of 12 values could not be read." };
    QTest::newRow( "WINDPWRD without width" )
        << patch( ".dbf", 32 + 16, QByteArray( 1, '\0' ) )
        << Loss { .attributes = 12, // the dates are read from bytes before them
                  .fields = { { "WINDPWRD", 12 } },
                  .parts = { "wind.dbf" },
                  .line = "wind.shp: the attributes of 12 of 12 records could not be read; the description of its field WINDPWRD is "
                          "damaged: 12 of 12 values could not be read; wind.dbf is damaged." };
    QTest::newRow( "WINDPWRD narrower: blanks are misread too" ) << patch( ".dbf", 32 + 16, QByteArray( 1, '\4' ) )
                                                                 << Loss { .attributes = 12, .parts = { "wind.dbf" } };
    QTest::newRow( "WINDPWRD without decimals" )
        << patch( ".dbf", 32 + 17, QByteArray( 1, '\0' ) )
        << Loss { .attributes = 12, .line = "wind.shp: the attributes of 12 of 12 records could not be read." };
    QTest::newRow( "text not valid in the UTF-8 of its .cpg" )
        << Corruption( [=]( const QString &b ) {
               write( ".cpg", "UTF-8" )( b );
               patchRow( 4, 1 + 12 + 1, "\xff" )( b );
           } )
        << Loss { .attributes = 1, .line = "wind.shp: the attributes of 1 of 12 records could not be read." };
    QTest::newRow( "text of a table whose .cpg names no known code page" ) << Corruption( [=]( const QString &b ) {
        write( ".cpg", "UTF-9" )( b );
        patchRow( 4, 1 + 12 + 1, "\xff" )( b );
    } ) << Loss { .attributes = 1 };
    QTest::newRow( "text of a Latin-1 table" ) << Corruption( [=]( const QString &b ) {
        write( ".cpg", "ISO-8859-1" )( b );
        patchRow( 4, 1 + 12 + 1, "\xff" )( b );
    } ) << Loss {};
    // A field name is read in the table's encoding, or as UTF-8 without one.
    const QString windpwrLost = QStringLiteral( "wind.shp: the description of its field WINDPWR is damaged: 12 of 12 values could not be read." );
    QTest::newRow( "WINDPWRD with a byte invalid in the UTF-8 of its .cpg" ) << Corruption( [=]( const QString &b ) {
        write( ".cpg", "UTF-8" )( b );
        patch( ".dbf", 32 + 7, "\xff" )( b );
    } ) << Loss { .fields = { { "WINDPWR", 12 } }, .line = windpwrLost };
    // Without an encoding declared, by a .cpg or the code page byte, the name is read as UTF-8.
    QTest::newRow( "WINDPWRD with a byte invalid in UTF-8, no encoding declared" ) << Corruption( [=]( const QString &b ) {
        patch( ".dbf", 29, QByteArray( 1, '\0' ) )( b );
        patch( ".dbf", 32 + 7, "\xff" )( b );
    } ) << Loss { .fields = { { "WINDPWR", 12 } }, .line = windpwrLost };
    QTest::newRow( "WINDPWRD with a Latin-1 byte by its code page byte" ) << patch( ".dbf", 32 + 7, "\xff" ) << Loss {};
    QTest::newRow( "NAME of one byte invalid in UTF-8" )
        << Corruption( [=]( const QString &b ) {
               write( ".cpg", "UTF-8" )( b );
               patch( ".dbf", 64, QByteArray( "\xfe" ) + QByteArray( 10, '\0' ) )( b );
           } )
        << Loss { .fields = { { "", 12 } },
                  .line = "wind.shp: the description of its field number 2 is damaged: 12 of 12 values could not be read." };
    QTest::newRow( "garbage after WINDPWRD's terminator" )
        << patch( ".dbf", 32 + 9, "Q" )
        << Loss { .fields = { { "WINDPWRD", 12 } },
                  .line = "wind.shp: the description of its field WINDPWRD is damaged: 12 of 12 values could not be read." };
    QTest::newRow( "NAME padded with blanks after its terminator" ) << patch( ".dbf", 64 + 5, "     " ) << Loss {};
    QTest::newRow( "NAME padded with blanks, no terminator" ) << patch( ".dbf", 64 + 4, "       " ) << Loss {};
    QTest::newRow( "NAME's bytes valid in the Latin-1 of its .cpg" ) << Corruption( [=]( const QString &b ) {
        write( ".cpg", "8859_1" )( b );
        patch( ".dbf", 64 + 3, "\xc9" )( b );
    } ) << Loss {};
    // A .cpg of an encoding of two or four bytes a character: the table is read as single bytes.
    QTest::newRow( "cpg of UTF-16" )
        << write( ".cpg", "UTF-16" )
        << Loss { .encoding = "UTF-16",
                  .line = "wind.shp: its .cpg names UTF-16, an encoding a dBASE table cannot hold; the text was read without it." };
    QTest::newRow( "cpg of UTF-16LE" ) << write( ".cpg", "UTF-16LE\r\n" ) << Loss { .encoding = "UTF-16LE" };
    QTest::newRow( "cpg of UCS-2" ) << write( ".cpg", "ucs-2" ) << Loss { .encoding = "ucs-2" };
    QTest::newRow( "cpg of UTF-32" ) << write( ".cpg", " UTF-32 " ) << Loss { .encoding = "UTF-32" };
    QTest::newRow( "impossible date" ) << patchRow( 4, 1 + 22, "20240230" )
                                       << Loss { .attributes = 1, .line = "wind.shp: the attributes of 1 of 12 records could not be read." };
    QTest::newRow( "date of zeros" ) << patchRow( 4, 1 + 22, "00000000" ) << Loss {};

    // The coordinate system.
    QTest::newRow( "prj unreadable" ) << write( ".prj", "PROJCS[nonsense" ) << Loss { .crs = true };
    QTest::newRow( "prj empty" ) << write( ".prj", "" ) << Loss { .crs = true };
    QTest::newRow( "prj may not be read" ) << deny( ".prj" ) << Loss { .crs = true };
    QTest::newRow( "geographic prj on metres" ) << write( ".prj", kGeographicPrj.toUtf8() ) << Loss { .geo = true };
}

void TestGisDamage::damageIsCounted()
{
    QFETCH( Corruption, corrupt );
    QFETCH( Loss, loss );
    const QString base = copyOfClean();
    corrupt( base );
    testsupport::PermissionsApply asUser;
    if ( testsupport::PermissionsApply::ignoredIn( QFileInfo( base ).path() ) )
        QSKIP( "file permissions do not bind here" );
    verifyLoss( *Dataset::open( base + ".shp" ), loss );
}

void TestGisDamage::verifyLoss( const Dataset &ds, const Loss &loss )
{
    const ReadDamage &d = ds.damage();
    const auto compareCount = []( qint64 actual, qint64 expected ) { return expected < 0 || actual == expected; };
    QVERIFY2( compareCount( ds.recordCount(), loss.loaded ), qPrintable( QString::number( ds.recordCount() ) ) );
    QCOMPARE( d.records, loss.records );
    QVERIFY2( compareCount( d.recordsLost, loss.lost ), qPrintable( QString::number( d.recordsLost ) ) );
    QCOMPARE( d.recordsDeleted, loss.deleted );
    QCOMPARE( d.shapesUnread, loss.unread );
    QCOMPARE( d.shapesUndrawable, loss.undrawable );
    QCOMPARE( d.shapesTooSmall, loss.tooSmall );
    QCOMPARE( d.shapesPartTooSmall, loss.partTooSmall );
    QCOMPARE( d.shapesOutsideBox, loss.outside );
    QVERIFY2( compareCount( d.attributesUnread, loss.attributes ), qPrintable( QString::number( d.attributesUnread ) ) );
    QCOMPARE( d.tableUnread, loss.table );
    std::map<QString, qint64> fields;
    for ( const ReadDamage::FieldUnread &field : d.fieldsUnread )
        fields[field.name] = field.valuesLost;
    QCOMPARE( fields, loss.fields );
    QCOMPARE( d.damagedParts, loss.parts );
    QCOMPARE( d.crsUnreadable, loss.crs );
    QCOMPARE( d.geographicOutOfRange, loss.geo );
    QCOMPARE( d.indexRebuilt, loss.rebuilt );
    QCOMPARE( d.encodingNotApplied, loss.encoding );
    QCOMPARE( d.isDamaged(), !( loss == Loss { .kind = loss.kind } ) );
    if ( !loss.line.isEmpty() )
        QCOMPARE( reportLine( QStringLiteral( "wind.shp" ), d ), loss.line );
    QCOMPARE( ds.shapeKind(), loss.kind );

    // Shapes and attributes stay in step; whatever was read can be drawn, and
    // only that makes the extent and is found by the index.
    const int name = ds.fieldIndex( QStringLiteral( "NAME" ) );
    std::optional<Rect> extent;
    std::vector<qint64> withShape;
    for ( qint64 r = 0; r < ds.recordCount(); ++r )
    {
        const std::optional<Rect> e = ds.shape( r ).envelope();
        if ( !e )
            continue;
        QVERIFY( std::abs( e->left ) <= kCoordinateLimit && std::abs( e->right ) <= kCoordinateLimit );
        const QString n = name < 0 ? QString() : ds.value( r, name ).toString();
        if ( n.startsWith( QLatin1String( "sq " ) ) )
            QCOMPARE( e->left, 500000.0 + 20 * n.mid( 3 ).toInt() );
        extent = extent ? extent->united( *e ) : *e;
        withShape.push_back( r );
    }
    if ( extent )
        QVERIFY( ds.extent().left == extent->left && ds.extent().right == extent->right );
    std::vector<qint64> found = ds.recordsInRect( { -1e300, 1e300, 1e300, -1e300 } );
    std::sort( found.begin(), found.end() );
    QCOMPARE( found, withShape );
}

void TestGisDamage::partTooSmallIsDroppedAlone_data()
{
    QTest::addColumn<ShapeKind>( "kind" );
    QTest::addColumn<QString>( "written" );
    QTest::addColumn<QString>( "read" );

    const QString shell = QStringLiteral( "(500060 4000000,500060 4000010,500070 4000010,500070 4000000,500060 4000000)" );
    const QString hole = QStringLiteral( "(500061 4000001,500063 4000001,500063 4000003,500061 4000003,500061 4000001)" );
    QTest::newRow( "degenerate hole beside a sound one" )
        << ShapePolygon << "POLYGON(" + shell + "," + hole + ",(500065 4000005,500066 4000006,500065 4000005))"
        << "POLYGON(" + shell + "," + hole + ")";
    QTest::newRow( "degenerate hole first" )
        << ShapePolygon << "POLYGON(" + shell + ",(500065 4000005,500066 4000006,500066 4000006,500065 4000005)," + hole + ")"
        << "POLYGON(" + shell + "," + hole + ")";
    QTest::newRow( "degenerate island beside two polygons" )
        << ShapePolygon
        << "MULTIPOLYGON((" + shell + "),((500080 4000000,500080 4000010,500090 4000010,500080 4000000)),((500095 4000000,500096 4000001,500095 4000000)))"
        << "MULTIPOLYGON((" + shell + "),((500080 4000000,500080 4000010,500090 4000010,500080 4000000)))";
    QTest::newRow( "one-point part between two lines" )
        << ShapeLine << "MULTILINESTRING((500060 4000000,500070 4000010),(500065 4000005),(500080 4000000,500090 4000010))"
        << "MULTILINESTRING((500060 4000000,500070 4000010),(500080 4000000,500090 4000010))";
    QTest::newRow( "one-point part beside one line" )
        << ShapeLine << "MULTILINESTRING((500065 4000005),(500060 4000000,500070 4000010))" << "LINESTRING(500060 4000000,500070 4000010)";
}

void TestGisDamage::partTooSmallIsDroppedAlone()
{
    QFETCH( ShapeKind, kind );
    QFETCH( QString, written );
    QFETCH( QString, read );
    const QString base = copyOfClean();
    layerOf( kind, 3, written )( base );
    const auto ds = Dataset::open( base + ".shp" );
    QCOMPARE( ds->damage().shapesPartTooSmall, 1 );
    QCOMPARE( ds->recordCount(), qint64( kSquares ) );
    const Geometry expected = Geometry::fromWkt( read.toStdString() );
    GEOSContextHandle_t h = geosContext();
    QVERIFY2( GEOSEquals_r( h, ds->shape( 3 ).get(), expected.get() ) == 1, ds->shape( 3 ).toWkt().c_str() );
    QCOMPARE( GEOSGetNumGeometries_r( h, ds->shape( 3 ).get() ), GEOSGetNumGeometries_r( h, expected.get() ) );
}

void TestGisDamage::failingThreadIsDamage_data()
{
    QTest::addColumn<Corruption>( "corrupt" );
    QTest::addColumn<Loss>( "loss" );
    QTest::newRow( "with its table" ) << Corruption( []( const QString & ) {} )
                                      << Loss { .unread = 12,
                                                .attributes = 12,
                                                .line = "wind.shp: 12 of 12 shapes could not be read; the attributes of 12 of 12 "
                                                        "records could not be read." };
    // Then the index alone says how many records there are.
    QTest::newRow( "without a table" ) << Corruption( []( const QString &b ) { QFile::remove( b + ".dbf" ); } )
                                       << Loss { .unread = 12, .table = true };
}

void TestGisDamage::failingThreadIsDamage()
{
#if defined( __SANITIZE_ADDRESS__ )
    QSKIP( "The address sanitizer allocates on its own" );
#else
    // Every allocation of the threads that read the shapes and check the
    // table fails: the program goes on, and counts what they did not give.
    QFETCH( Corruption, corrupt );
    QFETCH( Loss, loss );
    const QString base = copyOfClean();
    corrupt( base );
    std::shared_ptr<Dataset> ds;
    gLoadingThreadsFail = true;
    try
    {
        ds = Dataset::open( base + ".shp" );
    }
    catch ( ... )
    {
    }
    gLoadingThreadsFail = false;
    QVERIFY( ds );
    verifyLoss( *ds, loss );
#endif
}

void TestGisDamage::unreadableValueBecomesNull_data()
{
    QTest::addColumn<Corruption>( "corrupt" );
    QTest::addColumn<QString>( "field" );
    QTest::addColumn<QVariant>( "value" ); //!< of record 4 afterwards
    QTest::newRow( "number" ) << patchRow( 4, 1 + 9, "x" ) << "WINDPWRD" << QVariant(); // "      400.x0"
    QTest::newRow( "impossible date" ) << patchRow( 4, 1 + 22, "20240230" ) << "SURVEYED" << QVariant();
    // Text not valid in its encoding is counted, but kept as read.
    QTest::newRow( "text not valid UTF-8" ) << Corruption( []( const QString &b ) {
        testsupport::writeBytes( b + ".cpg", "UTF-8" );
        patchRow( 4, 1 + 12 + 1, "\xff" )( b );
    } ) << "NAME" << QVariant( QStringLiteral( "s\uFFFD 4" ) );
}

void TestGisDamage::unreadableValueBecomesNull()
{
    QFETCH( Corruption, corrupt );
    QFETCH( QString, field );
    QFETCH( QVariant, value );
    const QString base = copyOfClean();
    corrupt( base );
    const auto ds = Dataset::open( base + ".shp" );
    const auto sound = Dataset::open( mClean + ".shp" );
    const int f = ds->fieldIndex( field );
    QCOMPARE( ds->value( 4, f ), value );
    QCOMPARE( ds->value( 3, f ), sound->value( 3, f ) );
    for ( int other = 0; other < sound->fieldNames().size(); ++other )
    {
        if ( other != f )
            QCOMPARE( ds->value( 4, other ), sound->value( 4, other ) );
    }
    QCOMPARE( ds->search( field + " IS NULL" ), value.isNull() ? std::vector<qint64> { 4 } : std::vector<qint64> {} );
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
    using Unopened = ReadDamage::Unopened;

    for ( const char *ext : { ".shp", ".shx", ".dbf", ".prj", ".cpg", ".PRJ" } )
    {
        QTest::addRow( "FIFO as %s", ext ) << replace( ext, []( const QString &p ) {
            return ::mkfifo( QFile::encodeName( p ).constData(), 0600 ) == 0;
        } ) << Unopened::NotRegularFile << QStringLiteral( "wind" ) + ext;
    }
    QTest::newRow( "dangling link as .dbf" ) << replace( ".dbf", []( const QString &p ) { return QFile::link( p + ".nowhere", p ); } )
                                             << Unopened::NotRegularFile << "wind.dbf";
    for ( const char *ext : { ".dbf", ".shp" } )
    {
        QTest::addRow( "link out of the folder as %s", ext )
            << replace( ext, [this, ext]( const QString &p ) { return QFile::link( mClean + ext, p ); } ) << Unopened::LinkOutside
            << QStringLiteral( "wind" ) + ext;
    }
    for ( const char *ext : { ".shp", ".shx" } )
    {
        QTest::addRow( "directory as %s", ext ) << replace( ext, []( const QString &p ) { return QDir().mkdir( p ); } )
                                                << Unopened::NotRegularFile << QStringLiteral( "wind" ) + ext;
        QTest::addRow( "%s may not be read", ext ) << deny( ext ) << Unopened::NotPermitted << QStringLiteral( "wind" ) + ext;
    }
    QTest::newRow( "no index" ) << Corruption( []( const QString &b ) { QFile::remove( b + ".shx" ); } ) << Unopened::MissingIndex
                                << "wind.shx";
    // A damaged index beside a .shp that cannot be walked either.
    const Corruption cutWithinRecord9 = cut( ".shp", recordAt( 9 ) + 20 );
    QTest::newRow( "index shorter than its header, shp cut within record 9" ) << Corruption( [=]( const QString &b ) {
        cut( ".shx", 100 + 8 * 5 + 3 )( b );
        cutWithinRecord9( b );
    } ) << Unopened::DamagedIndex << "wind.shx";
    QTest::newRow( "entry 3 length -1, record 9 length broken" ) << Corruption( []( const QString &b ) {
        patch( ".shx", kEntry3 + 4, bigEndianBytes( 0xffffffffu ) )( b );
        patch( ".shp", recordAt( 9 ) + 4, bigEndianBytes( 0x7fff0000u ) )( b );
    } ) << Unopened::CannotOpen << "wind.shp";
    QTest::newRow( "shp header cut" ) << cut( ".shp", 50 ) << Unopened::CannotOpen << "wind.shp";
    QTest::newRow( "GeoJSON named .shp" ) << Corruption( []( const QString &b ) {
        testsupport::writeBytes( b + ".shp", R"({"type":"FeatureCollection","features":[]})" );
    } ) << Unopened::CannotOpen << "wind.shp";
    QTest::newRow( "virtual data source named .shp" ) << Corruption( [this]( const QString &b ) {
        // It would read a layer from elsewhere: the sound copy of this very layer.
        testsupport::writeBytes( b + ".shp", QStringLiteral( "<OGRVRTDataSource><OGRVRTLayer name=\"wind\"><SrcDataSource>%1"
                                                             "</SrcDataSource></OGRVRTLayer></OGRVRTDataSource>" )
                                                 .arg( mClean + ".shp" )
                                                 .toUtf8() );
        QFile::remove( b + ".shx" );
    } ) << Unopened::CannotOpen << "wind.shp";
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
    testsupport::PermissionsApply asUser;
    if ( testsupport::PermissionsApply::ignoredIn( dir.path() ) )
        QSKIP( "file permissions do not bind here" );

    const ReadDamage d = refusal( base + ".shp" );
    QCOMPARE( d.unopened, reason );
    QCOMPARE( d.part, part );
}

void TestGisDamage::virtualFileIsNotOpened()
{
    // A sound file set held in GDAL's memory file system, which the driver would read.
    for ( const char *ext : { ".shp", ".shx", ".dbf" } )
    {
        const QByteArray bytes = testsupport::readBytes( mClean + ext );
        const QByteArray path = QByteArray( "/vsimem/wind" ) + ext;
        auto *copy = static_cast<GByte *>( CPLMalloc( bytes.size() ) );
        std::memcpy( copy, bytes.constData(), bytes.size() );
        VSIFCloseL( VSIFileFromMemBuffer( path.constData(), copy, bytes.size(), TRUE ) );
    }
    QCOMPARE( readOnceThroughDriver( "/vsimem/wind.shp" ), qint64( kSquares ) );
    QCOMPARE( refusal( "/vsimem/wind.shp" ).unopened, ReadDamage::Unopened::CannotOpen );
    QCOMPARE( refusal( "/vsicurl/http://127.0.0.1:9/wind.shp" ).unopened, ReadDamage::Unopened::CannotOpen );
    for ( const char *ext : { ".shp", ".shx", ".dbf" } )
        VSIUnlink( ( QByteArray( "/vsimem/wind" ) + ext ).constData() );
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
    // Boxes: each header holds the measures and heights besides; a null first shape widens the file's box to 0, 0.
    QTest::newRow( "polygons with z and m" ) << QStringList { "POLYGON ZM((5 5 1 7,5 15 2 8,15 15 3 9,5 5 1 7))", square( 20, 5 ) };
    QTest::newRow( "lines with m" ) << QStringList { "LINESTRING M(0 0 1,10 0 2,10 10 3)", "LINESTRING M(-5 -5 0,-6 -6 9)" };
    QTest::newRow( "points with z and m" ) << QStringList { "POINT ZM(1 2 3 4)", "POINT ZM(-3 4.5 5 6)" };
    QTest::newRow( "multipoints with z" ) << QStringList { "MULTIPOINT Z((1 2 3),(3 4 5))", "MULTIPOINT Z((-5 6 7))" };
    QTest::newRow( "null first" ) << QStringList { "POLYGON EMPTY", square( 500000, 4000000 ) };
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
    testsupport::writeShapefile( dir, QStringLiteral( "patches.shp" ),
                                 { "TIN Z (((0 0 0,0 1 0,1 0 0,0 0 0)),((0 1 0,1 1 0,1 0 0,0 1 0)))", "TIN Z (((5 5 1,5 6 1,6 5 1,5 5 1)))" },
                                 { { QStringLiteral( "NAME" ), FieldSpec::String, 10 } }, { { "a" }, { "b" } } );
    QCOMPARE( testsupport::readBytes( dir + "/patches.shp" ).at( 32 ), char( 31 ) ); // written as multipatches
    const auto ds = Dataset::open( dir + "/patches.shp" );
    QCOMPARE( ds->recordCount(), qint64( 2 ) );
    QVERIFY( ds->shape( 0 ).isNull() && ds->shape( 1 ).isNull() );
    QCOMPARE( ds->damage().shapesUnread, qint64( 2 ) );
}

void TestGisDamage::codePageNamesAreRecognised_data()
{
    QTest::addColumn<QByteArray>( "cpg" );
    QTest::addColumn<QByteArray>( "bytes" ); //!< of the NAME of record 4

    const QByteArray latin1 = "Z\xfcrich";
    QTest::newRow( "ANSI 1252" ) << QByteArray( "ANSI 1252" ) << latin1;
    QTest::newRow( "8859_1" ) << QByteArray( "8859_1" ) << latin1;
    QTest::newRow( "8859-1" ) << QByteArray( "8859-1" ) << latin1;
    QTest::newRow( "88591" ) << QByteArray( "88591" ) << latin1;
    QTest::newRow( "ISO 8859-1" ) << QByteArray( "ISO 8859-1" ) << latin1;
    QTest::newRow( "ISO88591" ) << QByteArray( "ISO88591" ) << latin1;
    QTest::newRow( "latin1 with a line break" ) << QByteArray( "latin1\r\n" ) << latin1;
    QTest::newRow( "CP1252" ) << QByteArray( "CP1252" ) << latin1;
    QTest::newRow( "1252" ) << QByteArray( "1252" ) << latin1;
    QTest::newRow( "Windows-1252" ) << QByteArray( "Windows-1252" ) << latin1;
    QTest::newRow( "UTF-8" ) << QByteArray( "UTF-8" ) << QByteArray( "Z\xc3\xbcrich" );
    QTest::newRow( "utf8" ) << QByteArray( "utf8" ) << QByteArray( "Z\xc3\xbcrich" );
}

void TestGisDamage::codePageNamesAreRecognised()
{
    QFETCH( QByteArray, cpg );
    QFETCH( QByteArray, bytes );
    const QString base = copyOfClean();
    testsupport::writeBytes( base + ".cpg", cpg );
    testsupport::patchBytes( base + ".dbf", rowAt( base, 4 ) + 1 + 12, bytes.leftJustified( 10, ' ' ) );
    const auto ds = Dataset::open( base + ".shp" );
    QCOMPARE( reportLine( QStringLiteral( "wind.shp" ), ds->damage() ), QString() );
    QCOMPARE( ds->value( 4, ds->fieldIndex( QStringLiteral( "NAME" ) ) ).toString(), QStringLiteral( "Z\u00fcrich" ) );
}

void TestGisDamage::accentedCitiesOfOtherWriters_data()
{
    QTest::addColumn<QByteArray>( "encoding" ); //!< the writer's ENCODING layer option

    QTest::newRow( "cities written by GDAL as UTF-8" ) << QByteArray( "UTF-8" );
    QTest::newRow( "cities written by GDAL as LATIN1" ) << QByteArray( "LATIN1" );
}

void TestGisDamage::accentedCitiesOfOtherWriters()
{
    QFETCH( QByteArray, encoding );
    const QStringList cities { QStringLiteral( "Z\u00fcrich" ), QStringLiteral( "Gen\u00e8ve" ), QStringLiteral( "S\u00e3o Paulo" ),
                               QStringLiteral( "Krak\u00f3w" ), QStringLiteral( "Reykjav\u00edk" ), QStringLiteral( "Oslo" ) };
    const QString dir = mDir.filePath( QStringLiteral( "writer-%1" ).arg( ++mCopies ) );
    QVERIFY( QDir().mkpath( dir ) );
    const QByteArray path = QFile::encodeName( dir + "/cities.shp" );
    {
        GDALDriver *driver = GetGDALDriverManager()->GetDriverByName( "ESRI Shapefile" );
        GDALDataset *out = driver->Create( path.constData(), 0, 0, 0, GDT_Unknown, nullptr );
        QVERIFY( out );
        const QByteArray option = "ENCODING=" + encoding;
        const char *options[] = { option.constData(), nullptr };
        OGRLayer *layer = out->CreateLayer( "cities", nullptr, wkbPoint, const_cast<char **>( options ) );
        OGRFieldDefn name( "CITY_NAME", OFTString );
        name.SetWidth( 24 );
        QVERIFY( layer && layer->CreateField( &name ) == OGRERR_NONE );
        for ( int i = 0; i < cities.size(); ++i )
        {
            OGRFeature feature( layer->GetLayerDefn() );
            feature.SetField( 0, cities.at( i ).toUtf8().constData() );
            OGRPoint point( 10 + i, 45 + i );
            feature.SetGeometry( &point );
            QVERIFY( layer->CreateFeature( &feature ) == OGRERR_NONE );
        }
        GDALClose( out );
    }
    QVERIFY( QFile::exists( dir + "/cities.cpg" ) );

    const auto ds = Dataset::open( QFile::decodeName( path ) );
    QCOMPARE( reportLine( QStringLiteral( "cities.shp" ), ds->damage() ), QString() );
    const QString difference = testsupport::differenceFromDriver( QFile::decodeName( path ), *ds );
    QVERIFY2( difference.isEmpty(), qPrintable( difference ) );
    // The names are those the driver reads, and those written.
    GDALDataset *in = static_cast<GDALDataset *>( GDALOpenEx( path.constData(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr ) );
    QVERIFY( in );
    QStringList driverNames;
    OGRLayer *layer = in->GetLayer( 0 );
    for ( OGRFeature *f = layer->GetNextFeature(); f; f = layer->GetNextFeature() )
    {
        driverNames << QString::fromUtf8( f->GetFieldAsString( 0 ) );
        OGRFeature::DestroyFeature( f );
    }
    GDALClose( in );
    QStringList names;
    for ( qint64 r = 0; r < ds->recordCount(); ++r )
        names << ds->value( r, ds->fieldIndex( QStringLiteral( "CITY_NAME" ) ) ).toString();
    QCOMPARE( names, driverNames );
    QCOMPARE( names, cities );
}

QTEST_GUILESS_MAIN( TestGisDamage )
#include "tst_gis_damage.moc"
