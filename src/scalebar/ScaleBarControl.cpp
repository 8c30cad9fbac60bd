#include "ScaleBarControl.h"

#include "gis/Fonts.h"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace
{
// Mean length of one degree along the equator (WGS 84), in metres.
constexpr double kMetresPerDegree = 111319.49;
constexpr double kMetresPerKm = 1000;
constexpr double kFeetPerMile = 5280;
// Points between the bar and the bottom edge, between the ticks' tops and the bar, and between the labels
// and the ticks; the width of the lines. On a 96-dpi screen these are 2, 2, 1 and 1 pixels.
constexpr double kBottomMargin = 1.5;
constexpr double kLabelGap = 1.5;
constexpr double kTickGap = 0.75;
constexpr double kLineWidth = 0.75;
constexpr double kPointsPerInch = 72;

//! The largest of 1, 2 and 5 times a power of ten that is not above \a v (v > 0).
double roundDown( double v )
{
    const double power = std::pow( 10.0, std::floor( std::log10( v ) ) );
    const double lead = v / power;
    // Round-off in the division may leave 1.9999999 for an exact 2.
    const double tolerance = 1e-9;
    if ( lead + tolerance >= 5 )
        return 5 * power;
    if ( lead + tolerance >= 2 )
        return 2 * power;
    return power;
}

QString labelText( double v )
{
    return QString::number( v, 'g', 12 );
}
} // namespace

ScaleBarControl::ScaleBarControl( QWidget *parent )
    : QWidget( parent )
{
}

void ScaleBarControl::setMapExtent( double left, double bottom, double right, double top )
{
    mExtentLeft = left;
    mExtentBottom = bottom;
    mExtentRight = right;
    mExtentTop = top;
}

void ScaleBarControl::setScreenRect( double left, double top, double right, double bottom )
{
    mScreenLeft = left;
    mScreenTop = top;
    mScreenRight = right;
    mScreenBottom = bottom;
}

void ScaleBarControl::setup( bool unitAfterLastLabel, const QColor &backColor, const QColor &lineColor,
                             const QColor &alternateColor, qint16 segments, const QFont &font, int mapUnits,
                             float maxWidthShare, qint32 barHeight )
{
    mUnitAfterLastLabel = unitAfterLastLabel;
    mBackColor = backColor;
    mLineColor = lineColor;
    mAlternateColor = alternateColor;
    mSegments = std::max<int>( 1, segments );
    mFont = gis::mappedFont( font );
    mMapUnits = mapUnits;
    mMaxWidthShare = std::clamp<double>( maxWidthShare, 0.0, 1.0 );
    mBarHeight = std::max( 1, barHeight );
    mSetUp = true;
}

void ScaleBarControl::setMetresPerMapUnit( double metres )
{
    mMetresPerMapUnit = metres > 0 && std::isfinite( metres ) ? metres : 1;
}

void ScaleBarControl::refreshScaleBar()
{
    mBar = figuresFor( gis::Rect { mExtentLeft, mExtentRight, mExtentTop, mExtentBottom }, mScreenRight - mScreenLeft,
                       mMaxWidthShare * width() );
    update();
}

ScaleBarControl::Figures ScaleBarControl::figuresFor( const gis::Rect &extent, double mapPixels, double room ) const
{
    Figures bar;
    const double units = extent.width();
    if ( !mSetUp || !( mapPixels > 0 ) || !( units > 0 ) || !std::isfinite( mapPixels ) || !std::isfinite( units ) )
        return bar;
    // Ground per pixel of the map in the base unit: metres, or feet for a map in feet.
    double groundPerPixel = units / mapPixels;
    if ( mMapUnits == Degrees )
    {
        const double midLatitude = extent.center().y * std::numbers::pi / 180;
        groundPerPixel *= kMetresPerDegree * std::cos( midLatitude );
    }
    else if ( mMapUnits != Feet )
    {
        groundPerPixel *= mMetresPerMapUnit;
    }
    const double perSegment = room * groundPerPixel / mSegments;
    if ( !( perSegment > 0 ) || !std::isfinite( perSegment ) )
        return bar;
    double unitLength = 1;
    if ( mMapUnits == Feet )
    {
        const bool miles = perSegment >= kFeetPerMile;
        unitLength = miles ? kFeetPerMile : 1;
        bar.unitName = miles ? QStringLiteral( "mi" ) : QStringLiteral( "ft" );
    }
    else
    {
        const bool km = perSegment >= kMetresPerKm;
        unitLength = km ? kMetresPerKm : 1;
        bar.unitName = km ? QStringLiteral( "km" ) : QStringLiteral( "m" );
    }
    bar.segmentLength = roundDown( perSegment / unitLength );
    bar.segmentCount = mSegments;
    bar.barPixels = bar.segmentLength * unitLength * mSegments / groundPerPixel;
    for ( int i = 0; i <= mSegments; ++i )
        bar.labels << labelText( bar.segmentLength * i );
    if ( mUnitAfterLastLabel )
        bar.labels.last() += QLatin1Char( ' ' ) + bar.unitName;
    return bar;
}

