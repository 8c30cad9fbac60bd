#include "LayerFixture.h"

#include "gis/DataConnection.h"
#include "gis/Fonts.h"
#include "gis/GisError.h"
#include "gis/Layer.h"
#include "gis/MapWidget.h"
#include "gis/TableDesc.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>

using namespace gis;

namespace
{
const QString kSquare = QStringLiteral( "POLYGON((0 0,100 0,100 100,0 100,0 0))" );

bool sameRect( const Rect &a, const Rect &b )
{
    return a.left == b.left && a.right == b.right && a.top == b.top && a.bottom == b.bottom;
}

QColor pixel( const QImage &img, double x, double y )
{
    return img.pixelColor( static_cast<int>( x ), static_cast<int>( y ) );
}

void sendMouse( QWidget *w, QEvent::Type type, QPointF pos, Qt::MouseButton button, bool post,
                Qt::KeyboardModifiers mods = Qt::NoModifier )
{
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons( button );
    auto *ev = new QMouseEvent( type, pos, w->mapToGlobal( pos ), type == QEvent::MouseMove ? Qt::NoButton : button,
                                buttons, mods );
    if ( post )
        QCoreApplication::postEvent( w, ev );
    else
    {
        QCoreApplication::sendEvent( w, ev );
        delete ev;
    }
}
} // namespace

class TestMapWidget : public QObject
{
    Q_OBJECT

  private:
    testsupport::LayerFixture mLayers;

    //! Sizes \a map to \a w x \a h pixels, adds \a layers (the first at the bottom) and draws \a extent.
    static void draw( MapWidget &map, int w, int h, const Rect &extent, const std::vector<LayerPtr> &layers )
    {
        map.resize( w, h );
        for ( const LayerPtr &layer : layers )
            map.addLayer( layer );
        map.setExtent( extent );
    }

    //! Shows \a map at \a w x \a h pixels with one map unit per pixel, y up from the bottom edge.
    static bool showPixelMap( MapWidget &map, int w, int h )
    {
        map.resize( w, h );
        map.show();
        if ( !QTest::qWaitForWindowExposed( &map ) )
            return false;
        map.setExtent( Rect { 0, double( w ), double( h ), 0 } );
        return true;
    }

    static Symbol solid( int color )
    {
        Symbol s;
        s.color = color;
        s.outline = false;
        s.style = 0;
        return s;
    }

  private slots:
    void addPutsNewLayerOnTop()
    {
        MapWidget map;
        auto a = mLayers.layer( { kSquare }, "a" );
        auto b = mLayers.layer( { kSquare }, "b" );
        map.addLayer( a );
        map.addLayer( b );
        QCOMPARE( map.layerCount(), 2 );
        QCOMPARE( map.layer( 0 ), b );
        QCOMPARE( map.layer( 1 ), a );
        QCOMPARE( map.layerByName( "a" ), a );
        QVERIFY( !map.layerByName( "c" ) );
        map.removeLayer( 0 );
        QCOMPARE( map.layer( 0 ), a );
        QVERIFY_THROWS_EXCEPTION( GisError, map.removeLayer( 5 ) );
        map.clearLayers();
        QCOMPARE( map.layerCount(), 0 );
    }

    void drawingEventsComeInOrderEveryRedraw()
    {
        MapWidget map;
        map.resize( 100, 100 );
        map.addLayer( mLayers.layer( { kSquare }, "bottom" ) );
        map.addLayer( mLayers.layer( { kSquare }, "hidden" ) );
        map.addLayer( mLayers.layer( { kSquare }, "top" ) );
        map.layer( 1 )->visible = false;
        QStringList log;
        connect( &map, &MapWidget::beforeLayerDraw, this, [&]( int i ) {
            QVERIFY( map.isDrawing() );
            log << QStringLiteral( "layer %1" ).arg( i );
        } );
        connect( &map, &MapWidget::beforeTrackingLayerDraw, this, [&] { log << "before tracking"; } );
        connect( &map, &MapWidget::afterTrackingLayerDraw, this, [&] { log << "after tracking"; } );
        map.refresh();
        map.refresh();
        // The hidden layer raises its event too: what the handlers paint
        // must not vanish when layers are switched off.
        const QStringList once { "layer 2", "layer 1", "layer 0", "before tracking", "after tracking" };
        QCOMPARE( log, once + once );
        QVERIFY( !map.isDrawing() );
    }

