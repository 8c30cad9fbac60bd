#include "TestSupport.h"

#include "gis/Dataset.h"
#include "gis/MapWidget.h"
#include "gis/ShapeConverter.h"
#include "legend/LegendControl.h"

#include <ogrsf_frmts.h>

#include <QFile>

namespace testsupport
{

void makeLoadTarget( std::unique_ptr<gis::MapWidget> &map, std::unique_ptr<LegendControl> &legend )
{
    map = std::make_unique<gis::MapWidget>();
    map->resize( 400, 300 );
    legend = std::make_unique<LegendControl>();
    legend->setMapSource( map.get() );
    legend->loadLegend( true );
}

QString differenceFromDriver( const QString &path, const gis::Dataset &dataset )
{
    GDALDatasetUniquePtr driver( GDALDataset::Open( QFile::encodeName( path ).constData(), GDAL_OF_VECTOR | GDAL_OF_READONLY ) );
    if ( !driver )
        return QStringLiteral( "the driver cannot open it" );
    gis::ShapeConverter converter;
    GEOSContextHandle_t h = gis::geosContext();
    qint64 record = 0;
    for ( auto &f : *driver->GetLayer( 0 ) )
    {
        gis::Geometry expected = converter.convert( f->GetGeometryRef() );
        if ( expected.isEmpty() )
            expected = gis::Geometry();
        expected = gis::validated( std::move( expected ) );
        if ( record >= dataset.recordCount() )
            return QStringLiteral( "record %1 missing" ).arg( record );
        const gis::Geometry &read = dataset.shape( record );
        const bool same = read.isNull() == expected.isNull()
                          && ( read.isNull()
                               || ( GEOSGeomTypeId_r( h, read.get() ) == GEOSGeomTypeId_r( h, expected.get() )
                                    && GEOSEqualsExact_r( h, read.get(), expected.get(), 0 ) == 1 ) );
        if ( !same )
            return QStringLiteral( "record %1: %2 instead of %3" )
                .arg( record )
                .arg( QString::fromStdString( read.toWkt() ), QString::fromStdString( expected.toWkt() ) );
        ++record;
    }
    if ( record != dataset.recordCount() )
        return QStringLiteral( "%1 records instead of %2" ).arg( dataset.recordCount() ).arg( record );
    return QString();
}

} // namespace testsupport
