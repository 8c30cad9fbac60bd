#include "PrintPage.h"

#include "common/Rounding.h"
#include "gis/MapWidget.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWidget>

namespace
{
// Twips per pixel of a 600-dpi device: there a page unit is one pixel.
constexpr double kTwipsPerPageUnit = 2.4;
constexpr QColor kLineFigureColor( 0x40, 0x40, 0x40 );

int wholePixel( double v )
{
    return static_cast<int>( roundHalfEven( v ) );
}

float single( double v )
{
    return static_cast<float>( v );
}
} // namespace

TwipsPerPixel TwipsPerPixel::screen( const QWidget *w )
{
    if ( w )
        return forResolution( w->logicalDpiX(), w->logicalDpiY() );
    const QScreen *s = QGuiApplication::primaryScreen();
    return s ? forResolution( s->logicalDotsPerInchX(), s->logicalDotsPerInchY() ) : forResolution( 96, 96 );
}

TwipsPerPixel TwipsPerPixel::forResolution( double dpiX, double dpiY )
{
    return { single( 1440.0 / dpiX ), single( 1440.0 / dpiY ) };
}

PageLayout PageLayout::forPrinter( const TwipsPerPixel &printer )
{
    return { printer.x / kTwipsPerPageUnit, printer.y / kTwipsPerPageUnit };
}

QRect PageLayout::map() const
{
    return { wholePixel( 300 / layoutScaleX ), wholePixel( 350 / layoutScaleY ), wholePixel( 4000 / layoutScaleX ),
             wholePixel( 3700 / layoutScaleY ) };
}

QRectF PageLayout::heading() const
{
    return { single( 550 / layoutScaleX ), single( 250 / layoutScaleY ), 3000 / layoutScaleX, 150 / layoutScaleY };
}

QRectF PageLayout::scaleBar() const
{
    return { single( 300 / layoutScaleX ), single( 3800 / layoutScaleY ), 4000 / layoutScaleX, 300 / layoutScaleY };
}

QRectF PageLayout::legend( int column, int ph ) const
{
    const double left = column * 1000 + 500;
    // The top is a 16-bit whole pixel; ph counts as page units, and part of the sum is single precision.
    const double top = static_cast<qint16>( wholePixel( 4000 / layoutScaleY ) );
    const double height = 500 / layoutScaleY + single( ph / layoutScaleY + 900 / layoutScaleY );
    return { single( left / layoutScaleX ), top, 1000 / layoutScaleX, height };
}

QLineF PageLayout::lineFigure() const
{
    return { single( 290 / layoutScaleX ), single( 600 / layoutScaleY ), single( 4000 / layoutScaleX ),
             single( ( 3700 - 550 ) / layoutScaleY ) };
}

ScaleBarControl::Figures composePage( QPainter &painter, double dpiX, double dpiY, const PageContent &content )
{
    const PageLayout layout = PageLayout::forPrinter( TwipsPerPixel::forResolution( dpiX, dpiY ) );
    const QRectF mapPlace( layout.map() );

    if ( content.map )
        content.map->outputMap( painter, mapPlace );

    // The line figure is an open box from its first corner, the second corner
    // read as an offset from the first: a frame of 4000 x 3150 page units
    // across the map.
    const QLineF figure = layout.lineFigure();
    painter.save();
    QPen pen( kLineFigureColor );
    pen.setWidth( 0 );
    painter.setPen( pen );
    painter.setBrush( Qt::NoBrush );
    painter.drawRect( QRectF( figure.p1(), QSizeF( figure.x2(), figure.y2() ) ) );
    painter.restore();

    painter.save();
    painter.setRenderHint( QPainter::SmoothPixmapTransform );
    auto stretched = [&painter]( const QRectF &target, const QImage &picture ) {
        if ( !picture.isNull() )
            painter.drawImage( target, picture );
    };
    stretched( layout.heading(), content.heading );

    // Not the preview's bar stretched, which states the preview's scale: a bar
    // for the extent the map shows in its page rectangle, drawn at the
    // printer's resolution. The strip is white over the map like the
    // preview's; the legends, drawn next from their top edge, cover its lower
    // third, so the bar stands on that edge.
    ScaleBarControl::Figures bar;
    if ( content.scaleBar && content.map )
    {
        QRectF strip = layout.scaleBar();
        painter.fillRect( strip, Qt::white );
        strip.setBottom( layout.legend( 0, content.ph ).top() );
        bar = content.scaleBar->paintForMap( painter, strip, content.map->outputExtent( mapPlace.size() ),
                                             mapPlace.width(), dpiX, dpiY );
    }

    for ( int column = 0; column < 3; ++column )
        stretched( layout.legend( column, content.ph ), content.legends[static_cast<size_t>( column )] );
    painter.restore();
    return bar;
}
