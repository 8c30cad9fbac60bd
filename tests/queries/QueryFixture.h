#pragma once

#include "TestSupport.h"

#include "common/Constants.h"
#include "gis/Dataset.h"
#include "gis/Layer.h"
#include "gis/MapWidget.h"
#include "queries/QueryCallbacks.h"
#include "workspace/md_functions.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

/**
 * A main map with fixture layers for the query tests: every added layer is
 * tagged with its file name, styled like a loaded layer and entered in the
 * layer index.
 */
class QueryFixture
{
  public:
    QueryFixture() { md_functions::cLayerIndex.clear(); }
    ~QueryFixture() { md_functions::cLayerIndex.clear(); }

    //! A square of \a side metres with its lower left corner at (x, y).
    static QString square( double x, double y, double side )
    {
        return QStringLiteral( "POLYGON ((%1 %2, %3 %2, %3 %4, %1 %4, %1 %2))" )
            .arg( x, 0, 'f', 3 )
            .arg( y, 0, 'f', 3 )
            .arg( x + side, 0, 'f', 3 )
            .arg( y + side, 0, 'f', 3 );
    }

    //! Writes \a fileName and puts it on the map at index 0 (tag \a tag when given).
    gis::LayerPtr addLayer( const QString &fileName, const QStringList &wkts,
                            const std::vector<testsupport::FieldSpec> &fields = {},
                            const std::vector<std::vector<QVariant>> &rows = {}, const QString &tag = {},
                            bool style = true )
    {
        testsupport::writeShapefile( mDir.path(), fileName, wkts, fields, rows, testsupport::kUtm );
        auto layer = std::make_shared<gis::Layer>( gis::Dataset::open( mDir.filePath( fileName ) ) );
        layer->tag = tag.isEmpty() ? fileName : tag;
        if ( style )
            md_functions::SetLayerProperties( *layer, fileName, QString() );
        map.addLayer( layer );
        rebuildIndex();
        return layer;
    }

    //! Wind polygons, one 1 km square per value, with FeatureID 0, 1, 2 ...
    gis::LayerPtr addWind( const std::vector<QVariant> &values, const QString &tag = {} )
    {
        QStringList wkts;
        std::vector<std::vector<QVariant>> rows;
        for ( size_t i = 0; i < values.size(); ++i )
        {
            wkts << square( 1000.0 * static_cast<double>( i ), 0, 1000 );
            rows.push_back( { QVariant( static_cast<int>( i ) ), values[i] } );
        }
        return addLayer( QStringLiteral( "20_wind.shp" ), wkts,
                         { { QStringLiteral( "FeatureID" ), testsupport::FieldSpec::Integer },
                           { QStringLiteral( "WINDPWRD" ), testsupport::FieldSpec::Real, 12, 3 } },
                         rows, tag );
    }

    //! A line layer that only has to exist.
    gis::LayerPtr addLines( const QString &fileName )
    {
        return addLayer( fileName, { QStringLiteral( "LINESTRING (0 0, 100 100)" ) },
                         { { QStringLiteral( "FeatureID" ), testsupport::FieldSpec::Integer } }, { { 0 } } );
    }

    void rebuildIndex()
    {
        md_functions::cLayerIndex.clear();
        for ( int i = 0; i < map.layerCount(); ++i )
            md_functions::cLayerIndex.add( map.layer( i )->tag.trimmed(), i );
    }

    QString path( const QString &fileName ) const { return mDir.filePath( fileName ); }

    gis::MapWidget map;

  private:
    QTemporaryDir mDir;
};

/**
 * Callbacks that record what a query reports: every caption, the yields,
 * and a stop request from the given yield on (0: never).
 */
struct RecordingCallbacks
{
    QStringList captions;
    int yields = 0;
    int forcedRefreshes = 0;
    int cancelAtYield = 0;
    std::function<void()> onYield;

    QueryCallbacks callbacks()
    {
        QueryCallbacks cb;
        cb.caption = [this]( const QString &t ) { captions << t; };
        cb.refresh = [this]( bool force ) {
            if ( force )
                ++forcedRefreshes;
        };
        cb.yieldAndPollCancel = [this]() {
            ++yields;
            if ( onYield )
                onYield();
            if ( cancelAtYield > 0 && yields >= cancelAtYield )
                Constants::bCancelQuery = true;
            return Constants::bCancelQuery;
        };
        return cb;
    }
};
