#include "CombinedWindQuery.h"

#include "LandUseOverlay.h"
#include "LineBufferOverlay.h"
#include "OverlaySupport.h"
#include "md_query_functions2.h"

#include "common/Constants.h"
#include "common/ErrorMessage.h"
#include "gis/OrderedWork.h"

namespace md_query_functions2
{

namespace
{

const QString kIntersecting = QStringLiteral( "Intersecting..." );
const QString kWindAllOverlayFailed = QStringLiteral( " Error Source:md_query_functions2.Wind_All_Overlay()" );

//! A piece of the zone: a land-use polygon whole (inside the zone) or the part of it inside.
struct ZonePiece
{
    std::shared_ptr<const gis::Geometry> shape;
};

} // namespace

void wind_all( const QueryInputs &inputs, const QueryCallbacks &callbacks )
{
    try
    {
        HideAndRedraw( inputs, callbacks, kWindReferenceLayers );
        // No on the road question ends the query before the transmission lines are read.
        const std::optional<gis::TiledArea> roadZone = create_line_buffers( inputs, callbacks, kRoadsFile, fRoadBufferKm );
        if ( !roadZone || Constants::bCancelQuery )
            return;
        const std::optional<gis::TiledArea> lineZone =
            create_line_buffers( inputs, callbacks, kTransmissionFile, fLineBufferKm );
        if ( !lineZone || Constants::bCancelQuery )
            return;
        const gis::TiledArea zone = gis::TiledArea::intersection( *roadZone, *lineZone, true );
        if ( Constants::bCancelQuery )
            return;
        Wind_All_Overlay( inputs, callbacks, zone );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_query_functions2.wind_all()" ), 48 );
    }
}

void Wind_All_Overlay( const QueryInputs &inputs, const QueryCallbacks &callbacks, const gis::TiledArea &zone )
{
    // Failures are reported until the first land-use polygon is handled, and at any time when none is.
    bool polygonHandled = false;
    auto report = [&]() {
        if ( !polygonHandled )
            ErrorMessage( kWindAllOverlayFailed, 48 );
    };

    std::vector<ZonePiece> pieces;
    const double tileSize = OverlayTileSize( inputs );
    try
    {
        callbacks.setCaption( kIntersecting );
        callbacks.repaint( true );
        SetValueField( kWindField );
        const QString landExpression = CreateLandUseExpression( inputs.selectedLandUses );
        const gis::Recordset landRecords = inputs.layer( kLandUseFile )->searchExpression( landExpression );
        const qint64 landCount = FeatureCount( landRecords );

        const auto &landUse = landRecords.dataset();
        const std::vector<qint64> &landIndices = landRecords.records();
        gis::OrderedResults<ZonePiece> cut( static_cast<qint64>( landIndices.size() ), [&]( qint64 i, int worker ) {
            ZonePiece piece;
            const qint64 record = landIndices[static_cast<size_t>( i )];
            const gis::Geometry &land = landUse->shape( record );
            if ( !land.isPolygonal() )
                return piece;
            gis::TiledArea::Overlap overlap = zone.intersect( land, worker );
            if ( overlap.whole )
                piece.shape = std::shared_ptr<const gis::Geometry>( landUse, &land );
            else if ( !overlap.part.isNull() )
                piece.shape = std::make_shared<const gis::Geometry>( std::move( overlap.part ) );
            return piece;
        } );
        const bool finished =
            RunItemLoop( cut.count(), landCount, RecordLoopStage { kIntersecting, 50, 0, false }, callbacks,
                         [&]( qint64 i ) {
                             if ( landUse->shape( landIndices[static_cast<size_t>( i )] ).isPolygonal() )
                                 polygonHandled = true;
                             ZonePiece piece = cut.take( i );
                             if ( piece.shape )
                                 pieces.push_back( std::move( piece ) );
                         } );
        if ( !finished )
            return;
    }
    catch ( const std::exception & )
    {
        report();
        return;
    }

    WindSelection wind;
    try
    {
        const QString windExpression = CreateWindSelectExpression( inputs );
        if ( windExpression.isEmpty() )
            return; // the builder has reported it
        wind = WindSelection::search( inputs, windExpression );
    }
    catch ( const std::exception & )
    {
        // A failing search leaves the selection empty, and so the result.
        report();
        return;
    }
    if ( wind.featureCount() * static_cast<qint64>( pieces.size() ) <= 0 )
        return;

    // Protected land that cannot be read or merged cannot be subtracted: then there is no result rather than one
    // that holds protected land.
    gis::TiledArea protectedAreas;
    try
    {
        if ( inputs.removeProtectedAreas )
            protectedAreas =
                UnionOfPolygons( inputs.layer( kProtectedFile )->searchExpression( kAllFeatures ), tileSize );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( kWindAllOverlayFailed, 48 );
        return;
    }

    try
    {
        gis::OrderedResults<std::vector<WindPiece>> parts(
            static_cast<qint64>( pieces.size() ), [&]( qint64 p, int worker ) {
                std::vector<WindPiece> found;
                const gis::Geometry &piece = *pieces[static_cast<size_t>( p )].shape;
                const std::optional<gis::Rect> envelope = piece.envelope();
                if ( !envelope )
                    return found;
                const gis::TiledArea area = LocalArea( piece, tileSize );
                for ( qint64 record : wind.meeting( *envelope ) )
                {
                    try
                    {
                        gis::TiledArea::Overlap overlap = area.intersect( wind.shape( record ), 0 );
                        if ( !overlap.whole && overlap.part.isNull() )
                            continue;
                        if ( inputs.removeProtectedAreas )
                        {
                            const gis::Geometry &inside = overlap.whole ? wind.shape( record ) : overlap.part;
                            gis::TiledArea::Overlap rest = protectedAreas.subtract( inside, worker );
                            if ( !rest.whole )
                            {
                                if ( rest.part.isNull() )
                                    continue;
                                overlap.whole = false;
                                overlap.part = std::move( rest.part );
                            }
                        }
                        found.push_back( WindPiece { record, std::move( overlap.part ), overlap.whole } );
                    }
                    catch ( const std::exception & )
                    {
                        // A piece whose protected land cannot be subtracted is dropped, never added unreduced.
                    }
                }
                return found;
            } );
        cResults.reserve( static_cast<qint64>( pieces.size() ) );
        RunItemLoop( parts.count(), parts.count(), RecordLoopStage { kOverlaying, 1, 0, true }, callbacks,
                     [&]( qint64 p ) {
                         for ( WindPiece &piece : parts.take( p ) )
                             AddWindPiece( wind, piece );
                     } );
    }
    catch ( const std::exception & )
    {
    }
}

} // namespace md_query_functions2