    void drawShapePaintsBetweenLayersAndOnlyDuringRedraw()
    {
        auto bottom = mLayers.layer( { kSquare }, "bottom" );
        bottom->symbol = solid( rgb( 0, 0, 255 ) );
        auto top = mLayers.layer( { "POLYGON((0 0,50 0,50 50,0 50,0 0))" }, "top" );
        top->symbol = solid( rgb( 0, 255, 0 ) );
        MapWidget map;
        draw( map, 100, 100, Rect { 0, 100, 100, 0 }, { bottom, top } );

        const Geometry shape = Geometry::fromWkt( "POLYGON((25 25,75 25,75 75,25 75,25 25))" );
        // Outside a redraw nothing is painted and nothing breaks.
        const QImage before = map.cachedImage();
        map.drawShape( shape, solid( rgb( 255, 0, 0 ) ) );
        QCOMPARE( map.cachedImage(), before );

        connect( &map, &MapWidget::beforeLayerDraw, this, [&]( int i ) {
            if ( i == 0 )
                map.drawShape( shape, solid( rgb( 255, 0, 0 ) ) );
        } );
        map.refresh();
        const QImage img = map.cachedImage();
        const QPointF redOnly = map.fromMapPoint( { 60, 60 } );
        const QPointF underTop = map.fromMapPoint( { 40, 40 } );
        const QPointF blueOnly = map.fromMapPoint( { 90, 90 } );
        QCOMPARE( pixel( img, redOnly.x(), redOnly.y() ), QColor( 255, 0, 0 ) );
        QCOMPARE( pixel( img, underTop.x(), underTop.y() ), QColor( 0, 255, 0 ) );
        QCOMPARE( pixel( img, blueOnly.x(), blueOnly.y() ), QColor( 0, 0, 255 ) );

        // Hidden layers are not drawn; what the handler draws for them stays.
        bottom->visible = false;
        top->visible = false;
        map.refresh();
        const QImage hidden = map.cachedImage();
        QCOMPARE( pixel( hidden, underTop.x(), underTop.y() ), QColor( 255, 0, 0 ) );
        QCOMPARE( pixel( hidden, blueOnly.x(), blueOnly.y() ), QColor( Qt::white ) );
    }

    void setExtentFitsWidgetShape_data()
    {
        QTest::addColumn<QRectF>( "asked" ); // left, top(=bottom), width, height in map units
        QTest::addColumn<QRectF>( "expected" );
        QTest::newRow( "square into 2:1 widens" ) << QRectF( 0, 0, 100, 100 ) << QRectF( -50, 0, 200, 100 );
        QTest::newRow( "wide keeps width, grows height" ) << QRectF( 0, 0, 400, 100 ) << QRectF( 0, -50, 400, 200 );
        QTest::newRow( "already 2:1" ) << QRectF( 10, 10, 20, 10 ) << QRectF( 10, 10, 20, 10 );
        QTest::newRow( "zero height line" ) << QRectF( 0, 5, 100, 0 ) << QRectF( 0, -20, 100, 50 );
    }

    void setExtentFitsWidgetShape()
    {
        QFETCH( QRectF, asked );
        QFETCH( QRectF, expected );
        MapWidget map;
        map.resize( 200, 100 );
        map.setExtent( Rect { asked.left(), asked.right(), asked.bottom(), asked.top() } );
        const Rect e = map.extent();
        QCOMPARE( e.left, expected.left() );
        QCOMPARE( e.right, expected.right() );
        QCOMPARE( e.bottom, expected.top() );
        QCOMPARE( e.top, expected.bottom() );
    }

