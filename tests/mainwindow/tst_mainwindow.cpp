#include "ResultFixture.h"
#include "TestSupport.h"

#include "common/Constants.h"
#include "common/Twips.h"
#include "gis/MapWidget.h"
#include "legend/LegendControl.h"
#include "mainwindow/HelpViewer.h"
#include "mainwindow/frmMain.h"
#include "queries/QueryController.h"
#include "queries/frmShowQueryData.h"
#include "queries/md_query_functions2.h"
#include "workspace/frmShowLayersDialog.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

#include <cmath>

using testsupport::RecordingDialogs;

namespace
{
int twX( int px, const QWidget *w ) { return static_cast<int>( std::lround( twips::fromPxX( px, w ) ) ); }
int twY( int px, const QWidget *w ) { return static_cast<int>( std::lround( twips::fromPxY( px, w ) ) ); }

bool near( double a, double b, double scale )
{
    return std::fabs( a - b ) <= 1e-9 * std::max( 1.0, std::fabs( scale ) );
}

/**
 * Moves the user guide beside the program out of the way (or puts one
 * there) for the time of a test, restoring what was there afterwards.
 */
class HelpFileGuard
{
  public:
    explicit HelpFileGuard( bool present ) : mPath( frmMain::helpDocumentPath() ), mAside( mPath + ".aside" )
    {
        mHadFile = QFile::exists( mPath );
        if ( present && !mHadFile )
        {
            QFile f( mPath );
            if ( f.open( QIODevice::WriteOnly ) )
                f.write( "<html><body><h1>Ostrapel user guide</h1></body></html>" );
            mCreated = true;
        }
        else if ( !present && mHadFile )
        {
            QFile::remove( mAside );
            QFile::rename( mPath, mAside );
        }
    }
    ~HelpFileGuard()
    {
        if ( mCreated )
            QFile::remove( mPath );
        else if ( mHadFile && !QFile::exists( mPath ) )
            QFile::rename( mAside, mPath );
    }

  private:
    QString mPath;
    QString mAside;
    bool mHadFile = false;
    bool mCreated = false;
};
} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();

    void loadSetsState();
    void layoutFollowsDesign();
    void interfaceState_data();
    void interfaceState();
    void openDataset();
    void openCancelledChangesNothing();
    void pressRoundsHalfToEven_data();
    void pressRoundsHalfToEven();
    void clickZoom_data();
    void clickZoom();
    void zoomButtons();
    void originalMapButton();
    void toolChoiceSetsPointer_data();
    void toolChoiceSetsPointer();
    void resultsPaintedIntoEveryRedraw_data();
    void resultsPaintedIntoEveryRedraw();
    void resultsPaintedUnderEveryLayer();
    void legendToggleRedraws();
    void resizeKeepsMargins_data();
    void resizeKeepsMargins();
    void helpShowsGuide();
    void helpMissingIsReported();
    void closingMainClosesEveryWindow();

  private:
    frmMain *main() { return frmMain::instance(); }
    //! The main window with its map emptied and the controls updated to match.
    frmMain *emptyMain();
    //! Opens the fixture directory through the menu; returns the map at the full extent.
    gis::MapWidget *loadFixture();

    RecordingDialogs mDialogs;
    QTemporaryDir mDataDir;
};

void TestMainWindow::initTestCase()
{
    QVERIFY( mDataDir.isValid() );
    using testsupport::FieldSpec;
    const std::vector<FieldSpec> fields = { { QStringLiteral( "NAME" ), FieldSpec::String, 40 } };
    // Three small layers in metres; the boundary and the power plants start
    // shown, the lakes hidden.
    testsupport::writeShapefile( mDataDir.path(), QStringLiteral( "38_subcountrybnd1.shp" ),
                                 { QStringLiteral( "POLYGON((0 0,100000 0,100000 80000,0 80000,0 0))" ) }, fields,
                                 { { QStringLiteral( "North" ) } }, testsupport::kUtm );
    testsupport::writeShapefile( mDataDir.path(), QStringLiteral( "30_lakes.shp" ),
                                 { QStringLiteral( "POLYGON((10000 10000,20000 10000,20000 20000,10000 20000,10000 10000))" ) },
                                 fields, { { QStringLiteral( "Lake" ) } }, testsupport::kUtm );
    testsupport::writeShapefile( mDataDir.path(), QStringLiteral( "51_powerplant.shp" ),
                                 { QStringLiteral( "POINT(50000 40000)" ) }, fields, { { QStringLiteral( "Plant" ) } },
                                 testsupport::kUtm );
}

