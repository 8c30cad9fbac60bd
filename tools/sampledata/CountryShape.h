#pragma once

#include <ogr_geometry.h>

#include <functional>
#include <memory>
#include <vector>

namespace sampledata
{

class SampleRandom;

struct XY
{
    double x = 0;
    double y = 0;
};

/**
 * The outline of the fictional country and the geometry helpers that keep
 * generated shapes inside it. The outline is star-shaped about its centre
 * (vertices at even angles in a frame scaled to the two half-axes), which
 * makes the inside test exact and O(1). Every polygon it hands out is valid.
 */
class CountryShape
{
  public:
    //! Centre and half-axes in metres.
    CountryShape( SampleRandom &random, XY centre, double halfWidth, double halfHeight );

    const OGRPolygon &outline() const { return mOutline; }
    XY centre() const { return mCentre; }
    OGREnvelope envelope() const;

    bool contains( double x, double y ) const;
    //! A point at least \a margin (0..1, share of the local radius) inside the border.
    XY randomInteriorPoint( SampleRandom &random, double margin = 0.1 ) const;

    /**
     * The part of \a shape inside the country: the shape itself when it lies
     * wholly inside, nullptr when nothing of area remains, else the
     * polygonal part of the intersection (Polygon or MultiPolygon).
     */
    std::unique_ptr<OGRGeometry> clipPolygon( std::unique_ptr<OGRPolygon> shape ) const;
    //! The pieces of \a line inside the country, each a LineString.
    std::vector<std::unique_ptr<OGRLineString>> clipLine( const OGRLineString &line ) const;

    /**
     * Calls \a visit for every cell of a jittered lattice of \a size metres
     * over the country, row by row from the south-west, with the cell's row,
     * column, centre and clipped shape. Neighbouring cells share their
     * vertices, so the cells tile the country without gaps or overlaps.
     * \a warp (metres) bends the lattice's rows and columns into gentle waves.
     */
    using CellVisitor = std::function<void( int row, int col, XY centre, std::unique_ptr<OGRGeometry> shape )>;
    void forEachLatticeCell( double size, double jitter, std::uint64_t salt, const CellVisitor &visit, double warp = 0 ) const;
    //! Square cells of a regular grid aligned to multiples of \a size.
    void forEachGridCell( double size, const CellVisitor &visit ) const;

  private:
    bool quadInside( const XY corners[4] ) const;
    double radiusAt( double u, double v ) const; //!< outline radius along the direction (u, v), scaled frame

    XY mCentre;
    double mHalfWidth;
    double mHalfHeight;
    std::vector<XY> mScaled; //!< outline vertices in the scaled frame, vertex k at angle 2 pi k / n
    OGRPolygon mOutline;
};

//! A simple star-shaped polygon of mean radius \a radius with ragged edges.
std::unique_ptr<OGRPolygon> makeBlob( SampleRandom &random, XY centre, double radius, int vertices );

/**
 * A line from \a from to \a to that winds sideways by up to \a amplitude
 * metres, with a vertex every \a step metres. The sideways offset is a
 * function of the distance along the straight line, so the line never
 * crosses itself.
 */
std::unique_ptr<OGRLineString> makeWindingLine( SampleRandom &random, XY from, XY to, double amplitude, double step );

//! Cuts \a line at vertices into pieces of about \a length metres (at least one segment each).
std::vector<std::unique_ptr<OGRLineString>> splitLine( const OGRLineString &line, double length );

} // namespace sampledata
