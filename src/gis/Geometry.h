#pragma once

#include "Rect.h"

#include <geos_c.h>

#include <memory>
#include <optional>
#include <string>

namespace gis
{

/**
 * The GEOS context of the calling thread. One context per thread, created on
 * first use and destroyed when the thread ends; GEOS errors are collected and
 * turned into GisError by the component.
 */
GEOSContextHandle_t geosContext();

//! The last error message GEOS reported in the calling thread's context.
std::string lastGeosError();

//! Deleter for owned GEOS geometries of the calling thread's context.
struct GeometryDeleter
{
    void operator()( GEOSGeometry *g ) const;
};

/**
 * Makes \a g safe to read from several threads at once. GEOS computes the
 * envelope of a geometry, of each of its parts and of each ring on first
 * use and keeps it in the geometry, so two threads reading a fresh geometry
 * race on that cache; this computes them all now. Call it from one thread,
 * before the geometry is shared.
 */
void prepareForThreads( const GEOSGeometry *g );

/**
 * An owned GEOS geometry. Copying clones. A default-constructed Geometry is
 * null ("Nothing"); isNull() tells. Shapes of layers are held as Geometry,
 * results of the geometry operations are returned as Geometry.
 */
class Geometry
{
  public:
    Geometry() = default;
    //! Takes ownership of \a g (may be nullptr).
    explicit Geometry( GEOSGeometry *g ) : mGeom( g ) {}
    Geometry( const Geometry &other );
    Geometry &operator=( const Geometry &other );
    Geometry( Geometry &&other ) noexcept = default;
    Geometry &operator=( Geometry &&other ) noexcept = default;

    static Geometry fromWkt( const std::string &wkt ); //!< throws GisError
    std::string toWkt() const;

    bool isNull() const { return !mGeom; }
    bool isEmpty() const; //!< null or GEOS-empty
    //! True for Polygon and MultiPolygon (a null shape is not a polygon).
    bool isPolygonal() const;
    //! Shape type code of the component: 21 point, 22 line, 23 polygon, 0 null/other.
    int shapeType() const;

    double area() const; //!< square map units; 0 for null
    //! Bounding rectangle; none for a null or empty geometry.
    std::optional<Rect> envelope() const;

    const GEOSGeometry *get() const { return mGeom.get(); }
    GEOSGeometry *release() { return mGeom.release(); }

  private:
    std::unique_ptr<GEOSGeometry, GeometryDeleter> mGeom;
};

} // namespace gis
