#pragma once

#include "gis/Layer.h"

#include <QString>

#include <vector>

class QLabel;
struct QueryInputs;

namespace gis
{
class MapWidget;
}

/**
 * Availability checks of the query list and the input check of "Update Map".
 * The availability checks find layers by their tag, trimmed and without
 * regard to case; they report their own failures in a plain message box and
 * pass the reason for a refusal out through \a message.
 */
namespace md_query_functions2
{
//! True when the layers that query or solar resource \a name needs are loaded on \a map.
bool isQueryPossible( const gis::MapWidget &map, const QString &name, QString &message );
//! True when a layer of \a map carries the tag \a fileName; otherwise \a message says which shapefile is missing.
bool isLayerExist( const gis::MapWidget &map, const QString &fileName, QString &message );
bool isLayerExist( const std::vector<gis::LayerPtr> &layers, const QString &fileName, QString &message );
//! Warns in a message box when the wind layer's largest WINDPWRD is below 200, or when it has no such field.
void getMaxWindDensity( const gis::MapWidget &map );

//! Outcome of the input check: the first problem found and the box that should take the focus.
struct InputCheck
{
    enum class Focus
    {
        None,
        Distance1, //!< txtQuery1(1), distance to transmission lines
        Distance2, //!< txtQuery1(2), distance to roads or transmission lines
    };

    bool ok = true;
    QString message; //!< empty when ok, or when the check itself failed (already reported)
    Focus focus = Focus::None;
};

/**
 * Checks the frozen panel inputs of the query \a inputs.queryName. The caller
 * shows a refusal's message with DisplayError and moves the focus as told.
 * A failure of the check itself is reported through ErrorMessage and refuses.
 */
InputCheck CheckInputs( const QueryInputs &inputs );

//! Shows \a message in red in the working label and repaints its window at once.
void DisplayError( QLabel *lblWorking, const QString &message );
} // namespace md_query_functions2