void ScaleBarControl::paint( QPainter &painter, const QRectF &area ) const
{
    const double w = std::max( 1, width() );
    const double h = std::max( 1, height() );
    painter.save();
    painter.translate( area.topLeft() );
    painter.scale( area.width() / w, area.height() / h );
    drawBar( painter, mBar, w, h, logicalDpiY() / kPointsPerInch );
    painter.restore();
}

ScaleBarControl::Figures ScaleBarControl::paintForMap( QPainter &painter, const QRectF &area, const gis::Rect &extent,
                                                       double mapPixels, double dpiX, double dpiY ) const
{
    const Figures bar = figuresFor( extent, mapPixels, mMaxWidthShare * area.width() );
    // Drawn in units of 1/dpiX inch down as well as across, so that the text
    // keeps its shape where the device's pixels are not square.
    const double down = dpiY / dpiX;
    painter.save();
    painter.translate( area.topLeft() );
    painter.scale( 1, down );
    drawBar( painter, bar, area.width(), area.height() / down, dpiX / kPointsPerInch );
    painter.restore();
    return bar;
}

void ScaleBarControl::drawBar( QPainter &painter, const Figures &bar, double w, double h, double pixelsPerPoint ) const
{
    painter.save();
    painter.setRenderHint( QPainter::Antialiasing );
    painter.fillRect( QRectF( 0, 0, w, h ), mBackColor );

    if ( bar.segmentCount > 0 )
    {
        QFont font = mFont;
        font.setPixelSize( std::max( 1, static_cast<int>( std::lround( mFont.pointSizeF() * pixelsPerPoint ) ) ) );
        painter.setFont( font );
        const QFontMetricsF fm( font, painter.device() );

        const double barHeight = mBarHeight * pixelsPerPoint;
        const double segment = bar.barPixels / bar.segmentCount;
        const double left = ( w - bar.barPixels ) / 2;
        const double labelGap = kLabelGap * pixelsPerPoint;
        const QRectF outline( left, h - kBottomMargin * pixelsPerPoint - barHeight, bar.barPixels, barHeight );

        painter.setPen( Qt::NoPen );
        for ( int i = 0; i < bar.segmentCount; ++i )
            painter.fillRect( QRectF( left + i * segment, outline.top(), segment, outline.height() ),
                              i % 2 == 0 ? mAlternateColor : mBackColor );
        QPen pen( mLineColor );
        pen.setWidthF( kLineWidth * pixelsPerPoint );
        painter.setPen( pen );
        painter.setBrush( Qt::NoBrush );
        painter.drawRect( outline );
        for ( int i = 0; i <= bar.segmentCount; ++i )
        {
            const double x = left + i * segment;
            painter.drawLine( QPointF( x, outline.top() - labelGap ), QPointF( x, outline.bottom() ) );
        }

        const double baseline = outline.top() - labelGap - kTickGap * pixelsPerPoint - fm.descent();
        for ( int i = 0; i < bar.labels.size(); ++i )
        {
            // Each number is centred on its tick (a trailing unit follows it); no label leaves the area.
            const double numberWidth = fm.horizontalAdvance( labelText( bar.segmentLength * i ) );
            const double textWidth = fm.horizontalAdvance( bar.labels.at( i ) );
            const double x = std::clamp( left + i * segment - numberWidth / 2, 0.0, std::max( 0.0, w - textWidth ) );
            painter.drawText( QPointF( x, baseline ), bar.labels.at( i ) );
        }
    }
    painter.restore();
}

void ScaleBarControl::paintEvent( QPaintEvent *event )
{
    Q_UNUSED( event )
    QPainter painter( this );
    paint( painter, QRectF( rect() ) );
}