    void fullExtentIsStableUnderFitting()
    {
        MapWidget map;
        map.resize( 333, 217 );
        map.addLayer( mLayers.layer( { "POLYGON((500000.1 4000000.3,612345.7 4000000.3,612345.7 4100000.9,500000.1 4000000.3))" },
                                 "odd" ) );
        const Rect full = map.fullExtent();
        QVERIFY( full.width() > 612345.7 - 500000.1 );
        // The layer's extent is shown whole, with a margin.
        QVERIFY( full.left < 500000.1 && full.right > 612345.7 && full.bottom < 4000000.3 && full.top > 4100000.9 );
        QVERIFY( sameRect( map.extent(), full ) ); // a new map starts at its full extent
        map.setExtent( full );
        QVERIFY( sameRect( map.extent(), full ) );
        QVERIFY( !( full.width() > map.extent().width() ) );
        QVERIFY( !( full.height() > map.extent().height() ) );

        Rect zoomed = map.extent();
        zoomed.scaleRectangle( 0.5 );
        map.setExtent( zoomed );
        QVERIFY( map.fullExtent().width() > map.extent().width() );
        map.setExtent( map.fullExtent() );
        QVERIFY( sameRect( map.extent(), map.fullExtent() ) );
    }

    void clearedMapTakesTheNextDataExtent()
    {
        MapWidget map;
        map.resize( 100, 100 );
        map.addLayer( mLayers.layer( { kSquare }, "a" ) );
        map.setExtent( Rect { 10, 20, 20, 10 } );
        map.clearLayers();
        map.addLayer( mLayers.layer( { "POLYGON((1000 1000,2000 1000,2000 2000,1000 2000,1000 1000))" }, "b" ) );
        QVERIFY( sameRect( map.extent(), map.fullExtent() ) );
        QVERIFY( map.extent().left < 1000 && map.extent().right > 2000 );
    }

    void degenerateMapsAndLayersAreHarmless()
    {
        // An empty map keeps its extent and still raises the tracking events.
        MapWidget map;
        map.resize( 100, 100 );
        QSignalSpy layerSpy( &map, &MapWidget::beforeLayerDraw );
        QSignalSpy afterSpy( &map, &MapWidget::afterTrackingLayerDraw );
        const Rect before = map.extent();
        map.refresh();
        QCOMPARE( layerSpy.count(), 0 );
        QCOMPARE( afterSpy.count(), 1 );
        QVERIFY( sameRect( map.fullExtent(), before ) );

        // A layer of null shapes only takes no part in the full extent.
        map.addLayer( mLayers.layer( { "POLYGON((1000 1000,2000 1000,2000 2000,1000 2000,1000 1000))" }, "b" ) );
        map.addLayer( mLayers.layer( { "POLYGON EMPTY", "POLYGON EMPTY" }, "nulls" ) );
        map.addLayer( mLayers.layer( {}, "no records" ) );
        QVERIFY( map.fullExtent().left > 900 && map.fullExtent().bottom > 900 );
        map.refresh();

        // A map without size draws, converts and zooms without failing.
        map.resize( 0, 0 );
        map.refresh();
        map.setExtent( Rect { 1000, 2000, 2000, 1000 } );
        map.centerAt( 1500, 1500 );
        const Point p = map.toMapPoint( 10, 10 );
        QVERIFY( std::isfinite( p.x ) && std::isfinite( p.y ) );
        map.drawShape( Geometry(), Symbol() );
        QImage img( 10, 10, QImage::Format_ARGB32 );
        QPainter painter( &img );
        map.outputMap( painter, QRectF( 0, 0, 10, 10 ) );
    }

    void layerBeyondTheCoordinateLimitTakesNoPartInTheFullExtent()
    {
        // A dataset made in the program (not read, so not checked) with a
        // shape out to 1e300: the full extent, its margin and the scale
        // would overflow.
        QTemporaryDir dir;
        DataConnection connection;
        connection.setDatabase( dir.path() );
        QVERIFY( connection.connect() );
        const auto huge = connection.addGeoDataset( QStringLiteral( "huge" ), TableDesc(), std::nullopt );
        QVERIFY( huge );
        huge->addRecord( Geometry::fromWkt( "POLYGON((0 0,1e300 0,1e300 1e300,0 0))" ), {} );

        MapWidget map;
        map.resize( 200, 200 );
        map.addLayer( mLayers.layer( { kSquare }, "square" ) );
        const Rect full = map.fullExtent();
        map.addLayer( std::make_shared<Layer>( huge ) );
        QVERIFY( sameRect( map.fullExtent(), full ) );
        map.refresh();
        QVERIFY( sameRect( map.extent(), full ) );
    }

