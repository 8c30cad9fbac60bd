#pragma once

#include "Dataset.h"
#include "Symbol.h"

#include <QBrush>
#include <QPen>
#include <QPointF>
#include <QRectF>

class QPainter;

namespace gis
{

/**
 * How a Symbol looks on a painter, for each kind of shape. Shared by the map
 * and the legend so that a swatch matches the map.
 *
 * Fills: brush of style 0 solid, 1 none, 2 horizontal, 3 vertical, 4 diagonal
 * cross hatch, in the colour; outline in the outline colour, max(1, size) wide,
 * when outline is on.
 * Lines: pen in the colour, size wide, style 0 solid, 1 dash, 2 dot,
 * 3 dash-dot, 4 dash-dot-dot.
 * Markers: 4 * size + 2 pixels across, style 0 circle, 1 square, 2 triangle,
 * 3 cross, 4 diamond, filled with the colour, ringed in the outline colour
 * when outline is on.
 * Unknown style codes draw like style 0. \a scale multiplies every width and
 * size (device pixels per screen pixel, 1 on screen).
 */
class SymbolPainter
{
  public:
    static QBrush fillBrush( const Symbol &symbol );
    static QPen fillOutlinePen( const Symbol &symbol, double scale = 1 );
    static QPen linePen( const Symbol &symbol, double scale = 1 );
    static double markerSize( const Symbol &symbol, double scale = 1 );

    //! Colour of a feature too small to show its shape (drawn as a single pixel).
    static QColor dotColor( const Symbol &symbol, ShapeKind kind );

    //! Sets pen and brush of \a painter for shapes of \a kind.
    static void apply( QPainter &painter, const Symbol &symbol, ShapeKind kind, double scale = 1 );
    //! Draws one marker centred on \a p with the pen and brush set by apply().
    static void drawMarker( QPainter &painter, const QPointF &p, const Symbol &symbol, double scale = 1 );

    //! A legend swatch of \a symbol for shapes of \a kind, inside \a rect.
    static void drawSwatch( QPainter &painter, const QRectF &rect, const Symbol &symbol, ShapeKind kind );
};

} // namespace gis
