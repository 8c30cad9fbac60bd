#pragma once

#include "Geometry.h"
#include "Layer.h"
#include "Rect.h"
#include "Symbol.h"

#include <QImage>
#include <QWidget>

#include <vector>

class QPainter;

namespace gis
{

class FeatureCache;
struct MapView;

/**
 * The map control. Holds an ordered layer list (index 0 is the topmost layer,
 * drawn last; addLayer() inserts at 0), a current extent and a full extent,
 * both fitted to the widget's shape, and a cached image of the last redraw.
 *
 * Every redraw renders into the cached image (paintEvent only blits it) and
 * raises, in this order: beforeLayerDraw(i) before each layer, bottom layer
 * first (hidden layers raise it too but are not drawn), then
 * beforeTrackingLayerDraw() and afterTrackingLayerDraw(). drawShape() paints
 * into the redraw in progress and may be called from those handlers; what is
 * painted at beforeLayerDraw(i) lies under layer i and over the layers below.
 * A refresh() asked for from a handler is done once the redraw has ended.
 *
 * Until an extent is set, and again after the layers are cleared, the extent
 * follows the full extent. Resizing keeps the extent last asked for, fitted
 * to the new shape.
 *
 * Mouse events report positions in widget pixels (doubles); buttons are
 * 1 left, 2 right, 4 middle; shift is 1 Shift, 2 Ctrl, 4 Alt.
 * pan() and trackRectangle() are called from a mouseDown handler and return
 * when the button is released; the mouseUp event is delivered afterwards.
 */
class MapWidget : public QWidget
{
    Q_OBJECT

  public:
    explicit MapWidget( QWidget *parent = nullptr );
    ~MapWidget() override;

    // --- layers ---
    int layerCount() const { return static_cast<int>( mLayers.size() ); }
    const LayerPtr &layer( int i ) const { return mLayers.at( i ); }
    LayerPtr layerByName( const QString &name ) const; //!< nullptr when absent
    void addLayer( LayerPtr layer );                     //!< inserts at 0; no redraw
    void removeLayer( int i );
    void clearLayers();
    const std::vector<LayerPtr> &layers() const { return mLayers; }

    // --- extents ---
    Rect extent() const { return mExtent; }
    /**
     * Sets the extent (grown about its centre to the widget's shape) and
     * redraws. A rectangle that has the shape already is kept exactly, so
     * setExtent( fullExtent() ) gives extent() == fullExtent().
     * A rectangle without width and height is ignored.
     */
    void setExtent( const Rect &r );
    //! Union of all layers' extents, 1% wider on each side, fitted to the widget's shape; the extent when there is no data.
    Rect fullExtent() const;

    //! Renders the map into the cached image now, raising the drawing events, then repaints.
    void refresh();
    //! Paints a shape with a symbol into the redraw in progress (no-op outside one).
    void drawShape( const Geometry &shape, const Symbol &symbol );
    bool isDrawing() const { return mPainter != nullptr; }

    // --- interaction ---
    //! Pointer codes: 0 default, 11 hourglass, 14 what's-this, 50 zoom, 53 pan.
    int mousePointer() const { return mPointer; }
    void setMousePointer( int code );
    //! Lets the user drag the map until the button is released, then redraws.
    void pan();
    /**
     * Rubber band until release; returns the rectangle in map units, or a null
     * Rect when the pointer moved less than 5 pixels both ways (a click: the
     * caller keeps its extent).
     */
    Rect trackRectangle();
    Point toMapPoint( double x, double y ) const;
    QPointF fromMapPoint( const Point &p ) const;
    //! Moves the extent so that (x, y) is its centre, and redraws.
    void centerAt( double x, double y );

    /**
     * Draws the current extent, fitted to \a target, into \a target of any
     * painter (printing, pictures), raising the same drawing events as a
     * redraw so that handlers' drawShape() lands there too. Line widths and
     * markers scale with the painter device's resolution.
     */
    void outputMap( QPainter &painter, const QRectF &target );
    //! The extent outputMap() draws into a target of \a size: the current extent grown about its centre to that shape.
    Rect outputExtent( const QSizeF &size ) const;

    //! Widget width/height in twips (1440 per logical inch).
    double widthTwips() const;
    double heightTwips() const;

    const QImage &cachedImage() const { return mImage; }

  signals:
    void mouseDown( int button, int shift, double x, double y );
    void mouseMove( int button, int shift, double x, double y );
    void mouseUp( int button, int shift, double x, double y );
    void beforeLayerDraw( int index );
    void beforeTrackingLayerDraw();
    void afterTrackingLayerDraw();

  protected:
    void paintEvent( QPaintEvent *event ) override;
    void resizeEvent( QResizeEvent *event ) override;
    void hideEvent( QHideEvent *event ) override;
    void mousePressEvent( QMouseEvent *event ) override;
    void mouseMoveEvent( QMouseEvent *event ) override;
    void mouseReleaseEvent( QMouseEvent *event ) override;

  private:
    void drawLayer( QPainter &painter, const Layer &layer, const FeatureCache &cache, const MapView &view );

    struct Private;
    std::unique_ptr<Private> d;
    std::vector<LayerPtr> mLayers;
    Rect mExtent;
    QImage mImage;
    QPainter *mPainter = nullptr;
    int mPointer = 0;
};

} // namespace gis