    void resizeKeepsWhatWasAskedFor()
    {
        MapWidget map;
        QVERIFY( showPixelMap( map, 100, 100 ) );
        map.resize( 200, 100 );
        QTRY_COMPARE( map.extent().width(), 200.0 );
        map.resize( 100, 100 );
        QTRY_COMPARE( map.extent().width(), 100.0 );
        QCOMPARE( map.extent().left, 0.0 );
        QCOMPARE( map.extent().top, 100.0 );
    }

    void windowAndMapPointsRoundTrip_data()
    {
        QTest::addColumn<double>( "x" );
        QTest::addColumn<double>( "y" );
        QTest::newRow( "origin" ) << 0.0 << 0.0;
        QTest::newRow( "centre" ) << 100.0 << 50.0;
        QTest::newRow( "fractional" ) << 12.25 << 87.5;
        QTest::newRow( "outside" ) << -30.0 << 250.0;
    }

    void windowAndMapPointsRoundTrip()
    {
        QFETCH( double, x );
        QFETCH( double, y );
        MapWidget map;
        map.resize( 200, 100 );
        map.setExtent( Rect { 1000, 3000, 6000, 5000 } );
        const Point p = map.toMapPoint( x, y );
        QCOMPARE( p.x, 1000 + x * 10 );
        QCOMPARE( p.y, 6000 - y * 10 );
        const QPointF back = map.fromMapPoint( p );
        QCOMPARE( back.x(), x );
        QCOMPARE( back.y(), y );
    }

    void centerAtMovesWithoutZooming()
    {
        MapWidget map;
        map.resize( 200, 100 );
        map.setExtent( Rect { 0, 200, 100, 0 } );
        QSignalSpy redraws( &map, &MapWidget::afterTrackingLayerDraw );
        map.centerAt( 1000, -500 );
        QCOMPARE( map.extent().center().x, 1000.0 );
        QCOMPARE( map.extent().center().y, -500.0 );
        QCOMPARE( map.extent().width(), 200.0 );
        QCOMPARE( map.extent().height(), 100.0 );
        QCOMPARE( redraws.count(), 1 );
    }

    void rubberBandClickKeepsExtentAndMouseUpComesAfterHandler()
    {
        MapWidget map;
        QVERIFY( showPixelMap( map, 200, 100 ) );
        QStringList log;
        Rect tracked { 1, 2, 3, 4 };
        connect( &map, &MapWidget::mouseDown, this, [&]( int button, int shift, double x, double y ) {
            log << QStringLiteral( "down %1 %2 %3 %4" ).arg( button ).arg( shift ).arg( x ).arg( y );
            tracked = map.trackRectangle();
            if ( !tracked.isNull() )
                map.setExtent( tracked );
            log << "down done";
        } );
        connect( &map, &MapWidget::mouseUp, this, [&]( int button, int, double x, double y ) {
            log << QStringLiteral( "up %1 %2 %3" ).arg( button ).arg( x ).arg( y );
        } );

        // A click, and a wobble smaller than the click tolerance, keep the extent.
        sendMouse( &map, QEvent::MouseMove, QPointF( 53, 22 ), Qt::LeftButton, true );
        sendMouse( &map, QEvent::MouseButtonRelease, QPointF( 53, 22 ), Qt::LeftButton, true );
        sendMouse( &map, QEvent::MouseButtonPress, QPointF( 50, 20 ), Qt::LeftButton, false, Qt::ShiftModifier );
        QCOMPARE( log, QStringList( { "down 1 1 50 20", "down done", "up 1 53 22" } ) );
        QVERIFY( tracked.isNull() );
        QVERIFY( sameRect( map.extent(), Rect { 0, 200, 100, 0 } ) );

        // A drag returns the band in map units.
        log.clear();
        sendMouse( &map, QEvent::MouseMove, QPointF( 150, 80 ), Qt::LeftButton, true );
        sendMouse( &map, QEvent::MouseButtonRelease, QPointF( 150, 80 ), Qt::LeftButton, true );
        sendMouse( &map, QEvent::MouseButtonPress, QPointF( 50, 20 ), Qt::LeftButton, false );
        QCOMPARE( log, QStringList( { "down 1 0 50 20", "down done", "up 1 150 80" } ) );
        QVERIFY( sameRect( tracked, Rect { 50, 150, 80, 20 } ) );
    }

