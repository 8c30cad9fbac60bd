#pragma once

#include <QString>

#include <functional>

/**
 * How a running query talks to whoever started it. Every member may be left
 * empty: an empty caption/refresh/redraw does nothing, an empty
 * yieldAndPollCancel never cancels, an empty askYesNo answers Yes.
 *
 * caption is called for every record; refresh( false ) follows each such
 * caption and may be throttled by the receiver (the window need not be
 * repainted more often than the eye can follow), refresh( true ) follows the
 * stage captions ("Calculating...", "Calculating... finished") and must
 * repaint at once.
 */
struct QueryCallbacks
{
    std::function<void( const QString & )> caption;
    //! Lets the window system deliver queued events; returns true when the user asked to stop.
    std::function<bool()> yieldAndPollCancel;
    std::function<bool( const QString & )> askYesNo;
    std::function<void( bool force )> refresh;
    //! Redraws the main map (after a query has hidden its reference layers).
    std::function<void()> redrawMap;

    void setCaption( const QString &text ) const
    {
        if ( caption )
            caption( text );
    }
    void repaint( bool force ) const
    {
        if ( refresh )
            refresh( force );
    }
    bool yieldAndCancelled() const { return yieldAndPollCancel ? yieldAndPollCancel() : false; }
    bool ask( const QString &question ) const { return askYesNo ? askYesNo( question ) : true; }
    void redraw() const
    {
        if ( redrawMap )
            redrawMap();
    }
};
