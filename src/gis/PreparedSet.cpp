#include "PreparedSet.h"

#include "Geometry.h"

namespace gis
{

PreparedSet::PreparedSet( std::vector<const GEOSGeometry *> geometries, int workers )
    : mGeometries( std::move( geometries ) )
{
    mPrepared.resize( static_cast<size_t>( workers > 0 ? workers : 1 ) );
}

PreparedSet::~PreparedSet()
{
    GEOSContextHandle_t h = geosContext();
    for ( auto &perWorker : mPrepared )
    {
        for ( const GEOSPreparedGeometry *p : perWorker )
        {
            if ( p )
                GEOSPreparedGeom_destroy_r( h, p );
        }
    }
}

const GEOSPreparedGeometry *PreparedSet::prepared( int worker, size_t i )
{
    std::vector<const GEOSPreparedGeometry *> &mine = mPrepared.at( static_cast<size_t>( worker ) );
    if ( mine.empty() )
        mine.assign( mGeometries.size(), nullptr );
    if ( !mine[i] && mGeometries[i] )
        mine[i] = GEOSPrepare_r( geosContext(), mGeometries[i] );
    return mine[i];
}

} // namespace gis
