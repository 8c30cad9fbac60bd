#include "ShapeRecords.h"

#include "ReadDamage.h"
#include "ShapeBox.h"
#include "ShapeConverter.h"
#include "ShapefileCheck.h"

#include <ogr_geometry.h>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>

namespace gis::shapefile
{

namespace
{

constexpr qint64 kHeaderSize = 100;
constexpr quint32 kFileCode = 9994;
constexpr qint32 kVersion = 1000;
constexpr qint64 kBlock = 1 << 20;
constexpr qint64 kEntriesPerBlock = 65536;
constexpr double kInf = std::numeric_limits<double>::infinity();

//! Copies \a n little-endian doubles from \a p (of any alignment) to \a out.
void copyDoubles( const unsigned char *p, qint64 n, double *out )
{
    std::memcpy( out, p, static_cast<size_t>( n ) * sizeof( double ) );
    if constexpr ( std::endian::native == std::endian::big )
    {
        for ( qint64 i = 0; i < n; ++i )
        {
            unsigned char b[sizeof( double )];
            std::memcpy( b, out + i, sizeof b );
            std::reverse( b, b + sizeof b );
            std::memcpy( out + i, b, sizeof b );
        }
    }
}

/**
 * Reads byte ranges of a file that are mostly asked for in ascending order,
 * through one buffer: the .shp records an index leads to are read in one
 * pass in the usual case.
 */
class WindowReader
{
  public:
    explicit WindowReader( QFile &file ) : mFile( file ) {}

    //! Up to \a n bytes at \a offset; fewer at the end of the file.
    const unsigned char *read( qint64 offset, qint64 n, qint64 &got )
    {
        if ( offset < mStart || offset + n > mStart + mBuffer.size() )
        {
            mBuffer.clear();
            mStart = offset;
            if ( mFile.seek( offset ) )
                mBuffer = mFile.read( std::max( n, kBlock ) );
        }
        got = std::min<qint64>( n, mStart + mBuffer.size() - offset );
        return reinterpret_cast<const unsigned char *>( mBuffer.constData() ) + ( offset - mStart );
    }

  private:
    QFile &mFile;
    QByteArray mBuffer;
    qint64 mStart = 0;
};

bool isShapeType( int type )
{
    switch ( type )
    {
        case 1: case 3: case 5: case 8:
        case 11: case 13: case 15: case 18:
        case 21: case 23: case 25: case 28:
        case 31:
            return true;
        default:
            return false;
    }
}

/**
 * Whether \a content bytes hold what a record of \a type needs for the
 * counts at the start of its content \a c (\a have bytes of it). Measures
 * (M) are optional where the format allows leaving them out. Bytes beyond
 * what the type holds are ignored, as the driver ignores them, when they
 * are the Z and M blocks another kind of the same shape holds: some writers
 * put them under a type of M only. Other lengths are taken for counts that
 * were damaged (a count lowered leaves bytes over that no block explains),
 * which the driver would read short without a word.
 */
bool lengthFits( int type, qint64 content, const unsigned char *c, qint64 have )
{
    switch ( type )
    {
        case 1:
            return content == 20 || content == 28 || content == 36;
        case 11:
        case 21:
            return content == 28 || content == 36;
        default:
            break;
    }
    const bool multiPoint = type == 8 || type == 18 || type == 28;
    const qint64 countsEnd = multiPoint ? 40 : 44;
    if ( have < countsEnd )
        return false;
    const qint64 parts = multiPoint ? 0 : littleEndian32( c + 36 );
    const qint64 points = littleEndian32( c + ( multiPoint ? 36 : 40 ) );
    if ( parts < 0 || points < 0 )
        return false;
    const qint64 partBytes = type == 31 ? 8 * parts : 4 * parts;
    const qint64 base = countsEnd + partBytes + 16 * points;
    const qint64 range = 16 + 8 * points; // a Z or M block: its range, then one value per point
    switch ( type )
    {
        case 3: case 5: case 8: case 23: case 25: case 28:
            return content == base || content == base + range || content == base + 2 * range;
        case 13: case 15: case 18: case 31:
            return content == base + range || content == base + 2 * range;
        default:
            return false;
    }
}

//! A bounding box as the format stores it: xmin, ymin, xmax, ymax.
Rect boxAt( const unsigned char *p )
{
    double b[4];
    copyDoubles( p, 4, b );
    return Rect { b[0], b[2], b[3], b[1] };
}

/**
 * The box the headers of a .shp and its .shx (\a shpHeader, \a shxHeader)
 * give for all shapes of the file. Both hold it; when one was damaged, the
 * smallest box holding both still holds every shape. A box that is not
 * usable is left aside; without either there is none.
 */
std::optional<Rect> headerBox( const unsigned char *shpHeader, const unsigned char *shxHeader )
{
    std::optional<Rect> box;
    for ( const unsigned char *header : { shpHeader, shxHeader } )
    {
        const Rect b = boxAt( header + 36 );
        if ( isUsableBox( b ) )
            box = box ? box->united( b ) : b;
    }
    return box;
}

/**
 * Turns the content of a checked record into a GEOS shape the way the
 * shapefile driver reads it: one part gives a LineString or a Polygon,
 * several a MultiLineString or, for rings, what OGR's ring organisation
 * (counter-clockwise rings are holes) makes of them. The driver would also
 * read what cannot be drawn; such shapes are left out here.
 */
class RecordConverter
{
  public:
    RecordConverter() : h( geosContext() ) {}

