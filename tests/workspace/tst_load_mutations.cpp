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
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <random>

namespace
{

//! The layers mutated: polygons with numbers, polygons with texts, lines, points.
const QStringList kLayers { QStringLiteral( "20_wind" ), QStringLiteral( "02_landuse" ), QStringLiteral( "43_roads" ),
                            QStringLiteral( "59_cities" ) };
const QStringList kParts { QStringLiteral( "shp" ), QStringLiteral( "shx" ), QStringLiteral( "dbf" ), QStringLiteral( "prj" ) };
constexpr int kMutantsPerPart = 25;

/**
 * What \a mutant lacks of \a sound, as far as losing it matters: records,
 * fields, the coordinate system, a shape or its kind (a changed coordinate
 * may turn a polygon into several when it is made valid), a value. Empty
 * when it lacks nothing.
 */
QString lossIn( const gis::Dataset &sound, const gis::Dataset &mutant )
{
    const auto kind = []( const gis::Geometry &g ) { return g.isNull() ? -1 : g.shapeType(); };
    const int fields = static_cast<int>( sound.fieldNames().size() );
    if ( mutant.recordCount() != sound.recordCount() || mutant.fieldNames().size() != sound.fieldNames().size() )
        return QStringLiteral( "%1 records, %2 fields" ).arg( mutant.recordCount() ).arg( mutant.fieldNames().size() );
    if ( sound.coordinateSystem() && !mutant.coordinateSystem() )
        return QStringLiteral( "no coordinate system" );
    for ( qint64 r = 0; r < sound.recordCount(); ++r )
    {
        if ( kind( mutant.shape( r ) ) != kind( sound.shape( r ) ) )
            return QStringLiteral( "record %1: shape kind %2" ).arg( r ).arg( kind( mutant.shape( r ) ) );
        for ( int f = 0; f < fields; ++f )
        {
            if ( !sound.value( r, f ).isNull() && mutant.value( r, f ).isNull() )
                return QStringLiteral( "record %1: value of field %2 lost" ).arg( r ).arg( f );
        }
    }
    return QString();
}

/**
 * What of the shapes of \a mutant its damage report does not count: every
 * shape lost (null where the sound layer has one) must be counted, every
 * one counted be null, and every one kept lie within the sound shape's
 * envelope (a point: within the sound extent), which is the box the sound
 * file gives for it; a coordinate changed within that box is data like any
 * other. Empty when the counts match.
 */
QString uncountedShapeLoss( const gis::Dataset &sound, const gis::Dataset &mutant )
{
    const gis::ReadDamage &d = mutant.damage();
    const qint64 counted = d.shapesUnread + d.shapesUndrawable + d.shapesTooSmall + d.shapesOutsideBox;
    qint64 lost = 0;
    qint64 nulls = 0;
    for ( qint64 r = 0; r < mutant.recordCount(); ++r )
    {
        const gis::Geometry &shape = mutant.shape( r );
        nulls += shape.isNull() ? 1 : 0;
        if ( r >= sound.recordCount() )
            continue;
        const std::optional<gis::Rect> box = sound.shapeKind() == gis::ShapePoint ? sound.extent() : sound.shape( r ).envelope();
        const std::optional<gis::Rect> e = shape.envelope();
        lost += shape.isNull() && !sound.shape( r ).isNull() ? 1 : 0;
        if ( !e || !box )
            continue;
        const double slack = 1e-6 * std::max( { std::abs( box->left ), std::abs( box->right ), std::abs( box->top ),
                                                std::abs( box->bottom ), box->width(), box->height() } );
        if ( e->left < box->left - slack || e->right > box->right + slack || e->bottom < box->bottom - slack
             || e->top > box->top + slack )
            return QStringLiteral( "record %1 reaches out of its box and is kept" ).arg( r );
    }
    if ( lost > counted || counted > nulls )
        return QStringLiteral( "%1 shapes lost, %2 counted" ).arg( lost ).arg( counted );
    return QString();
}

/**
 * Applies mutation number \a seed to \a bytes of a file of part \a part and
 * says which it was. Half the mutations hit the header, where a single byte
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
        header = qFromLittleEndian<quint16>( bytes.constData() + 8 );
    header = std::min<qint64>( header, bytes.size() );
    const qint64 at = below( 2 ) == 0 ? below( header ) : below( bytes.size() );

    const qint64 kind = below( 7 );
    switch ( kind )
    {
        case 0: // a byte flipped by a mask
            bytes[at] = static_cast<char>( bytes[at] ^ static_cast<int>( 1 + below( 255 ) ) );
            break;
        case 1:
            bytes[at] = static_cast<char>( below( 256 ) );
            break;
        case 2: // a big-endian word set to a telling or a random value
        {
            static const quint32 kWords[] { 0, 1, 0x7fffffff, 0xffffffff, 0x10000000, 50 };
            const quint32 word = below( 2 ) == 0 ? kWords[below( 6 )] : static_cast<quint32>( rng() );
            const qint64 aligned = std::max<qint64>( 0, std::min<qint64>( at & ~qint64( 3 ), bytes.size() - 4 ) );
            for ( int i = 0; i < 4 && aligned + i < bytes.size(); ++i )
                bytes[aligned + i] = static_cast<char>( word >> ( 8 * ( 3 - i ) ) );
            break;
        }
        case 3:
            bytes.truncate( at );
            break;
        case 4: // up to 64 bytes zeroed
            for ( qint64 i = at, end = std::min<qint64>( bytes.size(), at + 1 + below( 64 ) ); i < end; ++i )
                bytes[i] = '\0';
            break;
        case 5: // a byte removed or inserted
            if ( below( 2 ) == 0 )
                bytes.remove( at, 1 );
            else
                bytes.insert( at, static_cast<char>( below( 256 ) ) );
            break;
        default: // up to 300 random bytes appended
            for ( qint64 n = 1 + below( 300 ); n > 0; --n )
                bytes.append( static_cast<char>( below( 256 ) ) );
    }
    return QStringLiteral( "mutation %1 at byte %2" ).arg( kind ).arg( at );
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
    std::map<QString, std::shared_ptr<gis::Dataset>> mSound;
    std::unique_ptr<testsupport::RecordingDialogs> mDialogs;
    std::unique_ptr<gis::MapWidget> mMap;
    std::unique_ptr<LegendControl> mLegend;
    int mReported = 0;
    int mWhole = 0;
    int mTooSmall = 0;   //!< mutants with shapes too small to draw
    int mOutsideBox = 0; //!< mutants with shapes outside their box

    //! Copies layer \a layer of the sample set into a fresh directory \a dir.
    void copyLayer( const QString &layer, const QString &dir )
    {
        QDir( dir ).removeRecursively();
        testsupport::copyFileSet( QDir( mSample ).filePath( layer ), QDir( dir ).filePath( layer ) );
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
        mSound[layer] = mMap->layer( 0 )->geoDataset();
        QVERIFY( mSound[layer]->recordCount() > 0 );
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
    if ( mMap->layerCount() == 1 )
    {
        const gis::Dataset &mutant = *mMap->layer( 0 )->geoDataset();
        const QString uncounted = uncountedShapeLoss( *mSound[layer], mutant );
        QVERIFY2( uncounted.isEmpty(), qPrintable( what + ": " + uncounted ) );
        mTooSmall += mutant.damage().shapesTooSmall > 0 ? 1 : 0;
        mOutsideBox += mutant.damage().shapesOutsideBox > 0 ? 1 : 0;
    }

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
    const QString loss = lossIn( *mSound[layer], *mMap->layer( 0 )->geoDataset() );
    QVERIFY2( loss.isEmpty(), qPrintable( what + ": " + loss + ", not named" ) );
    ++mWhole;
}

void TestLoadMutations::cleanupTestCase()
{
    qInfo( "%d mutants named as damaged (%d with shapes too small to draw, %d with shapes outside their box), %d loaded whole",
           mReported, mTooSmall, mOutsideBox, mWhole );
}

QTEST_MAIN( TestLoadMutations )
#include "tst_load_mutations.moc"