void TestMainWindow::init()
{
    mDialogs.reset();
}

frmMain *TestMainWindow::emptyMain()
{
    frmMain *w = main();
    w->Map1->clearLayers();
    w->UpdateInterface();
    return w;
}

gis::MapWidget *TestMainWindow::loadFixture()
{
    mDialogs.fileAnswers = { mDataDir.filePath( QStringLiteral( "51_powerplant.shp" ) ) };
    main()->mnuOpen_Click();
    mDialogs.reset();
    gis::MapWidget *map = main()->Map1;
    map->setExtent( map->fullExtent() );
    return map;
}

void TestMainWindow::loadSetsState()
{
    frmMain *w = main();
    QCOMPARE( w->windowTitle(), QStringLiteral( "Ostrapel" ) );
    QVERIFY( !w->isVisible() );
    QVERIFY( w->bFormLoaded );
    QVERIFY( w->bStartUpImage );
    QCOMPARE( w->iMapTool, 1 );
    QCOMPARE( w->iZoomFactor, 2 );
    QVERIFY( w->optPanZoom[1]->isChecked() );
    QCOMPARE( w->giX(), 0 );
    QCOMPARE( w->giY(), 0 );

    QCOMPARE( w->cboSelectQuery->count(), 8 );
    QCOMPARE( w->cboSelectQuery->currentIndex(), 0 );
    QCOMPARE( w->cboSelectQuery->currentText(), QStringLiteral( "No Query (Base Map)" ) );
    QCOMPARE( w->cboSelectQuery->itemText( 7 ), QStringLiteral( "Best Solar X kWh/m2/day" ) );

    QCOMPARE( Constants::sStandardFiles, Constants::kStandardFileNames );
    QVERIFY( Constants::sValueField.isEmpty() );
    QCOMPARE( w->sHelpFile, QCoreApplication::applicationDirPath() + QStringLiteral( "/PRAXEN_ONLINE_DOC.chm" ) );

    // The start-up picture covers the left panel until a query is chosen.
    QVERIFY( w->fraStartUpImage->isVisibleTo( w ) );
    QVERIFY( !w->fraEditLegend->isVisibleTo( w ) );
    QVERIFY( !w->lblWorking->isVisibleTo( w->fraEdit ) );
    // The load selects the first query, whose handler empties the working label.
    QVERIFY( w->lblWorking->text().isEmpty() );
    QVERIFY( w->optEditLegend[0]->isChecked() );
    QVERIFY( !w->fraLegend->isVisibleTo( w->fraEditLegend ) );
    QCOMPARE( w->cmdChangeLayers->parentWidget(), w->fraEdit );
    QVERIFY( w->lblMapNote->text().startsWith(
        QStringLiteral( "Ostrapel from QUELM, a HALDA Project.  For data source information, goto" ) ) );

    QCOMPARE( w->mnuFile->title(), QStringLiteral( "File" ) );
    QStringList items;
    for ( QAction *a : w->mnuFile->actions() )
        items << a->text();
    QCOMPARE( items, QStringList( { "Open Dataset...", "Save Result", "Print", "Exit" } ) );
    QCOMPARE( w->mnuHelp->text(), QStringLiteral( "Help" ) );
    QVERIFY( w->mnuHelp->menu() == nullptr );
}

void TestMainWindow::layoutFollowsDesign()
{
    frmMain *w = main();
    const QWidget *m = w->Map1;
    QCOMPARE( twX( m->x(), m ), 90 );
    QCOMPARE( twY( m->y(), m ), 630 );
    QCOMPARE( twX( w->fraMapHolder->x(), m ), 3825 );
    QCOMPARE( twY( w->fraMapHolder->y(), m ), 270 );
    QCOMPARE( twX( w->cmdZoomIn->x(), m ), 5280 );
    QCOMPARE( twX( w->cmdZoomOut->x(), m ), 8280 );
    QCOMPARE( twX( w->cboScale->x(), m ), 5640 );
    QCOMPARE( twX( w->cmdOriginalMap->x(), m ), 210 );
    QCOMPARE( twX( w->optPanZoom[2]->x(), m ), 4320 );
    QVERIFY( w->cboScale->isEditable() );
    QVERIFY( !w->cboSelectQuery->isEditable() );

    // The margins are those the load recorded against the window's size.
    QCOMPARE( w->iFrameWidthMargin, twX( w->width(), m ) - twX( w->fraMapHolder->width(), m ) );
    QCOMPARE( w->iMapHeightMargin, twY( w->height(), m ) - twY( w->Map1->height(), m ) );
    QVERIFY( w->iMapWidthMargin > w->iFrameWidthMargin );
}

