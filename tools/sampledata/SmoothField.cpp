#include "SmoothField.h"

#include "SampleRandom.h"

#include <cmath>
#include <numbers>

namespace sampledata
{

SmoothField::SmoothField( SampleRandom &random, double minWavelength, int waves )
{
    double total = 0;
    for ( int i = 0; i < waves; ++i )
    {
        const double wavelength = minWavelength * ( 1 + 3 * random.uniform() );
        const double angle = 2 * std::numbers::pi * random.uniform();
        const double k = 2 * std::numbers::pi / wavelength;
        const double amplitude = wavelength / minWavelength;
        mWaves.push_back( { k * std::cos( angle ), k * std::sin( angle ), 2 * std::numbers::pi * random.uniform(), amplitude } );
        total += amplitude;
    }
    // The sum of independent waves rarely comes near its bound; norm by the
    // root of the sum of squares so the field uses most of [-1, 1].
    double squares = 0;
    for ( const Wave &w : mWaves )
        squares += w.amplitude * w.amplitude;
    mNorm = std::min( total, 2.0 * std::sqrt( squares ) );
}

double SmoothField::at( double x, double y ) const
{
    double sum = 0;
    for ( const Wave &w : mWaves )
        sum += w.amplitude * std::sin( w.kx * x + w.ky * y + w.phase );
    const double v = sum / mNorm;
    return v < -1 ? -1 : ( v > 1 ? 1 : v );
}

double SmoothField::scaled( double x, double y, double lo, double hi, double spread ) const
{
    return lo + ( hi - lo ) * ( at( x, y ) / spread + 1 ) / 2;
}

} // namespace sampledata