    void rubberBandThroughTheWindowSystem()
    {
        // The release reaches the widget through its window while the press
        // handler is still tracking.
        MapWidget map;
        QVERIFY( showPixelMap( map, 200, 100 ) );
        QStringList log;
        connect( &map, &MapWidget::mouseDown, this, [&]( int, int, double, double ) {
            const Rect r = map.trackRectangle();
            log << QStringLiteral( "tracked %1 %2" ).arg( r.left ).arg( r.right );
        } );
        connect( &map, &MapWidget::mouseUp, this, [&]( int, int, double x, double ) { log << QStringLiteral( "up %1" ).arg( x ); } );
        QTimer::singleShot( 0, &map, [&] {
            QTest::mouseMove( &map, QPoint( 120, 60 ) );
            QTest::mouseRelease( &map, Qt::LeftButton, Qt::NoModifier, QPoint( 120, 60 ) );
        } );
        QTest::mousePress( &map, Qt::LeftButton, Qt::NoModifier, QPoint( 20, 10 ) );
        QCOMPARE( log, QStringList( { "tracked 20 120", "up 120" } ) );
    }

    void trackingEndsWhenTheMapIsHidden()
    {
        MapWidget map;
        QVERIFY( showPixelMap( map, 200, 100 ) );
        bool returned = false;
        connect( &map, &MapWidget::mouseDown, this, [&]( int, int, double, double ) {
            map.pan();
            returned = true;
        } );
        QTimer::singleShot( 0, &map, [&] { map.hide(); } );
        sendMouse( &map, QEvent::MouseButtonPress, QPointF( 20, 10 ), Qt::LeftButton, false );
        QVERIFY( returned );
        QVERIFY( sameRect( map.extent(), Rect { 0, 200, 100, 0 } ) );
    }

    void releaseWithoutTrackingRaisesMouseUpAtOnce()
    {
        MapWidget map;
        QVERIFY( showPixelMap( map, 100, 100 ) );
        QSignalSpy down( &map, &MapWidget::mouseDown );
        QSignalSpy up( &map, &MapWidget::mouseUp );
        sendMouse( &map, QEvent::MouseButtonPress, QPointF( 10, 10 ), Qt::RightButton, false );
        QCOMPARE( up.count(), 0 );
        sendMouse( &map, QEvent::MouseButtonRelease, QPointF( 12, 11 ), Qt::RightButton, false, Qt::ControlModifier );
        QCOMPARE( down.count(), 1 );
        QCOMPARE( down.at( 0 ).at( 0 ).toInt(), 2 );
        QCOMPARE( up.count(), 1 );
        QCOMPARE( up.at( 0 ).at( 0 ).toInt(), 2 );
        QCOMPARE( up.at( 0 ).at( 1 ).toInt(), 2 );
        QCOMPARE( up.at( 0 ).at( 2 ).toDouble(), 12.0 );
        // Tracking asked for outside a press returns at once.
        QVERIFY( map.trackRectangle().isNull() );
    }

    void panMovesTheExtentBeforeMouseUp()
    {
        MapWidget map;
        QVERIFY( showPixelMap( map, 200, 100 ) );
        Rect atMouseUp;
        connect( &map, &MapWidget::mouseDown, this, [&]( int, int, double, double ) { map.pan(); } );
        connect( &map, &MapWidget::mouseUp, this, [&]( int, int, double, double ) { atMouseUp = map.extent(); } );
        sendMouse( &map, QEvent::MouseMove, QPointF( 130, 40 ), Qt::LeftButton, true );
        sendMouse( &map, QEvent::MouseButtonRelease, QPointF( 130, 40 ), Qt::LeftButton, true );
        sendMouse( &map, QEvent::MouseButtonPress, QPointF( 100, 50 ), Qt::LeftButton, false );
        // Dragged 30 px right and 10 px up: the map shows what lay left and below.
        QVERIFY( sameRect( map.extent(), Rect { -30, 170, 90, -10 } ) );
        QVERIFY( sameRect( atMouseUp, map.extent() ) );
    }

