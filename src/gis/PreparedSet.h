#pragma once

#include <geos_c.h>

#include <vector>

namespace gis
{

/**
 * Prepared forms of a fixed list of geometries for the many-against-one
 * tests (intersects, covers), made on first use and kept per worker. A GEOS
 * prepared geometry builds its indexes lazily, so one shared by two threads
 * races; here every worker (see OrderedWork) prepares and uses its own, and
 * needs no lock. The geometries stay owned by the caller and must outlive
 * the set.
 */
class PreparedSet
{
  public:
    PreparedSet( std::vector<const GEOSGeometry *> geometries, int workers );
    ~PreparedSet();
    PreparedSet( const PreparedSet & ) = delete;
    PreparedSet &operator=( const PreparedSet & ) = delete;

    size_t size() const { return mGeometries.size(); }
    const GEOSGeometry *geometry( size_t i ) const { return mGeometries[i]; }
    //! The prepared form of geometry \a i for \a worker (0 .. workers - 1), or nullptr when it cannot be prepared.
    const GEOSPreparedGeometry *prepared( int worker, size_t i );

  private:
    std::vector<const GEOSGeometry *> mGeometries;
    std::vector<std::vector<const GEOSPreparedGeometry *>> mPrepared; //!< [worker][geometry]
};

} // namespace gis
