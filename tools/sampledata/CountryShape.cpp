#include "CountryShape.h"

#include "SampleRandom.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sampledata
{

namespace
{
constexpr int kOutlineVertices = 720;
constexpr double kTwoPi = 2 * std::numbers::pi;

double cross( XY a, XY b )
{
    return a.x * b.y - a.y * b.x;
}

//! Keeps the polygons of a GEOS result; nullptr when no area is left.
std::unique_ptr<OGRGeometry> polygonalPart( OGRGeometry *raw )
{
    std::unique_ptr<OGRGeometry> g( raw );
    if ( !g || g->IsEmpty() )
        return nullptr;
    const OGRwkbGeometryType type = wkbFlatten( g->getGeometryType() );
    if ( type == wkbPolygon || type == wkbMultiPolygon )
        return g;
    if ( type != wkbGeometryCollection )
        return nullptr;
    auto polygons = std::make_unique<OGRMultiPolygon>();
    for ( const OGRGeometry *part : *g->toGeometryCollection() )
    {
        const OGRwkbGeometryType partType = wkbFlatten( part->getGeometryType() );
        if ( partType == wkbPolygon )
            polygons->addGeometry( part );
        else if ( partType == wkbMultiPolygon )
            for ( const OGRPolygon *p : *part->toMultiPolygon() )
                polygons->addGeometry( p );
    }
    if ( polygons->IsEmpty() )
        return nullptr;
    return polygons;
}
} // namespace

CountryShape::CountryShape( SampleRandom &random, XY centre, double halfWidth, double halfHeight )
    : mCentre( centre )
    , mHalfWidth( halfWidth )
    , mHalfHeight( halfHeight )
{
    struct Harmonic
    {
        int order;
        double amplitude;
        double phase;
    };
    std::vector<Harmonic> harmonics;
    for ( const auto &[order, amplitude] : { std::pair { 2, 0.10 }, { 3, 0.08 }, { 5, 0.05 }, { 8, 0.03 }, { 13, 0.015 }, { 29, 0.008 }, { 61, 0.004 } } )
        harmonics.push_back( { order, amplitude, kTwoPi * random.uniform() } );

    auto ring = std::make_unique<OGRLinearRing>();
    mScaled.reserve( kOutlineVertices );
    for ( int k = 0; k < kOutlineVertices; ++k )
    {
        const double theta = kTwoPi * k / kOutlineVertices;
        double rho = 1 + 0.003 * ( random.uniform() - 0.5 );
        for ( const Harmonic &h : harmonics )
            rho += h.amplitude * std::sin( h.order * theta + h.phase );
        const XY p { rho * std::cos( theta ), rho * std::sin( theta ) };
        mScaled.push_back( p );
        ring->addPoint( centre.x + p.x * halfWidth, centre.y + p.y * halfHeight );
    }
    ring->closeRings();
    mOutline.addRingDirectly( ring.release() );
}

OGREnvelope CountryShape::envelope() const
{
    OGREnvelope e;
    mOutline.getEnvelope( &e );
    return e;
}

double CountryShape::radiusAt( double u, double v ) const
{
    double theta = std::atan2( v, u );
    if ( theta < 0 )
        theta += kTwoPi;
    const int k = std::min( static_cast<int>( theta / kTwoPi * kOutlineVertices ), kOutlineVertices - 1 );
    const XY a = mScaled[k];
    const XY b = mScaled[( k + 1 ) % kOutlineVertices];
    const XY edge { b.x - a.x, b.y - a.y };
    const XY dir { std::cos( theta ), std::sin( theta ) };
    return cross( a, edge ) / cross( dir, edge );
}

bool CountryShape::contains( double x, double y ) const
{
    const double u = ( x - mCentre.x ) / mHalfWidth;
    const double v = ( y - mCentre.y ) / mHalfHeight;
    return std::hypot( u, v ) < radiusAt( u, v );
}

XY CountryShape::randomInteriorPoint( SampleRandom &random, double margin ) const
{
    const double theta = kTwoPi * random.uniform();
    const double u = std::cos( theta );
    const double v = std::sin( theta );
    // sqrt spreads the points evenly over the area.
    const double r = radiusAt( u, v ) * ( 1 - margin ) * std::sqrt( random.uniform() );
    return { mCentre.x + r * u * mHalfWidth, mCentre.y + r * v * mHalfHeight };
}

bool CountryShape::quadInside( const XY corners[4] ) const
{
    double minX = corners[0].x, maxX = corners[0].x, minY = corners[0].y, maxY = corners[0].y;
    for ( int i = 1; i < 4; ++i )
    {
        minX = std::min( minX, corners[i].x );
        maxX = std::max( maxX, corners[i].x );
        minY = std::min( minY, corners[i].y );
        maxY = std::max( maxY, corners[i].y );
    }
    if ( minX <= mCentre.x && mCentre.x <= maxX && minY <= mCentre.y && mCentre.y <= maxY )
        return false;
    // All corners inside and no outline vertex within the cell's box: the
    // outline cannot enter the cell. Only the vertices in the cell's angular
    // span can lie in its box.
    double base = 0;
    double lo = 0, hi = 0;
    for ( int i = 0; i < 4; ++i )
    {
        if ( !contains( corners[i].x, corners[i].y ) )
            return false;
        const double a = std::atan2( ( corners[i].y - mCentre.y ) / mHalfHeight, ( corners[i].x - mCentre.x ) / mHalfWidth );
        if ( i == 0 )
            base = a;
        double d = a - base;
        if ( d > std::numbers::pi )
            d -= kTwoPi;
        if ( d < -std::numbers::pi )
            d += kTwoPi;
        lo = std::min( lo, d );
        hi = std::max( hi, d );
    }
    const int first = static_cast<int>( std::floor( ( base + lo ) / kTwoPi * kOutlineVertices ) ) - 1;
    const int last = static_cast<int>( std::ceil( ( base + hi ) / kTwoPi * kOutlineVertices ) ) + 1;
    for ( int k = first; k <= last; ++k )
    {
        const XY p = mScaled[( ( k % kOutlineVertices ) + kOutlineVertices ) % kOutlineVertices];
        const double x = mCentre.x + p.x * mHalfWidth;
        const double y = mCentre.y + p.y * mHalfHeight;
        if ( minX <= x && x <= maxX && minY <= y && y <= maxY )
            return false;
    }
    return true;
}

std::unique_ptr<OGRGeometry> CountryShape::clipPolygon( std::unique_ptr<OGRPolygon> shape ) const
{
    const OGRLinearRing *ring = shape->getExteriorRing();
    if ( ring->getNumPoints() == 5 )
    {
        const XY corners[4] = { { ring->getX( 0 ), ring->getY( 0 ) }, { ring->getX( 1 ), ring->getY( 1 ) },
                                { ring->getX( 2 ), ring->getY( 2 ) }, { ring->getX( 3 ), ring->getY( 3 ) } };
        if ( quadInside( corners ) )
            return shape;
    }
    OGREnvelope cell, country = envelope();
    shape->getEnvelope( &cell );
    if ( !cell.Intersects( country ) )
        return nullptr;
    return polygonalPart( mOutline.Intersection( shape.get() ) );
}

std::vector<std::unique_ptr<OGRLineString>> CountryShape::clipLine( const OGRLineString &line ) const
{
    std::vector<std::unique_ptr<OGRLineString>> pieces;
    bool inside = true;
    for ( int i = 0; i < line.getNumPoints() && inside; ++i )
        inside = contains( line.getX( i ), line.getY( i ) );
    if ( inside )
    {
        pieces.emplace_back( line.clone() );
        return pieces;
    }
    std::unique_ptr<OGRGeometry> cut( mOutline.Intersection( &line ) );
    if ( !cut )
        return pieces;
    const OGRwkbGeometryType type = wkbFlatten( cut->getGeometryType() );
    if ( type == wkbLineString )
        pieces.emplace_back( cut.release()->toLineString() );
    else if ( type == wkbMultiLineString || type == wkbGeometryCollection )
        for ( const OGRGeometry *part : *cut->toGeometryCollection() )
            if ( wkbFlatten( part->getGeometryType() ) == wkbLineString )
                pieces.emplace_back( part->toLineString()->clone() );
    return pieces;
}

void CountryShape::forEachLatticeCell( double size, double jitter, std::uint64_t salt, const CellVisitor &visit, double warp ) const
{
    // x is shifted by a wave in y and y by a wave in x; with slopes below
    // 0.4 the product of the two stays far from 1, so cells cannot fold.
    const double wavelength = warp > 0 ? kTwoPi * warp / 0.4 : 1;
    const double phaseX = kTwoPi * SampleRandom::hash( salt, 7, 1 );
    const double phaseY = kTwoPi * SampleRandom::hash( salt, 7, 2 );
    const OGREnvelope e = envelope();
    const double x0 = std::floor( e.MinX / size ) * size - size;
    const double y0 = std::floor( e.MinY / size ) * size - size;
    const int cols = static_cast<int>( std::ceil( ( e.MaxX - x0 ) / size ) ) + 1;
    const int rows = static_cast<int>( std::ceil( ( e.MaxY - y0 ) / size ) ) + 1;
    auto vertex = [&]( int col, int row ) {
        const double jx = ( SampleRandom::hash( 2 * salt, col, row ) - 0.5 ) * 2 * jitter * size;
        const double jy = ( SampleRandom::hash( 2 * salt + 1, col, row ) - 0.5 ) * 2 * jitter * size;
        const double x = x0 + col * size;
        const double y = y0 + row * size;
        return XY { x + jx + warp * std::sin( kTwoPi * y / wavelength + phaseX ), y + jy + warp * std::sin( kTwoPi * x / wavelength + phaseY ) };
    };
    for ( int row = 0; row < rows; ++row )
    {
        for ( int col = 0; col < cols; ++col )
        {
            const XY c[4] = { vertex( col, row ), vertex( col + 1, row ), vertex( col + 1, row + 1 ), vertex( col, row + 1 ) };
            auto ring = std::make_unique<OGRLinearRing>();
            for ( const XY &p : c )
                ring->addPoint( p.x, p.y );
            ring->closeRings();
            auto quad = std::make_unique<OGRPolygon>();
            quad->addRingDirectly( ring.release() );
            if ( auto shape = clipPolygon( std::move( quad ) ) )
            {
                const XY centre { ( c[0].x + c[1].x + c[2].x + c[3].x ) / 4, ( c[0].y + c[1].y + c[2].y + c[3].y ) / 4 };
                visit( row, col, centre, std::move( shape ) );
            }
        }
    }
}

void CountryShape::forEachGridCell( double size, const CellVisitor &visit ) const
{
    forEachLatticeCell( size, 0, 0, visit );
}

std::unique_ptr<OGRPolygon> makeBlob( SampleRandom &random, XY centre, double radius, int vertices )
{
    const double p1 = kTwoPi * random.uniform(), p2 = kTwoPi * random.uniform(), p3 = kTwoPi * random.uniform();
    const double stretch = random.uniform( 0.7, 1.3 );
    auto ring = std::make_unique<OGRLinearRing>();
    for ( int k = 0; k < vertices; ++k )
    {
        const double t = kTwoPi * k / vertices;
        const double rho = radius * ( 1 + 0.18 * std::sin( 2 * t + p1 ) + 0.10 * std::sin( 3 * t + p2 ) + 0.05 * std::sin( 7 * t + p3 )
                                      + 0.06 * ( random.uniform() - 0.5 ) );
        ring->addPoint( centre.x + rho * std::cos( t ) * stretch, centre.y + rho * std::sin( t ) / stretch );
    }
    ring->closeRings();
    auto polygon = std::make_unique<OGRPolygon>();
    polygon->addRingDirectly( ring.release() );
    return polygon;
}

std::unique_ptr<OGRLineString> makeWindingLine( SampleRandom &random, XY from, XY to, double amplitude, double step )
{
    const double dx = to.x - from.x;
    const double dy = to.y - from.y;
    const double length = std::hypot( dx, dy );
    const int n = std::max( 2, static_cast<int>( std::ceil( length / step ) ) );
    const XY normal { -dy / length, dx / length };
    const double f1 = random.uniform( 0.5, 2.5 ), f2 = random.uniform( 2, 5 );
    const double p1 = kTwoPi * random.uniform(), p2 = kTwoPi * random.uniform();
    auto line = std::make_unique<OGRLineString>();
    for ( int k = 0; k <= n; ++k )
    {
        const double t = static_cast<double>( k ) / n;
        const double offset = amplitude * std::sin( std::numbers::pi * t )
                              * ( 0.85 * std::sin( kTwoPi * f1 * t + p1 ) + 0.15 * std::sin( kTwoPi * f2 * t + p2 ) );
        line->addPoint( from.x + t * dx + offset * normal.x, from.y + t * dy + offset * normal.y );
    }
    return line;
}

std::vector<std::unique_ptr<OGRLineString>> splitLine( const OGRLineString &line, double length )
{
    std::vector<std::unique_ptr<OGRLineString>> pieces;
    const int n = line.getNumPoints();
    int start = 0;
    double run = 0;
    for ( int i = 1; i < n; ++i )
    {
        run += std::hypot( line.getX( i ) - line.getX( i - 1 ), line.getY( i ) - line.getY( i - 1 ) );
        const bool last = i == n - 1;
        if ( run >= length || last )
        {
            if ( last && run < length / 3 && !pieces.empty() )
            {
                for ( int k = start + 1; k <= i; ++k )
                    pieces.back()->addPoint( line.getX( k ), line.getY( k ) );
                break;
            }
            auto piece = std::make_unique<OGRLineString>();
            for ( int k = start; k <= i; ++k )
                piece->addPoint( line.getX( k ), line.getY( k ) );
            pieces.push_back( std::move( piece ) );
            start = i;
            run = 0;
        }
    }
    return pieces;
}

} // namespace sampledata
