#pragma once

#include "Dataset.h"
#include "Rect.h"

#include <QPointF>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace gis
{

/**
 * The shapes of one dataset as plain vertex arrays in map units, built once
 * per dataset (in parallel) so that redraws never walk GEOS geometries.
 * Entries are shared by every layer and map showing the dataset; an entry
 * whose dataset is gone is dropped at the next look-up. Immutable once built; safe to read from
 * several threads.
 */
class FeatureCache
{
  public:
    enum Kind : std::uint8_t { None = 0, Point = 1, Line = 2, Polygon = 3 };

    //! One run of vertices: a point, a line, or a polygon ring.
    struct Ring
    {
        std::uint32_t offset = 0;
        std::uint32_t count = 0;
        bool startsPart = true; //!< polygons: the exterior ring of a new part
    };

    struct Feature
    {
        Rect envelope;              //!< in map units (top is the maximum y)
        std::uint32_t firstRing = 0;
        std::uint32_t ringCount = 0; //!< 0 for a null or empty shape
        Kind kind = None;
    };

    //! The cache of \a ds, built on first use. Never null for a non-null dataset.
    static std::shared_ptr<const FeatureCache> of( const std::shared_ptr<Dataset> &ds );

    //! Appends the vertex arrays of a GEOS geometry (recursing into collections).
    static void append( const GEOSGeometry *g, std::vector<Ring> &rings, std::vector<QPointF> &points, Feature &feature );

    qint64 count() const { return static_cast<qint64>( mFeatures.size() ); }
    const Feature &feature( qint64 i ) const { return mFeatures[static_cast<size_t>( i )]; }
    const Ring &ring( std::uint32_t i ) const { return mRings[i]; }
    const QPointF *points( const Ring &r ) const { return mPoints.data() + r.offset; }
    const Ring *ringData() const { return mRings.data(); }
    const QPointF *pointData() const { return mPoints.data(); }
    qint64 vertexCount() const { return static_cast<qint64>( mPoints.size() ); }

    /**
     * Where the label of feature \a i goes: a point on the surface of a
     * polygon, the middle vertex of a line, the point itself. Computed for
     * the whole dataset on first call.
     */
    QPointF labelPoint( qint64 i ) const;

  private:
    void build( const Dataset &ds );
    void buildLabelPoints() const;

    const Dataset *mDs = nullptr;
    std::vector<Feature> mFeatures;
    std::vector<Ring> mRings;
    std::vector<QPointF> mPoints;

    mutable std::once_flag mLabelsOnce;
    mutable std::vector<QPointF> mLabelPoints;
};

} // namespace gis
