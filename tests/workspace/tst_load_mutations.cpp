// Seeded mutations of the sample set (its files, the field descriptions and
// text values of its tables, its code pages), loaded as the program loads a
// data directory: no mutant may crash or stall the load, and every mutant
// either loads whole, every record with what the sound file gives it (a
// changed coordinate or value is data like any other), or is named in the
// damage message with counts that match what it lost, and no part of a
// shape it keeps is gone unless counted. Also: every sample layer reads
// through the index as the driver reads it.

#include "TestSupport.h"

#include "common/Constants.h"
#include "gis/MapWidget.h"
#include "gis/ShapeBox.h"
#include "legend/LegendControl.h"
#include "workspace/md_functions.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <set>

namespace
{

//! The layers mutated: polygons with numbers, polygons with texts, lines, points.
const QStringList kLayers { QStringLiteral( "20_wind" ), QStringLiteral( "02_landuse" ), QStringLiteral( "43_roads" ),
                            QStringLiteral( "59_cities" ) };
//! The parts mutated: a file by its extension, or what "dbf fields" and "dbf text" name of the table.
const QStringList kParts { QStringLiteral( "shp" ),        QStringLiteral( "shx" ),      QStringLiteral( "dbf" ),
                           QStringLiteral( "dbf fields" ), QStringLiteral( "dbf text" ), QStringLiteral( "prj" ),
                           QStringLiteral( "cpg" ) };
//! Mutants of each part of each layer; $OSTRAPEL_MUTANTS_PER_PART asks for more (at most 1000) on a long run.
const int kMutantsPerPart = qEnvironmentVariableIsSet( "OSTRAPEL_MUTANTS_PER_PART" )
                                ? std::clamp( qEnvironmentVariableIntValue( "OSTRAPEL_MUTANTS_PER_PART" ), 1, 1000 )
                                : 20;

//! The text replacing bytes that are not valid in the table's encoding.
const QChar kReplacement( QChar::ReplacementCharacter );

/**
 * What a mutant lacks of the sound file set, as the damage message counts
 * it. A value is lost when the sound one is not null and the mutant's is
 * null, or is a text with replacement characters the sound one lacks. A
 * changed coordinate or value is data like any other.
 */
struct Loss
{
    QString count;           //!< records or fields differ in number: nothing else is compared
    QString kept;            //!< the coordinate system or a shape's kind is gone
    qint64 shapes = 0;       //!< records whose shape is gone
    qint64 valueRecords = 0; //!< records that lost a value of a field the message does not name
    std::map<int, qint64> fieldValues; //!< values lost in the fields the message names, by their place

