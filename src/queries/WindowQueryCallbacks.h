#pragma once

#include "QueryCallbacks.h"

class QLabel;
class QWidget;

namespace gis
{
class MapWidget;
}

/**
 * The callbacks a query run gets from the main window: captions go to the
 * working label, the yield lets the event loop deliver queued events
 * (the Cancel click among them) on the run's first yield and then at most
 * about every 50 ms, and answers with bCancelQuery on every call; questions
 * go through Dialogs. The label and the window are repainted at most about
 * every 50 ms while records stream by, and at once for stage captions, so a
 * run over many records is not slowed down by painting or event handling.
 * Each call makes a fresh set: one per run.
 * The widgets are watched: a widget destroyed during the run is skipped.
 */
QueryCallbacks makeWindowQueryCallbacks( QLabel *lblWorking, QWidget *window, gis::MapWidget *map );
