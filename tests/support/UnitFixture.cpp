#include "TestSupport.h"

#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <stdexcept>

namespace testsupport
{

namespace
{
void divideCoordinates( OGRGeometry *g, double divisor )
{
    if ( !g )
        return;
    if ( OGRPoint *p = dynamic_cast<OGRPoint *>( g ) )
    {
        if ( !p->IsEmpty() )
        {
            p->setX( p->getX() / divisor );
            p->setY( p->getY() / divisor );
        }
    }
    else if ( OGRSimpleCurve *c = dynamic_cast<OGRSimpleCurve *>( g ) )
    {
        for ( int i = 0; i < c->getNumPoints(); ++i )
            c->setPoint( i, c->getX( i ) / divisor, c->getY( i ) / divisor );
    }
    else if ( OGRCurvePolygon *polygon = dynamic_cast<OGRCurvePolygon *>( g ) )
    {
        divideCoordinates( polygon->getExteriorRingCurve(), divisor );
        for ( int i = 0; i < polygon->getNumInteriorRings(); ++i )
            divideCoordinates( polygon->getInteriorRingCurve( i ), divisor );
    }
    else if ( OGRGeometryCollection *parts = dynamic_cast<OGRGeometryCollection *>( g ) )
    {
        for ( int i = 0; i < parts->getNumGeometries(); ++i )
            divideCoordinates( parts->getGeometryRef( i ), divisor );
    }
    else
    {
        throw std::runtime_error( "a geometry type the copy does not know" );
    }
}
} // namespace

void writeInUnit( const QString &fromDir, const QString &toDir, const QString &srs, double metresPerUnit )
{
    GDALAllRegister();
    QDir().mkpath( toDir );
    OGRSpatialReference sr;
    if ( sr.SetFromUserInput( srs.toUtf8().constData() ) != OGRERR_NONE )
        throw std::runtime_error( "bad srs" );
    sr.SetAxisMappingStrategy( OAMS_TRADITIONAL_GIS_ORDER );
    GDALDriver *driver = GetGDALDriverManager()->GetDriverByName( "ESRI Shapefile" );
    if ( !driver )
        throw std::runtime_error( "no shapefile driver" );

    for ( const QFileInfo &file : QDir( fromDir ).entryInfoList( { QStringLiteral( "*.shp" ) }, QDir::Files, QDir::Name ) )
    {
        GDALDatasetUniquePtr from( GDALDataset::Open( file.filePath().toUtf8().constData(), GDAL_OF_VECTOR | GDAL_OF_READONLY ) );
        if ( !from || from->GetLayerCount() != 1 )
            throw std::runtime_error( "cannot read " + file.filePath().toStdString() );
        OGRLayer *in = from->GetLayer( 0 );
        const QString path = QDir( toDir ).filePath( file.fileName() );
        GDALDatasetUniquePtr to( driver->Create( path.toUtf8().constData(), 0, 0, 0, GDT_Unknown, nullptr ) );
        if ( !to )
            throw std::runtime_error( "cannot create " + path.toStdString() );
        const char *options[] = { "ENCODING=UTF-8", nullptr };
        OGRLayer *out = to->CreateLayer( in->GetName(), &sr, in->GetGeomType(), const_cast<char **>( options ) );
        if ( !out )
            throw std::runtime_error( "cannot create layer" );
        OGRFeatureDefn *defn = in->GetLayerDefn();
        for ( int i = 0; i < defn->GetFieldCount(); ++i )
        {
            if ( out->CreateField( defn->GetFieldDefn( i ) ) != OGRERR_NONE )
                throw std::runtime_error( "cannot create field" );
        }
        for ( auto &feature : *in )
        {
            OGRFeatureUniquePtr copy( OGRFeature::CreateFeature( out->GetLayerDefn() ) );
            copy->SetFrom( feature.get(), TRUE );
            divideCoordinates( copy->GetGeometryRef(), metresPerUnit );
            if ( out->CreateFeature( copy.get() ) != OGRERR_NONE )
                throw std::runtime_error( "cannot write a feature" );
        }
    }
}

bool writeSampleDataSet( const QString &dir )
{
    const QString generator = qEnvironmentVariable( "OSTRAPEL_SAMPLEDATA" );
    if ( generator.isEmpty() )
        return false;
    QProcess process;
    process.start( generator, { dir } );
    return process.waitForFinished( 120000 ) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace testsupport
