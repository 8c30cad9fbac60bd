#include "Renderer.h"

#include <algorithm>

namespace gis
{

void ClassBreaksRenderer::setBreakCount( int n )
{
    const size_t count = static_cast<size_t>( std::max( 0, n ) );
    mBreaks.resize( count, 0.0 );
    mSymbols.resize( count + 1 );
}

int ClassBreaksRenderer::classOf( double value ) const
{
    // A value equal to a break belongs to the class below it.
    for ( size_t i = 0; i < mBreaks.size(); ++i )
    {
        if ( value <= mBreaks[i] )
            return static_cast<int>( i );
    }
    return breakCount();
}

void ValueMapRenderer::setValueCount( int n )
{
    const size_t count = static_cast<size_t>( std::max( 0, n ) );
    mValues.resize( count );
    mSymbols.resize( count );
}

int ValueMapRenderer::indexOf( const QString &text ) const
{
    const auto it = std::find( mValues.begin(), mValues.end(), text );
    return it == mValues.end() ? -1 : static_cast<int>( it - mValues.begin() );
}

} // namespace gis
