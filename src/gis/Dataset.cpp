#include "Dataset.h"

#include "DriverView.h"
#include "ExpressionFilter.h"
#include "GeometryOps.h"
#include "GisError.h"
#include "ShapeRecords.h"
#include "ShapefileCheck.h"
#include "ShapefileSet.h"
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
#include <cmath>
#include <functional>
#include <mutex>
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

// Silences GDAL's console output on the calling thread for the lifetime of
// the guard and counts the failures GDAL reports meanwhile; the last message
// stays available through CPLGetLastErrorMsg().
class QuietGdal
{
  public:
    QuietGdal()
    {
        CPLPushErrorHandlerEx( count, this );
        CPLErrorReset();
    }
    ~QuietGdal() { CPLPopErrorHandler(); }
    QuietGdal( const QuietGdal & ) = delete;
    QuietGdal &operator=( const QuietGdal & ) = delete;

    qint64 failures() const { return mFailures; }

  private:
    static void CPL_STDCALL count( CPLErr type, CPLErrorNum, const char * )
    {
        auto *self = static_cast<QuietGdal *>( CPLGetErrorHandlerUserData() );
        if ( self && type >= CE_Failure )
            ++self->mFailures;
    }
    qint64 mFailures = 0;
};

void registerDrivers()
{
    static std::once_flag once;
    std::call_once( once, [] { GDALAllRegister(); } );
}

//! Opens \a path with the shapefile driver only: a file of another format named .shp
//! (a virtual data source, say, that leads elsewhere) is not opened at all.
//! \a options are the driver's open options ("ENCODING=...").
GdalDatasetPtr openVector( const QString &path, const QByteArrayList &options = {} )
{
    registerDrivers();
    const QByteArray p = QFile::encodeName( path );
    static const char *const shapefileOnly[] = { "ESRI Shapefile", nullptr };
    std::vector<const char *> optionList;
    for ( const QByteArray &option : options )
        optionList.push_back( option.constData() );
    optionList.push_back( nullptr );
    return GdalDatasetPtr( static_cast<GDALDataset *>(
        GDALOpenEx( p.constData(), GDAL_OF_VECTOR | GDAL_OF_READONLY, shapefileOnly, optionList.data(), nullptr ) ) );
}

