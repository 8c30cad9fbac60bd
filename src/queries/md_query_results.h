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
