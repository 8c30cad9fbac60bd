#pragma once

#include "Geometry.h"
#include "PreparedSet.h"

#include <QtGlobal>

#include <memory>
#include <unordered_map>
#include <vector>

namespace gis
{

/**
 * A polygonal area (a union of polygons) kept as its parts within the
 * squares of a lattice: squares of side tileSize() whose corners lie on
 * whole multiples of it. Each square holds the area's part inside it, so a
 * small geometry meets only a few small pieces instead of one polygon of the
 * whole country, and building the area is one independent union per square,
 * run on all cores. A tile size of 0 keeps the whole area as one piece.
 *
 * Built once, then only read: intersect() and subtract() may run on several
 * threads at once (pieces and parts are made ready for it, see
 * prepareForThreads()), each passing its own worker index (see OrderedWork)
 * for its prepared pieces; an area used by one thread only may always pass 0.
 * Results are polygonal (Polygon or MultiPolygon) or null, like those of the
 * geometry operations; GEOS failures throw GisError.
 */
class TiledArea
{
  public:
    //! What an intersect() or subtract() found.
    struct Overlap
    {
        Geometry part;      //!< the part computed; null when none is left
        bool whole = false; //!< the geometry itself is the answer (inside the area, or clear of it)
    };

    TiledArea();
    ~TiledArea();
    TiledArea( TiledArea && ) noexcept;
    TiledArea &operator=( TiledArea && ) noexcept;

    /**
     * The union of \a parts (their polygonal parts; null pointers are
     * skipped), cut at the lattice of \a tileSize. \a parallel builds the
     * squares on the component's worker threads; pass false from inside a
     * worker.
     *
     * With a \a partsOwner, which keeps the parts alive, the area keeps
     * them too, and subtract() cuts a geometry by the parts that meet it
     * rather than by the pieces: where two pieces meet at a square's edge,
     * their union may leave a sliver of a billionth of a square metre, which
     * a subtraction would report as land left over.
     */
    static TiledArea unionOf( const std::vector<const GEOSGeometry *> &parts, double tileSize, bool parallel,
                              std::shared_ptr<const void> partsOwner = nullptr );
    //! The common part of two areas of the same tile size (GisError otherwise), square by square.
    static TiledArea intersection( const TiledArea &a, const TiledArea &b, bool parallel );

    bool isEmpty() const { return mPieces.empty(); }
    //! Envelopes of the pieces: a geometry that meets none of them lies clear of the area.
    std::vector<Rect> pieceEnvelopes() const;
    double tileSize() const { return mTileSize; }
    size_t pieceCount() const { return mPieces.size(); }
    double area() const;
    //! The whole area as one geometry (the union of its pieces), null when empty.
    Geometry toGeometry() const;

    //! \a g within the area: whole when \a g lies inside it, otherwise the common part (null: none).
    Overlap intersect( const Geometry &g, int worker ) const;
    //! \a g less the area: whole when \a g does not meet it, otherwise what remains (null: nothing).
    Overlap subtract( const Geometry &g, int worker ) const;

  private:
    struct Piece
    {
        qint64 ix = 0;
        qint64 iy = 0;
        Geometry shape;
        Rect envelope;
        std::vector<size_t> parts; //!< the kept parts that meet the square
    };
    //! Indices of the pieces that meet \a g (by envelope, then exactly), in lattice order; sets \a covered when one covers \a g.
    std::vector<size_t> piecesMeeting( const Geometry &g, int worker, bool &covered ) const;
    void index();

    double mTileSize = 0;
    std::vector<Piece> mPieces; //!< ordered by ( ix, iy )
    std::shared_ptr<const void> mPartsOwner;
    std::vector<const GEOSGeometry *> mParts; //!< the parts of the union, when kept
    std::unordered_map<quint64, size_t> mByTile;
    std::unique_ptr<PreparedSet> mPrepared;
};

} // namespace gis
