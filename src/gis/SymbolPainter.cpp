#include "SymbolPainter.h"

#include <QPainter>
#include <QPolygonF>

#include <algorithm>

namespace gis
{

QBrush SymbolPainter::fillBrush( const Symbol &symbol )
{
    const QColor c = toQColor( symbol.color );
    switch ( symbol.style )
    {
        case 1:
            return Qt::NoBrush;
        case 2:
            return QBrush( c, Qt::HorPattern );
        case 3:
            return QBrush( c, Qt::VerPattern );
        case 4:
            return QBrush( c, Qt::DiagCrossPattern );
        default:
            return QBrush( c, Qt::SolidPattern );
    }
}

QPen SymbolPainter::fillOutlinePen( const Symbol &symbol, double scale )
{
    if ( !symbol.outline )
        return Qt::NoPen;
    QPen pen( toQColor( symbol.outlineColor ), std::max( 1.0, symbol.size ) * scale );
    pen.setJoinStyle( Qt::RoundJoin );
    return pen;
}

QPen SymbolPainter::linePen( const Symbol &symbol, double scale )
{
    QPen pen( toQColor( symbol.color ), std::max( 0.0, symbol.size ) * scale );
    switch ( symbol.style )
    {
        case 1:
            pen.setStyle( Qt::DashLine );
            break;
        case 2:
            pen.setStyle( Qt::DotLine );
            break;
        case 3:
            pen.setStyle( Qt::DashDotLine );
            break;
        case 4:
            pen.setStyle( Qt::DashDotDotLine );
            break;
        default:
            pen.setStyle( Qt::SolidLine );
            break;
    }
    pen.setCapStyle( pen.style() == Qt::SolidLine ? Qt::RoundCap : Qt::FlatCap );
    pen.setJoinStyle( Qt::RoundJoin );
    return pen;
}

double SymbolPainter::markerSize( const Symbol &symbol, double scale )
{
    return ( 4 * std::max( 0.0, symbol.size ) + 2 ) * scale;
}

QColor SymbolPainter::dotColor( const Symbol &symbol, ShapeKind kind )
{
    if ( kind == ShapePolygon && symbol.style == 1 )
        return toQColor( symbol.outlineColor );
    return toQColor( symbol.color );
}

void SymbolPainter::apply( QPainter &painter, const Symbol &symbol, ShapeKind kind, double scale )
{
    switch ( kind )
    {
        case ShapeLine:
            painter.setPen( linePen( symbol, scale ) );
            painter.setBrush( Qt::NoBrush );
            break;
        case ShapePoint:
            painter.setPen( symbol.outline ? QPen( toQColor( symbol.outlineColor ), scale ) : QPen( Qt::NoPen ) );
            painter.setBrush( toQColor( symbol.color ) );
            break;
        default:
            painter.setPen( fillOutlinePen( symbol, scale ) );
            painter.setBrush( fillBrush( symbol ) );
            break;
    }
}

void SymbolPainter::drawMarker( QPainter &painter, const QPointF &p, const Symbol &symbol, double scale )
{
    const double s = markerSize( symbol, scale );
    const double h = s / 2;
    switch ( symbol.style )
    {
        case 1:
            painter.drawRect( QRectF( p.x() - h, p.y() - h, s, s ) );
            break;
        case 2:
        {
            const QPointF tri[3] = { { p.x(), p.y() - h }, { p.x() + h, p.y() + h }, { p.x() - h, p.y() + h } };
            painter.drawPolygon( tri, 3 );
            break;
        }
        case 3:
        {
            // A cross has no inside to fill: it is drawn in the symbol's colour.
            const QPen old = painter.pen();
            QPen pen( toQColor( symbol.color ), std::max( 1.0, s / 5 ) );
            pen.setCapStyle( Qt::FlatCap );
            painter.setPen( pen );
            painter.drawLine( QPointF( p.x() - h, p.y() ), QPointF( p.x() + h, p.y() ) );
            painter.drawLine( QPointF( p.x(), p.y() - h ), QPointF( p.x(), p.y() + h ) );
            painter.setPen( old );
            break;
        }
        case 4:
        {
            const QPointF dia[4] = { { p.x(), p.y() - h }, { p.x() + h, p.y() }, { p.x(), p.y() + h }, { p.x() - h, p.y() } };
            painter.drawPolygon( dia, 4 );
            break;
        }
        default:
            painter.drawEllipse( p, h, h );
            break;
    }
}

void SymbolPainter::drawSwatch( QPainter &painter, const QRectF &rect, const Symbol &symbol, ShapeKind kind )
{
    painter.save();
    painter.setRenderHint( QPainter::Antialiasing, true );
    apply( painter, symbol, kind );
    switch ( kind )
    {
        case ShapeLine:
        {
            const double y = rect.center().y();
            painter.drawLine( QPointF( rect.left() + 1, y ), QPointF( rect.right() - 1, y ) );
            break;
        }
        case ShapePoint:
        {
            Symbol fitted = symbol;
            const double maxSize = ( std::min( rect.width(), rect.height() ) - 2 - 2 ) / 4;
            fitted.size = std::min( symbol.size, std::max( 0.0, maxSize ) );
            drawMarker( painter, rect.center(), fitted );
            break;
        }
        default:
            painter.drawRect( rect.adjusted( 1, 1, -1, -1 ) );
            break;
    }
    painter.restore();
}

} // namespace gis
