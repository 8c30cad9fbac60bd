#include "MapWidget.h"

#include "FeatureCache.h"
#include "GisError.h"
#include "MapRenderer.h"
#include "Parallel.h"

#include <QCursor>
#include <QEventLoop>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPixmap>
#include <QPointer>
#include <QResizeEvent>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace gis
{

namespace
{
// Below this drag distance (pixels, both directions) a rubber band is a click.
// The program treats a release this close to the press as a click zoom on
// the extent from before the press, so the band must not have changed it.
constexpr double kClickTolerance = 5;

// Layers with more vertices are drawn by several threads in slices.
constexpr qint64 kSliceVertices = 20000;

int buttonCode( Qt::MouseButtons b )
{
    int code = 0;
    if ( b & Qt::LeftButton )
        code |= 1;
    if ( b & Qt::RightButton )
        code |= 2;
    if ( b & Qt::MiddleButton )
        code |= 4;
    return code;
}

int shiftCode( Qt::KeyboardModifiers m )
{
    int code = 0;
    if ( m & Qt::ShiftModifier )
        code |= 1;
    if ( m & Qt::ControlModifier )
        code |= 2;
    if ( m & Qt::AltModifier )
        code |= 4;
    return code;
}

/**
 * \a r grown about its centre to the shape \a w x \a h. A rectangle that has
 * the shape already (to round-off) is returned unchanged, so fitting twice
 * gives the same rectangle.
 */
Rect fitToShape( const Rect &r, double w, double h )
{
    if ( w <= 0 || h <= 0 )
        return r;
    double rw = r.width();
    double rh = r.height();
    if ( rw <= 0 && rh <= 0 )
        return r;
    const double ratio = h / w;
    const Point c = r.center();
    if ( rw <= 0 )
        rw = rh / ratio;
    if ( rh <= 0 )
        rh = rw * ratio;
    const double wantH = rw * ratio;
    if ( std::abs( wantH - rh ) <= 1e-9 * std::max( wantH, rh ) && r.width() > 0 && r.height() > 0 )
        return r;
    Rect out;
    if ( wantH >= rh )
    {
        out.left = c.x - rw / 2;
        out.right = c.x + rw / 2;
        out.bottom = c.y - wantH / 2;
        out.top = c.y + wantH / 2;
    }
    else
    {
        const double wantW = rh / ratio;
        out.left = c.x - wantW / 2;
        out.right = c.x + wantW / 2;
        out.bottom = c.y - rh / 2;
        out.top = c.y + rh / 2;
    }
    return out;
}

QCursor zoomCursor()
{
    QPixmap pm( 32, 32 );
    pm.fill( Qt::transparent );
    QPainter p( &pm );
    p.setRenderHint( QPainter::Antialiasing );
    p.setPen( QPen( Qt::white, 4 ) );
    p.drawEllipse( QPointF( 12, 12 ), 8, 8 );
    p.drawLine( QPointF( 18, 18 ), QPointF( 28, 28 ) );
    p.setPen( QPen( Qt::black, 2 ) );
    p.drawEllipse( QPointF( 12, 12 ), 8, 8 );
    p.setPen( QPen( Qt::black, 3 ) );
    p.drawLine( QPointF( 18, 18 ), QPointF( 28, 28 ) );
    p.end();
    return QCursor( pm, 12, 12 );
}
} // namespace

struct MapWidget::Private
{
    enum class Tracking { None, Pan, Rectangle };

    struct Release
    {
        bool pending = false;
        int button = 0;
        int shift = 0;
        double x = 0;
        double y = 0;
    };

    bool autoExtent = true; //!< extent follows the full extent until one is set
    Rect requested;         //!< extent as last asked for, before fitting

    bool drawing = false;
    bool redrawPending = false;
    MapView view; //!< where drawShape() paints during a redraw

    //! A transparent picture one drawing task paints into, reused between redraws.
    struct Slice
    {
        QImage image;
        QRect dirty; //!< what the last use painted; the rest is still clear
    };
    std::vector<Slice> slices;
    QTimer resizeRedraw;

    Tracking tracking = Tracking::None;
    QEventLoop *loop = nullptr;
    bool buttonDown = false;
    int pressDepth = 0;
    QPointF pressPos;
    QPointF trackPos;
    Release release;
};

MapWidget::MapWidget( QWidget *parent )
    : QWidget( parent )
    , d( std::make_unique<Private>() )
{
    setAttribute( Qt::WA_OpaquePaintEvent );
    setMouseTracking( true );
    d->resizeRedraw.setSingleShot( true );
    d->resizeRedraw.setInterval( 0 );
    connect( &d->resizeRedraw, &QTimer::timeout, this, [this] {
        try
        {
            refresh();
        }
        catch ( ... )
        {
            // Redrawn again at the next request.
        }
    } );
}

MapWidget::~MapWidget()
{
    if ( d->loop )
        d->loop->quit();
}

LayerPtr MapWidget::layerByName( const QString &name ) const
{
    for ( const LayerPtr &l : mLayers )
        if ( l && l->name == name )
            return l;
    return nullptr;
}

void MapWidget::addLayer( LayerPtr layer )
{
    if ( !layer )
        throw GisError( "addLayer: no layer" );
    mLayers.insert( mLayers.begin(), std::move( layer ) );
    if ( d->autoExtent )
        mExtent = fullExtent();
}

void MapWidget::removeLayer( int i )
{
    if ( i < 0 || i >= layerCount() )
        throw GisError( "removeLayer: no layer " + std::to_string( i ) );
    mLayers.erase( mLayers.begin() + i );
    if ( mLayers.empty() )
        d->autoExtent = true;
}

void MapWidget::clearLayers()
{
    mLayers.clear();
    d->autoExtent = true;
}

void MapWidget::setExtent( const Rect &r )
{
    if ( !std::isfinite( r.left ) || !std::isfinite( r.right ) || !std::isfinite( r.top ) || !std::isfinite( r.bottom ) )
        throw GisError( "setExtent: the rectangle is not finite" );
    if ( r.width() <= 0 && r.height() <= 0 )
        return;
    d->autoExtent = false;
    d->requested = r;
    mExtent = fitToShape( r, width(), height() );
    refresh();
}

Rect MapWidget::fullExtent() const
{
    bool any = false;
    Rect u;
    for ( const LayerPtr &l : mLayers )
    {
        if ( !l || !l->geoDataset() || !l->geoDataset()->hasShapes() )
            continue;
        const Rect e = l->extent();
        // Beyond the coordinate limit the union, its margin and the scale could overflow.
        const auto drawable = []( double v ) { return std::abs( v ) <= kCoordinateLimit; };
        if ( !drawable( e.left ) || !drawable( e.right ) || !drawable( e.top ) || !drawable( e.bottom )
             || e.right < e.left || e.top < e.bottom )
            continue;
        u = any ? u.united( e ) : e;
        any = true;
    }
    if ( !any )
        return mExtent;
    if ( u.width() <= 0 && u.height() <= 0 )
    {
        // A single point: show a unit square around it.
        u.left -= 0.5;
        u.right += 0.5;
        u.bottom -= 0.5;
        u.top += 0.5;
    }
    const double mx = u.width() * 0.01;
    const double my = u.height() * 0.01;
    u.left -= mx;
    u.right += mx;
    u.bottom -= my;
    u.top += my;
    return fitToShape( u, width(), height() );
}

void MapWidget::refresh()
{
    if ( d->drawing )
    {
        // Asked from a drawing handler: draw again once this redraw is done.
        d->redrawPending = true;
        return;
    }
    QPointer<MapWidget> self( this );
    for ( int round = 0; round < 2; ++round )
    {
        d->redrawPending = false;
        const QSize size( std::max( 1, width() ), std::max( 1, height() ) );
        if ( d->autoExtent )
            mExtent = fullExtent();
        else
            mExtent = fitToShape( mExtent, size.width(), size.height() );
        if ( mImage.size() != size )
            mImage = QImage( size, QImage::Format_ARGB32_Premultiplied );
        mImage.fill( Qt::white );

        // Every layer raises its event, hidden ones too, so what the handlers
        // paint appears even when every layer is switched off; only the
        // visible layers are drawn.
        struct Visible
        {
            int index;
            LayerPtr layer;
            std::shared_ptr<const FeatureCache> cache;
        };
        std::vector<Visible> visible;
        for ( int i = layerCount() - 1; i >= 0; --i )
        {
            const LayerPtr &l = mLayers[static_cast<size_t>( i )];
            if ( !l )
                continue;
            Visible v { i, l, nullptr };
            try
            {
                if ( l->visible && l->geoDataset() )
                    v.cache = FeatureCache::of( l->geoDataset() );
            }
            catch ( ... )
            {
                // Left out of the picture; its drawing event is still raised.
            }
            visible.push_back( std::move( v ) );
        }

        const MapView view = MapView::make( mExtent, QRectF( QPointF( 0, 0 ), QSizeF( size ) ) );
        QPainter painter( &mImage );
        mPainter = &painter;
        d->view = view;
        d->drawing = true;
        struct DrawingScope
        {
            QPointer<MapWidget> map;
            ~DrawingScope()
            {
                if ( map )
                {
                    map->mPainter = nullptr;
                    map->d->drawing = false;
                }
            }
        } scope { self };
        // Each layer is drawn right after its event, so what the handlers
        // paint with drawShape() for layer i lies above the layers below i
        // and under layer i itself.
        for ( const Visible &v : visible )
        {
            emit beforeLayerDraw( v.index );
            if ( !self )
                return;
            if ( v.cache )
                drawLayer( painter, *v.layer, *v.cache, view );
        }
        emit beforeTrackingLayerDraw();
        if ( !self )
            return;
        emit afterTrackingLayerDraw();
        if ( !self )
            return;
        painter.end();
        if ( !d->redrawPending )
            break;
    }
    update();
}

void MapWidget::drawLayer( QPainter &painter, const Layer &layer, const FeatureCache &cache, const MapView &view )
{
    try
    {
        const qint64 n = cache.count();
        const int slices = static_cast<int>( std::clamp<qint64>( cache.vertexCount() / kSliceVertices, 1, parallelTaskCount() ) );
        painter.save();
        if ( slices == 1 )
        {
            MapRenderer::drawFeatures( painter, layer, cache, view, 0, n );
        }
        else
        {
            // A big layer is drawn in slices of records by several threads,
            // each into its own transparent picture; laying the pictures on
            // in slice order keeps the record order of overlapping shapes.
            const QSize size = mImage.size();
            if ( d->slices.size() < static_cast<size_t>( slices ) )
                d->slices.resize( static_cast<size_t>( slices ) );
            std::vector<QRect> painted( static_cast<size_t>( slices ) );
            parallelFor( slices, [&]( int s ) {
                Private::Slice &slice = d->slices[static_cast<size_t>( s )];
                if ( slice.image.size() != size )
                {
                    slice.image = QImage( size, QImage::Format_ARGB32_Premultiplied );
                    slice.image.fill( Qt::transparent );
                }
                else if ( !slice.dirty.isEmpty() )
                {
                    QPainter clear( &slice.image );
                    clear.setCompositionMode( QPainter::CompositionMode_Source );
                    clear.fillRect( slice.dirty, Qt::transparent );
                }
                QRect &out = painted[static_cast<size_t>( s )];
                try
                {
                    QPainter p( &slice.image );
                    out = MapRenderer::drawFeatures( p, layer, cache, view, n * s / slices, n * ( s + 1 ) / slices )
                              .toAlignedRect()
                              .intersected( slice.image.rect() );
                }
                catch ( ... )
                {
                    out = slice.image.rect();
                }
                slice.dirty = out;
            } );
            for ( int s = 0; s < slices; ++s )
            {
                const QRect &r = painted[static_cast<size_t>( s )];
                if ( !r.isEmpty() )
                    painter.drawImage( r, d->slices[static_cast<size_t>( s )].image, r );
            }
        }
        MapRenderer::drawLabels( painter, layer, cache, view );
        painter.restore();
    }
    catch ( ... )
    {
        // A layer that cannot be drawn is left out of this picture.
        painter.restore();
    }
}

void MapWidget::drawShape( const Geometry &shape, const Symbol &symbol )
{
    if ( !mPainter || shape.isNull() )
        return;
    MapRenderer::drawGeometry( *mPainter, shape.get(), symbol, d->view );
}

void MapWidget::setMousePointer( int code )
{
    mPointer = code;
    switch ( code )
    {
        case 11:
            setCursor( Qt::WaitCursor );
            break;
        case 14:
            setCursor( Qt::WhatsThisCursor );
            break;
        case 50:
        {
            // Built once and kept for the run: a cursor pixmap must not outlive the application.
            static const QCursor *zoom = new QCursor( zoomCursor() );
            setCursor( *zoom );
            break;
        }
        case 53:
            setCursor( Qt::OpenHandCursor );
            break;
        default:
            setCursor( Qt::ArrowCursor );
            break;
    }
}

void MapWidget::pan()
{
    if ( !d->buttonDown || d->tracking != Private::Tracking::None )
        return;
    QPointer<MapWidget> self( this );
    const QCursor before = cursor();
    setCursor( Qt::ClosedHandCursor );
    d->tracking = Private::Tracking::Pan;
    d->trackPos = d->pressPos;
    QEventLoop loop;
    d->loop = &loop;
    loop.exec();
    if ( !self )
        return;
    d->loop = nullptr;
    d->tracking = Private::Tracking::None;
    setCursor( before );
    const double dx = d->trackPos.x() - d->pressPos.x();
    const double dy = d->trackPos.y() - d->pressPos.y();
    if ( ( dx == 0 && dy == 0 ) || width() <= 0 || mExtent.width() <= 0 )
    {
        update();
        return;
    }
    const double unitsPerPixel = mExtent.width() / width();
    Rect r = mExtent;
    r.left -= dx * unitsPerPixel;
    r.right -= dx * unitsPerPixel;
    r.top += dy * unitsPerPixel;
    r.bottom += dy * unitsPerPixel;
    setExtent( r );
}

Rect MapWidget::trackRectangle()
{
    if ( !d->buttonDown || d->tracking != Private::Tracking::None )
        return Rect();
    QPointer<MapWidget> self( this );
    d->tracking = Private::Tracking::Rectangle;
    d->trackPos = d->pressPos;
    QEventLoop loop;
    d->loop = &loop;
    loop.exec();
    if ( !self )
        return Rect();
    d->loop = nullptr;
    d->tracking = Private::Tracking::None;
    update();
    const QPointF a = d->pressPos;
    const QPointF b = d->trackPos;
    if ( std::abs( b.x() - a.x() ) < kClickTolerance && std::abs( b.y() - a.y() ) < kClickTolerance )
        return Rect();
    const Point pa = toMapPoint( a.x(), a.y() );
    const Point pb = toMapPoint( b.x(), b.y() );
    return Rect { std::min( pa.x, pb.x ), std::max( pa.x, pb.x ), std::max( pa.y, pb.y ), std::min( pa.y, pb.y ) };
}

Point MapWidget::toMapPoint( double x, double y ) const
{
    if ( width() <= 0 || mExtent.width() <= 0 )
        return mExtent.center();
    const double unitsPerPixel = mExtent.width() / width();
    return { mExtent.left + x * unitsPerPixel, mExtent.top - y * unitsPerPixel };
}

QPointF MapWidget::fromMapPoint( const Point &p ) const
{
    if ( width() <= 0 || mExtent.width() <= 0 )
        return {};
    const double pixelsPerUnit = width() / mExtent.width();
    return { ( p.x - mExtent.left ) * pixelsPerUnit, ( mExtent.top - p.y ) * pixelsPerUnit };
}

void MapWidget::centerAt( double x, double y )
{
    const double hw = mExtent.width() / 2;
    const double hh = mExtent.height() / 2;
    setExtent( Rect { x - hw, x + hw, y + hh, y - hh } );
}

Rect MapWidget::outputExtent( const QSizeF &size ) const
{
    return fitToShape( mExtent, size.width(), size.height() );
}

void MapWidget::outputMap( QPainter &painter, const QRectF &target )
{
    if ( target.width() <= 0 || target.height() <= 0 )
        return;
    if ( d->drawing )
        throw GisError( "outputMap: the map is being drawn" );
    QPointer<MapWidget> self( this );
    const double deviceDpi = painter.device() ? painter.device()->logicalDpiX() : 96;
    const double screenDpi = logicalDpiX() > 0 ? logicalDpiX() : 96;
    const Rect extent = outputExtent( target.size() );
    const MapView view = MapView::make( extent, target, deviceDpi / screenDpi );

    // As in refresh(): every layer raises its event, the visible ones are drawn.
    std::vector<std::pair<int, LayerPtr>> visible;
    for ( int i = layerCount() - 1; i >= 0; --i )
        if ( mLayers[static_cast<size_t>( i )] )
            visible.emplace_back( i, mLayers[static_cast<size_t>( i )] );

    painter.save();
    painter.setClipRect( target, Qt::IntersectClip );
    QPainter *previous = mPainter;
    const MapView previousView = d->view;
    mPainter = &painter;
    d->view = view;
    d->drawing = true;
    auto finish = [&] {
        if ( !self )
            return;
        mPainter = previous;
        d->view = previousView;
        d->drawing = false;
    };
    try
    {
        for ( const auto &[index, layer] : visible )
        {
            emit beforeLayerDraw( index );
            if ( !self )
                break;
            if ( !layer->visible || !layer->geoDataset() )
                continue;
            const auto cache = FeatureCache::of( layer->geoDataset() );
            painter.save();
            MapRenderer::drawFeatures( painter, *layer, *cache, view, 0, cache->count() );
            MapRenderer::drawLabels( painter, *layer, *cache, view );
            painter.restore();
        }
        if ( self )
            emit beforeTrackingLayerDraw();
        if ( self )
            emit afterTrackingLayerDraw();
    }
    catch ( ... )
    {
        finish();
        painter.restore();
        throw;
    }
    finish();
    painter.restore();
    if ( self && d->redrawPending )
        refresh();
}

double MapWidget::widthTwips() const
{
    return width() * 1440.0 / ( logicalDpiX() > 0 ? logicalDpiX() : 96 );
}

double MapWidget::heightTwips() const
{
    return height() * 1440.0 / ( logicalDpiY() > 0 ? logicalDpiY() : 96 );
}

void MapWidget::paintEvent( QPaintEvent *event )
{
    QPainter p( this );
    const QPointF offset = d->tracking == Private::Tracking::Pan ? d->trackPos - d->pressPos : QPointF();
    if ( mImage.isNull() || offset != QPointF() || mImage.size() != size() )
        p.fillRect( event->rect(), Qt::white );
    if ( !mImage.isNull() )
        p.drawImage( offset, mImage );
    if ( d->tracking == Private::Tracking::Rectangle )
    {
        const QRectF band = QRectF( d->pressPos, d->trackPos ).normalized();
        p.setPen( QPen( Qt::black, 1, Qt::DashLine ) );
        p.setBrush( QColor( 0, 0, 255, 30 ) );
        p.drawRect( band );
    }
}

void MapWidget::resizeEvent( QResizeEvent *event )
{
    QWidget::resizeEvent( event );
    // The map keeps showing what was asked for, fitted to the new shape.
    if ( d->autoExtent )
        mExtent = fullExtent();
    else
        mExtent = fitToShape( d->requested, width(), height() );
    d->resizeRedraw.start();
}

void MapWidget::hideEvent( QHideEvent *event )
{
    QWidget::hideEvent( event );
    // A hidden map gets no release: tracking ends where the pointer was.
    if ( d->loop )
        d->loop->quit();
}

void MapWidget::mousePressEvent( QMouseEvent *event )
{
    if ( d->tracking != Private::Tracking::None )
    {
        // The release of the tracking press was lost (another window took
        // the mouse): this press ends the tracking instead of starting anew.
        d->trackPos = event->position();
        d->buttonDown = true;
        if ( d->loop )
            d->loop->quit();
        return;
    }
    d->buttonDown = true;
    d->pressPos = event->position();
    d->trackPos = d->pressPos;
    d->release = {};
    QPointer<MapWidget> self( this );
    ++d->pressDepth;
    emit mouseDown( buttonCode( event->button() ), shiftCode( event->modifiers() ), event->position().x(),
                    event->position().y() );
    if ( !self )
        return;
    --d->pressDepth;
    // The release that ended a pan or a rubber band inside the handler is
    // reported only now, after the handler has returned.
    if ( d->release.pending )
    {
        const Private::Release r = d->release;
        d->release = {};
        emit mouseUp( r.button, r.shift, r.x, r.y );
    }
}

void MapWidget::mouseMoveEvent( QMouseEvent *event )
{
    if ( d->tracking != Private::Tracking::None )
    {
        d->trackPos = event->position();
        update();
        return;
    }
    emit mouseMove( buttonCode( event->buttons() ), shiftCode( event->modifiers() ), event->position().x(),
                    event->position().y() );
}

void MapWidget::mouseReleaseEvent( QMouseEvent *event )
{
    d->buttonDown = false;
    const int button = buttonCode( event->button() );
    const int shift = shiftCode( event->modifiers() );
    const QPointF pos = event->position();
    if ( d->tracking != Private::Tracking::None || d->pressDepth > 0 )
    {
        if ( d->tracking != Private::Tracking::None )
            d->trackPos = pos;
        d->release = { true, button, shift, pos.x(), pos.y() };
        if ( d->loop )
            d->loop->quit();
        return;
    }
    emit mouseUp( button, shift, pos.x(), pos.y() );
}

} // namespace gis
