#include "ShapefileSink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace sampledata
{

namespace
{
void removeFileSet( const QString &shpPath )
{
    const QFileInfo info( shpPath );
    const QString stem = info.dir().filePath( info.completeBaseName() );
    for ( const char *ext : { ".shp", ".shx", ".dbf", ".prj", ".cpg", ".qix", ".sbn", ".sbx" } )
        QFile::remove( stem + QLatin1String( ext ) );
}

[[noreturn]] void fail( const QString &path, const char *what )
{
    throw std::runtime_error( QStringLiteral( "%1: %2 (%3)" ).arg( path, QLatin1String( what ), QString::fromUtf8( CPLGetLastErrorMsg() ) ).toStdString() );
}
} // namespace

ShapefileSink::ShapefileSink( const QString &directory, const QString &fileName, OGRwkbGeometryType type,
                              const OGRSpatialReference &srs, const std::vector<FieldSpec> &fields )
    : mPath( QDir( directory ).filePath( fileName ) )
{
    GDALDriver *driver = GetGDALDriverManager()->GetDriverByName( "ESRI Shapefile" );
    if ( !driver )
        fail( mPath, "no shapefile driver" );
    removeFileSet( mPath );
    mDataset = driver->Create( mPath.toUtf8().constData(), 0, 0, 0, GDT_Unknown, nullptr );
    if ( !mDataset )
        fail( mPath, "cannot create" );

    const char *options[] = { "DBF_DATE_LAST_UPDATE=2024-01-01", "ENCODING=UTF-8", nullptr };
    OGRSpatialReference layerSrs( srs );
    mLayer = mDataset->CreateLayer( QFileInfo( fileName ).completeBaseName().toUtf8().constData(), &layerSrs, type,
                                    const_cast<char **>( options ) );
    if ( !mLayer )
        fail( mPath, "cannot create the layer" );

    OGRFieldDefn featureId( "FeatureID", OFTInteger );
    featureId.SetWidth( 9 );
    if ( mLayer->CreateField( &featureId ) != OGRERR_NONE )
        fail( mPath, "cannot create FeatureID" );
    for ( const FieldSpec &fieldSpec : fields )
    {
        OGRFieldDefn field( fieldSpec.name, fieldSpec.type );
        field.SetWidth( fieldSpec.width );
        field.SetPrecision( fieldSpec.precision );
        if ( mLayer->CreateField( &field ) != OGRERR_NONE )
            fail( mPath, fieldSpec.name );
    }
    mFeature.reset( OGRFeature::CreateFeature( mLayer->GetLayerDefn() ) );
}

ShapefileSink::~ShapefileSink()
{
    mFeature.reset();
    if ( mDataset )
        GDALClose( mDataset );
}

void ShapefileSink::write( std::unique_ptr<OGRGeometry> shape )
{
    mFeature->SetFID( OGRNullFID );
    mFeature->SetField( 0, static_cast<int>( mCount ) );
    mFeature->SetGeometryDirectly( shape.release() );
    if ( mLayer->CreateFeature( mFeature.get() ) != OGRERR_NONE )
        fail( mPath, "cannot write a record" );
    ++mCount;
}

void ShapefileSink::close()
{
    mFeature.reset();
    if ( !mDataset )
        return;
    CPLErrorReset();
    GDALClose( mDataset );
    mDataset = nullptr;
    if ( CPLGetLastErrorType() >= CE_Failure )
        fail( mPath, "cannot close" );
}

} // namespace sampledata
