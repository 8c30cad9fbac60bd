#pragma once

#include <algorithm>

namespace gis
{

//! A point in map units.
struct Point
{
    double x = 0;
    double y = 0;
};

/**
 * An axis-aligned rectangle in map units, y growing upwards: top >= bottom.
 */
struct Rect
{
    double left = 0;
    double right = 0;
    double top = 0;
    double bottom = 0;

    double width() const { return right - left; }
    double height() const { return top - bottom; }
    Point center() const { return { ( left + right ) / 2, ( top + bottom ) / 2 }; }
    bool isNull() const { return width() <= 0 && height() <= 0; }

    //! The smallest rectangle holding both this one and \a other.
    Rect united( const Rect &other ) const
    {
        return { std::min( left, other.left ), std::max( right, other.right ), std::max( top, other.top ),
                 std::min( bottom, other.bottom ) };
    }

    //! Scales the rectangle about its centre by \a factor (0.5 halves width and height).
    void scaleRectangle( double factor )
    {
        const Point c = center();
        const double hw = width() * factor / 2;
        const double hh = height() * factor / 2;
        left = c.x - hw;
        right = c.x + hw;
        bottom = c.y - hh;
        top = c.y + hh;
    }
};

} // namespace gis
