#pragma once

#include <QRect>

class QWidget;

/**
 * Window layout is written in twips, 1440 per logical inch of the screen.
 * These convert to and from device-independent pixels of \a w's screen
 * (the primary screen when \a w is null).
 */
namespace twips
{
double pixelsPerTwipX( const QWidget *w = nullptr );
double pixelsPerTwipY( const QWidget *w = nullptr );
int toPxX( double twips, const QWidget *w = nullptr );
int toPxY( double twips, const QWidget *w = nullptr );
double fromPxX( double px, const QWidget *w = nullptr );
double fromPxY( double px, const QWidget *w = nullptr );
//! Places \a w at left, top, width x height given in twips inside its parent.
void place( QWidget *w, double left, double top, double width, double height );
} // namespace twips
