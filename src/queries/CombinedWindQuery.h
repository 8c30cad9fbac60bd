#pragma once

#include "QueryCallbacks.h"
#include "QueryInputs.h"

#include "gis/TiledArea.h"

/**
 * "Best wind (all)": the parts of the wind polygons of the chosen range
 * within the road distance of a road, within the transmission distance of a
 * transmission line, on a chosen land-use class and, when asked, outside
 * every protected area; ordered by zone piece (land-use record order), then
 * by wind record.
 */
namespace md_query_functions2
{
//! Builds the road and transmission zones, intersects them and runs Wind_All_Overlay. Failures are reported here.
void wind_all( const QueryInputs &inputs, const QueryCallbacks &callbacks );

/**
 * First cuts \a zone into pieces by the selected land-use polygons (yielding
 * every 50th land-use record), then adds each piece's intersection with each
 * selected wind polygon (yielding before every piece), less the protected
 * areas when the inputs ask for it: a part whose protected land cannot be
 * subtracted is dropped, so no result ever holds protected land. A stop in
 * the first stage adds nothing; in the second it keeps the parts added.
 */
void Wind_All_Overlay( const QueryInputs &inputs, const QueryCallbacks &callbacks, const gis::TiledArea &zone );
} // namespace md_query_functions2
