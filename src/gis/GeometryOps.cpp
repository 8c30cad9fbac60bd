#include "GeometryOps.h"

#include "GisError.h"

#include <functional>
#include <vector>

namespace gis
{
namespace ops
{

namespace
{

using BinaryOp = std::function<GEOSGeometry *( GEOSContextHandle_t, const GEOSGeometry *, const GEOSGeometry * )>;

/**
 * Runs \a op; when GEOS gives up (typically a topology error on an invalid
 * input) runs it once more on repaired inputs. Throws when that fails too.
 */
Geometry runRepaired( const char *name, const BinaryOp &op, const GEOSGeometry *a, const GEOSGeometry *b )
{
    GEOSContextHandle_t h = geosContext();
    if ( GEOSGeometry *r = op( h, a, b ) )
        return Geometry( r );
    const std::string first = lastGeosError();
    Geometry validA( GEOSMakeValid_r( h, a ) );
    Geometry validB( b ? GEOSMakeValid_r( h, b ) : nullptr );
    if ( !validA.isNull() && ( !b || !validB.isNull() ) )
    {
        if ( GEOSGeometry *r = op( h, validA.get(), validB.get() ) )
            return Geometry( r );
    }
    throw GisError( std::string( name ) + " failed: " + first );
}

//! Polygonal part of \a g, clipped to \a extent when one is given.
Geometry finish( Geometry g, const std::optional<Rect> &extent )
{
    g = polygonalPart( std::move( g ) );
    if ( g.isNull() || !extent )
        return g;
    // A degenerate rectangle (a map without layers) would clip everything away.
    if ( extent->width() <= 0 || extent->height() <= 0 )
        return g;
    const std::optional<Rect> env = g.envelope();
    if ( env && env->left >= extent->left && env->right <= extent->right && env->bottom >= extent->bottom
         && env->top <= extent->top )
        return g;
    const Geometry box = fromRect( *extent );
    return polygonalPart( runRepaired( "clipping", GEOSIntersection_r, g.get(), box.get() ) );
}

void collectPolygons( GEOSContextHandle_t h, const GEOSGeometry *g, std::vector<GEOSGeometry *> &out )
{
    const int type = GEOSGeomTypeId_r( h, g );
    if ( type == GEOS_POLYGON )
    {
        if ( !GEOSisEmpty_r( h, g ) )
            out.push_back( GEOSGeom_clone_r( h, g ) );
    }
    else if ( type == GEOS_MULTIPOLYGON || type == GEOS_GEOMETRYCOLLECTION )
    {
        const int n = GEOSGetNumGeometries_r( h, g );
        for ( int i = 0; i < n; ++i )
            collectPolygons( h, GEOSGetGeometryN_r( h, g, i ), out );
    }
}

} // namespace

Geometry polygonalPart( Geometry g )
{
    if ( g.isNull() )
        return g;
    GEOSContextHandle_t h = geosContext();
    const int type = GEOSGeomTypeId_r( h, g.get() );
    if ( type == GEOS_POLYGON || type == GEOS_MULTIPOLYGON )
        return GEOSisEmpty_r( h, g.get() ) ? Geometry() : std::move( g );
    if ( type != GEOS_GEOMETRYCOLLECTION )
        return Geometry();

    std::vector<GEOSGeometry *> polygons;
    collectPolygons( h, g.get(), polygons );
    for ( GEOSGeometry *p : polygons )
    {
        if ( !p )
        {
            for ( GEOSGeometry *q : polygons )
                GEOSGeom_destroy_r( h, q );
            throw GisError( "cannot copy polygon: " + lastGeosError() );
        }
    }
    if ( polygons.empty() )
        return Geometry();
    if ( polygons.size() == 1 )
        return Geometry( polygons.front() );
    GEOSGeometry *multi = GEOSGeom_createCollection_r( h, GEOS_MULTIPOLYGON, polygons.data(),
                                                       static_cast<unsigned int>( polygons.size() ) );
    if ( !multi )
        throw GisError( "cannot build polygon: " + lastGeosError() );
    return Geometry( multi );
}

Geometry fromRect( const Rect &r )
{
    GEOSGeometry *g = GEOSGeom_createRectangle_r( geosContext(), std::min( r.left, r.right ), std::min( r.bottom, r.top ),
                                                  std::max( r.left, r.right ), std::max( r.bottom, r.top ) );
    if ( !g )
        throw GisError( "cannot build rectangle: " + lastGeosError() );
    return Geometry( g );
}

Geometry buffer( const Geometry &g, double distance, const std::optional<Rect> &extent )
{
    if ( g.isNull() )
        return Geometry();
    const BinaryOp op = [distance]( GEOSContextHandle_t h, const GEOSGeometry *a, const GEOSGeometry * ) {
        return GEOSBuffer_r( h, a, distance, 8 );
    };
    return finish( runRepaired( "buffer", op, g.get(), nullptr ), extent );
}

Geometry unionOf( const Geometry &a, const Geometry &b, const std::optional<Rect> &extent )
{
    if ( a.isNull() || b.isNull() )
        return Geometry();
    return finish( runRepaired( "union", GEOSUnion_r, a.get(), b.get() ), extent );
}

Geometry intersect( const Geometry &a, const Geometry &b, const std::optional<Rect> &extent )
{
    if ( a.isNull() || b.isNull() )
        return Geometry();
    return finish( runRepaired( "intersection", GEOSIntersection_r, a.get(), b.get() ), extent );
}

Geometry difference( const Geometry &a, const Geometry &b, const std::optional<Rect> &extent )
{
    if ( a.isNull() || b.isNull() )
        return Geometry();
    return finish( runRepaired( "difference", GEOSDifference_r, a.get(), b.get() ), extent );
}

Geometry intersect( const GEOSGeometry *a, const GEOSGeometry *b )
{
    if ( !a || !b )
        return Geometry();
    return polygonalPart( runRepaired( "intersection", GEOSIntersection_r, a, b ) );
}

Geometry difference( const GEOSGeometry *a, const GEOSGeometry *b )
{
    if ( !a || !b )
        return Geometry();
    return polygonalPart( runRepaired( "difference", GEOSDifference_r, a, b ) );
}

Geometry clipToRect( const GEOSGeometry *g, const Rect &r )
{
    if ( !g )
        return Geometry();
    GEOSContextHandle_t h = geosContext();
    Geometry clipped = polygonalPart(
        Geometry( GEOSClipByRect_r( h, g, std::min( r.left, r.right ), std::min( r.bottom, r.top ),
                                    std::max( r.left, r.right ), std::max( r.bottom, r.top ) ) ) );
    if ( clipped.isNull() || GEOSisValid_r( h, clipped.get() ) == 1 )
        return clipped;
    const Geometry box = fromRect( r );
    return intersect( g, box.get() );
}

Geometry unionAll( const std::vector<const GEOSGeometry *> &parts )
{
    GEOSContextHandle_t h = geosContext();
    std::vector<GEOSGeometry *> copies;
    copies.reserve( parts.size() );
    for ( const GEOSGeometry *p : parts )
    {
        if ( !p )
            continue;
        GEOSGeometry *c = GEOSGeom_clone_r( h, p );
        if ( !c )
        {
            for ( GEOSGeometry *q : copies )
                GEOSGeom_destroy_r( h, q );
            throw GisError( "cannot copy geometry: " + lastGeosError() );
        }
        copies.push_back( c );
    }
    if ( copies.empty() )
        return Geometry();
    Geometry collection( GEOSGeom_createCollection_r( h, GEOS_GEOMETRYCOLLECTION, copies.data(),
                                                      static_cast<unsigned int>( copies.size() ) ) );
    if ( collection.isNull() )
        throw GisError( "cannot collect geometries: " + lastGeosError() );
    const BinaryOp op = []( GEOSContextHandle_t ctx, const GEOSGeometry *a, const GEOSGeometry * ) {
        return GEOSUnaryUnion_r( ctx, a );
    };
    return polygonalPart( runRepaired( "union", op, collection.get(), nullptr ) );
}

} // namespace ops
} // namespace gis
