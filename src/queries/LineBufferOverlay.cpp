#include "LineBufferOverlay.h"

#include "OverlaySupport.h"
#include "md_query_functions2.h"

#include "common/Constants.h"
#include "common/ErrorMessage.h"
#include "gis/GeometryOps.h"
#include "gis/GisError.h"
#include "gis/OrderedWork.h"

namespace md_query_functions2
{

namespace
{

const QString kCreateLineBuffersFailed = QStringLiteral( " Error Source:md_query_functions2.create_line_buffers()" );

//! A feature's buffer, or the failure to make it.
struct FeatureBuffer
{
    gis::Geometry shape;
    bool failed = false;
};

/**
 * The captions of the second and third merge stages of a large layer, as
 * the batches of the first stage fall out of \a buffers (a null buffer,
 * from a record without a shape, opens no batch). The merge itself is one
 * union of all buffers; these stages neither yield nor poll.
 */
void ShowMergeCaptions( const QueryCallbacks &callbacks, const std::vector<gis::Geometry> &buffers )
{
    if ( buffers.empty() )
        return;
    qint64 batches = 0;
    bool runningEmpty = buffers.front().isNull();
    qint64 unions = 0;
    for ( size_t f = 1; f < buffers.size(); ++f )
    {
        const bool empty = buffers[f].isNull();
        if ( runningEmpty )
        {
            runningEmpty = empty;
        }
        else if ( unions == BufferBatchSize )
        {
            ++batches;
            runningEmpty = empty;
            unions = 0;
        }
        else
        {
            ++unions;
        }
    }

    auto caption = [&]( qint64 item, qint64 of ) {
        callbacks.setCaption( QStringLiteral( "Creating buffer polygon " ) + QString::number( item )
                              + QStringLiteral( " out of " ) + QString::number( of ) );
        callbacks.repaint( false );
    };
    qint64 groups = 0;
    qint64 groupUnions = 0;
    qint64 j = 1;
    if ( runningEmpty && batches > 0 )
    {
        runningEmpty = false;
        j = 2;
    }
    for ( ; j <= batches; ++j )
    {
        if ( groupUnions == MergeBatchSize )
        {
            ++groups;
            groupUnions = 0;
        }
        else
        {
            caption( j, batches );
            ++groupUnions;
        }
    }
    for ( qint64 k = runningEmpty && groups > 0 ? 2 : 1; k <= groups; ++k )
        caption( k, groups );
}

//! "Best wind + roads" and "Best wind + transmission": hide, redraw, buffer \a file by \a km, overlay.
void RunBufferQuery( const QueryInputs &inputs, const QueryCallbacks &callbacks, const QStringList &hidden,
                     const QString &file, float km )
{
    HideAndRedraw( inputs, callbacks, hidden );
    const std::optional<gis::TiledArea> zone = create_line_buffers( inputs, callbacks, file, km );
    if ( !Constants::bCancelQuery && zone )
        Wind_Buffer_Overlay( inputs, callbacks, *zone );
}

} // namespace

std::optional<gis::TiledArea> create_line_buffers( const QueryInputs &inputs, const QueryCallbacks &callbacks,
                                                   const QString &file, float km )
{
    try
    {
        const gis::LayerPtr layer = inputs.layer( file );
        const gis::Recordset records = layer->searchExpression( kAllFeatures );
        // 64-bit: a layer of more than 32,767 features is as welcome as a small one.
        const qint64 featureCount = FeatureCount( records );
        const std::optional<gis::CoordinateSystem> &crs = layer->coordinateSystem();
        if ( crs && crs->unitName == QLatin1String( "degree" ) )
        {
            ErrorMessage( QStringLiteral( " The layer " ) + file
                              + QStringLiteral( " has geographic coordinates (degrees), so a buffer distance in "
                                                "kilometres cannot be drawn around its features. Error "
                                                "Source:md_query_functions2.create_line_buffers()" ),
                          48 );
            return std::nullopt;
        }
        if ( records.count() == 0 )
            throw gis::GisError( "the layer has no features" );
        if ( featureCount >= LargeLayerFeatureCount && !callbacks.ask( kLargeLayerQuestion ) )
            return std::nullopt;

        // The distance in metres is reckoned in single precision; a layer in another unit takes it divided
        // by the unit's length (in metres dividing by 1 leaves it as it is).
        const double distance = static_cast<double>( km * KmToMapUnits ) / gis::groundMetresPerUnit( crs );
        const auto &dataset = records.dataset();
        const std::vector<qint64> &indices = records.records();
        gis::OrderedResults<FeatureBuffer> computed( records.count(), [&]( qint64 i, int ) {
            FeatureBuffer b;
            try
            {
                b.shape = gis::ops::buffer( dataset->shape( indices[static_cast<size_t>( i )] ), distance );
            }
            catch ( const std::exception & )
            {
                b.failed = true;
            }
            return b;
        } );

        std::vector<gis::Geometry> buffers;
        buffers.reserve( indices.size() );
        auto takeBuffer = [&]( qint64 i ) {
            FeatureBuffer b = computed.take( i );
            if ( b.failed )
                throw gis::GisError( "a buffer failed" );
            buffers.push_back( std::move( b.shape ) );
        };
        takeBuffer( 0 );
        const QString prefix = QStringLiteral( "Creating " ) + layer->name + QStringLiteral( " Buffers: " );
        const QString ofCount = QStringLiteral( " of " ) + QString::number( featureCount );
        for ( qint64 i = 1; i < records.count(); ++i )
        {
            if ( callbacks.yieldAndCancelled() )
                return std::nullopt;
            takeBuffer( i );
            callbacks.setCaption( prefix + QString::number( i + 1 ) + ofCount );
            callbacks.repaint( false );
        }

        std::vector<const GEOSGeometry *> shapes;
        shapes.reserve( buffers.size() );
        for ( const gis::Geometry &b : buffers )
            shapes.push_back( b.get() );
        gis::TiledArea zone = gis::TiledArea::unionOf( shapes, OverlayTileSize( inputs ), true );
        if ( featureCount >= LargeLayerFeatureCount )
            ShowMergeCaptions( callbacks, buffers );
        return zone;
    }
    catch ( const std::exception & )
    {
        ErrorMessage( kCreateLineBuffersFailed, 48 );
        return std::nullopt;
    }
}

void Wind_Buffer_Overlay( const QueryInputs &inputs, const QueryCallbacks &callbacks, const gis::TiledArea &zone )
{
    WindSelection wind;
    if ( !StartWindOverlay( inputs, callbacks, wind ) )
        return;

    // Inside the walk a failing intersection only costs that record its piece.
    try
    {
        AddWindPiecesInOrder( wind, zone, Keep::Inside, RecordLoopStage { kOverlaying, 1, 0, true }, callbacks );
    }
    catch ( const std::exception & )
    {
    }
}

void wind_with_roads( const QueryInputs &inputs, const QueryCallbacks &callbacks )
{
    try
    {
        RunBufferQuery( inputs, callbacks, { kSubCountryFile, kRailroadFile, kTransmissionFile }, kRoadsFile,
                        fRoadBufferKm );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_query_functions2.wind_with_roads()" ), 48 );
    }
}

void wind_with_transmission( const QueryInputs &inputs, const QueryCallbacks &callbacks )
{
    try
    {
        RunBufferQuery( inputs, callbacks, { kSubCountryFile, kRailroadFile, kRoadsFile }, kTransmissionFile,
                        fLineBufferKm );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_query_functions2.wind_with_transmission()" ), 48 );
    }
}

} // namespace md_query_functions2
