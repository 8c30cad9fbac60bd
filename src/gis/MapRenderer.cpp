#include "MapRenderer.h"

#include "Fonts.h"
#include "SymbolPainter.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QSet>

#include <cmath>

namespace gis
{

MapView MapView::make( const Rect &extent, const QRectF &target, double symbolScale )
{
    MapView v;
    v.extent = extent;
    v.target = target;
    v.symbolScale = symbolScale;
    if ( extent.width() > 0 )
        v.scale = target.width() / extent.width();
    else if ( extent.height() > 0 )
        v.scale = target.height() / extent.height();
    return v;
}

SymbolChooser::SymbolChooser( const Layer &layer )
    : mLayer( layer )
    , mDs( layer.geoDataset().get() )
{
    if ( !layer.renderer || !mDs )
        return;
    if ( layer.renderer->kind() == Renderer::Kind::ClassBreaks )
    {
        mBreaks = static_cast<const ClassBreaksRenderer *>( layer.renderer.get() );
        mField = mDs->fieldIndex( mBreaks->field );
    }
    else if ( layer.renderer->kind() == Renderer::Kind::ValueMap )
    {
        mValues = static_cast<const ValueMapRenderer *>( layer.renderer.get() );
        mField = mDs->fieldIndex( mValues->field );
    }
}

const Symbol &SymbolChooser::symbolFor( qint64 record )
{
    if ( mField < 0 )
        return mLayer.symbol;
    const QVariant &v = mDs->value( record, mField );
    if ( mBreaks )
    {
        // A null or non-numeric value draws in the lowest class.
        bool ok = false;
        const double d = v.isNull() ? 0 : v.toDouble( &ok );
        return mBreaks->symbol( ok ? mBreaks->classOf( d ) : 0 );
    }
    const QString text = v.toString();
    auto it = mValueIndex.constFind( text );
    if ( it == mValueIndex.constEnd() )
        it = mValueIndex.insert( text, mValues->indexOf( text ) );
    if ( *it < 0 )
        return mLayer.symbol;
    return mValues->symbol( *it );
}

namespace
{
// Device coordinates of a ring. Lines drop vertices that fall within half a
// pixel of the previous one (a national boundary has far more vertices than
// pixels). Polygon rings are snapped to whole pixels and repeated pixels
// dropped instead: a snapped vertex does not depend on the direction of the
// ring, so neighbours sharing an edge still meet without a gap.
void toDevice( const QPointF *pts, std::uint32_t count, const MapView &view, QPolygonF &out, bool snap )
{
    out.resize( static_cast<qsizetype>( count ) );
    qsizetype n = 0;
    QPointF last;
    for ( std::uint32_t i = 0; i < count; ++i )
    {
        QPointF p = view.toDevice( pts[i].x(), pts[i].y() );
        if ( snap )
        {
            p = QPointF( std::round( p.x() ), std::round( p.y() ) );
            if ( n > 0 && p == last )
                continue;
        }
        else if ( n > 0 && i + 1 < count && std::abs( p.x() - last.x() ) < 0.5 && std::abs( p.y() - last.y() ) < 0.5 )
        {
            continue;
        }
        out[n++] = p;
        last = p;
    }
    out.resize( n );
}

ShapeKind shapeKindOf( FeatureCache::Kind k )
{
    switch ( k )
    {
        case FeatureCache::Point:
            return ShapePoint;
        case FeatureCache::Line:
            return ShapeLine;
        case FeatureCache::Polygon:
            return ShapePolygon;
        default:
            return ShapeNone;
    }
}

// Where tiny shapes are written straight into the pixels, bypassing the
// painter: only for an untransformed, unclipped painter on a 32-bit image.
QImage *directImage( QPainter &painter )
{
    QPaintDevice *dev = painter.device();
    if ( !dev || dev->devType() != QInternal::Image || painter.hasClipping() || !painter.transform().isIdentity() )
        return nullptr;
    auto *img = static_cast<QImage *>( dev );
    if ( img->format() != QImage::Format_ARGB32_Premultiplied && img->format() != QImage::Format_RGB32
         && img->format() != QImage::Format_ARGB32 )
        return nullptr;
    return img;
}

// Shapes smaller than this many pixels both ways are drawn as their box.
constexpr double kTinyPixels = 2;

void drawCached( QPainter &painter, QImage *direct, const FeatureCache::Feature &f, const FeatureCache::Ring *rings,
                 const QPointF *points, const Symbol &symbol, const MapView &view, QPolygonF &buffer )
{
    const ShapeKind kind = shapeKindOf( f.kind );
    if ( f.kind != FeatureCache::Point && f.envelope.width() * view.scale < kTinyPixels
         && f.envelope.height() * view.scale < kTinyPixels )
    {
        // A pixel or two: its box keeps it visible at a fraction of the cost.
        if ( kind == ShapePolygon && symbol.style == 1 && !symbol.outline )
            return;
        const QPointF a = view.toDevice( f.envelope.left, f.envelope.top );
        const QPointF b = view.toDevice( f.envelope.right, f.envelope.bottom );
        const int x0 = static_cast<int>( std::floor( a.x() ) );
        const int y0 = static_cast<int>( std::floor( a.y() ) );
        const int x1 = std::max( x0, static_cast<int>( std::ceil( b.x() ) ) - 1 );
        const int y1 = std::max( y0, static_cast<int>( std::ceil( b.y() ) ) - 1 );
        const QColor colour = SymbolPainter::dotColor( symbol, kind );
        if ( direct )
        {
            const QRgb px = colour.rgba();
            const int w = direct->width();
            const int h = direct->height();
            for ( int y = std::max( 0, y0 ); y <= std::min( h - 1, y1 ); ++y )
            {
                auto *line = reinterpret_cast<QRgb *>( direct->scanLine( y ) );
                for ( int x = std::max( 0, x0 ); x <= std::min( w - 1, x1 ); ++x )
                    line[x] = px;
            }
        }
        else
        {
            painter.fillRect( QRect( x0, y0, x1 - x0 + 1, y1 - y0 + 1 ), colour );
        }
        return;
    }
    switch ( f.kind )
    {
        case FeatureCache::Point:
            for ( std::uint32_t r = 0; r < f.ringCount; ++r )
            {
                const FeatureCache::Ring &ring = rings[f.firstRing + r];
                for ( std::uint32_t i = 0; i < ring.count; ++i )
                {
                    const QPointF &p = points[ring.offset + i];
                    SymbolPainter::drawMarker( painter, view.toDevice( p.x(), p.y() ), symbol, view.symbolScale );
                }
            }
            break;
        case FeatureCache::Line:
            for ( std::uint32_t r = 0; r < f.ringCount; ++r )
            {
                const FeatureCache::Ring &ring = rings[f.firstRing + r];
                toDevice( points + ring.offset, ring.count, view, buffer, false );
                painter.drawPolyline( buffer );
            }
            break;
        case FeatureCache::Polygon:
        {
            std::uint32_t r = 0;
            while ( r < f.ringCount )
            {
                std::uint32_t partEnd = r + 1;
                while ( partEnd < f.ringCount && !rings[f.firstRing + partEnd].startsPart )
                    ++partEnd;
                if ( partEnd == r + 1 )
                {
                    const FeatureCache::Ring &ring = rings[f.firstRing + r];
                    toDevice( points + ring.offset, ring.count, view, buffer, true );
                    painter.drawPolygon( buffer, Qt::OddEvenFill );
                }
                else
                {
                    QPainterPath path;
                    path.setFillRule( Qt::OddEvenFill );
                    for ( std::uint32_t k = r; k < partEnd; ++k )
                    {
                        const FeatureCache::Ring &ring = rings[f.firstRing + k];
                        toDevice( points + ring.offset, ring.count, view, buffer, true );
                        path.addPolygon( buffer );
                        path.closeSubpath();
                    }
                    painter.drawPath( path );
                }
                r = partEnd;
            }
            break;
        }
        default:
            break;
    }
}

bool meets( const Rect &a, const Rect &b )
{
    return a.left <= b.right && a.right >= b.left && a.bottom <= b.top && a.top >= b.bottom;
}

// The extent grown by what a symbol can reach beyond a shape's vertices.
Rect cullExtent( const MapView &view )
{
    Rect r = view.extent;
    const double margin = view.scale > 0 ? 40 * view.symbolScale / view.scale : 0;
    r.left -= margin;
    r.right += margin;
    r.bottom -= margin;
    r.top += margin;
    return r;
}
} // namespace

QRectF MapRenderer::drawFeatures( QPainter &painter, const Layer &layer, const FeatureCache &cache, const MapView &view,
                                  qint64 begin, qint64 end )
{
    if ( view.scale <= 0 || !std::isfinite( view.scale ) )
        return {};
    SymbolChooser chooser( layer );
    QImage *direct = directImage( painter );
    Rect drawn;
    bool any = false;
    const Rect cull = cullExtent( view );
    QPolygonF buffer;
    const Symbol *current = nullptr;
    FeatureCache::Kind currentKind = FeatureCache::None;
    end = std::min( end, cache.count() );
    for ( qint64 i = begin; i < end; ++i )
    {
        const FeatureCache::Feature &f = cache.feature( i );
        if ( f.kind == FeatureCache::None || !meets( f.envelope, cull ) )
            continue;
        const Symbol &symbol = chooser.symbolFor( i );
        if ( &symbol != current || f.kind != currentKind )
        {
            // Fills are drawn without antialiasing: it would show the seams
            // between neighbouring polygons and costs most of the time.
            painter.setRenderHint( QPainter::Antialiasing, f.kind != FeatureCache::Polygon );
            SymbolPainter::apply( painter, symbol, shapeKindOf( f.kind ), view.symbolScale );
            current = &symbol;
            currentKind = f.kind;
        }
        drawCached( painter, direct, f, cache.ringData(), cache.pointData(), symbol, view, buffer );
        drawn = any ? drawn.united( f.envelope ) : f.envelope;
        any = true;
    }
    if ( !any )
        return {};
    // Widths, markers and box rounding reach a little beyond the vertices.
    const double reach = 40 * view.symbolScale + 2;
    return QRectF( view.toDevice( drawn.left, drawn.top ), view.toDevice( drawn.right, drawn.bottom ) )
        .adjusted( -reach, -reach, reach, reach );
}

QRectF MapRenderer::drawLabels( QPainter &painter, const Layer &layer, const FeatureCache &cache, const MapView &view )
{
    if ( !layer.renderer || layer.renderer->kind() != Renderer::Kind::Label || !layer.geoDataset() )
        return {};
    const auto *labels = static_cast<const LabelRenderer *>( layer.renderer.get() );
    const Dataset &ds = *layer.geoDataset();
    const int field = ds.fieldIndex( labels->field );
    if ( field < 0 )
        return {};
    QRectF painted;
    const Symbol &textSymbol = labels->symbol( 0 );
    painter.save();
    painter.setRenderHint( QPainter::Antialiasing, true );
    painter.setRenderHint( QPainter::TextAntialiasing, true );
    painter.setFont( mappedFont( textSymbol.font ) );
    painter.setPen( toQColor( textSymbol.color ) );
    const Rect cull = cullExtent( view );
    QSet<QString> drawn;
    for ( qint64 i = 0; i < cache.count(); ++i )
    {
        const FeatureCache::Feature &f = cache.feature( i );
        if ( f.kind == FeatureCache::None || !meets( f.envelope, cull ) )
            continue;
        const QString text = ds.value( i, field ).toString();
        if ( text.isEmpty() )
            continue;
        if ( !labels->allowDuplicates )
        {
            if ( drawn.contains( text ) )
                continue;
            drawn.insert( text );
        }
        const QPointF lp = cache.labelPoint( i );
        const QPointF p = view.toDevice( lp.x(), lp.y() );
        const QRectF box( p.x() - 2000, p.y() - 500, 4000, 1000 );
        QRectF used;
        painter.drawText( box, Qt::AlignCenter | Qt::TextDontClip, text, &used );
        painted = painted.united( used.adjusted( -2, -2, 2, 2 ) );
    }
    painter.restore();
    return painted;
}

void MapRenderer::drawGeometry( QPainter &painter, const GEOSGeometry *g, const Symbol &symbol, const MapView &view )
{
    if ( !g || view.scale <= 0 )
        return;
    std::vector<FeatureCache::Ring> rings;
    std::vector<QPointF> points;
    FeatureCache::Feature f;
    FeatureCache::append( g, rings, points, f );
    if ( f.kind == FeatureCache::None || !meets( f.envelope, cullExtent( view ) ) )
        return;
    painter.save();
    painter.setRenderHint( QPainter::Antialiasing, f.kind != FeatureCache::Polygon );
    SymbolPainter::apply( painter, symbol, shapeKindOf( f.kind ), view.symbolScale );
    QPolygonF buffer;
    drawCached( painter, nullptr, f, rings.data(), points.data(), symbol, view, buffer );
    painter.restore();
}

} // namespace gis
