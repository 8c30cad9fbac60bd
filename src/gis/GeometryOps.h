#pragma once

#include "Geometry.h"
#include "Rect.h"

#include <optional>
#include <vector>

namespace gis
{

/**
 * Geometry operations through GEOS. Results are reduced to their polygonal
 * part: where GEOS answers with a line, a point, a collection without area or
 * an empty geometry, the operation returns a null Geometry ("Nothing").
 * The optional extent clips the result to that rectangle.
 * A null input gives a null result. GEOS failures throw GisError.
 */
namespace ops
{
Geometry buffer( const Geometry &g, double distance, const std::optional<Rect> &extent = std::nullopt );
Geometry unionOf( const Geometry &a, const Geometry &b, const std::optional<Rect> &extent = std::nullopt );
Geometry intersect( const Geometry &a, const Geometry &b, const std::optional<Rect> &extent = std::nullopt );
Geometry difference( const Geometry &a, const Geometry &b, const std::optional<Rect> &extent = std::nullopt );
//! intersect() and difference() of geometries the caller keeps (nothing is copied); a null pointer gives null.
Geometry intersect( const GEOSGeometry *a, const GEOSGeometry *b );
Geometry difference( const GEOSGeometry *a, const GEOSGeometry *b );
/**
 * The polygonal part of \a g inside the rectangle \a r, by GEOS's fast
 * rectangle clipping; a clipped part that comes out invalid is computed
 * again as a full intersection.
 */
Geometry clipToRect( const GEOSGeometry *g, const Rect &r );
//! Union of many geometries at once (cascaded); polygonal part only.
Geometry unionAll( const std::vector<const GEOSGeometry *> &parts );
//! Polygonal part of \a g (Polygon/MultiPolygon), or null.
Geometry polygonalPart( Geometry g );
//! Polygon of a rectangle.
Geometry fromRect( const Rect &r );
} // namespace ops

} // namespace gis
