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

struct CaptionState
{
    QPointer<QLabel> label;
    QPointer<QWidget> window;
    QPointer<gis::MapWidget> map;
    QString pending;
    bool dirty = false;
    QElapsedTimer sinceRepaint;

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
    callbacks.yieldAndPollCancel = [state]() {
        state->flush();
        QCoreApplication::processEvents();
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
