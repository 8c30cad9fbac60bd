#include "ShapeConverter.h"

#include "GeometryOps.h"
#include "ReadDamage.h"

#include <ogr_geometry.h>

#include <cmath>
#include <memory>

namespace gis
{

bool isDrawableCoordinate( double v )
{
    return std::abs( v ) <= kCoordinateLimit; // false for NaN and the infinities too
}

//! Checks every vertex of an exotic geometry, one point at a time.
class ShapeConverter::VertexCheck : public OGRDefaultConstGeometryVisitor
{
  public:
    explicit VertexCheck( ShapeConverter &c ) : mConverter( c ) {}
    using OGRDefaultConstGeometryVisitor::visit;
    void visit( const OGRPoint *p ) override
    {
        if ( !p->IsEmpty() )
            mConverter.check( p->getX(), p->getY() );
    }

  private:
    ShapeConverter &mConverter;
};

ShapeConverter::ShapeConverter() : h( geosContext() ) {}

ShapeConverter::~ShapeConverter() = default;

Geometry ShapeConverter::convert( const OGRGeometry *g )
{
    mUndrawable = false;
    Geometry result( geosOf( g ) );
    if ( mUndrawable )
        return Geometry();
    return result;
}

void ShapeConverter::check( double x, double y )
{
    if ( !isDrawableCoordinate( x ) || !isDrawableCoordinate( y ) )
        mUndrawable = true;
}

GEOSCoordSequence *ShapeConverter::coordsOf( const OGRSimpleCurve &curve, bool closeRing )
{
    const int n = curve.getNumPoints();
    mBuffer.resize( static_cast<size_t>( n ) + 1 );
    if ( n > 0 )
        curve.getPoints( mBuffer.data(), nullptr );
    for ( int i = 0; i < n; ++i )
        check( mBuffer[static_cast<size_t>( i )].x, mBuffer[static_cast<size_t>( i )].y );
    size_t count = static_cast<size_t>( n );
    if ( closeRing && n > 0 && ( mBuffer[0].x != mBuffer[n - 1].x || mBuffer[0].y != mBuffer[n - 1].y ) )
        mBuffer[count++] = mBuffer[0];
    static_assert( sizeof( OGRRawPoint ) == 2 * sizeof( double ) );
    return GEOSCoordSeq_copyFromBuffer_r( h, reinterpret_cast<const double *>( mBuffer.data() ),
                                          static_cast<unsigned int>( count ), 0, 0 );
}

GEOSGeometry *ShapeConverter::ringOf( const OGRLinearRing *ring )
{
    if ( !ring || ring->getNumPoints() < 3 )
        return nullptr;
    GEOSCoordSequence *seq = coordsOf( *ring, true );
    if ( !seq )
        return nullptr;
    return GEOSGeom_createLinearRing_r( h, seq ); // takes the sequence, also on failure
}

GEOSGeometry *ShapeConverter::polygonOf( const OGRPolygon &poly )
{
    if ( poly.IsEmpty() )
        return GEOSGeom_createEmptyPolygon_r( h );
    GEOSGeometry *shell = ringOf( poly.getExteriorRing() );
    if ( !shell )
        return nullptr;
    std::vector<GEOSGeometry *> holes;
    holes.reserve( static_cast<size_t>( poly.getNumInteriorRings() ) );
    for ( int i = 0; i < poly.getNumInteriorRings(); ++i )
    {
        // A degenerate hole is dropped rather than losing the whole polygon.
        if ( GEOSGeometry *hole = ringOf( poly.getInteriorRing( i ) ) )
            holes.push_back( hole );
    }
    return GEOSGeom_createPolygon_r( h, shell, holes.data(), static_cast<unsigned int>( holes.size() ) );
}

GEOSGeometry *ShapeConverter::collectionOf( int type, const OGRGeometryCollection &coll )
{
    std::vector<GEOSGeometry *> parts;
    parts.reserve( static_cast<size_t>( coll.getNumGeometries() ) );
    for ( int i = 0; i < coll.getNumGeometries(); ++i )
    {
        if ( GEOSGeometry *part = geosOf( coll.getGeometryRef( i ) ) )
            parts.push_back( part );
    }
    return GEOSGeom_createCollection_r( h, type, parts.data(), static_cast<unsigned int>( parts.size() ) );
}

GEOSGeometry *ShapeConverter::geosOf( const OGRGeometry *g )
{
    if ( !g )
        return nullptr;
    switch ( wkbFlatten( g->getGeometryType() ) )
    {
        case wkbPoint:
        {
            const auto *p = g->toPoint();
            if ( p->IsEmpty() )
                return GEOSGeom_createEmptyPoint_r( h );
            check( p->getX(), p->getY() );
            return GEOSGeom_createPointFromXY_r( h, p->getX(), p->getY() );
        }
        case wkbLineString:
        {
            const auto *l = g->toLineString();
            if ( l->getNumPoints() == 1 )
                return nullptr;
            GEOSCoordSequence *seq = coordsOf( *l, false );
            return seq ? GEOSGeom_createLineString_r( h, seq ) : nullptr;
        }
        case wkbPolygon:
            return polygonOf( *g->toPolygon() );
        case wkbMultiPoint:
            return collectionOf( GEOS_MULTIPOINT, *g->toGeometryCollection() );
        case wkbMultiLineString:
            return collectionOf( GEOS_MULTILINESTRING, *g->toGeometryCollection() );
        case wkbMultiPolygon:
            return collectionOf( GEOS_MULTIPOLYGON, *g->toGeometryCollection() );
        case wkbGeometryCollection:
            return collectionOf( GEOS_GEOMETRYCOLLECTION, *g->toGeometryCollection() );
        default:
        {
            // Curves and other exotic kinds: linearise through OGR, then read as WKB.
            VertexCheck vertices( *this );
            g->accept( &vertices );
            std::unique_ptr<OGRGeometry> linear( g->getLinearGeometry() );
            if ( !linear )
                return nullptr;
            std::vector<unsigned char> wkb( linear->WkbSize() );
            if ( linear->exportToWkb( wkbNDR, wkb.data(), wkbVariantIso ) != OGRERR_NONE )
                return nullptr;
            GEOSWKBReader *reader = GEOSWKBReader_create_r( h );
            GEOSGeometry *result = GEOSWKBReader_read_r( h, reader, wkb.data(), wkb.size() );
            GEOSWKBReader_destroy_r( h, reader );
            return result;
        }
    }
}

Geometry validated( Geometry g )
{
    if ( !g.isPolygonal() || GEOSisValid_r( geosContext(), g.get() ) != 0 )
        return g;
    Geometry repaired = ops::polygonalPart( Geometry( GEOSMakeValid_r( geosContext(), g.get() ) ) );
    if ( repaired.isNull() )
        return g;
    return repaired;
}

} // namespace gis