    void pointerCodesGiveCursors_data()
    {
        QTest::addColumn<int>( "code" );
        QTest::addColumn<int>( "shape" );
        QTest::newRow( "0 default" ) << 0 << int( Qt::ArrowCursor );
        QTest::newRow( "11 hourglass" ) << 11 << int( Qt::WaitCursor );
        QTest::newRow( "14 what's this" ) << 14 << int( Qt::WhatsThisCursor );
        QTest::newRow( "50 zoom" ) << 50 << int( Qt::BitmapCursor );
        QTest::newRow( "53 pan" ) << 53 << int( Qt::OpenHandCursor );
    }

    void pointerCodesGiveCursors()
    {
        QFETCH( int, code );
        QFETCH( int, shape );
        MapWidget map;
        map.setMousePointer( 11 );
        map.setMousePointer( code );
        QCOMPARE( map.mousePointer(), code );
        QCOMPARE( int( map.cursor().shape() ), shape );
    }

    void valueOnABreakTakesTheClassBelow_data()
    {
        QTest::addColumn<double>( "value" );
        QTest::addColumn<int>( "cls" );
        QTest::newRow( "199.9 first class" ) << 199.9 << 0;
        QTest::newRow( "200 on the first break stays below" ) << 200.0 << 0;
        QTest::newRow( "200.001 second class" ) << 200.001 << 1;
        QTest::newRow( "300 on a break" ) << 300.0 << 1;
        QTest::newRow( "800 on the last break" ) << 800.0 << 5;
        QTest::newRow( "800.5 above the last break" ) << 800.5 << 6;
        QTest::newRow( "negative" ) << -5.0 << 0;
    }

    void valueOnABreakTakesTheClassBelow()
    {
        QFETCH( double, value );
        QFETCH( int, cls );
        auto r = testsupport::windDensityBreaks( "V" );
        for ( int i = 0; i <= 6; ++i )
            r->symbol( i ) = solid( rgb( 10 * i, 100, 200 ) );
        QCOMPARE( r->classOf( value ), cls );

        // The drawn colour follows the same rule.
        auto layer = mLayers.layer( { kSquare }, "classes", { value } );
        layer->renderer = r;
        MapWidget map;
        draw( map, 50, 50, Rect { 0, 100, 100, 0 }, { layer } );
        QCOMPARE( map.cachedImage().pixelColor( 25, 25 ), QColor( 10 * cls, 100, 200 ) );
    }

    void valueMapDrawsListedValuesOnly()
    {
        auto layer = mLayers.layer( { "POLYGON((0 0,50 0,50 50,0 50,0 0))", "POLYGON((50 0,100 0,100 50,50 50,50 0))" }, "lu", {},
                                { "FOREST", " forest " } );
        auto r = std::make_shared<ValueMapRenderer>();
        r->field = "T";
        r->setValueCount( 1 );
        r->setValue( 0, "FOREST" );
        r->symbol( 0 ) = solid( rgb( 26, 129, 78 ) );
        layer->renderer = r;
        layer->symbol = solid( rgb( 175, 175, 177 ) );
        MapWidget map;
        draw( map, 100, 50, Rect { 0, 100, 50, 0 }, { layer } );
        QCOMPARE( map.cachedImage().pixelColor( 25, 25 ), QColor( 26, 129, 78 ) );
        QCOMPARE( map.cachedImage().pixelColor( 75, 25 ), QColor( 175, 175, 177 ) );
    }

    void fillStyles_data()
    {
        QTest::addColumn<int>( "style" );
        QTest::addColumn<int>( "fillPixels" ); // 0 none, 1 some (hatch), 2 all
        QTest::newRow( "0 solid" ) << 0 << 2;
        QTest::newRow( "1 transparent" ) << 1 << 0;
        QTest::newRow( "2 horizontal hatch" ) << 2 << 1;
        QTest::newRow( "3 vertical hatch" ) << 3 << 1;
        QTest::newRow( "4 cross hatch" ) << 4 << 1;
        QTest::newRow( "unknown code draws solid" ) << 9 << 2;
    }

