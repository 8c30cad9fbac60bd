#pragma once

class QWidget;

/**
 * Saving the results of the last query as a polygon shapefile.
 */
namespace md_query_functions2
{
//! Above this many result polygons the user is asked before saving.
inline constexpr int SaveWarnFeatureCount = 50;

/**
 * Writes the result polygons of cResults, in result order, with their
 * values in one numeric field named after the result field (width 15, one
 * decimal), to a shapefile the user names in the "Save Layer" dialog; the
 * .prj is that of the layer the results came from. Asks first when there
 * are more than SaveWarnFeatureCount polygons. Ends silently on the user's
 * own choices (nothing to save, No, Cancel) and on success; every failure
 * is reported through ErrorMessage. An existing file set of the chosen
 * name is replaced only by a complete new one, which leaves none of its
 * parts in any letter case; a set the dialog did not ask about (OLD.SHP
 * when OLD.shp is chosen, results.txt.shp for results.txt) is asked about
 * first. Dialogs are shown over \a parent.
 */
void SaveTrackingLayer( QWidget *parent = nullptr );
} // namespace md_query_functions2