    /**
     * The shape of record content \a c of \a type, whose length fits its
     * counts. Null for a null or an empty record; null with \a leftOut
     * saying why for a shape that cannot be drawn; null with \a corrupt set
     * for part starts that do not fit the points. A shape kept without a
     * part too small for its kind has \a leftOut PartsTooSmall. Afterwards
     * extent() and boxed() tell of the record's vertices.
     */
    Geometry convert( int type, const unsigned char *c, LeftOut &leftOut, bool &corrupt )
    {
        mBoxed = false;
        leftOut = LeftOut::No;
        corrupt = false;
        if ( type == 0 )
            return Geometry();
        const int kind = type % 10; // 1 point, 3 line, 5 polygon, 8 multipoint
        qint64 parts = 0;
        qint64 n = 1;
        const unsigned char *coordinates = c + 4;
        if ( kind == 8 )
        {
            n = littleEndian32( c + 36 );
            coordinates = c + 40;
        }
        else if ( kind != 1 )
        {
            parts = littleEndian32( c + 36 );
            n = littleEndian32( c + 40 );
            if ( !readStarts( c + 44, parts, n ) )
            {
                corrupt = true;
                return Geometry();
            }
            coordinates = c + 44 + 4 * parts;
        }
        if ( n == 0 && parts == 0 )
            return Geometry(); // no points at all: the format's null shape in another form
        mXy.resize( static_cast<size_t>( 2 * n ) );
        copyDoubles( coordinates, 2 * n, mXy.data() );
        leftOut = check( kind, kind == 1 ? nullptr : c + 4, parts, n );
        if ( leftOut != LeftOut::No && leftOut != LeftOut::PartsTooSmall )
            return Geometry();
        if ( kind == 1 )
            return Geometry( GEOSGeom_createPointFromXY_r( h, mXy[0], mXy[1] ) );
        if ( kind == 8 )
            return multiPoint( n );
        return partsOf( kind == 5 );
    }

    //! The extent of the vertices of the record last converted.
    const Rect &extent() const { return mExtent; }
    //! Whether the record last converted gives a usable box, which holds its vertices.
    bool boxed() const { return mBoxed; }

