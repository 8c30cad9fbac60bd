#pragma once

#include "scalebar/ScaleBarControl.h"

#include <QImage>
#include <QLineF>
#include <QRect>
#include <QRectF>

#include <array>

class QPainter;
class QWidget;

namespace gis
{
class MapWidget;
}

/**
 * Twips per pixel of a device along each axis (1440 / dots per inch), in
 * single precision as screens and printers report it.
 */
struct TwipsPerPixel
{
    float x = 15;
    float y = 15;

    //! The screen of \a w (the primary screen when null), at its logical resolution.
    static TwipsPerPixel screen( const QWidget *w = nullptr );
    static TwipsPerPixel forResolution( double dpiX, double dpiY );
};

/**
 * Where the parts of the printed page go. Every position and size is fixed
 * in page units of 1/600 inch and divided by a scale factor per axis: the
 * printer's twips per pixel along that axis divided by 2.4, so that a page
 * unit is one pixel at 600 dpi, two page units one pixel at 300 dpi, and a
 * printer with another resolution down than across keeps the proportions.
 */
struct PageLayout
{
    double layoutScaleX = 1;
    double layoutScaleY = 1;

    static PageLayout forPrinter( const TwipsPerPixel &printer );

    //! The map: left, top, width and height each rounded to a whole pixel.
    QRect map() const;
    //! The heading picture (left, top in single precision).
    QRectF heading() const;
    //! The scale bar's strip; the legends cover its lower third.
    QRectF scaleBar() const;
    /**
     * Legend picture \a column (0 left, 1 middle, 2 right): 1000 page units
     * wide and 1400 + \a ph high, where \a ph is the first legend picture's
     * height in screen pixels, added to the page units as it is; the top is
     * rounded to a whole pixel.
     */
    QRectF legend( int column, int ph ) const;
    //! The two corners of the line figure, in pixels (single precision).
    QLineF lineFigure() const;
};

//! What goes on the page.
struct PageContent
{
    gis::MapWidget *map = nullptr; //!< drawn by the map itself, with what its drawing events add
    QImage heading;
    //! The preview's scale bar, whose look the printed bar takes; the printed one measures the printed map.
    const ScaleBarControl *scaleBar = nullptr;
    //! Left, middle and right legend pictures; each is stretched to its place.
    std::array<QImage, 3> legends;
    int ph = 0; //!< height of the left legend picture box in screen pixels
};

/**
 * Paints the page onto \a painter for a device of \a dpiX x \a dpiY pixels
 * per inch: the map, the dark grey line figure, the heading, the scale bar
 * and the three legend pictures, in that order. The same call serves the
 * printer, a PDF file and a picture. Throws what the map's drawing throws.
 *
 * The scale bar is drawn for the map as printed (the extent the map shows in
 * its page rectangle), in the part of its strip above the legends. Returns
 * what it shows, its length in device pixels; an empty bar without a map or
 * a scale bar.
 */
ScaleBarControl::Figures composePage( QPainter &painter, double dpiX, double dpiY, const PageContent &content );
