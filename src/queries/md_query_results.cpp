#include "md_query_results.h"

#include "md_query_functions2.h"

#include "common/Constants.h"
#include "common/ErrorMessage.h"
#include "gis/MapWidget.h"

void draw_query_results( gis::MapWidget &map )
{
    using md_query_functions2::cResults;
    try
    {
        if ( !cResults.exists() )
            return;
        if ( cResults.count() == 0 || Constants::bQueryRunning )
            return;
        for ( const ResultModel::Record &record : cResults.records() )
            map.drawShape( *record.shape, record.symbol );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_query_functions2.draw_query_results()" ), 48 );
    }
}

void draw_query_results_on_first_layer( gis::MapWidget &map, int index )
{
    if ( index == map.layerCount() - 1 )
        draw_query_results( map );
}