    bool isNone() const { return count.isEmpty() && kept.isEmpty() && shapes == 0 && valueRecords == 0 && fieldValues.empty(); }
    //! The counts the damage message gives.
    bool countsEqual( const Loss &o ) const
    {
        return shapes == o.shapes && valueRecords == o.valueRecords && fieldValues == o.fieldValues;
    }
};

Loss lossIn( const gis::Dataset &sound, const gis::Dataset &mutant )
{
    Loss loss;
    const auto kind = []( const gis::Geometry &g ) { return g.isNull() ? -1 : g.shapeType(); };
    const int fields = static_cast<int>( sound.fieldNames().size() );
    if ( mutant.recordCount() != sound.recordCount() || mutant.fieldNames().size() != sound.fieldNames().size() )
    {
        loss.count = QStringLiteral( "%1 records, %2 fields" ).arg( mutant.recordCount() ).arg( mutant.fieldNames().size() );
        return loss;
    }
    if ( sound.coordinateSystem() && !mutant.coordinateSystem() )
        loss.kept = QStringLiteral( "no coordinate system" );
    std::set<int> named;
    for ( const gis::ReadDamage::FieldUnread &field : mutant.damage().fieldsUnread )
        named.insert( field.index );
    for ( qint64 r = 0; r < sound.recordCount(); ++r )
    {
        if ( mutant.shape( r ).isNull() && !sound.shape( r ).isNull() )
            ++loss.shapes;
        else if ( kind( mutant.shape( r ) ) != kind( sound.shape( r ) ) && loss.kept.isEmpty() )
            loss.kept = QStringLiteral( "record %1: shape kind %2" ).arg( r ).arg( kind( mutant.shape( r ) ) );
        bool recordLost = false;
        for ( int f = 0; f < fields; ++f )
        {
            const QVariant &was = sound.value( r, f );
            const QVariant &is = mutant.value( r, f );
            const bool lost = !was.isNull()
                              && ( is.isNull()
                                   || ( is.typeId() == QMetaType::QString && is.toString().contains( kReplacement )
                                        && !was.toString().contains( kReplacement ) ) );
            if ( !lost )
                continue;
            if ( named.count( f ) )
                ++loss.fieldValues[f];
            else
                recordLost = true;
        }
        loss.valueRecords += recordLost ? 1 : 0;
    }
    return loss;
}

//! What the damage message of \a damage counts, in the terms of Loss.
Loss counted( const gis::ReadDamage &damage )
{
    Loss loss;
    loss.shapes = damage.shapesUnread + damage.shapesUndrawable + damage.shapesTooSmall + damage.shapesOutsideBox;
    loss.valueRecords = damage.attributesUnread;
    for ( const gis::ReadDamage::FieldUnread &field : damage.fieldsUnread )
    {
        if ( field.valuesLost > 0 )
            loss.fieldValues[field.index] = field.valuesLost;
    }
    return loss;
}

QString describe( const Loss &loss )
{
    QStringList fields;
    for ( const auto &[field, n] : loss.fieldValues )
        fields << QStringLiteral( "%1: %2" ).arg( field ).arg( n );
    return QStringLiteral( "%1 shapes, values of %2 records, fields: %3; %4" )
        .arg( loss.shapes )
        .arg( loss.valueRecords )
        .arg( fields.join( ", " ), loss.count + loss.kept );
}

/**
 * The first shape of \a mutant that was kept though it reaches out of the
 * box the sound file gives for it: the sound shape's envelope, or for a
 * point the sound extent. A coordinate changed within that box is data like
 * any other; one moved out of it must leave its shape out, and counted.
 * Empty when there is none.
 */
QString shapeOutOfItsBox( const gis::Dataset &sound, const gis::Dataset &mutant )
{
    for ( qint64 r = 0; r < std::min( sound.recordCount(), mutant.recordCount() ); ++r )
    {
        const std::optional<gis::Rect> box = sound.shapeKind() == gis::ShapePoint ? sound.extent() : sound.shape( r ).envelope();
        const std::optional<gis::Rect> e = mutant.shape( r ).envelope();
        if ( !e || !box )
            continue;
        if ( !gis::shapefile::isWithin( *e, *box ) )
            return QStringLiteral( "record %1 reaches out of its box and is kept" ).arg( r );
    }
    return QString();
}

//! The vertices of each line or ring of \a g, in order.
std::vector<std::vector<std::pair<double, double>>> partsOf( const GEOSGeometry *g )
{
    GEOSContextHandle_t h = gis::geosContext();
    std::vector<std::vector<std::pair<double, double>>> parts;
    const auto addLine = [&]( const GEOSGeometry *line ) {
        const GEOSCoordSequence *seq = GEOSGeom_getCoordSeq_r( h, line );
        unsigned int n = 0;
        GEOSCoordSeq_getSize_r( h, seq, &n );
        auto &part = parts.emplace_back();
        for ( unsigned int i = 0; i < n; ++i )
        {
            double x = 0;
            double y = 0;
            GEOSCoordSeq_getXY_r( h, seq, i, &x, &y );
            part.emplace_back( x, y );
        }
    };
    for ( int i = 0; g && i < GEOSGetNumGeometries_r( h, g ); ++i )
    {
        const GEOSGeometry *single = GEOSGetGeometryN_r( h, g, i );
        if ( GEOSGeomTypeId_r( h, single ) != GEOS_POLYGON )
        {
            if ( GEOSGeomTypeId_r( h, single ) != GEOS_POINT )
                addLine( single );
            continue;
        }
        addLine( GEOSGetExteriorRing_r( h, single ) );
        for ( int k = 0; k < GEOSGetNumInteriorRings_r( h, single ); ++k )
            addLine( GEOSGetInteriorRingN_r( h, single, k ) );
    }
    return parts;
}

/**
 * The first record of \a mutant that keeps its shape without a line or
 * ring of the sound shape, not one vertex of which is left, when \a mutant
 * counts no shape kept without a part. A part whose bytes the mutation
 * changed is data like any other, but a part cannot lose every vertex to
 * one mutation without its shape being left out. Empty when there is none.
 */
QString partLostUncounted( const gis::Dataset &sound, const gis::Dataset &mutant )
{
    if ( mutant.damage().shapesPartTooSmall > 0 )
        return QString();
    for ( qint64 r = 0; r < std::min( sound.recordCount(), mutant.recordCount() ); ++r )
    {
        if ( mutant.shape( r ).isEmpty() || sound.shape( r ).isEmpty() )
            continue;
        std::set<std::pair<double, double>> kept;
        for ( const auto &part : partsOf( mutant.shape( r ).get() ) )
            kept.insert( part.begin(), part.end() );
        for ( const auto &part : partsOf( sound.shape( r ).get() ) )
        {
            if ( std::none_of( part.begin(), part.end(), [&kept]( const auto &v ) { return kept.count( v ) > 0; } ) )
                return QStringLiteral( "record %1 lost a part, uncounted" ).arg( r );
        }
    }
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
    if ( part.startsWith( QLatin1String( "dbf " ) ) )
    {
        // The sample tables are sound: a header, one 32-byte description per field, rows.
        const qint64 header = qFromLittleEndian<quint16>( bytes.constData() + 8 );
        const qint64 rowLength = qFromLittleEndian<quint16>( bytes.constData() + 10 );
        const qint64 fields = ( header - 33 ) / 32;
        if ( part == QLatin1String( "dbf fields" ) )
        {
            // The type, width or decimals of a field: a random byte, another type letter, one more or less.
            static const int kBytes[] { 11, 16, 17 };
            static const char kTypes[] { 'C', 'N', 'F', 'D', 'L', 'M', 'X', '\0' };
            const qint64 at = 32 + 32 * below( fields ) + kBytes[below( 3 )];
            const qint64 how = below( 3 );
            bytes[at] = static_cast<char>( how == 0 ? below( 256 ) : how == 1 ? kTypes[below( 8 )] : bytes[at] + ( below( 2 ) ? 1 : -1 ) );
            return QStringLiteral( "byte %1 set to %2" ).arg( at ).arg( static_cast<uchar>( bytes[at] ) );
        }
        // A byte of a text value, or of any value when there is none, set to one that is no ASCII.
        std::vector<std::pair<qint64, qint64>> texts; // offset in the row, width
        for ( qint64 f = 0, offset = 1; f < fields; offset += static_cast<uchar>( bytes[32 + 32 * f + 16] ), ++f )
        {
            if ( bytes[32 + 32 * f + 11] == 'C' )
                texts.emplace_back( offset, static_cast<uchar>( bytes[32 + 32 * f + 16] ) );
        }
        const auto [offset, width] = texts.empty() ? std::pair<qint64, qint64>( 1, rowLength - 1 ) : texts[below( texts.size() )];
        const qint64 at = header + rowLength * below( ( bytes.size() - header ) / rowLength ) + offset + below( width );
        bytes[at] = static_cast<char>( 0x80 + below( 128 ) );
        return QStringLiteral( "byte %1 set to %2" ).arg( at ).arg( static_cast<uchar>( bytes[at] ) );
    }
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
    const QString file = QDir( dir ).filePath( layer + QLatin1Char( '.' ) + part.section( QLatin1Char( ' ' ), 0, 0 ) );
    QByteArray bytes = testsupport::readBytes( file );
    const QString mutation = mutate( bytes, part, seed );
    testsupport::writeBytes( file, bytes );
    const QString what = QStringLiteral( "%1.%2: %3" ).arg( layer, part, mutation );

    load( dir, layer );
    if ( mMap->layerCount() == 1 )
    {
        const gis::Dataset &mutant = *mMap->layer( 0 )->geoDataset();
        const QString outOfBox = shapeOutOfItsBox( *mSound[layer], mutant );
        QVERIFY2( outOfBox.isEmpty(), qPrintable( what + ": " + outOfBox ) );
        const QString partLost = partLostUncounted( *mSound[layer], mutant );
        QVERIFY2( partLost.isEmpty(), qPrintable( what + ": " + partLost ) );
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
    // The .shp is sound: a damaged index alone costs nothing, its records are read in the order of the .shp.
    const bool indexAlone = part == QLatin1String( "shx" );
    QVERIFY2( !indexAlone || mMap->layerCount() == 1, qPrintable( what + ": index alone damaged, layer not loaded" ) );
    if ( named && mMap->layerCount() == 0 )
    {
        ++mReported;
        return;
    }
    QVERIFY2( mMap->layerCount() == 1, qPrintable( what + ": not loaded, not named" ) );
    const gis::Dataset &sound = *mSound[layer];
    const gis::Dataset &mutant = *mMap->layer( 0 )->geoDataset();
    const Loss loss = lossIn( sound, mutant );
    QVERIFY2( !indexAlone || loss.isNone(), qPrintable( what + ": index alone damaged, lost " + describe( loss ) ) );
    if ( !named )
    {
        QVERIFY2( loss.isNone(), qPrintable( what + ": " + describe( loss ) + ", not named" ) );
        ++mWhole;
        return;
    }
    // What is lost is counted: records, or else every shape and every value.
    const gis::ReadDamage &d = mutant.damage();
    const qint64 recordsGone = sound.recordCount() - mutant.recordCount();
    if ( recordsGone > 0 )
        QVERIFY2( d.recordsLost + d.recordsDeleted >= recordsGone, qPrintable( what + ": records lost uncounted" ) );
    else if ( loss.count.isEmpty() )
        QVERIFY2( counted( d ).countsEqual( loss ), qPrintable( what + ": lost " + describe( loss ) + ", counted " + describe( counted( d ) ) ) );
    ++mReported;
}

void TestLoadMutations::cleanupTestCase()
{
    qInfo( "%d mutants named as damaged (%d with shapes too small to draw, %d with shapes outside their box), %d loaded whole",
           mReported, mTooSmall, mOutsideBox, mWhole );
}

QTEST_MAIN( TestLoadMutations )
#include "tst_load_mutations.moc"
