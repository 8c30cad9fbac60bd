#include "TestSupport.h"

#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <QDate>
#include <QDir>
#include <QFileInfo>

#include <stdexcept>

namespace testsupport
{

void writeShapefile( const QString &dir, const QString &fileName, const QStringList &wkts,
                     const std::vector<FieldSpec> &fields, const std::vector<std::vector<QVariant>> &rows,
                     const QString &srs )
{
    GDALAllRegister();
    QDir().mkpath( dir );
    const QString path = QDir( dir ).filePath( fileName );
    GDALDriver *driver = GetGDALDriverManager()->GetDriverByName( "ESRI Shapefile" );
    if ( !driver )
        throw std::runtime_error( "no shapefile driver" );
    GDALDataset *ds = driver->Create( path.toUtf8().constData(), 0, 0, 0, GDT_Unknown, nullptr );
    if ( !ds )
        throw std::runtime_error( "cannot create " + path.toStdString() );

    OGRwkbGeometryType type = wkbUnknown;
    std::vector<OGRGeometry *> geoms;
    for ( const QString &wkt : wkts )
    {
        OGRGeometry *g = nullptr;
        const QByteArray bytes = wkt.toUtf8();
        if ( OGRGeometryFactory::createFromWkt( bytes.constData(), nullptr, &g ) != OGRERR_NONE )
            throw std::runtime_error( "bad WKT " + wkt.toStdString() );
        if ( type == wkbUnknown )
        {
            type = wkbFlatten( g->getGeometryType() ) == wkbMultiPolygon ? wkbPolygon
                   : wkbFlatten( g->getGeometryType() ) == wkbMultiLineString ? wkbLineString
                                                                               : wkbFlatten( g->getGeometryType() );
            if ( g->Is3D() )
                type = OGR_GT_SetZ( type );
            if ( g->IsMeasured() )
                type = OGR_GT_SetM( type );
        }
        geoms.push_back( g );
    }
    if ( type == wkbUnknown )
        type = wkbPolygon;

    OGRSpatialReference sr;
    OGRSpatialReference *srp = nullptr;
    if ( !srs.isEmpty() )
    {
        if ( sr.SetFromUserInput( srs.toUtf8().constData() ) != OGRERR_NONE )
            throw std::runtime_error( "bad srs" );
        sr.SetAxisMappingStrategy( OAMS_TRADITIONAL_GIS_ORDER );
        srp = &sr;
    }
    const QByteArray layerName = QFileInfo( fileName ).completeBaseName().toUtf8();
    OGRLayer *layer = ds->CreateLayer( layerName.constData(), srp, type, nullptr );
    if ( !layer )
        throw std::runtime_error( "cannot create layer" );
    for ( const FieldSpec &f : fields )
    {
        static const OGRFieldType kTypes[] { OFTInteger, OFTReal, OFTString, OFTDate };
        OGRFieldDefn defn( f.name.toUtf8().constData(), kTypes[f.type] );
        if ( f.width > 0 )
            defn.SetWidth( f.width );
        if ( f.precision > 0 )
            defn.SetPrecision( f.precision );
        if ( layer->CreateField( &defn ) != OGRERR_NONE )
            throw std::runtime_error( "cannot create field" );
    }
    for ( size_t i = 0; i < geoms.size(); ++i )
    {
        OGRFeature *feat = OGRFeature::CreateFeature( layer->GetLayerDefn() );
        feat->SetGeometryDirectly( geoms[i] );
        if ( i < rows.size() )
        {
            for ( size_t f = 0; f < fields.size() && f < rows[i].size(); ++f )
            {
                const QVariant &v = rows[i][f];
                if ( v.isNull() )
                    feat->SetFieldNull( static_cast<int>( f ) );
                else if ( fields[f].type == FieldSpec::String )
                    feat->SetField( static_cast<int>( f ), v.toString().toUtf8().constData() );
                else if ( fields[f].type == FieldSpec::Date )
                    feat->SetField( static_cast<int>( f ), v.toDate().year(), v.toDate().month(), v.toDate().day() );
                else if ( fields[f].type == FieldSpec::Integer )
                    feat->SetField( static_cast<int>( f ), static_cast<GIntBig>( v.toLongLong() ) );
                else
                    feat->SetField( static_cast<int>( f ), v.toDouble() );
            }
        }
        if ( layer->CreateFeature( feat ) != OGRERR_NONE )
        {
            OGRFeature::DestroyFeature( feat );
            throw std::runtime_error( "cannot write feature" );
        }
        OGRFeature::DestroyFeature( feat );
    }
    GDALClose( ds );
}

} // namespace testsupport