void TestMainWindow::interfaceState_data()
{
    QTest::addColumn<QList<bool>>( "visible" ); // empty: no layers loaded
    QTest::addColumn<QString>( "label" );
    QTest::addColumn<bool>( "byClosingResults" ); // the refresh comes from closing the results table
    QTest::newRow( "no layers" ) << QList<bool>() << QStringLiteral( "- No layers found -" ) << false;
    QTest::newRow( "all hidden" ) << QList<bool> { false, false, false } << QString() << false;
    QTest::newRow( "mixed: every name, the last too, ends in '; '" ) << QList<bool> { true, false, true }
                                                                       << QStringLiteral( "L0; L2; " ) << false;
    QTest::newRow( "all shown, in layer order" ) << QList<bool> { true, true, true }
                                                  << QStringLiteral( "L0; L1; L2; " ) << false;
    QTest::newRow( "closing the results table refreshes the main window" )
        << QList<bool> { false, true, true } << QStringLiteral( "L1; L2; " ) << true;
}

void TestMainWindow::interfaceState()
{
    QFETCH( QList<bool>, visible );
    QFETCH( QString, label );
    QFETCH( bool, byClosingResults );
    frmMain *w = emptyMain();
    if ( !visible.isEmpty() )
    {
        gis::MapWidget *map = loadFixture();
        QCOMPARE( map->layerCount(), 3 );
        for ( int i = 0; i < 3; ++i )
        {
            map->layer( i )->name = QStringLiteral( "L%1" ).arg( i );
            map->layer( i )->visible = visible.at( i );
        }
    }
    if ( byClosingResults )
    {
        w->queries->cmdShowData_Click();
        QPointer<frmShowQueryData> results = frmShowQueryData::existingInstance();
        QVERIFY( results );
        QVERIFY( w->lblLayersCurrentlyDisplayed->text() != label );
        results->close();
        QTRY_VERIFY( !results );
    }
    else
    {
        w->UpdateInterface();
    }
    QCOMPARE( w->lblLayersCurrentlyDisplayed->text(), label );
    // Hidden layers still count as loaded for the controls.
    const bool loaded = !visible.isEmpty();
    QCOMPARE( w->cmdZoomIn->isEnabled(), loaded );
    QCOMPARE( w->cmdZoomOut->isEnabled(), loaded );
    QCOMPARE( w->cboScale->isEnabled(), loaded );
    for ( QRadioButton *opt : w->optPanZoom )
        QCOMPARE( opt->isEnabled(), loaded );
    QCOMPARE( w->cboSelectQuery->isEnabled(), loaded );
    QVERIFY( w->cmdOriginalMap->isHidden() );
    QCOMPARE( w->cboScale->count(), 1 );
    if ( loaded )
        QVERIFY( w->cboScale->currentText().startsWith( QStringLiteral( "Scale 1 : " ) ) );
    else
        QCOMPARE( w->cboScale->currentText(), QStringLiteral( "- No Map - " ) );
}

void TestMainWindow::openDataset()
{
    frmMain *w = emptyMain();
    md_functions::sDataPath = QCoreApplication::applicationDirPath();
    mDialogs.fileAnswers = { mDataDir.filePath( QStringLiteral( "30_lakes.shp" ) ) };
    w->mnuOpen_Click();
    QCOMPARE( mDialogs.fileRequests.size(), size_t( 1 ) );
    const Dialogs::FileRequest &r = mDialogs.fileRequests.front();
    QCOMPARE( r.title, QStringLiteral( "Open Dataset" ) );
    QCOMPARE( r.filter, QStringLiteral( "ESRI Shapefiles (*.shp)|*.shp" ) );
    QCOMPARE( r.defaultExt, QStringLiteral( ".shp" ) );
    QCOMPARE( r.initialDir, QCoreApplication::applicationDirPath() );
    // The whole directory loads, not only the chosen file; the redraw refreshes the interface.
    QCOMPARE( w->Map1->layerCount(), 3 );
    QVERIFY( w->cboSelectQuery->isEnabled() );
    QVERIFY( w->cmdZoomIn->isEnabled() );
    QVERIFY( mDialogs.shown.empty() );
}

