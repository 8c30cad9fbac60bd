#pragma once

namespace gis
{
class MapWidget;
}

/**
 * Paints the current query results into the redraw of \a map in progress:
 * every result polygon of the last run, in insertion order (a later polygon
 * covers an earlier one), one drawShape() each. Draws nothing before the
 * first run, for an empty result or while a query is running.
 * Called once per redraw from the map's before-layer-draw event.
 * Reports failures through ErrorMessage; never throws.
 */
void draw_query_results( gis::MapWidget &map );

/**
 * What every map's before-layer-draw handler does with the results: draws
 * them when \a index is the event that opens a redraw of \a map (the bottom
 * layer's, raised first, hidden layers included). So each map paints them
 * once into each of its own redraws, under all of its layers, and what one
 * map draws never keeps them off another. Draws nothing while a query runs.
 */
void draw_query_results_on_first_layer( gis::MapWidget &map, int index );
