#include "Dataset.h"

#include "ExpressionFilter.h"
#include "GeometryOps.h"
#include "GisError.h"
#include "TableDesc.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

namespace gis
{

namespace
{

struct GdalDatasetCloser
{
    void operator()( GDALDataset *ds ) const
    {
        if ( ds )
            GDALClose( ds );
    }
};
using GdalDatasetPtr = std::unique_ptr<GDALDataset, GdalDatasetCloser>;

struct FeatureDeleter
{
    void operator()( OGRFeature *f ) const { OGRFeature::DestroyFeature( f ); }
};
using FeaturePtr = std::unique_ptr<OGRFeature, FeatureDeleter>;

// Silences GDAL's console output for the lifetime of the guard; the last
// message stays available through CPLGetLastErrorMsg().
class QuietGdal
{
  public:
    QuietGdal()
    {
        CPLPushErrorHandler( CPLQuietErrorHandler );
        CPLErrorReset();
    }
    ~QuietGdal() { CPLPopErrorHandler(); }
    QuietGdal( const QuietGdal & ) = delete;
    QuietGdal &operator=( const QuietGdal & ) = delete;
};

void registerDrivers()
{
    static std::once_flag once;
    std::call_once( once, [] { GDALAllRegister(); } );
}

GdalDatasetPtr openVector( const QString &path )
{
    registerDrivers();
    const QByteArray p = QFile::encodeName( path );
    return GdalDatasetPtr( static_cast<GDALDataset *>(
        GDALOpenEx( p.constData(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr ) ) );
}

int fieldTypeCode( OGRFieldType type )
{
    switch ( type )
    {
        case OFTInteger:
        case OFTInteger64:
            return FieldInteger;
        case OFTReal:
            return FieldDouble;
        case OFTDate:
        case OFTDateTime:
            return FieldDate;
        default:
            return FieldString;
    }
}

OGRFieldType ogrFieldType( int code )
{
    switch ( code )
    {
        case FieldInteger:
            return OFTInteger64;
        case FieldDouble:
            return OFTReal;
        case FieldDate:
            return OFTDate;
        default:
            return OFTString;
    }
}

ShapeKind shapeKindOf( OGRwkbGeometryType type )
{
    switch ( wkbFlatten( type ) )
    {
        case wkbPoint:
        case wkbMultiPoint:
            return ShapePoint;
        case wkbLineString:
        case wkbMultiLineString:
            return ShapeLine;
        case wkbPolygon:
        case wkbMultiPolygon:
            return ShapePolygon;
        default:
            return ShapeNone;
    }
}

QString unitNameOf( const char *gdalName )
{
    const QString name = QString::fromUtf8( gdalName ? gdalName : "" ).trimmed().toLower();
    if ( name == QLatin1String( "metre" ) || name == QLatin1String( "meter" ) || name == QLatin1String( "metres" )
         || name == QLatin1String( "meters" ) )
        return QStringLiteral( "meter" );
    return name;
}

// --- OGR geometry to GEOS, without a detour through WKB ---

GEOSCoordSequence *coordsOf( GEOSContextHandle_t h, const OGRSimpleCurve &curve, bool closeRing,
                             std::vector<OGRRawPoint> &buffer )
{
    const int n = curve.getNumPoints();
    buffer.resize( static_cast<size_t>( n ) + 1 );
    if ( n > 0 )
        curve.getPoints( buffer.data(), nullptr );
    size_t count = static_cast<size_t>( n );
    if ( closeRing && n > 0 && ( buffer[0].x != buffer[n - 1].x || buffer[0].y != buffer[n - 1].y ) )
        buffer[count++] = buffer[0];
    static_assert( sizeof( OGRRawPoint ) == 2 * sizeof( double ) );
    return GEOSCoordSeq_copyFromBuffer_r( h, reinterpret_cast<const double *>( buffer.data() ),
                                          static_cast<unsigned int>( count ), 0, 0 );
}

GEOSGeometry *ringOf( GEOSContextHandle_t h, const OGRLinearRing *ring, std::vector<OGRRawPoint> &buffer )
{
    if ( !ring || ring->getNumPoints() < 3 )
        return nullptr;
    GEOSCoordSequence *seq = coordsOf( h, *ring, true, buffer );
    if ( !seq )
        return nullptr;
    return GEOSGeom_createLinearRing_r( h, seq ); // takes the sequence, also on failure
}

GEOSGeometry *polygonOf( GEOSContextHandle_t h, const OGRPolygon &poly, std::vector<OGRRawPoint> &buffer )
{
    if ( poly.IsEmpty() )
        return GEOSGeom_createEmptyPolygon_r( h );
    GEOSGeometry *shell = ringOf( h, poly.getExteriorRing(), buffer );
    if ( !shell )
        return nullptr;
    std::vector<GEOSGeometry *> holes;
    holes.reserve( static_cast<size_t>( poly.getNumInteriorRings() ) );
    for ( int i = 0; i < poly.getNumInteriorRings(); ++i )
    {
        // A degenerate hole is dropped rather than losing the whole polygon.
        if ( GEOSGeometry *hole = ringOf( h, poly.getInteriorRing( i ), buffer ) )
            holes.push_back( hole );
    }
    return GEOSGeom_createPolygon_r( h, shell, holes.data(), static_cast<unsigned int>( holes.size() ) );
}

GEOSGeometry *geosOf( GEOSContextHandle_t h, const OGRGeometry *g, std::vector<OGRRawPoint> &buffer );

GEOSGeometry *collectionOf( GEOSContextHandle_t h, int type, const OGRGeometryCollection &coll,
                            std::vector<OGRRawPoint> &buffer )
{
    std::vector<GEOSGeometry *> parts;
    parts.reserve( static_cast<size_t>( coll.getNumGeometries() ) );
    for ( int i = 0; i < coll.getNumGeometries(); ++i )
    {
        if ( GEOSGeometry *part = geosOf( h, coll.getGeometryRef( i ), buffer ) )
            parts.push_back( part );
    }
    return GEOSGeom_createCollection_r( h, type, parts.data(), static_cast<unsigned int>( parts.size() ) );
}

GEOSGeometry *geosOf( GEOSContextHandle_t h, const OGRGeometry *g, std::vector<OGRRawPoint> &buffer )
{
    if ( !g )
        return nullptr;
    switch ( wkbFlatten( g->getGeometryType() ) )
    {
        case wkbPoint:
        {
            const auto *p = g->toPoint();
            if ( p->IsEmpty() )
                return GEOSGeom_createEmptyPoint_r( h );
            return GEOSGeom_createPointFromXY_r( h, p->getX(), p->getY() );
        }
        case wkbLineString:
        {
            const auto *l = g->toLineString();
            if ( l->getNumPoints() == 1 )
                return nullptr;
            GEOSCoordSequence *seq = coordsOf( h, *l, false, buffer );
            return seq ? GEOSGeom_createLineString_r( h, seq ) : nullptr;
        }
        case wkbPolygon:
            return polygonOf( h, *g->toPolygon(), buffer );
        case wkbMultiPoint:
            return collectionOf( h, GEOS_MULTIPOINT, *g->toGeometryCollection(), buffer );
        case wkbMultiLineString:
            return collectionOf( h, GEOS_MULTILINESTRING, *g->toGeometryCollection(), buffer );
        case wkbMultiPolygon:
            return collectionOf( h, GEOS_MULTIPOLYGON, *g->toGeometryCollection(), buffer );
        case wkbGeometryCollection:
            return collectionOf( h, GEOS_GEOMETRYCOLLECTION, *g->toGeometryCollection(), buffer );
        default:
        {
            // Curves and other exotic kinds: linearise through OGR, then read as WKB.
            std::unique_ptr<OGRGeometry> linear( g->getLinearGeometry() );
            if ( !linear )
                return nullptr;
            std::vector<unsigned char> wkb( linear->WkbSize() );
            if ( linear->exportToWkb( wkbNDR, wkb.data(), wkbVariantIso ) != OGRERR_NONE )
                return nullptr;
            GEOSWKBReader *reader = GEOSWKBReader_create_r( h );
            GEOSGeometry *result = GEOSWKBReader_read_r( h, reader, wkb.data(), wkb.size() );
            GEOSWKBReader_destroy_r( h, reader );
            return result;
        }
    }
}

/**
 * \a g, or its repaired form when it is an invalid polygon: GEOS overlays
 * give wrong areas on invalid input without failing, so shapes are made
 * valid once here. A polygon that collapses entirely is kept as read.
 */
Geometry validated( Geometry g )
{
    if ( !g.isPolygonal() || GEOSisValid_r( geosContext(), g.get() ) != 0 )
        return g;
    Geometry repaired = ops::polygonalPart( Geometry( GEOSMakeValid_r( geosContext(), g.get() ) ) );
    if ( repaired.isNull() )
        return g;
    return repaired;
}

QVariant valueOf( OGRFeature &f, int i, OGRFieldType type )
{
    if ( !f.IsFieldSetAndNotNull( i ) )
        return QVariant();
    switch ( type )
    {
        case OFTReal:
            return QVariant( f.GetFieldAsDouble( i ) );
        case OFTInteger:
        case OFTInteger64:
            return QVariant( static_cast<qlonglong>( f.GetFieldAsInteger64( i ) ) );
        case OFTDate:
        case OFTDateTime:
        {
            int y = 0, m = 0, d = 0, hh = 0, mm = 0, tz = 0;
            float ss = 0;
            if ( f.GetFieldAsDateTime( i, &y, &m, &d, &hh, &mm, &ss, &tz ) )
                return QVariant( QDate( y, m, d ) );
            return QVariant();
        }
        default:
            return QVariant( QString::fromUtf8( f.GetFieldAsString( i ) ) );
    }
}

//! Sets field \a i of \a f to \a v as a value of \a type; a null \a v makes the field null.
void setFieldValue( OGRFeature &f, int i, OGRFieldType type, const QVariant &v )
{
    if ( v.isNull() )
    {
        f.SetFieldNull( i );
        return;
    }
    switch ( type )
    {
        case OFTReal:
            f.SetField( i, v.toDouble() );
            break;
        case OFTInteger:
        case OFTInteger64:
            f.SetField( i, static_cast<GIntBig>( v.toLongLong() ) );
            break;
        case OFTDate:
        {
            const QDate date = v.toDate();
            f.SetField( i, date.year(), date.month(), date.day() );
            break;
        }
        default:
            f.SetField( i, v.toString().toUtf8().constData() );
            break;
    }
}

//! What one reader thread collects: a run of consecutive records.
struct Chunk
{
    std::vector<Geometry> shapes;
    std::vector<QVariant> values;
    std::string error;
};

/**
 * Reads the records with FID in [begin, end) of layer 0 of \a path into
 * \a out. Each reader opens the file itself: OGR handles are not shared
 * between threads, and GEOS objects come from this thread's context.
 */
void readChunk( const QString &path, GIntBig begin, GIntBig end, const std::vector<OGRFieldType> &types,
                Chunk &out )
{
    try
    {
        QuietGdal quiet;
        GdalDatasetPtr ds = openVector( path );
        OGRLayer *layer = ds ? ds->GetLayer( 0 ) : nullptr;
        if ( !layer )
        {
            out.error = "cannot open " + path.toStdString();
            return;
        }
        GEOSContextHandle_t h = geosContext();
        const int fieldCount = static_cast<int>( types.size() );
        const size_t expected = end > begin ? static_cast<size_t>( end - begin ) : 0;
        out.shapes.reserve( expected );
        out.values.reserve( expected * types.size() );
        std::vector<OGRRawPoint> buffer;
        if ( begin > 0 && layer->SetNextByIndex( begin ) != OGRERR_NONE )
        {
            out.error = "cannot position in " + path.toStdString();
            return;
        }
        while ( true )
        {
            FeaturePtr f( layer->GetNextFeature() );
            if ( !f )
                break;
            if ( end >= 0 && f->GetFID() >= end )
                break;
            Geometry shape( geosOf( h, f->GetGeometryRef(), buffer ) );
            // A shapefile knows no empty shapes, only null ones.
            if ( shape.isEmpty() )
                shape = Geometry();
            out.shapes.push_back( validated( std::move( shape ) ) );
            for ( int i = 0; i < fieldCount; ++i )
                out.values.push_back( valueOf( *f, i, types[static_cast<size_t>( i )] ) );
        }
    }
    catch ( const std::exception &e )
    {
        out.error = e.what();
    }
}

void collectItem( void *item, void *userdata )
{
    static_cast<std::vector<qint64> *>( userdata )->push_back( reinterpret_cast<qint64>( item ) );
}

} // namespace

struct Dataset::Private
{
    std::vector<QVariant> values; // record-major: values[record * fieldCount + field]
    std::vector<int> widths;
    std::vector<int> precisions;
    GEOSSTRtree *tree = nullptr;