  private:
    GEOSContextHandle_t h;
    std::vector<double> mXy;
    std::vector<qint64> mStarts; //!< first point of each part, then the point count
    std::vector<std::pair<qint64, qint64>> mParts; //!< the parts big enough for their kind: [first point, end)
    Rect mExtent;
    bool mBoxed = false;
    ShapeConverter mOgr;

    //! Reads the part starts at \a p: the first is 0, each further one greater, all within the \a n points.
    bool readStarts( const unsigned char *p, qint64 parts, qint64 n )
    {
        if ( parts == 0 )
            return n == 0; // points that belong to no part
        mStarts.resize( static_cast<size_t>( parts ) + 1 );
        for ( qint64 i = 0; i < parts; ++i )
        {
            const qint64 start = littleEndian32( p + 4 * i );
            const bool fits = i == 0 ? start == 0 : start > mStarts[static_cast<size_t>( i - 1 )];
            if ( !fits || start >= std::max<qint64>( n, 1 ) )
                return false;
            mStarts[static_cast<size_t>( i )] = start;
        }
        mStarts[static_cast<size_t>( parts )] = n;
        return true;
    }

    //! Whether the \a count points at \a p hold three distinct corners.
    static bool hasThreeCorners( const double *p, qint64 count )
    {
        const auto same = [p]( qint64 i, qint64 k ) { return p[2 * i] == p[2 * k] && p[2 * i + 1] == p[2 * k + 1]; };
        qint64 second = 1;
        while ( second < count && same( second, 0 ) )
            ++second;
        for ( qint64 i = second + 1; i < count; ++i )
        {
            if ( !same( i, 0 ) && !same( i, second ) )
                return true;
        }
        return false;
    }

    /**
     * Why the \a n vertices in mXy cannot be drawn as a shape of \a kind
     * with \a parts parts and the record box at \a box (none for a point),
     * if they cannot: a coordinate beyond kCoordinateLimit, every part too
     * small for its kind (a line of fewer than two points, a ring of fewer
     * than three distinct corners), a vertex outside a usable record box.
     * The parts big enough go to mParts; PartsTooSmall when some are not.
     */
    LeftOut check( int kind, const unsigned char *box, qint64 parts, qint64 n )
    {
        Rect &e = mExtent;
        e = Rect { kInf, -kInf, -kInf, kInf };
        for ( qint64 i = 0; i < n; ++i )
        {
            const double x = mXy[static_cast<size_t>( 2 * i )];
            const double y = mXy[static_cast<size_t>( 2 * i + 1 )];
            if ( !isDrawableCoordinate( x ) || !isDrawableCoordinate( y ) )
                return LeftOut::Undrawable;
            e.left = std::min( e.left, x );
            e.right = std::max( e.right, x );
            e.bottom = std::min( e.bottom, y );
            e.top = std::max( e.top, y );
        }
        mParts.clear();
        for ( qint64 i = 0; i < parts; ++i )
        {
            const qint64 from = mStarts[static_cast<size_t>( i )];
            const qint64 count = mStarts[static_cast<size_t>( i + 1 )] - from;
            if ( kind == 3 ? count >= 2 : hasThreeCorners( mXy.data() + 2 * from, count ) )
                mParts.emplace_back( from, from + count );
        }
        if ( parts > 0 && mParts.empty() )
            return LeftOut::TooSmall;
        if ( box )
        {
            const Rect recordBox = boxAt( box );
            if ( isUsableBox( recordBox ) )
            {
                if ( !isWithin( e, recordBox ) )
                    return LeftOut::OutsideBox;
                mBoxed = true;
            }
        }
        return static_cast<qint64>( mParts.size() ) < parts ? LeftOut::PartsTooSmall : LeftOut::No;
    }