void TestMainWindow::openCancelledChangesNothing()
{
    loadFixture();
    frmMain *w = main();
    const QString path = md_functions::sDataPath;
    w->mnuOpen_Click(); // no answer queued: cancelled
    QCOMPARE( mDialogs.fileRequests.size(), size_t( 1 ) );
    QCOMPARE( mDialogs.fileRequests.front().initialDir, path );
    QCOMPARE( w->Map1->layerCount(), 3 );
    QCOMPARE( md_functions::sDataPath, path );
    QVERIFY( mDialogs.shown.empty() );
}

void TestMainWindow::pressRoundsHalfToEven_data()
{
    QTest::addColumn<double>( "x" );
    QTest::addColumn<int>( "expected" );
    QTest::newRow( "10.5 to 10" ) << 10.5 << 10;
    QTest::newRow( "11.5 to 12" ) << 11.5 << 12;
    QTest::newRow( "-2.5 to -2" ) << -2.5 << -2;
    QTest::newRow( "10.49 to 10" ) << 10.49 << 10;
    QTest::newRow( "10.51 to 11" ) << 10.51 << 11;
    QTest::newRow( "large coordinate 40000.5" ) << 40000.5 << 40000;
}

void TestMainWindow::pressRoundsHalfToEven()
{
    QFETCH( double, x );
    QFETCH( int, expected );
    // Without layers the press is only stored: the release near it zooms nothing.
    frmMain *w = emptyMain();
    const gis::Rect before = w->Map1->extent();
    w->Map1_MouseDown( 1, 0, x, x + 1 );
    QCOMPARE( w->giX(), expected );
    QCOMPARE( w->giY(), static_cast<int>( std::nearbyint( x + 1 ) ) );
    w->Map1_MouseUp( 1, 0, x + 1, x + 2 );
    QCOMPARE( w->Map1->extent().width(), before.width() );
    QVERIFY( mDialogs.shown.empty() );
}

void TestMainWindow::clickZoom_data()
{
    QTest::addColumn<double>( "pressX" );
    QTest::addColumn<double>( "pressY" );
    QTest::addColumn<double>( "releaseX" );
    QTest::addColumn<double>( "releaseY" );
    QTest::addColumn<int>( "button" );
    QTest::addColumn<int>( "tool" );
    QTest::addColumn<double>( "factor" ); // 0: no click zoom

    QTest::newRow( "4 and 4 apart, left: in" ) << 100.0 << 120.0 << 104.0 << 124.0 << 1 << 1 << 0.5;
    QTest::newRow( "4 and 4 apart, right: out" ) << 100.0 << 120.0 << 104.0 << 124.0 << 2 << 1 << 2.0;
    QTest::newRow( "4 and 4 apart, middle: out" ) << 100.0 << 120.0 << 96.0 << 116.0 << 4 << 1 << 2.0;
    QTest::newRow( "5 apart in X: no click" ) << 100.0 << 120.0 << 105.0 << 120.0 << 1 << 1 << 0.0;
    QTest::newRow( "5 apart in Y: no click" ) << 100.0 << 120.0 << 100.0 << 115.0 << 2 << 1 << 0.0;
    QTest::newRow( "4.99 apart: click" ) << 100.0 << 120.0 << 104.99 << 120.0 << 1 << 1 << 0.5;
    QTest::newRow( "press 10.5 stores 10, release 14.9: click" ) << 10.5 << 30.0 << 14.9 << 30.0 << 1 << 1 << 0.5;
    QTest::newRow( "press 11.5 stores 12, release 16.9: click" ) << 11.5 << 30.0 << 16.9 << 30.0 << 1 << 1 << 0.5;
    QTest::newRow( "press 10.5 stores 10, release 15.4: no click" ) << 10.5 << 30.0 << 15.4 << 30.0 << 1 << 1 << 0.0;
    QTest::newRow( "Info tool: no click zoom" ) << 50.0 << 50.0 << 50.0 << 50.0 << 1 << 2 << 0.0;
}

