// Seeded mutations of the sample set, loaded as the program loads a data
// directory: no mutant may crash or stall the load, and every mutant either
// loads whole, every record with what the sound file gives it (a changed
// coordinate or value is data like any other), or is named in the damage
// message. Also: every sample layer reads through the index as the driver
// reads it.

#include "TestSupport.h"

#include "common/Constants.h"
#include "gis/MapWidget.h"
#include "legend/LegendControl.h"
#include "workspace/md_functions.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <random>

namespace
{

//! The layers mutated: polygons with numbers, polygons with texts, lines, points.
const QStringList kLayers { QStringLiteral( "20_wind" ), QStringLiteral( "02_landuse" ), QStringLiteral( "43_roads" ),
                            QStringLiteral( "59_cities" ) };
const QStringList kParts { QStringLiteral( "shp" ), QStringLiteral( "shx" ), QStringLiteral( "dbf" ), QStringLiteral( "prj" ) };
constexpr int kMutantsPerPart = 25;

//! What a loaded layer gives, record by record, as far as losing it matters.
struct Snapshot
{
    qint64 records = 0;
    std::vector<int> shapeTypes;      //!< point, line or polygon (21, 22, 23), -1 for a null shape
    std::vector<char> valuesPresent;  //!< record-major: the value is not null
    int fields = 0;
    bool hasCrs = false;

    static Snapshot of( const gis::Dataset &ds )
    {
        Snapshot s;
        s.records = ds.recordCount();
        s.fields = static_cast<int>( ds.fieldNames().size() );
        s.hasCrs = ds.coordinateSystem().has_value();
        for ( qint64 r = 0; r < s.records; ++r )
        {
            // A changed coordinate may turn a polygon into several when it is made valid.
            s.shapeTypes.push_back( ds.shape( r ).isNull() ? -1 : ds.shape( r ).shapeType() );
            for ( int f = 0; f < s.fields; ++f )
                s.valuesPresent.push_back( !ds.value( r, f ).isNull() );
        }
        return s;
    }

    //! What \a mutant lacks of this snapshot; empty when it lacks nothing.
    QString lossIn( const Snapshot &mutant ) const
    {
        if ( mutant.records != records )
            return QStringLiteral( "%1 records instead of %2" ).arg( mutant.records ).arg( records );
        if ( mutant.fields != fields )
            return QStringLiteral( "%1 fields instead of %2" ).arg( mutant.fields ).arg( fields );
        if ( hasCrs && !mutant.hasCrs )
            return QStringLiteral( "no coordinate system" );
        for ( size_t r = 0; r < shapeTypes.size(); ++r )
        {
            if ( mutant.shapeTypes[r] != shapeTypes[r] )
                return QStringLiteral( "record %1: shape kind %2 instead of %3" ).arg( r ).arg( mutant.shapeTypes[r] ).arg( shapeTypes[r] );
        }
        for ( size_t i = 0; i < valuesPresent.size(); ++i )
        {
            if ( valuesPresent[i] && !mutant.valuesPresent[i] )
                return QStringLiteral( "record %1: value of field %2 lost" ).arg( i / fields ).arg( i % fields );
        }
        return QString();
    }
};

quint16 littleEndian16( const QByteArray &b, int at )
{
    return static_cast<quint16>( static_cast<unsigned char>( b[at] ) | ( static_cast<unsigned char>( b[at + 1] ) << 8 ) );
}

/**
 * Applies mutation number \a seed to \a bytes of a file of part \a part and
 * describes it. Half the mutations hit the header, where a single byte
 * decides how the rest is read.
 */
QString mutate( QByteArray &bytes, const QString &part, quint32 seed )
{
    std::mt19937 rng( seed );
    const auto below = [&rng]( qint64 n ) { return n > 0 ? static_cast<qint64>( rng() % static_cast<quint64>( n ) ) : 0; };
    qint64 header = bytes.size();
    if ( part == QLatin1String( "shp" ) || part == QLatin1String( "shx" ) )
        header = 100;
    else if ( part == QLatin1String( "dbf" ) && bytes.size() >= 12 )
        header = littleEndian16( bytes, 8 );
    header = std::min<qint64>( header, bytes.size() );
    const qint64 at = below( 2 ) == 0 ? below( header ) : below( bytes.size() );

    switch ( below( 7 ) )
    {
        case 0:
        {
            const int mask = static_cast<int>( 1 + below( 255 ) );
            bytes[at] = static_cast<char>( bytes[at] ^ mask );
            return QStringLiteral( "byte %1 xor %2" ).arg( at ).arg( mask );
        }
        case 1:
        {
            const char value = static_cast<char>( below( 256 ) );
            bytes[at] = value;
            return QStringLiteral( "byte %1 set to %2" ).arg( at ).arg( static_cast<unsigned char>( value ) );
        }
        case 2:
        {
            static const quint32 kWords[] { 0, 1, 0x7fffffff, 0xffffffff, 0x10000000, 50 };
            const quint32 word = below( 2 ) == 0 ? kWords[below( 6 )] : static_cast<quint32>( rng() );
            const qint64 aligned = std::max<qint64>( 0, std::min<qint64>( at & ~qint64( 3 ), bytes.size() - 4 ) );
            for ( int i = 0; i < 4 && aligned + i < bytes.size(); ++i )
                bytes[aligned + i] = static_cast<char>( word >> ( 8 * ( 3 - i ) ) );
            return QStringLiteral( "word %1 set to %2" ).arg( aligned ).arg( word );
        }
        case 3:
            bytes.truncate( at );
            return QStringLiteral( "cut at %1" ).arg( at );
        case 4:
        {
            const qint64 length = 1 + below( 64 );
            for ( qint64 i = at; i < std::min<qint64>( bytes.size(), at + length ); ++i )
                bytes[i] = '\0';
            return QStringLiteral( "%1 bytes zeroed at %2" ).arg( length ).arg( at );
        }
        case 5:
            if ( below( 2 ) == 0 )
            {
                bytes.remove( at, 1 );
                return QStringLiteral( "byte %1 removed" ).arg( at );
            }
            bytes.insert( at, static_cast<char>( below( 256 ) ) );
            return QStringLiteral( "byte inserted at %1" ).arg( at );
        default:
        {
            const qint64 length = 1 + below( 300 );
            for ( qint64 i = 0; i < length; ++i )
                bytes.append( static_cast<char>( below( 256 ) ) );
            return QStringLiteral( "%1 bytes appended" ).arg( length );
        }
    }
}

} // namespace