//! The part of a name read from UTF-8 before its first byte that is not valid UTF-8.
QString readablePart( const QString &name )
{
    return name.left( name.indexOf( QChar::ReplacementCharacter ) );
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

/**
 * Joins the helper threads of a read however the read ends. Nothing a task
 * throws (running out of memory, say) leaves its thread: the task's result
 * stays as it was before the task, empty, and what it would have read is
 * counted as damage.
 */
struct ThreadJoiner
{
    std::vector<std::thread> threads;

    //! Runs \a task on a new thread, or here when no thread is to be had.
    template <typename Task> void start( Task task )
    {
        auto guarded = [task]() mutable {
            try
            {
                task();
            }
            catch ( ... )
            {
            }
        };
        try
        {
            threads.emplace_back( guarded );
        }
        catch ( ... )
        {
            guarded();
        }
    }

    ~ThreadJoiner()
    {
        for ( std::thread &t : threads )
        {
            if ( t.joinable() )
                t.join();
        }
    }
};

//! Shape kind of the shapefile type code \a type.
ShapeKind shapeKindOfType( int type )
{
    if ( type == 31 ) // multipatch
        return ShapeNone;
    switch ( type % 10 )
    {
        case 1:
        case 8:
            return ShapePoint;
        case 3:
            return ShapeLine;
        case 5:
            return ShapePolygon;
        default:
            return ShapeNone;
    }
}

//! Why the driver could not open the file set of \a path.
ReadDamage whyNotOpened( const QString &path )
{
    ReadDamage damage;
    damage.unopened = ReadDamage::Unopened::CannotOpen;
    damage.part = QFileInfo( path ).fileName();
    if ( shapefile::readDenied( path ) )
    {
        damage.unopened = ReadDamage::Unopened::NotPermitted;
        return damage;
    }
    if ( !shapefile::looksLikeShapefile( path ) )
        return damage;
    const shapefile::IndexHeader header = shapefile::readIndexHeader( path );
    const QString shxPath = shapefile::partPath( path, "shx" );
    if ( shxPath.isEmpty() )
    {
        damage.unopened = ReadDamage::Unopened::MissingIndex;
        damage.part = QFileInfo( path ).completeBaseName() + QStringLiteral( ".shx" );
    }
    else if ( shapefile::readDenied( shxPath ) )
    {
        damage.unopened = ReadDamage::Unopened::NotPermitted;
        damage.part = QFileInfo( shxPath ).fileName();
    }
    else if ( header.entriesClaimed > header.entriesInFile )
    {
        damage.unopened = ReadDamage::Unopened::DamagedIndex;
        damage.part = header.shxName;
    }
    return damage;
}

/**
 * The coordinate system of \a layer, with the .prj text as read. None
 * when there is no .prj, or one that cannot be read, is empty or names no
 * system the driver can read; that is damage.
 */
std::optional<CoordinateSystem> coordinateSystemOf( OGRLayer &layer, const QString &path, ReadDamage &damage )
{
    const OGRSpatialReference *srs = nullptr;
    {
        QuietGdal quiet;
        srs = layer.GetSpatialRef();
    }
    const QString prjPath = shapefile::partPath( path, "prj" );
    QFile prj( prjPath );
    const QByteArray text = !prjPath.isEmpty() && prj.open( QIODevice::ReadOnly ) ? prj.readAll() : QByteArray();
    if ( !srs )
    {
        damage.crsUnreadable = !prjPath.isEmpty();
        return std::nullopt;
    }
    CoordinateSystem crs;
    if ( srs->IsGeographic() )
    {
        crs.unitName = QStringLiteral( "degree" );
    }
    else
    {
        const char *unit = nullptr;
        const double length = srs->GetLinearUnits( &unit );
        crs.unitName = unitNameOf( unit );
        crs.metresPerUnit = length > 0 && std::isfinite( length ) ? length : 0;
    }
    crs.isProjected = srs->IsProjected();
    OGRErr err = OGRERR_NONE;
    crs.semiMajorAxis = srs->GetSemiMajor( &err );
    const double inverse = srs->GetInvFlattening( &err );
    crs.flattening = inverse != 0 ? 1.0 / inverse : 0.0;
    crs.wkt = QString::fromUtf8( text );
    if ( crs.wkt.isEmpty() )
    {
        char *wkt = nullptr;
        if ( srs->exportToWkt( &wkt ) == OGRERR_NONE && wkt )
            crs.wkt = QString::fromUtf8( wkt );
        CPLFree( wkt );
    }
    return crs;
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

    ReadDamage damage;

    ~Private()
    {
        if ( tree )
            GEOSSTRtree_destroy_r( geosContext(), tree );
    }
};

Dataset::~Dataset() = default;

const ReadDamage &Dataset::damage() const
{
    return d->damage;
}

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
    ReadDamage damage;
    if ( !shapefile::mayOpen( path, damage ) )
        throw UnreadableDataset( path, damage );

    std::shared_ptr<Dataset> throughIndex;
    std::optional<UnreadableDataset> refused;
    try
    {
        throughIndex = read( path, damage, {} );
    }
    catch ( const UnreadableDataset &e )
    {
        refused = e;
    }
    // An index the driver refuses, or whose entries leave records unread,
    // need not cost them: when the .shp can be walked record by record,
    // they are read in its order. A missing index, or one that may not be
    // read, is reported as it is.
    using Unopened = ReadDamage::Unopened;
    const auto lossOf = []( const ReadDamage &d ) { return d.recordsLost + d.shapesUnread; };
    const bool indexRefused = refused && ( refused->damage().unopened == Unopened::DamagedIndex
                                           || refused->damage().unopened == Unopened::CannotOpen );
    if ( indexRefused || ( throughIndex && lossOf( throughIndex->damage() ) > 0 ) )
    {
        const QByteArray index = shapefile::partPath( path, "shx" ).isEmpty() ? QByteArray() : shapefile::rebuildIndex( path );
        const qint64 walked = index.isEmpty() ? 0 : shapefile::readIndexHeader( path, index ).entriesInFile;
        // Read again only when the walk finds records the index did not lead to.
        const qint64 readThroughIndex = throughIndex ? throughIndex->recordCount() - throughIndex->damage().shapesUnread : 0;
        std::shared_ptr<Dataset> walkedThrough;
        if ( !index.isEmpty() && ( indexRefused || readThroughIndex < walked ) )
        {
            try
            {
                walkedThrough = read( path, damage, index );
            }
            catch ( const UnreadableDataset & )
            {
            }
        }
        if ( walkedThrough && ( !throughIndex || lossOf( walkedThrough->damage() ) < lossOf( throughIndex->damage() ) ) )
        {
            ReadDamage &rebuilt = walkedThrough->d->damage;
            rebuilt.indexRebuilt = true;
            rebuilt.part = QFileInfo( shapefile::partPath( path, "shx" ) ).fileName();
            rebuilt.damagedParts.removeAll( rebuilt.part );
            return walkedThrough;
        }
    }
    if ( refused )
        throw *refused;
    return throughIndex;
}

