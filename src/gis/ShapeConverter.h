#pragma once

#include "Geometry.h"

#include <vector>

class OGRGeometry;
class OGRSimpleCurve;
class OGRLinearRing;
class OGRPolygon;
class OGRGeometryCollection;
class OGRRawPoint;

namespace gis
{

//! True when \a v may be a coordinate of a shape: not NaN, not infinite, within kCoordinateLimit.
bool isDrawableCoordinate( double v );

/**
 * Turns OGR geometries into GEOS geometries of the calling thread's
 * context, without a detour through WKB. A geometry with a coordinate that
 * cannot be drawn converts to null and undrawable() tells so: such a value
 * would shrink or blank the map and stall drawing. One converter per thread.
 */
class ShapeConverter
{
  public:
    ShapeConverter();
    ~ShapeConverter();

    Geometry convert( const OGRGeometry *g );
    bool undrawable() const { return mUndrawable; }

  private:
    class VertexCheck;

    GEOSContextHandle_t h;
    std::vector<OGRRawPoint> mBuffer;
    bool mUndrawable = false;

    void check( double x, double y );
    GEOSCoordSequence *coordsOf( const OGRSimpleCurve &curve, bool closeRing );
    GEOSGeometry *ringOf( const OGRLinearRing *ring );
    GEOSGeometry *polygonOf( const OGRPolygon &poly );
    GEOSGeometry *collectionOf( int type, const OGRGeometryCollection &coll );
    GEOSGeometry *geosOf( const OGRGeometry *g );
};

/**
 * \a g, or its repaired form when it is an invalid polygon: GEOS overlays
 * give wrong areas on invalid input without failing, so shapes are made
 * valid once when they are read. A polygon that collapses entirely is kept
 * as read.
 */
Geometry validated( Geometry g );

} // namespace gis