class TestLoadMutations : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();

    void sampleSetReadsAsTheDriverReads_data();
    void sampleSetReadsAsTheDriverReads();

    void mutantLoadsWholeOrIsNamed_data();
    void mutantLoadsWholeOrIsNamed();

    void cleanupTestCase();

  private:
    QTemporaryDir mRoot;
    QString mSample;
    std::map<QString, Snapshot> mSound;
    std::unique_ptr<testsupport::RecordingDialogs> mDialogs;
    std::unique_ptr<gis::MapWidget> mMap;
    std::unique_ptr<LegendControl> mLegend;
    int mReported = 0;
    int mWhole = 0;

    //! Copies layer \a layer of the sample set into a fresh directory \a dir.
    void copyLayer( const QString &layer, const QString &dir )
    {
        QDir( dir ).removeRecursively();
        QDir().mkpath( dir );
        for ( const char *ext : { ".shp", ".shx", ".dbf", ".prj", ".cpg" } )
            QFile::copy( QDir( mSample ).filePath( layer + ext ), QDir( dir ).filePath( layer + ext ) );
    }

    void load( const QString &dir, const QString &layer )
    {
        mDialogs->reset();
        md_functions::LoadProject( layer + ".shp", QDir( dir ).filePath( layer + ".shp" ), *mMap, *mLegend );
    }
};

void TestLoadMutations::initTestCase()
{
    QVERIFY( mRoot.isValid() );
    QVERIFY2( !qEnvironmentVariableIsEmpty( "OSTRAPEL_SAMPLEDATA" ), "OSTRAPEL_SAMPLEDATA names the generator" );
    Constants::sStandardFiles = Constants::kStandardFileNames;
    mSample = mRoot.filePath( QStringLiteral( "sample" ) );
    QProcess generator;
    generator.start( qEnvironmentVariable( "OSTRAPEL_SAMPLEDATA" ), { mSample } );
    QVERIFY( generator.waitForFinished( 120000 ) && generator.exitCode() == 0 );

    init();
    for ( const QString &layer : kLayers )
    {
        const QString dir = mRoot.filePath( QStringLiteral( "sound-" ) + layer );
        copyLayer( layer, dir );
        load( dir, layer );
        QVERIFY2( mDialogs->shown.empty(), qPrintable( mDialogs->texts().join( '\n' ) ) );
        QCOMPARE( mMap->layerCount(), 1 );
        mSound[layer] = Snapshot::of( *mMap->layer( 0 )->geoDataset() );
        QVERIFY( mSound[layer].records > 0 );
    }
    cleanup();
}

