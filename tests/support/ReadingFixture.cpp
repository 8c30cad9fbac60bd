#include "TestSupport.h"

#include "gis/Dataset.h"
#include "gis/MapWidget.h"
#include "gis/ShapeConverter.h"
#include "legend/LegendControl.h"

#include <ogrsf_frmts.h>

#include <QDate>
#include <QFile>

#include <algorithm>
#include <cmath>

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

QString differenceFromDriver( const QString &path, const gis::Dataset &dataset, double tolerance )
{
    GDALDatasetUniquePtr driver( GDALDataset::Open( QFile::encodeName( path ).constData(), GDAL_OF_VECTOR | GDAL_OF_READONLY ) );
    if ( !driver )
        return QStringLiteral( "the driver cannot open it" );
    OGRLayer *layer = driver->GetLayer( 0 );
    const int fields = layer->GetLayerDefn()->GetFieldCount();
    if ( fields != dataset.fieldNames().size() )
        return QStringLiteral( "%1 fields instead of %2" ).arg( dataset.fieldNames().size() ).arg( fields );
    gis::ShapeConverter converter;
    GEOSContextHandle_t h = gis::geosContext();
    qint64 record = 0;
    for ( auto &f : *layer )
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
                                    && GEOSEqualsExact_r( h, read.get(), expected.get(), tolerance ) == 1 ) );
        if ( !same )
            return QStringLiteral( "record %1: %2 instead of %3" )
                .arg( record )
                .arg( QString::fromStdString( read.toWkt() ), QString::fromStdString( expected.toWkt() ) );
        for ( int i = 0; i < fields; ++i )
        {
            const QVariant value = dataset.value( record, i );
            const bool set = f->IsFieldSetAndNotNull( i );
            bool equal = value.isNull() == !set;
            if ( equal && set )
            {
                switch ( f->GetFieldDefnRef( i )->GetType() )
                {
                    case OFTReal:
                        equal = std::abs( value.toDouble() - f->GetFieldAsDouble( i ) ) <= tolerance * std::max( 1.0, std::abs( value.toDouble() ) );
                        break;
                    case OFTInteger:
                    case OFTInteger64:
                        equal = value.toLongLong() == f->GetFieldAsInteger64( i );
                        break;
                    case OFTDate:
                    case OFTDateTime:
                        equal = value.toDate().toString( Qt::ISODate ).remove( '-' ) == QString::fromLatin1( f->GetFieldAsString( i ) ).left( 10 ).remove( '/' ).remove( '-' );
                        break;
                    default:
                        equal = value.toString() == QString::fromUtf8( f->GetFieldAsString( i ) );
                }
            }
            if ( !equal )
                return QStringLiteral( "record %1, field %2: %3 instead of %4" )
                    .arg( record )
                    .arg( i )
                    .arg( value.toString(), QString::fromUtf8( f->GetFieldAsString( i ) ) );
        }
        ++record;
    }
    if ( record != dataset.recordCount() )
        return QStringLiteral( "%1 records instead of %2" ).arg( dataset.recordCount() ).arg( record );
    return QString();
}

} // namespace testsupport
