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
// Pixels between the bar and the control's bottom edge, and between the labels and the bar.
constexpr double kBottomMargin = 2;
constexpr double kLabelGap = 2;

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

void ScaleBarControl::refreshScaleBar()
{
    mSegmentCount = 0;
    mSegmentLength = 0;
    mUnitName.clear();
    mLabels.clear();
    mBarPixels = 0;

    const double pixels = mScreenRight - mScreenLeft;
    const double units = mExtentRight - mExtentLeft;
    if ( mSetUp && pixels > 0 && units > 0 && std::isfinite( pixels ) && std::isfinite( units ) )
    {
        // Ground per screen pixel in the base unit: metres, or feet for a map in feet.
        double groundPerPixel = units / pixels;
        if ( mMapUnits == Degrees )
        {
            const double midLatitude = ( mExtentTop + mExtentBottom ) / 2 * std::numbers::pi / 180;
            groundPerPixel *= kMetresPerDegree * std::cos( midLatitude );
        }
        const double perSegment = mMaxWidthShare * width() * groundPerPixel / mSegments;
        if ( perSegment > 0 && std::isfinite( perSegment ) )
        {
            double unitLength = 1;
            if ( mMapUnits == Feet )
            {
                const bool miles = perSegment >= kFeetPerMile;
                unitLength = miles ? kFeetPerMile : 1;
                mUnitName = miles ? QStringLiteral( "mi" ) : QStringLiteral( "ft" );
            }
            else
            {
                const bool km = perSegment >= kMetresPerKm;
                unitLength = km ? kMetresPerKm : 1;
                mUnitName = km ? QStringLiteral( "km" ) : QStringLiteral( "m" );
            }
            mSegmentLength = roundDown( perSegment / unitLength );
            mSegmentCount = mSegments;
            mBarPixels = mSegmentLength * unitLength * mSegments / groundPerPixel;
            for ( int i = 0; i <= mSegments; ++i )
                mLabels << labelText( mSegmentLength * i );
            if ( mUnitAfterLastLabel )
                mLabels.last() += QLatin1Char( ' ' ) + mUnitName;
        }
    }
    update();
}

void ScaleBarControl::paint( QPainter &painter, const QRectF &area ) const
{
    const double w = std::max( 1, width() );
    const double h = std::max( 1, height() );
    painter.save();
    painter.translate( area.topLeft() );
    painter.scale( area.width() / w, area.height() / h );
    painter.setRenderHint( QPainter::Antialiasing );
    painter.fillRect( QRectF( 0, 0, w, h ), mBackColor );

    if ( mSegmentCount > 0 )
    {
        // Sizes in control pixels, so that the painter's scale alone decides the size on any device.
        const double pixelsPerPoint = logicalDpiY() / 72.0;
        QFont font = mFont;
        font.setPixelSize( std::max( 1, static_cast<int>( std::lround( mFont.pointSizeF() * pixelsPerPoint ) ) ) );
        painter.setFont( font );
        const QFontMetricsF fm( font, painter.device() );

        const double barHeight = mBarHeight * pixelsPerPoint;
        const double segment = mBarPixels / mSegmentCount;
        const double left = ( w - mBarPixels ) / 2;
        const QRectF bar( left, h - kBottomMargin - barHeight, mBarPixels, barHeight );

        painter.setPen( Qt::NoPen );
        for ( int i = 0; i < mSegmentCount; ++i )
            painter.fillRect( QRectF( left + i * segment, bar.top(), segment, bar.height() ),
                              i % 2 == 0 ? mAlternateColor : mBackColor );
        QPen pen( mLineColor );
        pen.setWidthF( 1 );
        painter.setPen( pen );
        painter.setBrush( Qt::NoBrush );
        painter.drawRect( bar );
        for ( int i = 0; i <= mSegmentCount; ++i )
        {
            const double x = left + i * segment;
            painter.drawLine( QPointF( x, bar.top() - kLabelGap ), QPointF( x, bar.bottom() ) );
        }

        const double baseline = bar.top() - kLabelGap - 1 - fm.descent();
        for ( int i = 0; i < mLabels.size(); ++i )
        {
            // Each number is centred on its tick (a trailing unit follows it); no label leaves the control.
            const double numberWidth = fm.horizontalAdvance( labelText( mSegmentLength * i ) );
            const double textWidth = fm.horizontalAdvance( mLabels.at( i ) );
            const double x = std::clamp( left + i * segment - numberWidth / 2, 0.0, std::max( 0.0, w - textWidth ) );
            painter.drawText( QPointF( x, baseline ), mLabels.at( i ) );
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
