#pragma once

#include "gis/Rect.h"

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QStringList>
#include <QWidget>

class QPainter;

/**
 * A scale bar for one map view: a bar of equal segments of a round ground
 * length (1, 2 or 5 times a power of ten, in km or m, or in miles or feet)
 * with a label at every segment boundary, the last one followed by the unit.
 *
 * The caller gives the map extent and the screen rectangle the map occupies
 * (in screen pixels), then the look in the one setup() call, then
 * refreshScaleBar(), which computes the bar and repaints. The bar is as long
 * as the round segments allow within the set share of the control's width,
 * centred across it, and sits at the bottom of the control with its labels
 * above it. paint() draws the same picture into any painter; paintForMap()
 * draws a bar of the same look for another picture of the map, such as a
 * printed one, at that device's resolution.
 *
 * Until an extent, a screen rectangle and the setup have been given, or when
 * they describe no distance, the control shows only its background and
 * segmentCount() is 0.
 */
class ScaleBarControl : public QWidget
{
    Q_OBJECT

  public:
    //! Map units of the extent.
    enum MapUnits
    {
        Degrees = 0, //!< longitude/latitude; distances across the middle latitude of the extent
        Feet = 1,
        Metres = 2
    };

    explicit ScaleBarControl( QWidget *parent = nullptr );

    //! The map extent, in map units, y growing upwards.
    void setMapExtent( double left, double bottom, double right, double top );
    //! Where the map lies on the screen, in pixels.
    void setScreenRect( double left, double top, double right, double bottom );

    /**
     * The whole look in one call:
     * \a unitAfterLastLabel appends the unit name to the last label;
     * \a backColor fills the control; \a lineColor draws the bar's outline,
     * the ticks and the labels; \a alternateColor fills every other segment,
     * the first one included (the others take \a backColor);
     * \a segments is the number of segments (at least 1);
     * \a font is used for the labels (Windows names are mapped to installed
     * fonts); \a mapUnits is a MapUnits value (other values count as metres);
     * \a maxWidthShare is the most of the control's width the bar may take
     * (0 to 1); \a barHeight is the bar's height in points.
     */
    void setup( bool unitAfterLastLabel, const QColor &backColor, const QColor &lineColor, const QColor &alternateColor,
                qint16 segments, const QFont &font, int mapUnits, float maxWidthShare, qint32 barHeight );

    /**
     * Metres in one map unit of a map in Metres units whose unit is another
     * length (0.3048 for the foot): the bar measures the ground in metres and
     * km whatever the unit. 1 until set; values that are not positive count as 1.
     */
    void setMetresPerMapUnit( double metres );

    //! Ends every setup: computes the bar from what was given and repaints.
    void refreshScaleBar();

    //! What a bar shows.
    struct Figures
    {
        int segmentCount = 0;
        double segmentLength = 0; //!< ground length of one segment in unitName units
        QString unitName;         //!< "km", "m", "mi" or "ft"
        QStringList labels;       //!< one per segment boundary, from "0" on; the last carries the unit when asked to
        double barPixels = 0;     //!< bar length in pixels of the map it measures
    };

    // --- what the bar shows, after refreshScaleBar() ---
    int segmentCount() const { return mBar.segmentCount; }
    double segmentLength() const { return mBar.segmentLength; }
    QString unitName() const { return mBar.unitName; }
    QStringList labels() const { return mBar.labels; }
    //! Bar length in screen pixels of the map.
    double barLengthPixels() const { return mBar.barPixels; }
    //! The label font as asked for (after mapping the Windows name); the system's match stands in when it is missing.
    QFont labelFont() const { return mFont; }

    //! Draws the control's picture into \a area of \a painter (area in the painter's units, taken as control pixels scaled).
    void paint( QPainter &painter, const QRectF &area ) const;

    /**
     * Draws a bar of this control's look for another picture of the map:
     * \a extent (map units) drawn \a mapPixels wide on \a painter's device,
     * whose resolution is \a dpiX x \a dpiY. The bar goes into \a area
     * (device pixels) as it goes into the control: on the background, within
     * the set share of the area's width, centred, at its bottom with the
     * labels above; the font and the bar's height keep their sizes in points.
     * Returns what the bar shows, its length in device pixels across. The
     * control's own bar stays as it is.
     */
    Figures paintForMap( QPainter &painter, const QRectF &area, const gis::Rect &extent, double mapPixels, double dpiX,
                         double dpiY ) const;

  protected:
    void paintEvent( QPaintEvent *event ) override;

  private:
    //! The bar for \a extent shown \a mapPixels wide, with \a room pixels across for it.
    Figures figuresFor( const gis::Rect &extent, double mapPixels, double room ) const;
    //! Draws \a bar in a \a w x \a h area at the painter's origin, in pixels of which \a pixelsPerPoint make a point.
    void drawBar( QPainter &painter, const Figures &bar, double w, double h, double pixelsPerPoint ) const;

    double mExtentLeft = 0;
    double mExtentBottom = 0;
    double mExtentRight = 0;
    double mExtentTop = 0;
    double mScreenLeft = 0;
    double mScreenTop = 0;
    double mScreenRight = 0;
    double mScreenBottom = 0;

    bool mUnitAfterLastLabel = true;
    QColor mBackColor = Qt::white;
    QColor mLineColor = Qt::black;
    QColor mAlternateColor = Qt::black;
    int mSegments = 0;
    QFont mFont;
    int mMapUnits = Metres;
    double mMetresPerMapUnit = 1;
    double mMaxWidthShare = 0;
    int mBarHeight = 0;
    bool mSetUp = false;

    Figures mBar;
};
