#pragma once

#include "QueryCallbacks.h"
#include "QueryInputs.h"

/**
 * "Best wind - protected areas": the wind polygons of the chosen
 * power-density range less every protected area, one result per wind
 * polygon that keeps some area, in wind record order.
 */
namespace md_query_functions2
{
//! Hides the reference layers, redraws the map and runs Wind_Protected_Overlay. Failures are reported here.
void wind_minus_protected_areas( const QueryInputs &inputs, const QueryCallbacks &callbacks );

/**
 * Merges the polygons of 31_protectedarea.shp (a record that is not a
 * polygon is named in a message and left out) and adds each selected wind
 * polygon's part outside them; a wind polygon clear of them is added whole,
 * and with no protected polygon at all every selected wind polygon is.
 * Yields before every wind record; a stop keeps the parts added so far.
 */
void Wind_Protected_Overlay( const QueryInputs &inputs, const QueryCallbacks &callbacks );
} // namespace md_query_functions2