    void fillStyles()
    {
        QFETCH( int, style );
        QFETCH( int, fillPixels );
        auto layer = mLayers.layer( { "POLYGON((10 10,90 10,90 90,10 90,10 10))" }, "fill" );
        layer->symbol.color = rgb( 255, 0, 0 );
        layer->symbol.style = style;
        layer->symbol.outline = true;
        layer->symbol.outlineColor = rgb( 0, 0, 0 );
        MapWidget map;
        draw( map, 100, 100, Rect { 0, 100, 100, 0 }, { layer } );
        const QImage img = map.cachedImage();
        int red = 0;
        for ( int y = 40; y < 60; ++y )
            for ( int x = 40; x < 60; ++x )
                red += img.pixelColor( x, y ) == QColor( 255, 0, 0 ) ? 1 : 0;
        if ( fillPixels == 0 )
            QCOMPARE( red, 0 );
        else if ( fillPixels == 2 )
            QCOMPARE( red, 400 );
        else
            QVERIFY2( red > 10 && red < 300, qPrintable( QString::number( red ) ) );
        const QPointF edge = map.fromMapPoint( { 10, 50 } );
        bool outlined = false;
        for ( int dx = -1; dx <= 1; ++dx )
            outlined = outlined || img.pixelColor( static_cast<int>( edge.x() ) + dx, 50 ) == QColor( 0, 0, 0 );
        QVERIFY( outlined );
    }

    void markerSizeGrowsWithSymbolSize_data()
    {
        QTest::addColumn<double>( "size" );
        QTest::addColumn<int>( "reach" ); // pixels from the centre still filled
        QTest::newRow( "size 1 is 6 px" ) << 1.0 << 2;
        QTest::newRow( "size 2 is 10 px" ) << 2.0 << 4;
    }

    void markerSizeGrowsWithSymbolSize()
    {
        QFETCH( double, size );
        QFETCH( int, reach );
        auto layer = mLayers.layer( { "POINT(50 50)", "POINT(0 0)", "POINT(100 100)" }, "points" );
        layer->symbol.color = rgb( 0, 0, 255 );
        layer->symbol.outline = false;
        layer->symbol.style = 1; // square: its extent is exact
        layer->symbol.size = size;
        MapWidget map;
        draw( map, 101, 101, Rect { 0, 101, 101, 0 }, { layer } );
        const QPointF c = map.fromMapPoint( { 50, 50 } );
        const QImage img = map.cachedImage();
        const int cx = static_cast<int>( c.x() );
        const int cy = static_cast<int>( c.y() );
        QCOMPARE( img.pixelColor( cx + reach - 1, cy ), QColor( 0, 0, 255 ) );
        QCOMPARE( img.pixelColor( cx, cy - reach + 1 ), QColor( 0, 0, 255 ) );
        QCOMPARE( img.pixelColor( cx + reach + 2, cy ), QColor( Qt::white ) );
    }

    void labelsDrawOncePerTextUnlessDuplicatesAllowed_data()
    {
        QTest::addColumn<bool>( "allow" );
        QTest::newRow( "duplicates allowed" ) << true;
        QTest::newRow( "duplicates dropped" ) << false;
    }

    void labelsDrawOncePerTextUnlessDuplicatesAllowed()
    {
        QFETCH( bool, allow );
        auto layer = mLayers.layer( { "POLYGON((0 0,100 0,100 100,0 100,0 0))", "POLYGON((100 0,200 0,200 100,100 100,100 0))" },
                                "states", {}, { "Same", "Same" } );
        layer->symbol.style = 1;
        layer->symbol.outline = false;
        auto labels = std::make_shared<LabelRenderer>();
        labels->field = "T";
        labels->allowDuplicates = allow;
        labels->symbol( 0 ).color = rgb( 0, 0, 0 );
        labels->symbol( 0 ).font = QFont( "MS Sans Serif", 12, QFont::Bold );
        layer->renderer = labels;
        MapWidget map;
        draw( map, 200, 100, Rect { 0, 200, 100, 0 }, { layer } );
        auto inked = [&]( int x0, int x1 ) {
            int n = 0;
            for ( int y = 30; y < 70; ++y )
                for ( int x = x0; x < x1; ++x )
                    n += map.cachedImage().pixelColor( x, y ) != QColor( Qt::white ) ? 1 : 0;
            return n;
        };
        QVERIFY( inked( 20, 80 ) > 20 );
        QCOMPARE( inked( 120, 180 ) > 20, allow );
    }