void TestMainWindow::clickZoom()
{
    QFETCH( double, pressX );
    QFETCH( double, pressY );
    QFETCH( double, releaseX );
    QFETCH( double, releaseY );
    QFETCH( int, button );
    QFETCH( int, tool );
    QFETCH( double, factor );

    gis::MapWidget *map = loadFixture();
    frmMain *w = main();
    w->optPanZoom[tool]->setChecked( true );
    QCOMPARE( w->iMapTool, tool );
    const gis::Rect before = map->extent();

    // Where the release lands once the extent has been scaled about its centre.
    gis::Point expectedCentre = before.center();
    if ( factor > 0 )
    {
        gis::Rect scaled = before;
        scaled.scaleRectangle( factor );
        map->setExtent( scaled );
        expectedCentre = map->toMapPoint( static_cast<float>( releaseX ), static_cast<float>( releaseY ) );
        map->setExtent( before );
    }

    w->Map1_MouseDown( button, 0, pressX, pressY );
    QCOMPARE( map->extent().width(), before.width() ); // a press without drag keeps the extent
    w->Map1_MouseUp( button, 0, releaseX, releaseY );

    const gis::Rect after = map->extent();
    const double expectedWidth = factor > 0 ? before.width() * factor : before.width();
    QVERIFY2( near( after.width(), expectedWidth, before.width() ),
              qPrintable( QStringLiteral( "width %1, expected %2" ).arg( after.width() ).arg( expectedWidth ) ) );
    QVERIFY( near( after.center().x, expectedCentre.x, before.width() ) );
    QVERIFY( near( after.center().y, expectedCentre.y, before.width() ) );
    QVERIFY( mDialogs.shown.empty() );
    w->optPanZoom[1]->setChecked( true );
}

void TestMainWindow::zoomButtons()
{
    gis::MapWidget *map = loadFixture();
    frmMain *w = main();
    const gis::Rect full = map->extent();

    Constants::bResultsDrawn = true;
    w->cmdZoomIn_Click();
    QVERIFY( near( map->extent().width(), full.width() / 2, full.width() ) );
    QVERIFY( near( map->extent().center().x, full.center().x, full.width() ) );
    QVERIFY( !Constants::bResultsDrawn );

    w->cmdZoomOut_Click();
    w->cmdZoomOut_Click();
    QVERIFY( near( map->extent().width(), full.width() * 2, full.width() ) );
    QVERIFY( near( map->extent().center().y, full.center().y, full.width() ) );
}

void TestMainWindow::originalMapButton()
{
    gis::MapWidget *map = loadFixture();
    frmMain *w = main();
    w->UpdateInterface();
    QVERIFY( w->cmdOriginalMap->isHidden() );

    // Every redraw refreshes the controls: after a zoom in the button shows.
    w->cmdZoomIn_Click();
    QVERIFY( !w->cmdOriginalMap->isHidden() );

    w->cmdOriginalMap_Click();
    QVERIFY( near( map->extent().width(), map->fullExtent().width(), map->fullExtent().width() ) );
    QVERIFY( w->cmdOriginalMap->isHidden() );

    // Zoomed out beyond the full extent: hidden.
    w->cmdZoomOut_Click();
    QVERIFY( w->cmdOriginalMap->isHidden() );

    // In and out again, off-centre: round-off must not leave the button showing.
    w->cmdOriginalMap_Click();
    w->Map1_MouseDown( 1, 0, 37.3, 21.7 );
    w->Map1_MouseUp( 1, 0, 37.3, 21.7 );
    QVERIFY( !w->cmdOriginalMap->isHidden() );
    for ( int i = 0; i < 3; ++i )
        w->cmdZoomIn_Click();
    for ( int i = 0; i < 4; ++i )
        w->cmdZoomOut_Click();
    w->cmdOriginalMap_Click();
    QVERIFY( w->cmdOriginalMap->isHidden() );
}

void TestMainWindow::toolChoiceSetsPointer_data()
{
    QTest::addColumn<int>( "tool" );
    QTest::addColumn<int>( "pointer" );
    QTest::newRow( "Pan" ) << 0 << 53;
    QTest::newRow( "Zoom" ) << 1 << 50;
    QTest::newRow( "Info" ) << 2 << 14;
}