    // In-memory copy of the attribute table for OGR SQL WHERE clauses, made on
    // the first search.
    mutable std::mutex searchMutex;
    mutable GdalDatasetPtr attributeCopy;

    ~Private()
    {
        if ( tree )
            GEOSSTRtree_destroy_r( geosContext(), tree );
    }
};

Dataset::~Dataset() = default;

QString Dataset::fileName() const
{
    return QFileInfo( mPath ).fileName();
}

int Dataset::fieldIndex( const QString &name ) const
{
    for ( int i = 0; i < mFieldNames.size(); ++i )
    {
        if ( mFieldNames.at( i ).compare( name, Qt::CaseInsensitive ) == 0 )
            return i;
    }
    return -1;
}

const QVariant &Dataset::value( qint64 record, int field ) const
{
    const qint64 fieldCount = mFieldNames.size();
    if ( record < 0 || record >= recordCount() || field < 0 || field >= fieldCount )
        throw GisError( "no such record or field" );
    return d->values[static_cast<size_t>( record * fieldCount + field )];
}

std::shared_ptr<Dataset> Dataset::open( const QString &path )
{
    // OGR would open a directory as one dataset of all its shapefiles.
    if ( !QFileInfo( path ).isFile() )
        throw GisError( "cannot open " + path.toStdString() + ": not a file" );
    GdalDatasetPtr ds;
    {
        QuietGdal quiet;
        ds = openVector( path );
    }
    OGRLayer *layer = ds && ds->GetLayerCount() > 0 ? ds->GetLayer( 0 ) : nullptr;
    if ( !layer )
        throw GisError( "cannot open " + path.toStdString() );

    std::shared_ptr<Dataset> result( new Dataset );
    result->d = std::make_unique<Private>();
    Dataset &self = *result;
    Private &p = *self.d;
    self.mPath = path;
    self.mShapeKind = shapeKindOf( layer->GetGeomType() );

    OGRFeatureDefn *defn = layer->GetLayerDefn();
    std::vector<OGRFieldType> types;
    for ( int i = 0; i < defn->GetFieldCount(); ++i )
    {
        const OGRFieldDefn *fd = defn->GetFieldDefn( i );
        self.mFieldNames << QString::fromUtf8( fd->GetNameRef() );
        self.mFieldTypes.push_back( fieldTypeCode( fd->GetType() ) );
        types.push_back( fd->GetType() );
        p.widths.push_back( fd->GetWidth() );
        p.precisions.push_back( fd->GetPrecision() );
    }

    if ( const OGRSpatialReference *srs = layer->GetSpatialRef() )
    {
        CoordinateSystem crs;
        const char *unit = nullptr;
        if ( srs->IsGeographic() )
        {
            crs.unitName = QStringLiteral( "degree" );
        }
        else
        {
            srs->GetLinearUnits( &unit );
            crs.unitName = unitNameOf( unit );
        }
        crs.isProjected = srs->IsProjected();
        OGRErr err = OGRERR_NONE;
        crs.semiMajorAxis = srs->GetSemiMajor( &err );
        const double inverse = srs->GetInvFlattening( &err );
        crs.flattening = inverse != 0 ? 1.0 / inverse : 0.0;
        QFile prj( QFileInfo( path ).path() + QLatin1Char( '/' ) + QFileInfo( path ).completeBaseName()
                   + QStringLiteral( ".prj" ) );
        if ( prj.open( QIODevice::ReadOnly ) )
            crs.wkt = QString::fromUtf8( prj.readAll() );
        if ( crs.wkt.isEmpty() )
        {
            char *wkt = nullptr;
            if ( srs->exportToWkt( &wkt ) == OGRERR_NONE && wkt )
                crs.wkt = QString::fromUtf8( wkt );
            CPLFree( wkt );
        }
        self.mCrs = crs;
    }

    // Large shapefiles are read by several threads, each over its own run of
    // records; the runs are joined in file order.
    const bool isShapefile = QString::fromUtf8( ds->GetDriver()->GetDescription() ) == QLatin1String( "ESRI Shapefile" );
    const GIntBig total = layer->GetFeatureCount( FALSE );
    constexpr GIntBig kRecordsPerReader = 20000;
    const unsigned hardware = std::max( 1u, std::thread::hardware_concurrency() );
    int readers = 1;
    if ( isShapefile && total > kRecordsPerReader )
        readers = static_cast<int>( std::min<GIntBig>( std::min<unsigned>( hardware, 8u ), total / kRecordsPerReader + 1 ) );

    // Every reader opens the file itself.
    ds.reset();
    std::vector<Chunk> chunks( static_cast<size_t>( readers ) );
    if ( readers == 1 )
    {
        readChunk( path, 0, -1, types, chunks[0] );
    }
    else
    {
        std::vector<std::thread> threads;
        const GIntBig step = ( total + readers - 1 ) / readers;
        for ( int r = 0; r < readers; ++r )
        {
            const GIntBig begin = r * step;
            const GIntBig end = r == readers - 1 ? -1 : std::min( total, begin + step );
            Chunk &chunk = chunks[static_cast<size_t>( r )];
            try
            {
                threads.emplace_back( readChunk, path, begin, end, std::cref( types ), std::ref( chunk ) );
            }
            catch ( const std::system_error & )
            {
                // No thread to be had: this run is read here.
                readChunk( path, begin, end, types, chunk );
            }
        }
        for ( std::thread &t : threads )
            t.join();
    }

    size_t records = 0;
    for ( const Chunk &c : chunks )
    {
        if ( !c.error.empty() )
            throw GisError( c.error );
        records += c.shapes.size();
    }
    self.mShapes.reserve( records );
    p.values.reserve( records * types.size() );
    for ( Chunk &c : chunks )
    {
        std::move( c.shapes.begin(), c.shapes.end(), std::back_inserter( self.mShapes ) );
        std::move( c.values.begin(), c.values.end(), std::back_inserter( p.values ) );
        c = Chunk();
    }

    GEOSContextHandle_t h = geosContext();
    p.tree = GEOSSTRtree_create_r( h, 10 );
    // The extent is that of the shapes themselves: null shapes, which the
    // file header counts as lying at 0, 0, take no part.
    for ( size_t i = 0; i < self.mShapes.size(); ++i )
    {
        const Geometry &shape = self.mShapes[i];
        if ( shape.isEmpty() )
            continue;
        prepareForThreads( shape.get() );
        GEOSSTRtree_insert_r( h, p.tree, shape.get(), reinterpret_cast<void *>( static_cast<qintptr>( i ) ) );
        self.includeInExtent( shape );
    }
    // The tree is built on its first query; build it now so that later
    // queries only read it.
    self.recordsInRect( Rect { 0, 0, 0, 0 } );
    return result;
}

void Dataset::includeInExtent( const Geometry &shape )
{
    const std::optional<Rect> env = shape.envelope();
    if ( !env )
        return;
    mExtent = mHasShapes ? mExtent.united( *env ) : *env;
    mHasShapes = true;
}

std::vector<qint64> Dataset::recordsInRect( const Rect &r ) const
{
    std::vector<qint64> found;
    if ( !d || !d->tree )
        return found;
    const Geometry query = ops::fromRect( r );
    GEOSSTRtree_query_r( geosContext(), d->tree, query.get(), collectItem, &found );
    return found;
}

std::vector<qint64> Dataset::searchByDistance( const Point &pt, double distance ) const
{
    const double dist = distance > 0 ? distance : 0.0;
    std::vector<qint64> candidates = recordsInRect( Rect { pt.x - dist, pt.x + dist, pt.y + dist, pt.y - dist } );
    std::sort( candidates.begin(), candidates.end() );

    GEOSContextHandle_t h = geosContext();
    Geometry point( GEOSGeom_createPointFromXY_r( h, pt.x, pt.y ) );
    if ( point.isNull() )
        throw GisError( "cannot build search point: " + lastGeosError() );

    std::vector<qint64> found;
    for ( qint64 record : candidates )
    {
        const GEOSGeometry *g = mShapes[static_cast<size_t>( record )].get();
        // At distance 0 a polygon is hit from inside and on its boundary.
        const char hit = dist == 0 ? GEOSIntersects_r( h, g, point.get() ) : GEOSDistanceWithin_r( h, g, point.get(), dist );
        if ( hit == 2 )
            throw GisError( "distance search failed: " + lastGeosError() );
        if ( hit == 1 )
            found.push_back( record );
    }
    return found;
}

std::vector<qint64> Dataset::search( const QString &where ) const
{
    std::vector<qint64> found;
    if ( where.trimmed().isEmpty() )
    {
        found.resize( static_cast<size_t>( recordCount() ) );
        for ( size_t i = 0; i < found.size(); ++i )
            found[i] = static_cast<qint64>( i );
        return found;
    }
    if ( std::optional<std::vector<qint64>> quick = expressionfilter::evaluate( *this, where ) )
        return std::move( *quick );

    std::lock_guard<std::mutex> lock( d->searchMutex );
    QuietGdal quiet;
    if ( !d->attributeCopy )
    {
        registerDrivers();
        GDALDriver *memory = GetGDALDriverManager()->GetDriverByName( "Memory" );
        GdalDatasetPtr copy( memory ? memory->Create( "", 0, 0, 0, GDT_Unknown, nullptr ) : nullptr );
        OGRLayer *layer = copy ? copy->CreateLayer( "records", nullptr, wkbNone, nullptr ) : nullptr;
        if ( !layer )
            throw GisError( "cannot prepare the attribute search" );
        const int fieldCount = static_cast<int>( mFieldNames.size() );
        std::vector<OGRFieldType> types;
        for ( int i = 0; i < fieldCount; ++i )
        {
            types.push_back( ogrFieldType( mFieldTypes[static_cast<size_t>( i )] ) );
            OGRFieldDefn fd( mFieldNames.at( i ).toUtf8().constData(), types.back() );
            if ( layer->CreateField( &fd ) != OGRERR_NONE )
                throw GisError( "cannot prepare the attribute search" );
        }
        OGRFeature feature( layer->GetLayerDefn() );
        for ( qint64 r = 0; r < recordCount(); ++r )
        {
            feature.SetFID( r );
            for ( int i = 0; i < fieldCount; ++i )
                setFieldValue( feature, i, types[static_cast<size_t>( i )],
                               d->values[static_cast<size_t>( r * fieldCount + i )] );
            if ( layer->CreateFeature( &feature ) != OGRERR_NONE )
                throw GisError( "cannot prepare the attribute search" );
        }
        d->attributeCopy = std::move( copy );
    }

    OGRLayer *layer = d->attributeCopy->GetLayer( 0 );
    const QByteArray clause = where.toUtf8();
    if ( layer->SetAttributeFilter( clause.constData() ) != OGRERR_NONE )
    {
        const std::string reason = CPLGetLastErrorMsg();
        layer->SetAttributeFilter( nullptr );
        throw GisError( "invalid search expression \"" + where.toStdString() + "\": " + reason );
    }
    layer->ResetReading();
    CPLErrorReset();
    while ( FeaturePtr f { layer->GetNextFeature() } )
        found.push_back( f->GetFID() );
    const bool failed = CPLGetLastErrorType() >= CE_Failure;
    const std::string reason = CPLGetLastErrorMsg();
    layer->SetAttributeFilter( nullptr );
    if ( failed )
        throw GisError( "search \"" + where.toStdString() + "\" failed: " + reason );
    std::sort( found.begin(), found.end() );
    return found;
}

// --- writing ---

std::shared_ptr<Dataset> Dataset::createNew( const QString &path, const TableDesc &desc,
                                             const std::optional<CoordinateSystem> &crs )
{
    std::shared_ptr<Dataset> result( new Dataset );
    result->d = std::make_unique<Private>();
    result->mPath = path;
    result->mShapeKind = ShapePolygon;
    result->mCrs = crs;
    result->mWritable = true;
    for ( int i = 0; i < desc.fieldCount(); ++i )
    {
        const TableDesc::FieldDesc &f = desc.field( i );
        // The file format holds at most ten characters of a field name.
        result->mFieldNames << f.name.left( 10 );
        result->mFieldTypes.push_back( f.type );
        result->d->widths.push_back( f.precision );
        result->d->precisions.push_back( f.scale );
    }
    return result;
}

qint64 Dataset::addRecord( Geometry shape, const std::vector<QVariant> &values )
{
    if ( !mWritable )
        throw GisError( "the dataset is not open for editing" );
    const size_t fieldCount = static_cast<size_t>( mFieldNames.size() );
    for ( size_t i = 0; i < fieldCount; ++i )
        d->values.push_back( i < values.size() ? values[i] : QVariant() );

    includeInExtent( shape );
    mShapes.push_back( std::move( shape ) );
    return recordCount() - 1;
}

void Dataset::stopEditing()
{
    if ( !mWritable )
        throw GisError( "the dataset is not open for editing" );
    registerDrivers();
    QuietGdal quiet;

    const QFileInfo info( mPath );
    const QString base = info.path() + QLatin1Char( '/' ) + info.completeBaseName();
    // The driver does not replace an existing file set cleanly; the caller
    // has asked the user before we get here.
    for ( const char *ext : { ".shp", ".shx", ".dbf", ".prj", ".cpg", ".qix", ".sbn", ".sbx" } )
    {
        const QString file = base + QLatin1String( ext );
        if ( QFileInfo::exists( file ) && !QFile::remove( file ) )
            throw GisError( "cannot replace " + file.toStdString() );
    }

    GDALDriver *driver = GetGDALDriverManager()->GetDriverByName( "ESRI Shapefile" );
    if ( !driver )
        throw GisError( "no shapefile driver" );
    const QByteArray shpPath = QFile::encodeName( base + QStringLiteral( ".shp" ) );
    GdalDatasetPtr ds( driver->Create( shpPath.constData(), 0, 0, 0, GDT_Unknown, nullptr ) );
    if ( !ds )
        throw GisError( "cannot create " + shpPath.toStdString() + ": " + CPLGetLastErrorMsg() );
    const QByteArray layerName = QFile::encodeName( info.completeBaseName() );
    OGRLayer *layer = ds->CreateLayer( layerName.constData(), nullptr, wkbPolygon, nullptr );
    if ( !layer )
        throw GisError( "cannot create layer: " + std::string( CPLGetLastErrorMsg() ) );

    const int fieldCount = static_cast<int>( mFieldNames.size() );
    std::vector<OGRFieldType> types;
    for ( int i = 0; i < fieldCount; ++i )
    {
        types.push_back( ogrFieldType( mFieldTypes[static_cast<size_t>( i )] ) );
        if ( types.back() == OFTInteger64 )
            types.back() = OFTInteger;
        OGRFieldDefn fd( mFieldNames.at( i ).toUtf8().constData(), types.back() );
        fd.SetWidth( d->widths[static_cast<size_t>( i )] );
        fd.SetPrecision( d->precisions[static_cast<size_t>( i )] );
        if ( layer->CreateField( &fd ) != OGRERR_NONE )
            throw GisError( "cannot create field " + mFieldNames.at( i ).toStdString() );
    }

    GEOSContextHandle_t h = geosContext();
    GEOSWKBWriter *writer = GEOSWKBWriter_create_r( h );
    GEOSWKBWriter_setByteOrder_r( h, writer, GEOS_WKB_NDR );
    auto releaseWriter = std::unique_ptr<GEOSWKBWriter, std::function<void( GEOSWKBWriter * )>>(
        writer, [h]( GEOSWKBWriter *w ) { GEOSWKBWriter_destroy_r( h, w ); } );

    for ( qint64 r = 0; r < recordCount(); ++r )
    {
        FeaturePtr feature( OGRFeature::CreateFeature( layer->GetLayerDefn() ) );
        const Geometry &shape = mShapes[static_cast<size_t>( r )];
        if ( !shape.isNull() )
        {
            size_t size = 0;
            unsigned char *wkb = GEOSWKBWriter_write_r( h, writer, shape.get(), &size );
            if ( !wkb )
                throw GisError( "cannot convert record shape: " + lastGeosError() );
            OGRGeometry *g = nullptr;
            const OGRErr err = OGRGeometryFactory::createFromWkb( wkb, nullptr, &g, size );
            GEOSFree_r( h, wkb );
            if ( err != OGRERR_NONE )
                throw GisError( "cannot convert record shape" );
            feature->SetGeometryDirectly( g );
        }
        for ( int i = 0; i < fieldCount; ++i )
            setFieldValue( *feature, i, types[static_cast<size_t>( i )], d->values[static_cast<size_t>( r * fieldCount + i )] );
        if ( layer->CreateFeature( feature.get() ) != OGRERR_NONE )
            throw GisError( "cannot write record " + std::to_string( r ) + ": " + CPLGetLastErrorMsg() );
    }
    CPLErrorReset();
    ds.reset();
    if ( CPLGetLastErrorType() >= CE_Failure )
        throw GisError( "cannot write " + shpPath.toStdString() + ": " + CPLGetLastErrorMsg() );

    if ( mCrs && !mCrs->wkt.isEmpty() )
    {
        QFile prj( base + QStringLiteral( ".prj" ) );
        if ( !prj.open( QIODevice::WriteOnly | QIODevice::Truncate ) || prj.write( mCrs->wkt.toUtf8() ) < 0 )
            throw GisError( "cannot write " + prj.fileName().toStdString() );
    }
    mWritable = false;
}

// --- data connection ---

bool DataConnection::connect()
{
    const QFileInfo info( mDirectory );
    if ( mDirectory.isEmpty() || !info.exists() )
        mError = 1;
    else if ( !info.isDir() )
        mError = 2;
    else if ( !info.isReadable() || !info.isExecutable() )
        mError = 3;
    else
        mError = 0;
    mConnected = mError == 0;
    return mConnected;
}

std::shared_ptr<Dataset> DataConnection::findGeoDataset( const QString &fileName ) const
{
    if ( !mConnected )
        return nullptr;
    const QString path = QDir( mDirectory ).filePath( fileName );
    if ( !QFileInfo( path ).isFile() )
        return nullptr;
    try
    {
        return Dataset::open( path );
    }
    catch ( const GisError & )
    {
        return nullptr;
    }
}

std::shared_ptr<Dataset> DataConnection::addGeoDataset( const QString &name, const TableDesc &desc,
                                                        const std::optional<CoordinateSystem> &crs ) const
{
    if ( !mConnected || name.trimmed().isEmpty() )
        return nullptr;
    const QFileInfo dir( mDirectory );
    if ( !dir.isDir() || !dir.isWritable() )
        return nullptr;
    for ( int i = 0; i < desc.fieldCount(); ++i )
    {
        if ( desc.field( i ).name.trimmed().isEmpty() )
            return nullptr;
    }
    QString file = name;
    if ( !file.endsWith( QLatin1String( ".shp" ), Qt::CaseInsensitive ) )
        file += QStringLiteral( ".shp" );
    return Dataset::createNew( QDir( mDirectory ).filePath( file ), desc, crs );
}

} // namespace gis
