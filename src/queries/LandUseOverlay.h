#pragma once

#include "QueryCallbacks.h"
#include "QueryInputs.h"

#include <QString>
#include <QStringList>

/**
 * "Best wind + land use": the parts of the wind polygons of the chosen
 * power-density range that lie on the chosen land-use classes, ordered by
 * land-use record, then by wind record. Also the land-use expression, which
 * the combined query uses too.
 */
namespace md_query_functions2
{
/**
 * "(LAND_USE = 'A') OR (LAND_USE = 'B')" for the \a selected items in list
 * order; an apostrophe inside an item is doubled, so the item still selects
 * its records. Throws gis::GisError when nothing is selected.
 */
QString CreateLandUseExpression( const QStringList &selected );

//! Hides the reference layers, redraws the map and runs Wind_Landuse_Overlay. Failures are reported here.
void wind_with_land_use( const QueryInputs &inputs, const QueryCallbacks &callbacks );

/**
 * Adds every non-empty intersection of a selected land-use polygon with a
 * selected wind polygon. Yields before every land-use record; a stop keeps
 * the pieces of the land-use records handled before it.
 */
void Wind_Landuse_Overlay( const QueryInputs &inputs, const QueryCallbacks &callbacks );
} // namespace md_query_functions2
