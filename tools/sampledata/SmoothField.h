#pragma once

#include <vector>

namespace sampledata
{

class SampleRandom;

/**
 * A smooth scalar field over the plane (a sum of plane waves with random
 * directions and phases), used for elevation, wind and sunshine.
 * at() lies in [-1, 1]; most values fall within [-0.6, 0.6].
 */
class SmoothField
{
  public:
    //! Waves with wavelengths from \a minWavelength to 4 times that, in map units.
    SmoothField( SampleRandom &random, double minWavelength, int waves );

    double at( double x, double y ) const;
    //! at() mapped linearly so that [-spread, spread] becomes [lo, hi] (not clamped).
    double scaled( double x, double y, double lo, double hi, double spread = 0.55 ) const;

  private:
    struct Wave
    {
        double kx, ky, phase, amplitude;
    };
    std::vector<Wave> mWaves;
    double mNorm = 1;
};

} // namespace sampledata