void TestMainWindow::toolChoiceSetsPointer()
{
    QFETCH( int, tool );
    QFETCH( int, pointer );
    frmMain *w = main();
    w->optPanZoom[( tool + 1 ) % 3]->setChecked( true );
    Constants::bResultsDrawn = true;
    w->optPanZoom[tool]->click();
    QCOMPARE( w->iMapTool, tool );
    QVERIFY( !Constants::bResultsDrawn );
    // A move replaces whatever pointer the busy state left.
    w->Map1->setMousePointer( 11 );
    w->Map1_MouseMove( 0, 0, 5, 5 );
    QCOMPARE( w->Map1->mousePointer(), pointer );
    w->optPanZoom[1]->setChecked( true );
}

void TestMainWindow::resultsPaintedIntoEveryRedraw_data()
{
    QTest::addColumn<bool>( "flagLeftSet" );
    QTest::addColumn<bool>( "queryRunning" );
    QTest::addColumn<bool>( "painted" );
    QTest::newRow( "flag clear" ) << false << false << true;
    // Another map's drawing may have left the shared flag set: ours draws all the same.
    QTest::newRow( "flag left set" ) << true << false << true;
    QTest::newRow( "query running" ) << false << true << false;
}

void TestMainWindow::resultsPaintedIntoEveryRedraw()
{
    QFETCH( bool, flagLeftSet );
    QFETCH( bool, queryRunning );
    QFETCH( bool, painted );
    gis::MapWidget *map = loadFixture();
    for ( int i = 0; i < map->layerCount(); ++i )
        map->layer( i )->visible = false;

    testsupport::setMagentaResult( QStringLiteral( "POLYGON((5000 5000,60000 5000,60000 60000,5000 60000,5000 5000))" ) );
    Constants::bQueryRunning = queryRunning;
    const QPoint inside = map->fromMapPoint( { 40000, 30000 } ).toPoint();
    const QColor expected = painted ? testsupport::kResultMagenta : QColor( Qt::white );
    for ( int redraw = 0; redraw < 2; ++redraw )
    {
        Constants::bResultsDrawn = flagLeftSet;
        map->refresh();
        QCOMPARE( map->cachedImage().pixelColor( inside ), expected );
    }
    Constants::bQueryRunning = false;
    md_query_functions2::cResults.reset();
}

void TestMainWindow::resultsPaintedUnderEveryLayer()
{
    gis::MapWidget *map = loadFixture();
    // Layers bottom to top: lakes (solid blue square), the boundary (outline
    // only), the power plant (a point elsewhere).
    QCOMPARE( map->layer( 2 )->tag, QStringLiteral( "30_lakes.shp" ) );
    for ( int i = 0; i < 3; ++i )
    {
        map->layer( i )->renderer = nullptr;
        map->layer( i )->visible = true;
    }
    map->layer( 2 )->symbol.color = gis::rgb( 0, 0, 255 );
    map->layer( 2 )->symbol.outline = false;
    map->layer( 1 )->symbol.style = 1;

    testsupport::setMagentaResult( QStringLiteral( "POLYGON((5000 5000,60000 5000,60000 60000,5000 60000,5000 5000))" ) );
    Constants::bQueryRunning = false;

    map->refresh();
    const QImage &image = map->cachedImage();
    // Painted once, before the bottom layer: every layer covers the results.
    const QPointF inLake = map->fromMapPoint( { 15000, 15000 } );
    QCOMPARE( image.pixelColor( inLake.toPoint() ), QColor( 0, 0, 255 ) );
    const QPointF outsideLake = map->fromMapPoint( { 40000, 30000 } );
    QCOMPARE( image.pixelColor( outsideLake.toPoint() ), testsupport::kResultMagenta );
    md_query_functions2::cResults.reset();
}

void TestMainWindow::legendToggleRedraws()
{
    loadFixture();
    frmMain *w = main();
    int redraws = 0;
    QMetaObject::Connection c = connect( w->Map1, &gis::MapWidget::afterTrackingLayerDraw, this, [&] { ++redraws; } );
    Constants::bResultsDrawn = true;
    w->legend_AfterSetLayerVisible( 0 );
    QCOMPARE( redraws, 1 );
    QVERIFY( !Constants::bResultsDrawn );
    disconnect( c );
}

