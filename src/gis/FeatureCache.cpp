#include "FeatureCache.h"

#include "Parallel.h"

#include <algorithm>
#include <limits>

namespace gis
{

namespace
{
struct Entry
{
    std::weak_ptr<Dataset> ds;
    const Dataset *key = nullptr;
    qint64 records = 0;
    std::shared_ptr<FeatureCache> cache;
};

std::mutex sRegistryMutex;
std::vector<Entry> sRegistry;

void appendSequence( GEOSContextHandle_t ctx, const GEOSCoordSequence *seq, bool startsPart,
                     std::vector<FeatureCache::Ring> &rings, std::vector<QPointF> &points, Rect &env, bool &hasEnv )
{
    unsigned int size = 0;
    if ( !seq || !GEOSCoordSeq_getSize_r( ctx, seq, &size ) || size == 0 )
        return;
    thread_local std::vector<double> xy;
    xy.resize( static_cast<size_t>( size ) * 2 );
    if ( !GEOSCoordSeq_copyToBuffer_r( ctx, seq, xy.data(), 0, 0 ) )
        return;
    FeatureCache::Ring ring;
    ring.offset = static_cast<std::uint32_t>( points.size() );
    ring.count = size;
    ring.startsPart = startsPart;
    for ( unsigned int i = 0; i < size; ++i )
    {
        const double x = xy[2 * i];
        const double y = xy[2 * i + 1];
        points.emplace_back( x, y );
        if ( !hasEnv )
        {
            env = { x, x, y, y };
            hasEnv = true;
        }
        else
        {
            env.left = std::min( env.left, x );
            env.right = std::max( env.right, x );
            env.bottom = std::min( env.bottom, y );
            env.top = std::max( env.top, y );
        }
    }
    rings.push_back( ring );
}

void appendRecursive( GEOSContextHandle_t ctx, const GEOSGeometry *g, std::vector<FeatureCache::Ring> &rings,
                      std::vector<QPointF> &points, FeatureCache::Feature &f, bool &hasEnv )
{
    if ( !g || GEOSisEmpty_r( ctx, g ) == 1 )
        return;
    const int type = GEOSGeomTypeId_r( ctx, g );
    switch ( type )
    {
        case GEOS_POINT:
            f.kind = std::max( f.kind, FeatureCache::Point );
            appendSequence( ctx, GEOSGeom_getCoordSeq_r( ctx, g ), true, rings, points, f.envelope, hasEnv );
            break;
        case GEOS_LINESTRING:
        case GEOS_LINEARRING:
            f.kind = std::max( f.kind, FeatureCache::Line );
            appendSequence( ctx, GEOSGeom_getCoordSeq_r( ctx, g ), true, rings, points, f.envelope, hasEnv );
            break;
        case GEOS_POLYGON:
        {
            f.kind = FeatureCache::Polygon;
            const GEOSGeometry *shell = GEOSGetExteriorRing_r( ctx, g );
            appendSequence( ctx, GEOSGeom_getCoordSeq_r( ctx, shell ), true, rings, points, f.envelope, hasEnv );
            const int holes = GEOSGetNumInteriorRings_r( ctx, g );
            for ( int i = 0; i < holes; ++i )
            {
                const GEOSGeometry *hole = GEOSGetInteriorRingN_r( ctx, g, i );
                appendSequence( ctx, GEOSGeom_getCoordSeq_r( ctx, hole ), false, rings, points, f.envelope, hasEnv );
            }
            break;
        }
        default:
        {
            const int n = GEOSGetNumGeometries_r( ctx, g );
            for ( int i = 0; i < n; ++i )
                appendRecursive( ctx, GEOSGetGeometryN_r( ctx, g, i ), rings, points, f, hasEnv );
            break;
        }
    }
}
} // namespace

void FeatureCache::append( const GEOSGeometry *g, std::vector<Ring> &rings, std::vector<QPointF> &points, Feature &feature )
{
    GEOSContextHandle_t ctx = geosContext();
    const size_t firstRing = rings.size();
    bool hasEnv = false;
    appendRecursive( ctx, g, rings, points, feature, hasEnv );
    feature.firstRing = static_cast<std::uint32_t>( firstRing );
    feature.ringCount = static_cast<std::uint32_t>( rings.size() - firstRing );
    if ( feature.ringCount == 0 )
        feature.kind = None;
}

std::shared_ptr<const FeatureCache> FeatureCache::of( const std::shared_ptr<Dataset> &ds )
{
    if ( !ds )
        return nullptr;
    std::lock_guard<std::mutex> lock( sRegistryMutex );
    sRegistry.erase( std::remove_if( sRegistry.begin(), sRegistry.end(), []( const Entry &e ) { return e.ds.expired(); } ),
                     sRegistry.end() );
    for ( const Entry &e : sRegistry )
    {
        // A dataset being written grows; its old picture is stale.
        if ( e.key == ds.get() && e.records == ds->recordCount() )
            return e.cache;
    }
    sRegistry.erase( std::remove_if( sRegistry.begin(), sRegistry.end(), [&]( const Entry &e ) { return e.key == ds.get(); } ),
                     sRegistry.end() );
    auto cache = std::make_shared<FeatureCache>();
    cache->build( *ds );
    sRegistry.push_back( { ds, ds.get(), ds->recordCount(), cache } );
    return cache;
}

void FeatureCache::build( const Dataset &ds )
{
    mDs = &ds;
    const qint64 n = ds.recordCount();
    mFeatures.assign( static_cast<size_t>( n ), Feature() );

    struct Chunk
    {
        std::vector<Ring> rings;
        std::vector<QPointF> points;
    };
    const int chunkCount = static_cast<int>( std::clamp<qint64>( n / 2000, 1, parallelTaskCount() * 2 ) );
    std::vector<Chunk> chunks( static_cast<size_t>( chunkCount ) );
    parallelFor( chunkCount, [&]( int c ) {
        const qint64 begin = n * c / chunkCount;
        const qint64 end = n * ( c + 1 ) / chunkCount;
        Chunk &chunk = chunks[static_cast<size_t>( c )];
        for ( qint64 i = begin; i < end; ++i )
            append( ds.shape( i ).get(), chunk.rings, chunk.points, mFeatures[static_cast<size_t>( i )] );
    } );

    size_t ringTotal = 0;
    size_t pointTotal = 0;
    for ( const Chunk &c : chunks )
    {
        ringTotal += c.rings.size();
        pointTotal += c.points.size();
    }
    mRings.reserve( ringTotal );
    mPoints.reserve( pointTotal );
    for ( int c = 0; c < chunkCount; ++c )
    {
        const auto ringBase = static_cast<std::uint32_t>( mRings.size() );
        const auto pointBase = static_cast<std::uint32_t>( mPoints.size() );
        Chunk &chunk = chunks[static_cast<size_t>( c )];
        for ( Ring r : chunk.rings )
        {
            r.offset += pointBase;
            mRings.push_back( r );
        }
        mPoints.insert( mPoints.end(), chunk.points.begin(), chunk.points.end() );
        const qint64 begin = n * c / chunkCount;
        const qint64 end = n * ( c + 1 ) / chunkCount;
        for ( qint64 i = begin; i < end; ++i )
            mFeatures[static_cast<size_t>( i )].firstRing += ringBase;
        chunk = Chunk();
    }
}

void FeatureCache::buildLabelPoints() const
{
    const qint64 n = count();
    mLabelPoints.assign( static_cast<size_t>( n ), QPointF() );
    GEOSContextHandle_t ctx = geosContext();
    for ( qint64 i = 0; i < n; ++i )
    {
        const Feature &f = feature( i );
        QPointF p( ( f.envelope.left + f.envelope.right ) / 2, ( f.envelope.top + f.envelope.bottom ) / 2 );
        if ( f.kind == Polygon && mDs && i < mDs->recordCount() )
        {
            GEOSGeometry *pos = GEOSPointOnSurface_r( ctx, mDs->shape( i ).get() );
            double x = 0;
            double y = 0;
            if ( pos && GEOSisEmpty_r( ctx, pos ) == 0 && GEOSGeomGetX_r( ctx, pos, &x ) && GEOSGeomGetY_r( ctx, pos, &y ) )
                p = QPointF( x, y );
            if ( pos )
                GEOSGeom_destroy_r( ctx, pos );
        }
        else if ( f.kind == Line && f.ringCount > 0 )
        {
            const Ring &r = ring( f.firstRing );
            p = points( r )[r.count / 2];
        }
        else if ( f.kind == Point )
        {
            p = points( ring( f.firstRing ) )[0];
        }
        mLabelPoints[static_cast<size_t>( i )] = p;
    }
}

QPointF FeatureCache::labelPoint( qint64 i ) const
{
    std::call_once( mLabelsOnce, [this] { buildLabelPoints(); } );
    return mLabelPoints[static_cast<size_t>( i )];
}

} // namespace gis