std::shared_ptr<Dataset> Dataset::read( const QString &path, ReadDamage damage, const QByteArray &index )
{
    // Entries beyond those whose records fit in the .shp lead to no shape,
    // and rows of NUL bytes hold no value: an index that holds more entries
    // than either can use is handed to the driver cut short.
    shapefile::TableLayout table = shapefile::readTableLayout( path );
    const shapefile::IndexHeader header = shapefile::readIndexHeader( path, index );
    const qint64 shpSize = QFileInfo( shapefile::partPath( path, "shp" ) ).size();
    const qint64 recordsThatFit = std::max<qint64>( 0, ( shpSize - 100 ) / 12 ) + 1;
    const qint64 indexHeld = std::min( header.entriesClaimed, header.entriesInFile );
    const qint64 entriesOfUse = indexHeld > recordsThatFit ? std::max( recordsThatFit, shapefile::rowsWithData( table ) ) : indexHeld;
    std::optional<DriverView> view;
    if ( !index.isEmpty() )
        view.emplace( path, index );
    else if ( indexHeld > entriesOfUse )
        view.emplace( path, entriesOfUse );
    const shapefile::DeclaredEncoding encoding = shapefile::declaredEncoding( path );
    if ( encoding.wide )
        damage.encodingNotApplied = encoding.cpg;
    GdalDatasetPtr ds;
    {
        QuietGdal quiet;
        ds = openVector( view ? view->path() : path,
                         encoding.overridden ? QByteArrayList { "ENCODING=" + encoding.encoding } : QByteArrayList {} );
    }
    OGRLayer *layer = ds && ds->GetLayerCount() > 0 ? ds->GetLayer( 0 ) : nullptr;
    if ( !layer )
        throw UnreadableDataset( path, whyNotOpened( path ) );

    std::shared_ptr<Dataset> result( new Dataset );
    result->d = std::make_unique<Private>();
    Dataset &self = *result;
    Private &p = *self.d;
    self.mPath = path;

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

    self.mCrs = coordinateSystemOf( *layer, path, damage );

    // The shapes are read from the .shp through its index by our own
    // readers, which check every record: the driver turns many kinds of
    // damage into null shapes, other records' shapes or fewer records
    // without a word. The driver reads the attributes meanwhile, in this
    // thread: its handle is the only one that holds the index.
    // A name the driver gives as bytes that are not UTF-8 was not written in
    // the table's encoding: the field's description is damaged.
    for ( size_t i = 0; i < table.fields.size() && i < types.size(); ++i )
    {
        table.fields[i].integer = types[i] == OFTInteger || types[i] == OFTInteger64;
        table.fields[i].nameDamaged = table.fields[i].nameDamaged
                                      || !QByteArrayView( defn->GetFieldDefn( static_cast<int>( i ) )->GetNameRef() ).isValidUtf8();
    }
    const bool hasTable = table.present() && !types.empty();
    // The entries the driver holds, and those the index holds (the same unless it was cut short).
    const qint64 driverEntries = layer->GetFeatureCount( FALSE );
    const qint64 indexEntries = view ? indexHeld : driverEntries;
    const qint64 entries = std::max<qint64>(
        0, std::min( { driverEntries, header.entriesInFile, std::max( table.rowsAvailable(), recordsThatFit ) } ) );

    // Readers, as many as the size of the .shp is worth, each over its own
    // run of entries; the runs are joined in file order.
    constexpr qint64 kShpBytesPerReader = 2 << 20;
    const qint64 hardware = std::max( 1u, std::thread::hardware_concurrency() );
    const qint64 readers = std::clamp<qint64>( shpSize / kShpBytesPerReader, 1, std::min<qint64>( hardware, 8 ) );
    const qint64 step = ( entries + readers - 1 ) / readers;
    std::vector<shapefile::RecordRun> runs( static_cast<size_t>( readers ) );
    std::vector<char> runFailed( static_cast<size_t>( readers ) );
    shapefile::TableScan tableScan;
    // The table is checked as far as the index reaches: rows beyond it are
    // records without a shape, counted as lost without being read.
    const qint64 rowsToCheck = hasTable ? std::min( table.rowsAvailable(), driverEntries ) : 0;
    // Fields whose description cannot be read lose their values: they are
    // counted by field, not by record.
    std::vector<char> fieldUnread( types.size() );
    for ( size_t i = 0; i < table.fields.size() && i < types.size(); ++i )
        fieldUnread[i] = !table.fields[i].readable();
    std::vector<qint64> fids;
    std::vector<char> valuesFailed; // per record read: the driver could not read all its values
    {
        ThreadJoiner helpers;
        for ( qint64 r = 0; r < readers; ++r )
        {
            // A run that fails stays empty: its records count as shapes that could not be read.
            helpers.start( [&, r] {
                runFailed[static_cast<size_t>( r )] = true;
                QuietGdal quiet; // OGR's ring organisation may warn
                const qint64 first = std::min( entries, r * step );
                runs[static_cast<size_t>( r )] = shapefile::readRecords( path, first, std::min( entries, first + step ), index );
                runFailed[static_cast<size_t>( r )] = false;
            } );
        }
        // A check that fails leaves every row unchecked: their values count as unreadable.
        helpers.start( [&] { tableScan = shapefile::scanTable( table, rowsToCheck ); } );

        QuietGdal quiet;
        const char *geometryIgnored[] = { "OGR_GEOMETRY", nullptr };
        layer->SetIgnoredFields( geometryIgnored );
        // The driver stops at the end of the table; without one nothing
        // beyond the entries read can be a record.
        const qint64 readLimit = hasTable ? driverEntries : entries;
        const size_t fieldCount = types.size();
        const size_t expected = static_cast<size_t>( std::min( readLimit, hasTable ? table.rowsAvailable() : entries ) );
        // A table that declares its encoding (by its .cpg or its code page
        // byte) gives text as UTF-8, recoded or as it is; text that is not
        // valid UTF-8 then was not written in the declared encoding, or the
        // encoding is unknown: it is kept as read, but counted.
        const auto given = []( const char *item ) { return item && *item; };
        const bool textDeclared = encoding.overridden ? !encoding.encoding.isEmpty()
                                                      : given( layer->GetMetadataItem( "CPG_VALUE", "SHAPEFILE" ) )
                                                            || given( layer->GetMetadataItem( "ENCODING_FROM_LDID", "SHAPEFILE" ) );
        fids.reserve( expected );
        valuesFailed.reserve( expected );
        p.values.reserve( expected * fieldCount );
        layer->ResetReading();
        while ( true )
        {
            const qint64 failuresBefore = quiet.failures();
            FeaturePtr f( layer->GetNextFeature() );
            if ( !f || f->GetFID() >= readLimit )
                break;
            fids.push_back( f->GetFID() );
            bool unreadable = quiet.failures() != failuresBefore;
            for ( size_t i = 0; i < fieldCount; ++i )
            {
                p.values.push_back( valueOf( *f, static_cast<int>( i ), types[i] ) );
                if ( textDeclared && types[i] == OFTString && !fieldUnread[i] && f->IsFieldSetAndNotNull( static_cast<int>( i ) ) )
                    unreadable = unreadable || !QByteArrayView( f->GetFieldAsString( static_cast<int>( i ) ) ).isValidUtf8();
            }
            valuesFailed.push_back( unreadable );
        }
    }
    const OGRwkbGeometryType driverType = layer->GetGeomType();
    ds.reset();

    shapefile::RecordScan scan = shapefile::combineRuns( header, std::move( runs ) );
    qint64 readEnd = scan.readableEnd; // the entries of a run that failed are records all the same
    for ( qint64 r = 0; r < readers; ++r )
    {
        if ( runFailed[static_cast<size_t>( r )] )
            readEnd = std::max( readEnd, std::min( entries, ( r + 1 ) * step ) );
    }
    const qint64 records = hasTable ? std::max( { readEnd, table.rowsAvailable(), std::min( table.rowsClaimed, indexEntries ) } )
                                    : readEnd;
    damage.records = records;
    damage.tableUnread = !hasTable && ( !table.present() || !table.headerRead || !table.fields.empty() );
    damage.damagedParts = scan.damagedParts;
    if ( table.headerRead && !table.consistent )
        damage.damagedParts << QFileInfo( table.path ).fileName();
    if ( header.entriesClaimed != header.entriesInFile || indexEntries > records )
    {
        if ( !damage.damagedParts.contains( header.shxName ) )
            damage.damagedParts << header.shxName;
    }
    self.mShapeKind = scan.fileType != 0 ? shapeKindOfType( scan.fileType ) : shapeKindOf( driverType );

    // Without a table the records end with the last readable entry. A
    // record of which neither the shape nor a value of its row can be read
    // is lost, not kept empty.
    const size_t fieldCount = types.size();
    size_t loaded = 0;
    for ( size_t k = 0; k < fids.size() && fids[k] < records; ++k )
    {
        if ( !scan.readable( fids[k] ) && tableScan.isRowUnreadable( fids[k], table.fields.size() ) )
            continue;
        if ( loaded != k )
        {
            const auto valuesOf = [&p, fieldCount]( size_t record ) {
                return p.values.begin() + static_cast<std::ptrdiff_t>( record * fieldCount );
            };
            fids[loaded] = fids[k];
            valuesFailed[loaded] = valuesFailed[k];
            std::move( valuesOf( k ), valuesOf( k + 1 ), valuesOf( loaded ) );
        }
        ++loaded;
    }
    fids.resize( loaded );
    p.values.resize( loaded * fieldCount );
    self.mShapes.reserve( loaded );
    for ( size_t k = 0; k < loaded; ++k )
    {
        // A record the index does not lead to soundly may hold another
        // record's shape or none: it keeps its attributes only.
        const qint64 fid = fids[k];
        if ( !scan.readable( fid ) )
        {
            self.mShapes.emplace_back();
            ++damage.shapesUnread;
            continue;
        }
        self.mShapes.push_back( scan.takeShape( fid ) );
        switch ( scan.leftOut( fid ) )
        {
            case shapefile::LeftOut::Undrawable:
                ++damage.shapesUndrawable;
                break;
            case shapefile::LeftOut::TooSmall:
                ++damage.shapesTooSmall;
                break;
            case shapefile::LeftOut::OutsideBox:
                ++damage.shapesOutsideBox;
                break;
            case shapefile::LeftOut::PartsTooSmall:
                ++damage.shapesPartTooSmall;
                break;
            default:
                break;
        }
    }
    scan.runs.clear();

    // Values that cannot be read as their field's type are null rather
    // than whatever the driver made of them; so are those of rows the check
    // did not reach.
    const size_t checkedFields = std::min( fieldCount, table.fields.size() );
    std::vector<qint64> fieldLosses( fieldCount, 0 );
    for ( size_t k = 0; k < loaded; ++k )
    {
        const qint64 row = fids[k];
        const bool unchecked = row >= tableScan.rowsChecked;
        bool damaged = valuesFailed[k];
        for ( size_t i = 0; i < fieldCount; ++i )
        {
            if ( !unchecked && ( i >= checkedFields || !tableScan.isUnreadable( row, i, table.fields.size() ) ) )
                continue;
            p.values[k * fieldCount + i] = QVariant();
            if ( fieldUnread[i] )
                ++fieldLosses[i];
            else
                damaged = true;
        }
        if ( damaged )
            ++damage.attributesUnread;
    }
    for ( size_t i = 0; i < fieldCount; ++i )
    {
        if ( fieldUnread[i] )
            damage.fieldsUnread.push_back( { static_cast<int>( i ), readablePart( self.mFieldNames.at( static_cast<qsizetype>( i ) ) ),
                                             fieldLosses[i] } );
    }
    const auto recordOf = [&fids]( qint64 fid ) -> qint64 {
        const auto it = std::lower_bound( fids.begin(), fids.end(), fid );
        return it != fids.end() && *it == fid ? it - fids.begin() : -1;
    };
    for ( qint64 row : tableScan.deletedRows )
    {
        if ( row < records && recordOf( row ) < 0 )
            ++damage.recordsDeleted;
    }
    damage.recordsLost = std::max<qint64>( 0, records - static_cast<qint64>( loaded ) - damage.recordsDeleted );

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

    if ( self.mCrs && self.mCrs->unitName == QLatin1String( "degree" ) && self.mHasShapes )
    {
        const Rect &e = self.mExtent;
        damage.geographicOutOfRange = e.left < -180 || e.right > 180 || e.bottom < -90 || e.top > 90;
    }
    p.damage = damage;
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
    const QString target = info.path() + QLatin1Char( '/' ) + info.completeBaseName();
    // The set is written beside the target under another name and moved into
    // place only when complete: a failure leaves an existing set of that name
    // as it was, and no partial files.
    const QString base = shapefileset::temporaryBase( target );
    struct PartialSet
    {
        const QString &base;
        ~PartialSet() { shapefileset::removeSet( base ); }
    } partial { base }; // declared before the dataset, so the file is closed first

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
        shapefileset::recordWritten( r + 1 );
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
    shapefileset::replaceSet( base, mPath );
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

std::shared_ptr<Dataset> DataConnection::findGeoDataset( const QString &fileName, ReadDamage *unopened ) const
{
    ReadDamage why;
    why.unopened = ReadDamage::Unopened::CannotOpen;
    why.part = fileName;
    std::shared_ptr<Dataset> found;
    if ( mConnected )
    {
        try
        {
            found = Dataset::open( QDir( mDirectory ).filePath( fileName ) );
        }
        catch ( const UnreadableDataset &e )
        {
            why = e.damage();
        }
        catch ( const GisError & )
        {
        }
    }
    if ( !found && unopened )
        *unopened = why;
    return found;
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