    Geometry multiPoint( qint64 n )
    {
        std::vector<GEOSGeometry *> points;
        points.reserve( static_cast<size_t>( n ) );
        for ( qint64 i = 0; i < n; ++i )
            points.push_back( GEOSGeom_createPointFromXY_r( h, mXy[static_cast<size_t>( 2 * i )], mXy[static_cast<size_t>( 2 * i + 1 )] ) );
        return Geometry( GEOSGeom_createCollection_r( h, GEOS_MULTIPOINT, points.data(), static_cast<unsigned int>( points.size() ) ) );
    }

    //! Coordinates of points [from, to) of mXy, the first repeated at the end of an open ring.
    GEOSCoordSequence *sequence( qint64 from, qint64 to, bool ring )
    {
        const double *p = mXy.data() + 2 * from;
        const qint64 n = to - from;
        if ( ring && n > 0 && ( p[0] != p[2 * n - 2] || p[1] != p[2 * n - 1] ) )
        {
            std::vector<double> closed( p, p + 2 * n );
            closed.push_back( p[0] );
            closed.push_back( p[1] );
            return GEOSCoordSeq_copyFromBuffer_r( h, closed.data(), static_cast<unsigned int>( n + 1 ), 0, 0 );
        }
        return GEOSCoordSeq_copyFromBuffer_r( h, p, static_cast<unsigned int>( n ), 0, 0 );
    }

    GEOSGeometry *line( qint64 from, qint64 to )
    {
        GEOSCoordSequence *seq = sequence( from, to, false );
        return seq ? GEOSGeom_createLineString_r( h, seq ) : nullptr;
    }

    GEOSGeometry *ring( qint64 from, qint64 to )
    {
        GEOSCoordSequence *seq = sequence( from, to, true );
        return seq ? GEOSGeom_createLinearRing_r( h, seq ) : nullptr; // takes the sequence, also on failure
    }

