#pragma once

#include <QColor>
#include <QFont>

namespace gis
{

//! Colour as the component takes it: r + 256*g + 65536*b.
constexpr int rgb( int r, int g, int b ) { return r + 256 * g + 65536 * b; }
inline QColor toQColor( int c ) { return QColor( c & 0xff, ( c >> 8 ) & 0xff, ( c >> 16 ) & 0xff ); }

/**
 * How one shape is drawn. The meaning of style depends on the shape kind:
 *  - fills:   0 solid, 1 transparent (outline only), 2 horizontal hatch,
 *             3 vertical hatch, 4 diagonal cross hatch
 *  - lines:   0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot
 *  - markers: 0 circle, 1 square, 2 triangle, 3 cross, 4 diamond
 * size is the line width or marker size in pixels (markers: 4 * size + 2 px).
 */
struct Symbol
{
    int color = rgb( 128, 128, 128 );
    bool outline = true;
    int outlineColor = rgb( 0, 0, 0 );
    double size = 1;
    int style = 0;
    QFont font; //!< used by label renderers
};

} // namespace gis