    void manyFeaturesDrawInRecordOrder()
    {
        // Enough records to be drawn in slices: the last record still lies on top.
        QStringList wkts;
        std::vector<double> values;
        for ( int i = 0; i < 25000; ++i )
        {
            wkts << ( i == 24999 ? QStringLiteral( "POLYGON((0 0,100 0,100 100,0 100,0 0))" )
                                 : QStringLiteral( "POLYGON((%1 0,%2 0,%2 1,%1 1,%1 0))" ).arg( i % 100 ).arg( i % 100 + 1 ) );
            values.push_back( i == 24999 ? 2 : 1 );
        }
        auto layer = mLayers.layer( wkts, "many", values );
        auto r = std::make_shared<ClassBreaksRenderer>();
        r->field = "V";
        r->setBreakCount( 1 );
        r->setBreak( 0, 1.5 );
        r->symbol( 0 ) = solid( rgb( 255, 0, 0 ) );
        r->symbol( 1 ) = solid( rgb( 0, 0, 255 ) );
        layer->renderer = r;
        MapWidget map;
        draw( map, 100, 100, Rect { 0, 100, 100, 0 }, { layer } );
        QCOMPARE( map.cachedImage().pixelColor( 50, 99 ), QColor( 0, 0, 255 ) );
        QCOMPARE( map.cachedImage().pixelColor( 50, 50 ), QColor( 0, 0, 255 ) );
    }

    void outputMapDrawsIntoTheTargetWithEvents()
    {
        auto layer = mLayers.layer( { kSquare }, "x" );
        layer->symbol = solid( rgb( 255, 0, 0 ) );
        MapWidget map;
        draw( map, 100, 100, Rect { 0, 100, 100, 0 }, { layer } );
        QSignalSpy layers( &map, &MapWidget::beforeLayerDraw );
        QSignalSpy after( &map, &MapWidget::afterTrackingLayerDraw );
        const Geometry shape = Geometry::fromWkt( "POLYGON((40 40,60 40,60 60,40 60,40 40))" );
        connect( &map, &MapWidget::beforeTrackingLayerDraw, this, [&] { map.drawShape( shape, solid( rgb( 0, 255, 0 ) ) ); } );

        QImage page( 400, 300, QImage::Format_RGB32 );
        page.fill( Qt::white );
        QPainter p( &page );
        map.outputMap( p, QRectF( 100, 100, 200, 100 ) );
        p.end();
        QCOMPARE( layers.count(), 1 );
        QCOMPARE( after.count(), 1 );
        QVERIFY( !map.isDrawing() );
        QCOMPARE( page.pixelColor( 200, 150 ), QColor( 0, 255, 0 ) ); // the shape, centred
        QCOMPARE( page.pixelColor( 200, 110 ), QColor( 255, 0, 0 ) ); // the layer
        QCOMPARE( page.pixelColor( 110, 150 ), QColor( Qt::white ) ); // beside the square, inside the target
        QCOMPARE( page.pixelColor( 50, 50 ), QColor( Qt::white ) );   // outside the target
    }

    void windowsFontNamesMapToInstalledOnes_data()
    {
        QTest::addColumn<QString>( "name" );
        QTest::addColumn<QString>( "expected" );
        QTest::newRow( "MS Sans Serif" ) << "MS Sans Serif" << "Liberation Sans";
        QTest::newRow( "arial any case" ) << "ARIAL" << "Liberation Sans";
        QTest::newRow( "Arial Narrow" ) << "Arial Narrow" << "Liberation Sans Narrow";
        QTest::newRow( "Times New Roman" ) << "Times New Roman" << "Liberation Serif";
        QTest::newRow( "Courier New" ) << "Courier New" << "Liberation Mono";
        QTest::newRow( "other kept" ) << "DejaVu Sans" << "DejaVu Sans";
    }

    void windowsFontNamesMapToInstalledOnes()
    {
        QFETCH( QString, name );
        QFETCH( QString, expected );
        QCOMPARE( mapFontFamily( name ), expected );
    }
};

QTEST_MAIN( TestMapWidget )
#include "tst_mapwidget.moc"
