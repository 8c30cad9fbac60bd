#include "TiledArea.h"

#include "GeometryOps.h"
#include "GisError.h"
#include "OrderedWork.h"
#include "Parallel.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

namespace gis
{

namespace
{

// Far beyond any map's coordinates, and small enough for the tile key.
constexpr qint64 kTileLimit = qint64( 1 ) << 30;

qint64 tileOf( double v, double size )
{
    const double t = std::floor( v / size );
    return static_cast<qint64>( std::clamp( t, -static_cast<double>( kTileLimit ), static_cast<double>( kTileLimit ) ) );
}

quint64 keyOf( qint64 ix, qint64 iy )
{
    return ( static_cast<quint64>( static_cast<quint32>( ix ) ) << 32 ) | static_cast<quint32>( iy );
}

std::optional<Rect> envelopeOf( const GEOSGeometry *g )
{
    GEOSContextHandle_t h = geosContext();
    if ( !g || GEOSisEmpty_r( h, g ) != 0 )
        return std::nullopt;
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    if ( !GEOSGeom_getXMin_r( h, g, &minX ) || !GEOSGeom_getYMin_r( h, g, &minY ) || !GEOSGeom_getXMax_r( h, g, &maxX )
         || !GEOSGeom_getYMax_r( h, g, &maxY ) )
        return std::nullopt;
    return Rect { minX, maxX, maxY, minY };
}

bool within( const Rect &inner, const Rect &outer )
{
    return inner.left >= outer.left && inner.right <= outer.right && inner.bottom >= outer.bottom && inner.top <= outer.top;
}

bool meets( const Rect &a, const Rect &b )
{
    return a.left <= b.right && b.left <= a.right && a.bottom <= b.top && b.bottom <= a.top;
}

//! Runs \a build for 0 .. count - 1, on all cores when \a parallel; the first failure is thrown as GisError afterwards.
void forEachTile( int count, bool parallel, const std::function<void( int )> &build )
{
    std::mutex mutex;
    std::string error;
    auto guarded = [&]( int i ) {
        try
        {
            build( i );
        }
        catch ( const std::exception &e )
        {
            std::lock_guard<std::mutex> lock( mutex );
            if ( error.empty() )
                error = e.what();
        }
    };
    if ( parallel )
        parallelFor( count, guarded );
    else
        for ( int i = 0; i < count; ++i )
            guarded( i );
    if ( !error.empty() )
        throw GisError( error );
}

//! The union of \a parts (one of them: its polygonal part, unchanged).
Geometry unionOfParts( const std::vector<const GEOSGeometry *> &parts )
{
    if ( parts.size() == 1 )
    {
        GEOSGeometry *copy = GEOSGeom_clone_r( geosContext(), parts.front() );
        if ( !copy )
            throw GisError( "cannot copy geometry: " + lastGeosError() );
        return ops::polygonalPart( Geometry( copy ) );
    }
    return ops::unionAll( parts );
}

} // namespace

TiledArea::TiledArea() = default;
TiledArea::~TiledArea() = default;
TiledArea::TiledArea( TiledArea && ) noexcept = default;
TiledArea &TiledArea::operator=( TiledArea && ) noexcept = default;

TiledArea TiledArea::unionOf( const std::vector<const GEOSGeometry *> &parts, double tileSize, bool parallel,
                              std::shared_ptr<const void> partsOwner )
{
    TiledArea area;
    area.mPartsOwner = std::move( partsOwner );
    area.mTileSize = tileSize > 0 && std::isfinite( tileSize ) ? tileSize : 0;
    const double size = area.mTileSize;

    struct Input
    {
        const GEOSGeometry *shape;
        Rect envelope;
    };
    std::vector<Input> inputs;
    inputs.reserve( parts.size() );
    for ( const GEOSGeometry *p : parts )
    {
        if ( const std::optional<Rect> env = envelopeOf( p ) )
        {
            // Parts are read by several squares' unions at once.
            prepareForThreads( p );
            inputs.push_back( { p, *env } );
        }
    }

    // Ordered by tile, so the pieces (and all that is computed from them) come out the same in every run.
    std::map<std::pair<qint64, qint64>, std::vector<size_t>> buckets;
    for ( size_t i = 0; i < inputs.size(); ++i )
    {
        if ( size == 0 )
        {
            buckets[{ 0, 0 }].push_back( i );
            continue;
        }
        const Rect &e = inputs[i].envelope;
        for ( qint64 ix = tileOf( e.left, size ); ix <= tileOf( e.right, size ); ++ix )
            for ( qint64 iy = tileOf( e.bottom, size ); iy <= tileOf( e.top, size ); ++iy )
                buckets[{ ix, iy }].push_back( i );
    }
    std::vector<std::pair<std::pair<qint64, qint64>, std::vector<size_t>>> tiles( buckets.begin(), buckets.end() );
    std::vector<Geometry> pieces( tiles.size() );

    forEachTile( static_cast<int>( tiles.size() ), parallel, [&]( int t ) {
        const auto &[tile, members] = tiles[static_cast<size_t>( t )];
        std::vector<const GEOSGeometry *> inside;
        std::vector<Geometry> clipped;
        clipped.reserve( members.size() );
        if ( size == 0 )
        {
            for ( size_t i : members )
                inside.push_back( inputs[i].shape );
        }
        else
        {
            const Rect square { tile.first * size, ( tile.first + 1 ) * size, ( tile.second + 1 ) * size,
                                tile.second * size };
            for ( size_t i : members )
            {
                if ( within( inputs[i].envelope, square ) )
                {
                    inside.push_back( inputs[i].shape );
                    continue;
                }
                Geometry part = ops::clipToRect( inputs[i].shape, square );
                if ( part.isNull() )
                    continue;
                inside.push_back( part.get() );
                clipped.push_back( std::move( part ) );
            }
        }
        if ( !inside.empty() )
        {
            pieces[static_cast<size_t>( t )] = unionOfParts( inside );
            prepareForThreads( pieces[static_cast<size_t>( t )].get() );
        }
    } );

    for ( const Input &input : inputs )
    {
        if ( area.mPartsOwner )
            area.mParts.push_back( input.shape );
    }
    for ( size_t t = 0; t < tiles.size(); ++t )
    {
        if ( pieces[t].isNull() )
            continue;
        area.mPieces.push_back( { tiles[t].first.first, tiles[t].first.second, std::move( pieces[t] ), {}, {} } );
        if ( area.mPartsOwner )
            area.mPieces.back().parts = std::move( tiles[t].second );
    }
    area.index();
    return area;
}

TiledArea TiledArea::intersection( const TiledArea &a, const TiledArea &b, bool parallel )
{
    if ( a.mTileSize != b.mTileSize )
        throw GisError( "areas on different lattices" );
    TiledArea area;
    area.mTileSize = a.mTileSize;
    std::vector<std::pair<size_t, size_t>> pairs;
    for ( size_t i = 0; i < a.mPieces.size(); ++i )
    {
        const auto found = b.mByTile.find( keyOf( a.mPieces[i].ix, a.mPieces[i].iy ) );
        if ( found != b.mByTile.end() )
            pairs.emplace_back( i, found->second );
    }
    std::vector<Geometry> pieces( pairs.size() );
    forEachTile( static_cast<int>( pairs.size() ), parallel, [&]( int p ) {
        const auto [i, j] = pairs[static_cast<size_t>( p )];
        pieces[static_cast<size_t>( p )] = ops::intersect( a.mPieces[i].shape.get(), b.mPieces[j].shape.get() );
        prepareForThreads( pieces[static_cast<size_t>( p )].get() );
    } );
    for ( size_t p = 0; p < pairs.size(); ++p )
    {
        if ( !pieces[p].isNull() )
        {
            const Piece &from = a.mPieces[pairs[p].first];
            area.mPieces.push_back( { from.ix, from.iy, std::move( pieces[p] ), {}, {} } );
        }
    }
    area.index();
    return area;
}

void TiledArea::index()
{
    mByTile.clear();
    std::vector<const GEOSGeometry *> shapes;
    for ( size_t i = 0; i < mPieces.size(); ++i )
    {
        mPieces[i].envelope = mPieces[i].shape.envelope().value_or( Rect {} );
        mByTile.emplace( keyOf( mPieces[i].ix, mPieces[i].iy ), i );
        shapes.push_back( mPieces[i].shape.get() );
    }
    mPrepared = std::make_unique<PreparedSet>( std::move( shapes ), OrderedWork::maxWorkers() );
}

std::vector<Rect> TiledArea::pieceEnvelopes() const
{
    std::vector<Rect> envelopes;
    envelopes.reserve( mPieces.size() );
    for ( const Piece &p : mPieces )
        envelopes.push_back( p.envelope );
    return envelopes;
}

double TiledArea::area() const
{
    double sum = 0;
    for ( const Piece &p : mPieces )
        sum += p.shape.area();
    return sum;
}

Geometry TiledArea::toGeometry() const
{
    std::vector<const GEOSGeometry *> shapes;
    for ( const Piece &p : mPieces )
        shapes.push_back( p.shape.get() );
    return shapes.empty() ? Geometry() : unionOfParts( shapes );
}

std::vector<size_t> TiledArea::piecesMeeting( const Geometry &g, int worker, bool &covered ) const
{
    covered = false;
    std::vector<size_t> hits;
    const std::optional<Rect> env = g.envelope();
    if ( !env || mPieces.empty() )
        return hits;

    std::vector<size_t> candidates;
    if ( mTileSize == 0 )
    {
        candidates.push_back( 0 );
    }
    else
    {
        const qint64 x0 = tileOf( env->left, mTileSize ), x1 = tileOf( env->right, mTileSize );
        const qint64 y0 = tileOf( env->bottom, mTileSize ), y1 = tileOf( env->top, mTileSize );
        if ( static_cast<double>( x1 - x0 + 1 ) * static_cast<double>( y1 - y0 + 1 ) > static_cast<double>( mPieces.size() ) )
        {
            // A geometry wider than most of the area: look at every piece instead of every square.
            for ( size_t i = 0; i < mPieces.size(); ++i )
            {
                const Piece &p = mPieces[i];
                if ( p.ix >= x0 && p.ix <= x1 && p.iy >= y0 && p.iy <= y1 )
                    candidates.push_back( i );
            }
        }
        else
        {
            for ( qint64 ix = x0; ix <= x1; ++ix )
                for ( qint64 iy = y0; iy <= y1; ++iy )
                {
                    const auto found = mByTile.find( keyOf( ix, iy ) );
                    if ( found != mByTile.end() )
                        candidates.push_back( found->second );
                }
        }
    }

    GEOSContextHandle_t h = geosContext();
    for ( size_t c : candidates )
    {
        if ( !meets( mPieces[c].envelope, *env ) )
            continue;
        const GEOSPreparedGeometry *prepared = mPrepared->prepared( worker, c );
        const char hit = prepared ? GEOSPreparedIntersects_r( h, prepared, g.get() )
                                  : GEOSIntersects_r( h, mPieces[c].shape.get(), g.get() );
        if ( hit == 2 )
            throw GisError( "intersection test failed: " + lastGeosError() );
        if ( hit == 0 )
            continue;
        if ( prepared && GEOSPreparedCovers_r( h, prepared, g.get() ) == 1 )
        {
            covered = true;
            return { c };
        }
        hits.push_back( c );
    }
    return hits;
}

TiledArea::Overlap TiledArea::intersect( const Geometry &g, int worker ) const
{
    Overlap result;
    bool covered = false;
    const std::vector<size_t> hits = piecesMeeting( g, worker, covered );
    if ( covered )
    {
        result.whole = true;
        return result;
    }
    std::vector<Geometry> parts;
    for ( size_t c : hits )
    {
        Geometry part = ops::intersect( g.get(), mPieces[c].shape.get() );
        if ( !part.isNull() )
            parts.push_back( std::move( part ) );
    }
    if ( parts.size() == 1 )
    {
        result.part = std::move( parts.front() );
    }
    else if ( parts.size() > 1 )
    {
        // Parts of neighbouring squares meet along the square's edge: one polygon again.
        std::vector<const GEOSGeometry *> shapes;
        for ( const Geometry &p : parts )
            shapes.push_back( p.get() );
        result.part = ops::unionAll( shapes );
    }
    return result;
}

TiledArea::Overlap TiledArea::subtract( const Geometry &g, int worker ) const
{
    Overlap result;
    bool covered = false;
    const std::vector<size_t> hits = piecesMeeting( g, worker, covered );
    if ( covered )
        return result;
    if ( hits.empty() )
    {
        result.whole = true;
        return result;
    }
    std::vector<const GEOSGeometry *> shapes;
    if ( mPartsOwner )
    {
        std::vector<size_t> parts;
        for ( size_t c : hits )
            parts.insert( parts.end(), mPieces[c].parts.begin(), mPieces[c].parts.end() );
        std::sort( parts.begin(), parts.end() );
        parts.erase( std::unique( parts.begin(), parts.end() ), parts.end() );
        GEOSContextHandle_t h = geosContext();
        for ( size_t p : parts )
        {
            const char hit = GEOSIntersects_r( h, mParts[p], g.get() );
            if ( hit == 2 )
                throw GisError( "intersection test failed: " + lastGeosError() );
            if ( hit == 1 )
                shapes.push_back( mParts[p] );
        }
    }
    else
    {
        for ( size_t c : hits )
            shapes.push_back( mPieces[c].shape.get() );
    }
    if ( shapes.size() == 1 )
    {
        result.part = ops::difference( g.get(), shapes.front() );
        return result;
    }
    const Geometry cut = ops::unionAll( shapes );
    result.part = ops::difference( g.get(), cut.get() );
    return result;
}

} // namespace gis
