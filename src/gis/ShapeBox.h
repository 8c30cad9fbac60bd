#pragma once

#include "Rect.h"

#include <algorithm>
#include <cmath>

/**
 * The one rule by which the bounding boxes a shapefile stores are weighed
 * against its coordinates. A box is written by the same writer as the
 * coordinates, and some writers leave it 0,0,0,0 or stale: a box is
 * evidence only where it is usable, and a vertex outside a usable box
 * counts as outside only beyond the box's slack.
 */
namespace gis::shapefile
{

//! Whether \a box can tell anything: no NaN, not inverted, not 0,0,0,0.
inline bool isUsableBox( const Rect &box )
{
    if ( std::isnan( box.left + box.right + box.top + box.bottom ) )
        return false;
    if ( box.left > box.right || box.bottom > box.top )
        return false;
    return box.left != 0 || box.right != 0 || box.top != 0 || box.bottom != 0;
}

/**
 * How far a vertex may lie outside \a box and still count as within it:
 * rounding, 1e-7 of the box's largest coordinate or side (half a metre at
 * a northing of five million metres, two metres at 180 degrees). Writers
 * compute boxes from the very coordinates, so a sound file needs none; a
 * writer that rounds its boxes to single precision needs this much.
 */
inline double slackOf( const Rect &box )
{
    return 1e-7 * std::max( { std::abs( box.left ), std::abs( box.right ), std::abs( box.top ), std::abs( box.bottom ),
                              box.width(), box.height() } );
}

//! Whether the extent \a e lies within \a box give or take its slack; not when either holds a NaN.
inline bool isWithin( const Rect &e, const Rect &box )
{
    const double slack = slackOf( box );
    return e.left >= box.left - slack && e.right <= box.right + slack && e.bottom >= box.bottom - slack
           && e.top <= box.top + slack;
}

} // namespace gis::shapefile
