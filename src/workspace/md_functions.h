#pragma once

#include "gis/CoordinateSystem.h"
#include "gis/Layer.h"
#include "gis/Rect.h"
#include "gis/Symbol.h"

#include <optional>

#include <QString>

namespace gis
{
class MapWidget;
}
class LegendControl;

/**
 * Loading, cartography, default visibility and scale procedures of the map
 * workspace. All run on the window thread and report their own failures
 * through ErrorMessage, as each procedure's comment says.
 */
namespace md_functions
{
// --- opening a data directory ---
/**
 * Replaces the layers of \a map by the standard-named shapefiles of the
 * directory of \a fullFileName (\a fileTitle is the chosen file's bare name),
 * taken in name order without regard to case, at most 28. Rebuilds
 * cLayerIndex, applies default visibility, reloads \a legend and redraws,
 * however the load ends. Files that are damaged or cannot be read at all
 * are named, with what they could not give, in one message at the end.
 * Never throws.
 */
void LoadProject( const QString &fileTitle, const QString &fullFileName, gis::MapWidget &map, LegendControl &legend );
//! True when \a fileName is one of the 28 standard names, letter case ignored.
bool StandardFile( const QString &fileName );
//! Sets the layer's visibility from its tag (exact comparison).
void SetDefaultVisibility( gis::Layer &layer );
//! True when the layer has fewer than 50 records.
bool isSetLayerVisible( const gis::Layer &layer );

// --- cartography ---
//! Legend name, symbol and renderer of a standard layer, chosen by \a fileName (exact comparison).
void SetLayerProperties( gis::Layer &layer, const QString &fileName, const QString &caption );
//! Builds and attaches the class renderer of \a fieldName; hides solar and land-use layers.
void LayerRenderer( gis::Layer &layer, const QString &fieldName );
//! Colours \a symbol by the class of \a value; other fields than the five class fields leave it alone.
void SetSymbolColorByValue( const QString &fieldName, double value, gis::Symbol *symbol );

// --- scale text ---
//! "Scale 1 : 661,912", "- No Map - " or "- No Units - "; empty after a reported failure.
QString CalculateScale( const gis::MapWidget &map );
//! The scale text for a map \a widthTwips wide showing \a extent in \a crs (what CalculateScale computes).
QString ScaleText( float widthTwips, const gis::Rect &extent, const std::optional<gis::CoordinateSystem> &crs );
//! Miles between two points in degrees on the first layer's spheroid; 0 after a reported failure.
double DegreesToMiles( const gis::MapWidget &map, double lon1, double lat1, double lon2, double lat2 );
double DegreesToMiles( const gis::CoordinateSystem &crs, double lon1, double lat1, double lon2, double lat2 );
double DegToRad( double degrees );
} // namespace md_functions
