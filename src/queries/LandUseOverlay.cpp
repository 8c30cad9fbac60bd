#include "LandUseOverlay.h"

#include "OverlaySupport.h"
#include "md_query_functions2.h"

#include "common/ErrorMessage.h"
#include "gis/GisError.h"
#include "gis/OrderedWork.h"

namespace md_query_functions2
{

QString CreateLandUseExpression( const QStringList &selected )
{
    if ( selected.isEmpty() )
        throw gis::GisError( "no land use selected" );
    QString expression;
    for ( const QString &item : selected )
    {
        QString quoted = item;
        quoted.replace( QLatin1Char( '\'' ), QStringLiteral( "''" ) );
        expression += QStringLiteral( "(LAND_USE = '" ) + quoted + QStringLiteral( "') OR " );
    }
    expression.chop( 4 );
    return expression;
}

void wind_with_land_use( const QueryInputs &inputs, const QueryCallbacks &callbacks )
{
    try
    {
        HideAndRedraw( inputs, callbacks, kWindReferenceLayers );
        Wind_Landuse_Overlay( inputs, callbacks );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_query_functions2.wind_with_land_use()" ), 48 );
    }
}

void Wind_Landuse_Overlay( const QueryInputs &inputs, const QueryCallbacks &callbacks )
{
    // k and j name the place of a failure in its report: the list position reached, then the records.
    qint64 k = 0;
    qint64 j = 0;
    gis::Recordset landRecords;
    WindSelection wind;
    qint64 landCount = 0;
    try
    {
        callbacks.setCaption( kOverlaying );
        callbacks.repaint( true );
        k = inputs.landUseItemCount;
        const QString landExpression = CreateLandUseExpression( inputs.selectedLandUses );
        landRecords = inputs.layer( kLandUseFile )->searchExpression( landExpression );
        landCount = FeatureCount( landRecords );
        const QString windExpression = CreateWindSelectExpression( inputs );
        if ( windExpression.isEmpty() )
            return; // the builder has reported it
        wind = WindSelection::search( inputs, windExpression );
        SetValueField( kWindField );
        // Counts are 64-bit: the product of a national wind and land-use selection does not fit 32 bits.
        if ( wind.featureCount() * landCount < 1 )
            return;
        k = 1;
        j = 0;
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_query_functions2.Wind_Landuse_Overlay()" ) + QString::number( k )
                          + QStringLiteral( "--" ) + QString::number( j ),
                      48 );
        return;
    }

    // From the first pair on nothing is reported: a failing intersection costs only that pair its piece.
    try
    {
        const std::vector<qint64> &landIndices = landRecords.records();
        const auto &landUse = landRecords.dataset();
        const double tileSize = OverlayTileSize( inputs );
        gis::OrderedResults<std::vector<WindPiece>> pieces(
            static_cast<qint64>( landIndices.size() ), [&]( qint64 i, int ) {
                std::vector<WindPiece> found;
                const gis::Geometry &land = landUse->shape( landIndices[static_cast<size_t>( i )] );
                const std::optional<gis::Rect> envelope = land.envelope();
                if ( !land.isPolygonal() || !envelope )
                    return found;
                const gis::TiledArea area = LocalArea( land, tileSize );
                for ( qint64 record : wind.meeting( *envelope ) )
                {
                    try
                    {
                        gis::TiledArea::Overlap overlap = area.intersect( wind.shape( record ), 0 );
                        if ( overlap.whole || !overlap.part.isNull() )
                            found.push_back( WindPiece { record, std::move( overlap.part ), overlap.whole } );
                    }
                    catch ( const std::exception & )
                    {
                    }
                }
                return found;
            } );

        RunItemLoop( pieces.count(), landCount, RecordLoopStage { kOverlaying, 1, 1, true }, callbacks,
                     [&]( qint64 i ) {
                         for ( WindPiece &piece : pieces.take( i ) )
                             AddWindPiece( wind, piece );
                     } );
    }
    catch ( const std::exception & )
    {
    }
}

} // namespace md_query_functions2
