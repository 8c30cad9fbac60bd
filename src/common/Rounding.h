#pragma once

#include <cfenv>
#include <cmath>

/**
 * Rounds to the nearest whole number, halves to the even neighbour
 * (2.5 -> 2, 3.5 -> 4), whatever rounding mode the thread is in: the
 * program's conversions to whole pixels have always rounded this way.
 */
inline double roundHalfEven( double v )
{
    const int previous = std::fegetround();
    std::fesetround( FE_TONEAREST );
    const double r = std::nearbyint( v );
    std::fesetround( previous );
    return r;
}