    //! The lines or rings of the parts in mParts.
    Geometry partsOf( bool polygon )
    {
        const qint64 parts = static_cast<qint64>( mParts.size() );
        if ( !polygon )
        {
            if ( parts == 1 )
                return Geometry( line( mParts[0].first, mParts[0].second ) );
            std::vector<GEOSGeometry *> lines;
            for ( const auto &[from, to] : mParts )
            {
                if ( GEOSGeometry *l = line( from, to ) )
                    lines.push_back( l );
            }
            return Geometry( GEOSGeom_createCollection_r( h, GEOS_MULTILINESTRING, lines.data(), static_cast<unsigned int>( lines.size() ) ) );
        }

        if ( parts == 1 )
        {
            GEOSGeometry *shell = ring( mParts[0].first, mParts[0].second );
            return Geometry( shell ? GEOSGeom_createPolygon_r( h, shell, nullptr, 0 ) : nullptr );
        }
        // Which rings are holes of which: as OGR organises them.
        std::vector<OGRGeometry *> rings;
        rings.reserve( static_cast<size_t>( parts ) );
        std::vector<double> xs;
        std::vector<double> ys;
        for ( const auto &[from, to] : mParts )
        {
            const qint64 count = to - from;
            xs.resize( static_cast<size_t>( count ) );
            ys.resize( static_cast<size_t>( count ) );
            for ( qint64 k = 0; k < count; ++k )
            {
                xs[static_cast<size_t>( k )] = mXy[static_cast<size_t>( 2 * ( from + k ) )];
                ys[static_cast<size_t>( k )] = mXy[static_cast<size_t>( 2 * ( from + k ) + 1 )];
            }
            auto *r = new OGRLinearRing();
            r->setPoints( static_cast<int>( count ), xs.data(), ys.data() );
            auto *p = new OGRPolygon();
            p->addRingDirectly( r );
            rings.push_back( p );
        }
        int valid = FALSE;
        const char *options[] = { "METHOD=ONLY_CCW", nullptr };
        std::unique_ptr<OGRGeometry> organised( OGRGeometryFactory::organizePolygons( rings.data(), static_cast<int>( parts ), &valid, options ) );
        return mOgr.convert( organised.get() );
    }
};

//! The index to read entries from: \a index when given, else the .shx at \a shxPath (null when it cannot be opened).
std::unique_ptr<QIODevice> openIndex( const QString &shxPath, const QByteArray &index )
{
    if ( !index.isEmpty() )
    {
        auto buffer = std::make_unique<QBuffer>();
        buffer->setData( index );
        buffer->open( QIODevice::ReadOnly );
        return buffer;
    }
    auto file = std::make_unique<QFile>( shxPath );
    if ( shxPath.isEmpty() || !file->open( QIODevice::ReadOnly ) )
        return nullptr;
    return file;
}

} // namespace

IndexHeader readIndexHeader( const QString &shpPath, const QByteArray &index )
{
    IndexHeader header;
    const QString shxPath = partPath( shpPath, "shx" );
    const QString mainPath = partPath( shpPath, "shp" );
    const std::unique_ptr<QIODevice> shx = openIndex( shxPath, index );
    QFile shp( mainPath );
    if ( !shx || mainPath.isEmpty() || !shp.open( QIODevice::ReadOnly ) )
        return header;
    header.shpName = QFileInfo( shp.fileName() ).fileName();
    header.shxName = QFileInfo( shxPath ).fileName();
    const QByteArray xh = shx->read( kHeaderSize );
    const QByteArray ph = shp.read( kHeaderSize );
    if ( xh.size() < kHeaderSize || ph.size() < kHeaderSize )
        return header;
    const auto *x = reinterpret_cast<const unsigned char *>( xh.constData() );
    const auto *p = reinterpret_cast<const unsigned char *>( ph.constData() );
    header.entriesInFile = ( shx->size() - kHeaderSize ) / 8;
    header.entriesClaimed = ( qint64( bigEndian32( x + 24 ) ) * 2 - kHeaderSize ) / 8;
    header.shpType = littleEndian32( p + 32 );
    header.shxType = littleEndian32( x + 32 );
    header.shpSound = bigEndian32( p ) == kFileCode && littleEndian32( p + 28 ) == kVersion;
    header.shxSound = bigEndian32( x ) == kFileCode && littleEndian32( x + 28 ) == kVersion;
    header.box = headerBox( p, x );
    return header;
}

QByteArray rebuildIndex( const QString &shpPath )
{
    const QString mainPath = partPath( shpPath, "shp" );
    QFile shp( mainPath );
    if ( mainPath.isEmpty() || !shp.open( QIODevice::ReadOnly ) )
        return {};
    const qint64 shpSize = shp.size();
    QByteArray index = shp.read( kHeaderSize );
    const auto *h = reinterpret_cast<const unsigned char *>( index.constData() );
    if ( index.size() < kHeaderSize || bigEndian32( h ) != kFileCode || littleEndian32( h + 28 ) != kVersion )
        return {};
    // Every record takes at least a header and a shape type, twelve bytes,
    // for an entry of eight: the walk holds less than the file's size.
    WindowReader records( shp );
    qint64 offset = kHeaderSize;
    for ( qint64 number = 1; offset < shpSize; ++number )
    {
        qint64 got = 0;
        const unsigned char *r = records.read( offset, 8, got );
        if ( got < 8 )
            return {};
        const qint64 content = qint64( bigEndian32( r + 4 ) ) * 2;
        // An entry gives offset and length in 16-bit words, as signed 32-bit numbers.
        if ( bigEndian32( r ) != number || content < 4 || offset + 8 + content > shpSize
             || offset / 2 > std::numeric_limits<qint32>::max() )
            return {};
        char entry[8];
        qToBigEndian( static_cast<quint32>( offset / 2 ), entry );
        qToBigEndian( static_cast<quint32>( content / 2 ), entry + 4 );
        index.append( entry, sizeof entry );
        offset += 8 + content;
    }
    qToBigEndian( static_cast<quint32>( index.size() / 2 ), index.data() + 24 );
    return index;
}

bool looksLikeShapefile( const QString &shpPath )
{
    const QString path = partPath( shpPath, "shp" );
    QFile file( path );
    if ( path.isEmpty() || !file.open( QIODevice::ReadOnly ) )
        return false;
    const QByteArray head = file.read( 4 );
    return head.size() == 4 && bigEndian32( reinterpret_cast<const unsigned char *>( head.constData() ) ) == kFileCode;
}

RecordRun readRecords( const QString &shpPath, qint64 first, qint64 end, const QByteArray &index )
{
    RecordRun run;
    run.first = first;
    const size_t size = static_cast<size_t>( std::max<qint64>( 0, end - first ) );
    run.types.assign( size, kUnreadable );
    run.shapes.resize( size );
    run.leftOut.assign( size, LeftOut::No );
    const QString shxPath = partPath( shpPath, "shx" );
    const QString mainPath = partPath( shpPath, "shp" );
    const std::unique_ptr<QIODevice> shx = size == 0 ? nullptr : openIndex( shxPath, index );
    QFile shp( mainPath );
    if ( !shx || mainPath.isEmpty() || !shp.open( QIODevice::ReadOnly ) )
        return run;
    const qint64 shpSize = shp.size();
    const QByteArray shpHeader = shp.read( kHeaderSize );
    const QByteArray shxHeader = shx->read( kHeaderSize );
    if ( shpHeader.size() < kHeaderSize || shxHeader.size() < kHeaderSize )
        return run;
    const std::optional<Rect> file = headerBox( reinterpret_cast<const unsigned char *>( shpHeader.constData() ),
                                                reinterpret_cast<const unsigned char *>( shxHeader.constData() ) );
    WindowReader records( shp );
    RecordConverter converter;
    for ( qint64 block = first; block < end; block += kEntriesPerBlock )
    {
        const qint64 count = std::min( kEntriesPerBlock, end - block );
        if ( !shx->seek( kHeaderSize + block * 8 ) )
            break;
        const QByteArray entries = shx->read( count * 8 );
        const auto *e = reinterpret_cast<const unsigned char *>( entries.constData() );
        for ( qint64 k = 0; k < count && ( k + 1 ) * 8 <= entries.size(); ++k )
        {
            const qint64 entry = block + k;
            const size_t at = static_cast<size_t>( entry - first );
            const qint64 offset = qint64( bigEndian32( e + 8 * k ) ) * 2;
            const qint64 indexed = qint64( bigEndian32( e + 8 * k + 4 ) ) * 2;
            if ( offset < kHeaderSize || indexed < 4 || offset + 8 + indexed > shpSize )
                continue;
            qint64 got = 0;
            const unsigned char *r = records.read( offset, 8 + indexed, got );
            if ( got < 12 )
                continue;
            const qint64 content = qint64( bigEndian32( r + 4 ) ) * 2;
            // Some writers count the record header into the index's length.
            if ( bigEndian32( r ) != entry + 1 || ( content != indexed && content + 8 != indexed ) || 8 + content > got )
                continue;
            const int type = littleEndian32( r + 8 );
            // Surfaces of patches are not shapes the program can draw or measure.
            const bool sound = type == 0 ? content == 4 : isShapeType( type ) && lengthFits( type, content, r + 8, content );
            if ( !sound || type == kMultiPatch )
                continue;
            LeftOut leftOut = LeftOut::No;
            bool corrupt = false;
            Geometry shape = converter.convert( type, r + 8, leftOut, corrupt );
            if ( corrupt )
                continue;
            // What the header box is worth is known only once every record is read.
            if ( file && !shape.isNull() )
            {
                const bool within = isWithin( converter.extent(), *file );
                if ( converter.boxed() )
                    run.headerContradicted = run.headerContradicted || !within;
                else
                {
                    ++run.unboxed;
                    if ( !within )
                        run.outsideHeader.push_back( entry );
                }
            }
            // A shapefile knows no empty shapes, only null ones.
            if ( shape.isEmpty() )
                shape = Geometry();
            run.types[at] = static_cast<std::uint8_t>( type );
            run.shapes[at] = validated( std::move( shape ) );
            run.leftOut[at] = leftOut;
        }
    }
    return run;
}

std::uint8_t RecordScan::type( qint64 entry ) const
{
    for ( const RecordRun &run : runs )
    {
        if ( entry >= run.first && entry < run.first + static_cast<qint64>( run.types.size() ) )
            return run.types[static_cast<size_t>( entry - run.first )];
    }
    return kUnreadable;
}

Geometry RecordScan::takeShape( qint64 entry )
{
    for ( RecordRun &run : runs )
    {
        if ( entry >= run.first && entry < run.first + static_cast<qint64>( run.types.size() ) )
            return std::move( run.shapes[static_cast<size_t>( entry - run.first )] );
    }
    return Geometry();
}

LeftOut RecordScan::leftOut( qint64 entry ) const
{
    for ( const RecordRun &run : runs )
    {
        if ( entry >= run.first && entry < run.first + static_cast<qint64>( run.types.size() ) )
            return run.leftOut[static_cast<size_t>( entry - run.first )];
    }
    return LeftOut::No;
}

RecordScan combineRuns( const IndexHeader &header, std::vector<RecordRun> runs )
{
    RecordScan scan;
    scan.runs = std::move( runs );
    std::array<qint64, 256> typeCount {};
    for ( const RecordRun &run : scan.runs )
    {
        for ( std::uint8_t t : run.types )
        {
            if ( t != 0 && t != kUnreadable )
                ++typeCount[t];
        }
    }
    int common = 0;
    for ( int t = 1; t < 256; ++t )
    {
        if ( typeCount[static_cast<size_t>( t )] > typeCount[static_cast<size_t>( common )] )
            common = t;
    }
    // The records decide the file's type when its header contradicts them all.
    const bool headerFits = isShapeType( header.shpType ) && ( common == 0 || typeCount[static_cast<size_t>( header.shpType )] > 0 );
    scan.fileType = headerFits || common == 0 ? header.shpType : common;
    if ( !headerFits || !header.shpSound )
        scan.damagedParts << header.shpName;
    if ( header.shxType != scan.fileType || !header.shxSound )
        scan.damagedParts << header.shxName;

    // A header box that records with sound boxes of their own contradict,
    // or that many points lie outside, is the header's damage: it leaves
    // nothing out. A sound one leaves out what has no usable box of its own
    // and lies outside it.
    qint64 unboxed = 0;
    qint64 outside = 0;
    bool contradicted = false;
    for ( const RecordRun &run : scan.runs )
    {
        unboxed += run.unboxed;
        outside += static_cast<qint64>( run.outsideHeader.size() );
        contradicted = contradicted || run.headerContradicted;
    }
    const bool points = scan.fileType % 10 == 1;
    const bool headerSound = header.box && !contradicted && !( points && outside >= 2 && outside * 10 >= unboxed );
    for ( RecordRun &run : scan.runs )
    {
        for ( qint64 entry : run.outsideHeader )
        {
            if ( !headerSound )
                break;
            const size_t at = static_cast<size_t>( entry - run.first );
            run.shapes[at] = Geometry();
            run.leftOut[at] = LeftOut::OutsideBox;
        }
        run.outsideHeader.clear();
        for ( size_t i = 0; i < run.types.size(); ++i )
        {
            std::uint8_t &t = run.types[i];
            if ( t != kUnreadable && t != 0 && t != scan.fileType )
            {
                t = kUnreadable;
                run.shapes[i] = Geometry();
            }
            if ( t != kUnreadable )
                scan.readableEnd = run.first + static_cast<qint64>( i ) + 1;
        }
    }
    return scan;
}

} // namespace gis::shapefile
