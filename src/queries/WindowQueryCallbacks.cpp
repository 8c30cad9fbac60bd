#include "WindowQueryCallbacks.h"

#include "common/Constants.h"
#include "common/Dialogs.h"
#include "gis/MapWidget.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>

#include <memory>

namespace
{
constexpr qint64 kRepaintIntervalMs = 50;
constexpr qint64 kPumpIntervalMs = 50;

struct CaptionState
{
    QPointer<QLabel> label;
    QPointer<QWidget> window;
    QPointer<gis::MapWidget> map;
    QString pending;
    bool dirty = false;
    QElapsedTimer sinceRepaint;
    QElapsedTimer sincePump;

    void flush()
    {
        if ( dirty && label )
            label->setText( pending );
        dirty = false;
    }
};
} // namespace

QueryCallbacks makeWindowQueryCallbacks( QLabel *lblWorking, QWidget *window, gis::MapWidget *map )
{
    auto state = std::make_shared<CaptionState>();
    state->label = lblWorking;
    state->window = window;
    state->map = map;

    QueryCallbacks callbacks;
    // The text is kept and reaches the label when it is next painted: a label
    // change per record would cost more than the record itself.
    callbacks.caption = [state]( const QString &text ) {
        state->pending = text;
        state->dirty = true;
    };
    callbacks.refresh = [state]( bool force ) {
        if ( !force && state->sinceRepaint.isValid() && state->sinceRepaint.elapsed() < kRepaintIntervalMs )
            return;
        state->flush();
        if ( state->window )
            state->window->repaint();
        state->sinceRepaint.restart();
    };
    // The loops yield every 50th record or more often; the event loop is
    // pumped (and so the window painted) only when about 50 ms have passed,
    // the first yield of a run always. The flag is read on every yield,
    // pumped or not, so a stop set by any path is seen at the next poll.
    callbacks.yieldAndPollCancel = [state]() {
        if ( !state->sincePump.isValid() || state->sincePump.elapsed() >= kPumpIntervalMs )
        {
            state->flush();
            QCoreApplication::processEvents();
            state->sincePump.restart();
            state->sinceRepaint.restart();
        }
        return Constants::bCancelQuery;
    };
    callbacks.askYesNo = [state]( const QString &question ) {
        return Dialogs::instance().question( state->window, question, kAppTitle, Dialogs::Icon::None );
    };
    callbacks.redrawMap = [state]() {
        if ( state->map )
        {
            Constants::bResultsDrawn = false;
            state->map->refresh();
        }
        if ( state->window )
            state->window->repaint();
    };
    return callbacks;
}