void TestMainWindow::resizeKeepsMargins_data()
{
    QTest::addColumn<int>( "dw" );
    QTest::addColumn<int>( "dh" );
    QTest::addColumn<bool>( "loaded" );
    QTest::addColumn<bool>( "follows" );
    QTest::newRow( "larger" ) << 150 << 90 << true << true;
    QTest::newRow( "smaller, still positive" ) << -200 << -150 << true << true;
    QTest::newRow( "narrower than the width margin" ) << -700 << 0 << true << false;
    QTest::newRow( "lower than the height margin" ) << 0 << -560 << true << false;
    QTest::newRow( "before the load ends" ) << 100 << 100 << false << false;
}

void TestMainWindow::resizeKeepsMargins()
{
    QFETCH( int, dw );
    QFETCH( int, dh );
    QFETCH( bool, loaded );
    QFETCH( bool, follows );
    frmMain *w = main();
    const QSize design = w->size();
    const QSize frame = w->fraMapHolder->size();
    const QSize map = w->Map1->size();

    w->setMinimumSize( 1, 1 );
    w->bFormLoaded = loaded;
    w->resize( design.width() + dw, design.height() + dh );
    w->Form_Resize();
    w->bFormLoaded = true;
    if ( follows )
    {
        QCOMPARE( w->fraMapHolder->size(), frame + QSize( dw, dh ) );
        QCOMPARE( w->Map1->size(), map + QSize( dw, dh ) );
        QCOMPARE( w->lblMapNote->y(), w->Map1->y() + w->Map1->height() + twips::toPxY( 45, w ) );
    }
    else
    {
        QCOMPARE( w->fraMapHolder->size(), frame );
        QCOMPARE( w->Map1->size(), map );
    }
    // Nothing else moves.
    QCOMPARE( twX( w->cboSelectQuery->x(), w ), 120 );
    QCOMPARE( twX( w->cmdZoomOut->x(), w ), 8280 );

    // The next resize that leaves every difference positive resizes again.
    w->resize( design );
    w->Form_Resize();
    QCOMPARE( w->fraMapHolder->size(), frame );
    QCOMPARE( w->Map1->size(), map );
}

void TestMainWindow::helpShowsGuide()
{
    HelpFileGuard guard( true );
    main()->mnuHelp_Click();
    QVERIFY( mDialogs.shown.empty() );
    HelpViewer *viewer = HelpViewer::existingInstance();
    QVERIFY( viewer );
    QVERIFY( viewer->isVisible() );
    QVERIFY( !viewer->browser()->toPlainText().trimmed().isEmpty() );
    viewer->close();
}

void TestMainWindow::helpMissingIsReported()
{
    HelpFileGuard guard( false );
    main()->mnuHelp_Click();
    QCOMPARE( mDialogs.shown.size(), size_t( 1 ) );
    QCOMPARE( mDialogs.shown.front().text,
              QStringLiteral( " Error while trying to open Help. Error Source:frmMain.mnuHelp_Click()" ) );
    QCOMPARE( mDialogs.shown.front().title, QStringLiteral( "QUELM3" ) );
    QVERIFY( mDialogs.shown.front().icon == Dialogs::Icon::None );
}

void TestMainWindow::closingMainClosesEveryWindow()
{
    frmMain *w = main();
    w->show();
    QPointer<frmShowLayersDialog> layers = frmShowLayersDialog::instance();
    {
        HelpFileGuard guard( true );
        w->mnuHelp_Click();
    }
    QPointer<HelpViewer> help = HelpViewer::existingInstance();
    QVERIFY( help && help->isVisible() );
    // Stands for the Info, results and print windows: one owned, one not.
    QPointer<QWidget> owned = new QWidget( w, Qt::Window );
    owned->show();
    QPointer<QWidget> loose = new QWidget;
    loose->show();

    w->mnuExit->trigger();
    QCoreApplication::sendPostedEvents( nullptr, QEvent::DeferredDelete );

    QVERIFY( frmMain::existingInstance() == nullptr );
    QVERIFY( !help );
    QVERIFY( !layers );
    QVERIFY( !owned );
    QVERIFY( !loose );
    QVERIFY( mDialogs.shown.empty() );

    // A new first use loads a fresh window.
    QVERIFY( frmMain::instance()->bFormLoaded );
}

QTEST_MAIN( TestMainWindow )
#include "tst_mainwindow.moc"
