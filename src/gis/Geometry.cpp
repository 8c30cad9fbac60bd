#include "Geometry.h"

#include "GisError.h"

namespace gis
{

namespace
{

void collectGeosMessage( const char *message, void *userdata )
{
    if ( userdata && message )
        *static_cast<std::string *>( userdata ) = message;
}

struct ThreadContext
{
    GEOSContextHandle_t handle = nullptr;
    std::string lastError;

    ThreadContext()
    {
        handle = GEOS_init_r();
        GEOSContext_setErrorMessageHandler_r( handle, collectGeosMessage, &lastError );
    }
    ~ThreadContext();
};

// Set once the thread's context has been finished; geometries destroyed
// after that (statics at program exit) get a context of their own.
thread_local bool tContextFinished = false;

ThreadContext::~ThreadContext()
{
    GEOS_finish_r( handle );
    handle = nullptr;
    tContextFinished = true;
}

thread_local ThreadContext tContext;

} // namespace

GEOSContextHandle_t geosContext()
{
    if ( tContextFinished )
    {
        static thread_local GEOSContextHandle_t late = GEOS_init_r();
        return late;
    }
    return tContext.handle;
}

std::string lastGeosError()
{
    if ( tContextFinished )
        return {};
    return tContext.lastError;
}

void prepareForThreads( const GEOSGeometry *g )
{
    if ( !g )
        return;
    GEOSContextHandle_t h = geosContext();
    // Asking for a bound computes and keeps the envelope.
    auto computeEnvelope = [h]( const GEOSGeometry *part ) {
        double unused = 0;
        if ( part )
            GEOSGeom_getXMin_r( h, part, &unused );
    };
    computeEnvelope( g );
    switch ( GEOSGeomTypeId_r( h, g ) )
    {
        case GEOS_POLYGON:
        {
            computeEnvelope( GEOSGetExteriorRing_r( h, g ) );
            const int holes = GEOSGetNumInteriorRings_r( h, g );
            for ( int i = 0; i < holes; ++i )
                computeEnvelope( GEOSGetInteriorRingN_r( h, g, i ) );
            break;
        }
        case GEOS_MULTIPOINT:
        case GEOS_MULTILINESTRING:
        case GEOS_MULTIPOLYGON:
        case GEOS_GEOMETRYCOLLECTION:
        {
            const int parts = GEOSGetNumGeometries_r( h, g );
            for ( int i = 0; i < parts; ++i )
                prepareForThreads( GEOSGetGeometryN_r( h, g, i ) );
            break;
        }
        default:
            break;
    }
}

void GeometryDeleter::operator()( GEOSGeometry *g ) const
{
    if ( g )
        GEOSGeom_destroy_r( geosContext(), g );
}

Geometry::Geometry( const Geometry &other )
{
    if ( other.mGeom )
    {
        GEOSGeometry *c = GEOSGeom_clone_r( geosContext(), other.mGeom.get() );
        if ( !c )
            throw GisError( "cannot copy geometry: " + lastGeosError() );
        mGeom.reset( c );
    }
}

Geometry &Geometry::operator=( const Geometry &other )
{
    if ( this != &other )
    {
        Geometry copy( other );
        mGeom = std::move( copy.mGeom );
    }
    return *this;
}

Geometry Geometry::fromWkt( const std::string &wkt )
{
    GEOSContextHandle_t h = geosContext();
    GEOSWKTReader *reader = GEOSWKTReader_create_r( h );
    GEOSGeometry *g = GEOSWKTReader_read_r( h, reader, wkt.c_str() );
    GEOSWKTReader_destroy_r( h, reader );
    if ( !g )
        throw GisError( "invalid geometry text: " + lastGeosError() );
    return Geometry( g );
}

std::string Geometry::toWkt() const
{
    if ( !mGeom )
        return {};
    GEOSContextHandle_t h = geosContext();
    GEOSWKTWriter *writer = GEOSWKTWriter_create_r( h );
    GEOSWKTWriter_setTrim_r( h, writer, 1 );
    char *text = GEOSWKTWriter_write_r( h, writer, mGeom.get() );
    GEOSWKTWriter_destroy_r( h, writer );
    if ( !text )
        throw GisError( "cannot write geometry text: " + lastGeosError() );
    std::string result( text );
    GEOSFree_r( h, text );
    return result;
}

bool Geometry::isEmpty() const
{
    return !mGeom || GEOSisEmpty_r( geosContext(), mGeom.get() ) == 1;
}

bool Geometry::isPolygonal() const
{
    if ( !mGeom )
        return false;
    const int type = GEOSGeomTypeId_r( geosContext(), mGeom.get() );
    return type == GEOS_POLYGON || type == GEOS_MULTIPOLYGON;
}

int Geometry::shapeType() const
{
    if ( !mGeom )
        return 0;
    switch ( GEOSGeomTypeId_r( geosContext(), mGeom.get() ) )
    {
        case GEOS_POINT:
        case GEOS_MULTIPOINT:
            return 21;
        case GEOS_LINESTRING:
        case GEOS_LINEARRING:
        case GEOS_MULTILINESTRING:
            return 22;
        case GEOS_POLYGON:
        case GEOS_MULTIPOLYGON:
            return 23;
        default:
            return 0;
    }
}

double Geometry::area() const
{
    if ( !mGeom )
        return 0;
    double a = 0;
    if ( !GEOSArea_r( geosContext(), mGeom.get(), &a ) )
        throw GisError( "cannot compute area: " + lastGeosError() );
    return a;
}

std::optional<Rect> Geometry::envelope() const
{
    if ( !mGeom )
        return std::nullopt;
    GEOSContextHandle_t h = geosContext();
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    if ( !GEOSGeom_getXMin_r( h, mGeom.get(), &minX ) || !GEOSGeom_getYMin_r( h, mGeom.get(), &minY )
         || !GEOSGeom_getXMax_r( h, mGeom.get(), &maxX ) || !GEOSGeom_getYMax_r( h, mGeom.get(), &maxY ) )
        return std::nullopt;
    return Rect { minX, maxX, maxY, minY };
}

} // namespace gis
