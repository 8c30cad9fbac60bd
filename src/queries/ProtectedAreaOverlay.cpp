#include "ProtectedAreaOverlay.h"

#include "OverlaySupport.h"
#include "md_query_functions2.h"

#include "common/ErrorMessage.h"

namespace md_query_functions2
{

void wind_minus_protected_areas( const QueryInputs &inputs, const QueryCallbacks &callbacks )
{
    try
    {
        HideAndRedraw( inputs, callbacks, kWindReferenceLayers );
        Wind_Protected_Overlay( inputs, callbacks );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_query_functions2.wind_minus_protected_areas()" ), 48 );
    }
}

void Wind_Protected_Overlay( const QueryInputs &inputs, const QueryCallbacks &callbacks )
{
    gis::Recordset protectedRecords;
    WindSelection wind;
    if ( !StartWindOverlay( inputs, callbacks, wind, [&] {
             protectedRecords = inputs.layer( kProtectedFile )->searchExpression( kAllFeatures );
         } ) )
        return;

    // From here on a failing step costs only what it would have added; nothing is reported.
    try
    {
        // Every record that is not a polygon is named and left out of the merge, in record order.
        const auto &dataset = protectedRecords.dataset();
        const int nameField = dataset ? dataset->fieldIndex( QStringLiteral( "name" ) ) : -1;
        for ( qint64 r : protectedRecords.records() )
        {
            if ( !dataset->shape( r ).isPolygonal() && nameField >= 0 )
                ShowMessage( dataset->value( r, nameField ).toString() + QStringLiteral( " is not a polygon type" ) );
        }

        gis::TiledArea protectedAreas;
        try
        {
            protectedAreas = UnionOfPolygons( protectedRecords, OverlayTileSize( inputs ) );
        }
        catch ( const std::exception & )
        {
            // No union: a wind polygon cannot be told apart from protected land, so none is a result.
            return;
        }

        AddWindPiecesInOrder( wind, protectedAreas, Keep::Outside, RecordLoopStage { kOverlaying, 1, 1, true },
                              callbacks );
    }
    catch ( const std::exception & )
    {
    }
}

} // namespace md_query_functions2
