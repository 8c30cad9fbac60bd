#pragma once

#include "TestSupport.h"

#include "common/Constants.h"
#include "gis/Dataset.h"
#include "gis/Layer.h"
#include "gis/MapWidget.h"
#include "queries/QueryCallbacks.h"
#include "queries/QueryInputs.h"
#include "queries/QueryNames.h"
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

    //! Wind polygons, one 1 km square per value (or the shapes \a wkts), FeatureID 0, 1, 2 ... or null.
    gis::LayerPtr addWind( const std::vector<QVariant> &values, const QStringList &wkts = {}, bool withIds = true )
    {
        return addValues( QStringLiteral( "20_wind.shp" ), { QStringLiteral( "WINDPWRD" ), testsupport::FieldSpec::Real, 12, 3 },
                          values, wkts, withIds );
    }

    //! A solar layer, one 1 km square per value of \a field, FeatureID 0, 1, 2 ...
    gis::LayerPtr addSolar( const QString &fileName, const QString &field, const std::vector<QVariant> &values,
                            testsupport::FieldSpec::Type type = testsupport::FieldSpec::Real )
    {
        const bool real = type == testsupport::FieldSpec::Real;
        return addValues( fileName, { field, type, real ? 12 : 0, real ? 4 : 0 }, values, {}, true );
    }

    /**
     * Inputs of the overlay \a query: wind from \a minimum to Max, \a landUses
     * selected in a list of 12, the roads at \a roadKm and the transmission
     * lines at \a lineKm in the boxes the panel reads for \a query. No map yet.
     */
    static QueryInputs overlayInputs( const QString &query, const QString &minimum = QStringLiteral( "0" ),
                                      const QStringList &landUses = { QStringLiteral( "GRASSLAND" ) },
                                      bool removeProtectedAreas = true, const QString &roadKm = QStringLiteral( "1" ),
                                      const QString &lineKm = QStringLiteral( "1" ) )
    {
        QueryInputs in;
        in.queryName = query;
        in.minText = minimum;
        in.maxText = QStringLiteral( "Max" );
        in.distance1Text = lineKm;
        in.distance2Text = query == querynames::kWindTransmission ? lineKm : roadKm;
        in.selectedLandUses = landUses;
        in.landUseItemCount = 12;
        in.removeProtectedAreas = removeProtectedAreas;
        return in;
    }

    //! A layer of \a wkts with FeatureID 0, 1, 2 ... and, when \a field is given, \a texts in that text field.
    gis::LayerPtr addNumbered( const QString &fileName, const QStringList &wkts, const QString &field = {},
                               const QStringList &texts = {} )
    {
        std::vector<testsupport::FieldSpec> fields { { QStringLiteral( "FeatureID" ), testsupport::FieldSpec::Integer } };
        if ( !field.isEmpty() )
            fields.push_back( { field, testsupport::FieldSpec::String, 40 } );
        std::vector<std::vector<QVariant>> rows;
        for ( qsizetype i = 0; i < wkts.size(); ++i )
        {
            rows.push_back( { static_cast<int>( i ) } );
            if ( !field.isEmpty() )
                rows.back().push_back( texts[i] );
        }
        return addLayer( fileName, wkts, fields, rows );
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

    gis::MapWidget map;

  private:
    gis::LayerPtr addValues( const QString &fileName, const testsupport::FieldSpec &field,
                             const std::vector<QVariant> &values, QStringList wkts, bool withIds )
    {
        std::vector<std::vector<QVariant>> rows;
        for ( size_t i = 0; i < values.size(); ++i )
        {
            if ( wkts.size() < static_cast<qsizetype>( values.size() ) )
                wkts << square( 1000.0 * static_cast<double>( i ), 0, 1000 );
            rows.push_back( { withIds ? QVariant( static_cast<int>( i ) ) : QVariant(), values[i] } );
        }
        return addLayer( fileName, wkts, { { QStringLiteral( "FeatureID" ), testsupport::FieldSpec::Integer }, field },
                         rows );
    }

    QTemporaryDir mDir;
};

/**
 * Callbacks that record what a query reports: every caption, the yields,
 * the questions (answered from answers, Yes when none is left), and a stop
 * request from the given yield on (0: never).
 */
struct RecordingCallbacks
{
    QStringList captions;
    QStringList questions;
    std::vector<bool> answers;
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
        cb.askYesNo = [this]( const QString &question ) {
            questions << question;
            if ( answers.empty() )
                return true;
            const bool answer = answers.front();
            answers.erase( answers.begin() );
            return answer;
        };
        return cb;
    }
};
