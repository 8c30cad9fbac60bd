#pragma once

#include "FeatureCache.h"
#include "Layer.h"
#include "Rect.h"
#include "Symbol.h"

#include <QHash>
#include <QPointF>
#include <QRectF>

class QPainter;

namespace gis
{

/**
 * Placement of a map extent on a device rectangle: map units to device
 * pixels, y turned downwards. \a symbolScale multiplies line widths and
 * marker sizes (1 on screen, device dpi / screen dpi when printing).
 */
struct MapView
{
    Rect extent;
    QRectF target;
    double scale = 1; //!< device pixels per map unit
    double symbolScale = 1;

    //! A view of \a extent (already fitted to \a target's shape) on \a target.
    static MapView make( const Rect &extent, const QRectF &target, double symbolScale = 1 );

    QPointF toDevice( double x, double y ) const
    {
        return { target.left() + ( x - extent.left ) * scale, target.top() + ( extent.top - y ) * scale };
    }
};

/**
 * Which symbol draws each record of a layer: the renderer's class, value or
 * the layer's own symbol. One instance per drawing task (it caches value
 * look-ups); reads the layer and dataset only.
 */
class SymbolChooser
{
  public:
    explicit SymbolChooser( const Layer &layer );
    const Symbol &symbolFor( qint64 record );

  private:
    const Layer &mLayer;
    const Dataset *mDs = nullptr;
    const ClassBreaksRenderer *mBreaks = nullptr;
    const ValueMapRenderer *mValues = nullptr;
    int mField = -1;
    QHash<QString, int> mValueIndex;
};

/**
 * Draws layers from their feature caches. Functions are re-entrant: several
 * threads may draw parts of the same layer into their own painters.
 */
class MapRenderer
{
  public:
    /**
     * Draws records [begin, end) of \a layer, culled to the view, in record
     * order. Returns the device rectangle that may have been painted.
     */
    static QRectF drawFeatures( QPainter &painter, const Layer &layer, const FeatureCache &cache, const MapView &view,
                                qint64 begin, qint64 end );
    //! Draws the labels of a layer with a LabelRenderer (nothing otherwise); returns the rectangle painted.
    static QRectF drawLabels( QPainter &painter, const Layer &layer, const FeatureCache &cache, const MapView &view );
    //! Draws one geometry with \a symbol (shapes not held by any layer).
    static void drawGeometry( QPainter &painter, const GEOSGeometry *g, const Symbol &symbol, const MapView &view );
};

} // namespace gis