void TestLoadMutations::init()
{
    mDialogs = std::make_unique<testsupport::RecordingDialogs>();
    testsupport::makeLoadTarget( mMap, mLegend );
}

void TestLoadMutations::cleanup()
{
    mLegend.reset();
    mMap.reset();
    mDialogs.reset();
}

void TestLoadMutations::sampleSetReadsAsTheDriverReads_data()
{
    QTest::addColumn<QString>( "file" );
    for ( const QString &file : Constants::kStandardFileNames )
        QTest::newRow( qPrintable( file ) ) << file;
}

void TestLoadMutations::sampleSetReadsAsTheDriverReads()
{
    QFETCH( QString, file );
    const QString path = QDir( mSample ).filePath( file );
    const auto ds = gis::Dataset::open( path );
    QVERIFY( !ds->damage().isDamaged() );
    const QString difference = testsupport::differenceFromDriver( path, *ds );
    QVERIFY2( difference.isEmpty(), qPrintable( difference ) );
}

void TestLoadMutations::mutantLoadsWholeOrIsNamed_data()
{
    QTest::addColumn<QString>( "layer" );
    QTest::addColumn<QString>( "part" );
    QTest::addColumn<quint32>( "seed" );
    for ( const QString &layer : kLayers )
    {
        for ( const QString &part : kParts )
        {
            for ( int i = 0; i < kMutantsPerPart; ++i )
            {
                const quint32 seed = static_cast<quint32>( qHash( layer + part ) % 100000 ) * 1000 + static_cast<quint32>( i );
                QTest::addRow( "%s.%s #%d", qPrintable( layer ), qPrintable( part ), i ) << layer << part << seed;
            }
        }
    }
}

void TestLoadMutations::mutantLoadsWholeOrIsNamed()
{
    QFETCH( QString, layer );
    QFETCH( QString, part );
    QFETCH( quint32, seed );
    const QString dir = mRoot.filePath( QStringLiteral( "mutant" ) );
    copyLayer( layer, dir );
    const QString file = QDir( dir ).filePath( layer + QLatin1Char( '.' ) + part );
    QByteArray bytes = testsupport::readBytes( file );
    const QString mutation = mutate( bytes, part, seed );
    testsupport::writeBytes( file, bytes );
    const QString what = QStringLiteral( "%1.%2: %3" ).arg( layer, part, mutation );

    load( dir, layer );

    // Whatever was read can be drawn and zoomed to.
    const gis::Rect full = mMap->fullExtent();
    QVERIFY2( std::isfinite( full.left ) && std::isfinite( full.right ) && std::isfinite( full.top ) && std::isfinite( full.bottom ),
              qPrintable( what ) );
    // The damage message comes last, once. Before it the styling may have
    // failed on a table whose fields are not what it expects, damaged or not.
    const QStringList texts = mDialogs->texts();
    const QStringList damage = texts.filter( QStringLiteral( "are damaged" ) );
    const bool named = !damage.isEmpty() && damage.last().contains( "\n" + layer + ".shp: " );
    QVERIFY2( damage.size() <= 1 && ( damage.isEmpty() || texts.last() == damage.last() ), qPrintable( what ) );
    QVERIFY2( named || damage.isEmpty(), qPrintable( what + " / " + texts.join( " || " ) ) );
    if ( named )
    {
        ++mReported;
        return;
    }
    QVERIFY2( mMap->layerCount() == 1, qPrintable( what + ": not loaded, not named" ) );
    const QString loss = mSound[layer].lossIn( Snapshot::of( *mMap->layer( 0 )->geoDataset() ) );
    QVERIFY2( loss.isEmpty(), qPrintable( what + ": " + loss + ", not named" ) );
    ++mWhole;
}

void TestLoadMutations::cleanupTestCase()
{
    qInfo( "%d mutants named as damaged, %d loaded whole", mReported, mWhole );
}

QTEST_MAIN( TestLoadMutations )
#include "tst_load_mutations.moc"
