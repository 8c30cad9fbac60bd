#include "Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace twips
{

namespace
{
double dpiX( const QWidget *w )
{
    if ( w )
        return w->logicalDpiX();
    const QScreen *s = QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInchX() : 96.0;
}

double dpiY( const QWidget *w )
{
    if ( w )
        return w->logicalDpiY();
    const QScreen *s = QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInchY() : 96.0;
}
} // namespace

double pixelsPerTwipX( const QWidget *w ) { return dpiX( w ) / 1440.0; }
double pixelsPerTwipY( const QWidget *w ) { return dpiY( w ) / 1440.0; }
int toPxX( double t, const QWidget *w ) { return static_cast<int>( std::lround( t * pixelsPerTwipX( w ) ) ); }
int toPxY( double t, const QWidget *w ) { return static_cast<int>( std::lround( t * pixelsPerTwipY( w ) ) ); }
double fromPxX( double px, const QWidget *w ) { return px / pixelsPerTwipX( w ); }
double fromPxY( double px, const QWidget *w ) { return px / pixelsPerTwipY( w ); }

void place( QWidget *w, double left, double top, double width, double height )
{
    w->setGeometry( toPxX( left, w ), toPxY( top, w ), toPxX( width, w ), toPxY( height, w ) );
}

} // namespace twips
