#pragma once

#include <cstdint>

namespace sampledata
{

/**
 * Deterministic random numbers for the sample data: splitmix64 with our own
 * mapping to doubles, so a seed gives the same sequence on every platform
 * and standard library. hash() gives a value that depends only on its
 * arguments, for quantities tied to a grid position rather than to the
 * order in which they are generated.
 */
class SampleRandom
{
  public:
    explicit SampleRandom( std::uint64_t seed ) : mState( seed ) {}

    std::uint64_t next()
    {
        mState += 0x9E3779B97F4A7C15ULL;
        return mix( mState );
    }

    //! Uniform in [0, 1).
    double uniform() { return toUnit( next() ); }
    double uniform( double lo, double hi ) { return lo + ( hi - lo ) * uniform(); }
    //! Uniform integer in [0, n); n > 0.
    int below( int n ) { return static_cast<int>( uniform() * n ); }

    static std::uint64_t mix( std::uint64_t z )
    {
        z = ( z ^ ( z >> 30 ) ) * 0xBF58476D1CE4E5B9ULL;
        z = ( z ^ ( z >> 27 ) ) * 0x94D049BB133111EBULL;
        return z ^ ( z >> 31 );
    }

    //! Uniform in [0, 1), a pure function of the three arguments.
    static double hash( std::uint64_t a, std::uint64_t b, std::uint64_t c )
    {
        return toUnit( mix( mix( mix( a ) ^ b ) ^ c ) );
    }

  private:
    static double toUnit( std::uint64_t x ) { return static_cast<double>( x >> 11 ) * ( 1.0 / 9007199254740992.0 ); }

    std::uint64_t mState;
};

} // namespace sampledata
