#include "ResultFixture.h"
#include "TestSupport.h"

#include "common/Constants.h"
#include "common/Twips.h"
#include "gis/Dataset.h"
#include "gis/GisError.h"
#include "gis/MapWidget.h"
#include "legend/LegendControl.h"
#include "print/PrintPage.h"
#include "print/PrintTarget.h"
#include "print/frmPrint.h"
#include "queries/md_query_functions2.h"
#include "scalebar/ScaleBarControl.h"
#include "workspace/frmMain.h"
#include "workspace/md_functions.h"

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using testsupport::FieldSpec;
using testsupport::RecordingDialogs;

namespace
{
const QString kPrintError = QStringLiteral( " Error in cmdPrint_Click function. Error Source:frmPrint. cmdPrint_Click()" );
const QColor kNavy( 0, 0, 128 );

//! What the picture jobs of a test did.
struct JobLog
{
    int created = 0;
    int sent = 0;
    int aborted = 0;
    QImage page; //!< the last page sent
};

/**
 * A print job onto a letter-size picture at \a dpi (across and down may
 * differ); can be told to fail when the page is sent.
 */
class PictureJob : public PrintTarget
{
  public:
    PictureJob( JobLog &log, double dpiX, double dpiY, bool failOnSend )
        : mLog( log ), mDpiX( dpiX ), mDpiY( dpiY ), mFailOnSend( failOnSend )
    {
        ++mLog.created;
    }

    QPainter &beginPage() override
    {
        mImage = QImage( static_cast<int>( 8.5 * mDpiX ), static_cast<int>( 11 * mDpiY ), QImage::Format_RGB32 );
        mImage.setDotsPerMeterX( static_cast<int>( std::lround( mDpiX / 0.0254 ) ) );
        mImage.setDotsPerMeterY( static_cast<int>( std::lround( mDpiY / 0.0254 ) ) );
        mImage.fill( Qt::white );
        mPainter.begin( &mImage );
        return mPainter;
    }
    double dpiX() const override { return mDpiX; }
    double dpiY() const override { return mDpiY; }
    void endPage() override
    {
        if ( mFailOnSend )
            throw gis::GisError( "the printer went away" );
        mPainter.end();
        mLog.page = mImage;
        ++mLog.sent;
    }
    void abort() override
    {
        if ( mPainter.isActive() )
            mPainter.end();
        ++mLog.aborted;
    }

  private:
    JobLog &mLog;
    double mDpiX;
    double mDpiY;
    bool mFailOnSend;
    QImage mImage;
    QPainter mPainter;
};

//! A print job into a PDF file at 600 dpi.
class PdfJob : public PrintTarget
{
  public:
    explicit PdfJob( const QString &path ) : mWriter( path ) { mWriter.setResolution( 600 ); }
    QPainter &beginPage() override
    {
        mPainter.begin( &mWriter );
        return mPainter;
    }
    double dpiX() const override { return mWriter.resolution(); }
    double dpiY() const override { return mWriter.resolution(); }
    void endPage() override { mPainter.end(); }
    void abort() override { mPainter.end(); }

  private:
    QPdfWriter mWriter;
    QPainter mPainter;
};

//! Installs a picture job factory for one test and removes it afterwards.
class PictureJobs
{
  public:
    explicit PictureJobs( double dpiX = 60, double dpiY = 60, bool failOnSend = false )
    {
        PrintTarget::install( [this, dpiX, dpiY, failOnSend] {
            return std::make_unique<PictureJob>( log, dpiX, dpiY, failOnSend );
        } );
    }
    ~PictureJobs() { PrintTarget::install( {} ); }
    JobLog log;
};

QString square( double x, double y, double side )
{
    return QStringLiteral( "POLYGON((%1 %2,%3 %2,%3 %4,%1 %4,%1 %2))" ).arg( x ).arg( y ).arg( x + side ).arg( y + side );
}

QStringList fileNamesOf( const gis::MapWidget &map )
{
    QStringList names;
    for ( const gis::LayerPtr &l : map.layers() )
        names << QFileInfo( l->geoDataset()->path() ).fileName();
    return names;
}

QStringList tagsOf( const gis::MapWidget &map )
{
    QStringList tags;
    for ( const gis::LayerPtr &l : map.layers() )
        tags << l->tag;
    return tags;
}

//! Twips rectangle of \a w on its window.
QRect twipsOnWindow( const QWidget *w )
{
    const QPoint p = w->mapTo( w->window(), QPoint( 0, 0 ) );
    return { static_cast<int>( std::lround( twips::fromPxX( p.x(), w ) ) ),
             static_cast<int>( std::lround( twips::fromPxY( p.y(), w ) ) ),
             static_cast<int>( std::lround( twips::fromPxX( w->width(), w ) ) ),
             static_cast<int>( std::lround( twips::fromPxY( w->height(), w ) ) ) };
}

bool anyPixelDiffers( const QImage &a, const QImage &b, const QRect &area )
{
    for ( int y = area.top(); y <= area.bottom(); ++y )
        for ( int x = area.left(); x <= area.right(); ++x )
            if ( a.pixel( x, y ) != b.pixel( x, y ) )
                return true;
    return false;
}
} // namespace

class TestPrint : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();

    void printMenu_data();
    void printMenu();
    void printAgainBringsForwardWithoutRebuilding();
    void controlsFollowDesign();
    void headingTakesFiftyCharacters();
    void previewCopiesMainMap();
    void sideMaps_data();
    void sideMaps();
    void resourceLegendNamesTheSolarLayer();
    void scaleBarUnits_data();
    void scaleBarUnits();
    void layerWithoutCoordinateSystemIsReported();
    void legendPictures_data();
    void legendPictures();
    void previewResults_data();
    void previewResults();
    void convTwips2Pix_data();
    void convTwips2Pix();
    void pageLayout_data();
    void pageLayout();
    void pageAt600DpiPlacesTheMap();
    void printedPagePlacesEveryPart();
    void printLeavesClipboardAlone();
    void failedPrintIsAbortedAndReported();
    void noPrinterIsReported();
    void pageToPdf();
    void cancelClosesWithoutPrinting();
    void closingMainClosesPrintWindow();

  private:
    frmMain *main() { return frmMain::instance(); }
    /**
     * Replaces the main map's layers by the fixture files \a files, in
     * loading order (the first ends at the bottom), styled as loading does;
     * those in \a hidden are hidden.
     */
    void setMainLayers( const QStringList &files, const QStringList &hidden = {} );
    //! Opens the print window through the menu.
    frmPrint *openPrint();
    void closePrint();
    //! One magenta result square (empty model when \a empty).
    static void setResults( bool empty );
    //! The page printed at 60 dpi with the current state.
    QImage printedPage();

    RecordingDialogs mDialogs;
    QTemporaryDir mAll;   //!< every standard name, a few written in other letter cases, plus odd systems
    QTemporaryDir mSmall; //!< a data directory to open through the menu
    QTemporaryDir mCache;
};

void TestPrint::initTestCase()
{
    QVERIFY( mAll.isValid() && mSmall.isValid() && mCache.isValid() );
    qputenv( "XDG_CACHE_HOME", mCache.path().toLocal8Bit() );

    const std::vector<FieldSpec> fields = {
        { QStringLiteral( "WINDPWRD" ), FieldSpec::Real, 12, 3 }, { QStringLiteral( "Elev_m" ), FieldSpec::Real, 12, 3 },
        { QStringLiteral( "ANNDIR" ), FieldSpec::Real, 12, 3 },   { QStringLiteral( "ANNTILT" ), FieldSpec::Real, 12, 3 },
        { QStringLiteral( "ANNGLO" ), FieldSpec::Real, 12, 3 },   { QStringLiteral( "LAND_USE" ), FieldSpec::String, 40 },
        { QStringLiteral( "NAME" ), FieldSpec::String, 40 } };
    const std::vector<std::vector<QVariant>> row = { { 450.0, 700.0, 5.2, 5.4, 5.1, QStringLiteral( "FOREST" ),
                                                       QStringLiteral( "Name" ) } };
    QStringList names( Constants::kStandardFileNames.begin(), Constants::kStandardFileNames.end() );
    names << QStringLiteral( "20_WIND.shp" ) << QStringLiteral( "30_Lakes.shp" );
    for ( const QString &name : names )
        testsupport::writeShapefile( mAll.path(), name, { square( 0, 0, 100000 ) }, fields, row, testsupport::kUtm );
    testsupport::writeShapefile( mAll.path(), QStringLiteral( "no_system.shp" ), { square( 0, 0, 100 ) }, fields, row );
    testsupport::writeShapefile(
        mAll.path(), QStringLiteral( "degree.shp" ), { square( 10, 50, 1 ) }, fields, row,
        QStringLiteral( R"(GEOGCS["GCS_WGS_1984",DATUM["D_WGS_1984",SPHEROID["WGS_1984",6378137.0,298.257223563]],)"
                        R"(PRIMEM["Greenwich",0.0],UNIT["Degree",0.0174532925199433]])" ) );
    testsupport::writeShapefile(
        mAll.path(), QStringLiteral( "feet.shp" ), { square( 0, 0, 300000 ) }, fields, row,
        QStringLiteral( R"(PROJCS["Some_Feet",GEOGCS["GCS_WGS_1984",DATUM["D_WGS_1984",)"
                        R"(SPHEROID["WGS_1984",6378137.0,298.257223563]],PRIMEM["Greenwich",0.0],)"
                        R"(UNIT["Degree",0.0174532925199433]],PROJECTION["Transverse_Mercator"],)"
                        R"(PARAMETER["False_Easting",0.0],PARAMETER["False_Northing",0.0],)"
                        R"(PARAMETER["Central_Meridian",15.0],PARAMETER["Scale_Factor",0.9996],)"
                        R"(PARAMETER["Latitude_Of_Origin",0.0],UNIT["FEET",0.3048]])" ) );

    // Opened through the menu: loading order is name order.
    testsupport::writeShapefile( mSmall.path(), QStringLiteral( "01_elevation.shp" ), { square( 0, 0, 100000 ) }, fields,
                                 row, testsupport::kUtm );
    testsupport::writeShapefile( mSmall.path(), QStringLiteral( "20_wind.shp" ), { square( 10000, 10000, 60000 ) }, fields,
                                 row, testsupport::kUtm );
    testsupport::writeShapefile( mSmall.path(), QStringLiteral( "30_lakes.shp" ), { square( 20000, 20000, 5000 ) }, fields,
                                 row, testsupport::kUtm );
    testsupport::writeShapefile( mSmall.path(), QStringLiteral( "39_countryboundary.shp" ), { square( 0, 0, 100000 ) },
                                 fields, row, testsupport::kUtm );
}

void TestPrint::init()
{
    mDialogs.reset();
    md_query_functions2::cResults.reset();
    Constants::bQueryRunning = false;
}

void TestPrint::cleanup()
{
    closePrint();
    md_query_functions2::cResults.reset();
}

void TestPrint::setMainLayers( const QStringList &files, const QStringList &hidden )
{
    gis::MapWidget *map = main()->Map1;
    map->clearLayers();
    for ( const QString &file : files )
    {
        auto layer = std::make_shared<gis::Layer>( gis::Dataset::open( mAll.filePath( file ) ) );
        layer->tag = file;
        md_functions::SetLayerProperties( *layer, file, QString() );
        layer->visible = !hidden.contains( file );
        map->addLayer( layer );
    }
    map->refresh();
}

frmPrint *TestPrint::openPrint()
{
    main()->mnuPrint->trigger();
    return frmPrint::existingInstance();
}

void TestPrint::closePrint()
{
    if ( frmPrint *form = frmPrint::existingInstance() )
        form->close();
    QCoreApplication::sendPostedEvents( nullptr, QEvent::DeferredDelete );
}

void TestPrint::setResults( bool empty )
{
    testsupport::setMagentaResult( empty ? QString() : square( 30000, 30000, 40000 ) );
}

QImage TestPrint::printedPage()
{
    PictureJobs jobs;
    QTest::mouseClick( frmPrint::existingInstance()->cmdPrint, Qt::LeftButton );
    return jobs.log.page;
}

void TestPrint::printMenu_data()
{
    QTest::addColumn<QStringList>( "layers" );
    QTest::addColumn<bool>( "opens" );
    QTest::newRow( "no layer" ) << QStringList() << false;
    QTest::newRow( "one layer" ) << QStringList { "30_lakes.shp" } << true;
}

void TestPrint::printMenu()
{
    QFETCH( QStringList, layers );
    QFETCH( bool, opens );
    setMainLayers( layers );
    frmPrint *form = openPrint();
    QCOMPARE( form != nullptr, opens );
    if ( form )
    {
        QVERIFY( form->isVisible() );
        QCOMPARE( form->windowTitle(), QStringLiteral( "Print Map" ) );
        QVERIFY( form->parentWidget() == nullptr );
    }
    QVERIFY( mDialogs.shown.empty() );
}

void TestPrint::printAgainBringsForwardWithoutRebuilding()
{
    setMainLayers( { "30_lakes.shp", "43_roads.shp" } );
    frmPrint *form = openPrint();
    QVERIFY( form );
    // Switched off in the main map after the window was built.
    main()->Map1->layer( 0 )->visible = false;
    main()->Map1->addLayer( std::make_shared<gis::Layer>( gis::Dataset::open( mAll.filePath( "59_cities.shp" ) ) ) );

    QCOMPARE( openPrint(), form );
    QCOMPARE( form->Map2->layerCount(), 2 );
    QVERIFY( form->Map2->layer( 0 )->visible );
    QCOMPARE( form->Map3->layerCount(), 2 );

    // Closed and opened again: a fresh snapshot.
    closePrint();
    frmPrint *again = openPrint();
    QCOMPARE( again->Map2->layerCount(), 3 );
    QVERIFY( !again->Map2->layer( 1 )->visible );
}

void TestPrint::controlsFollowDesign()
{
    setMainLayers( { "30_lakes.shp" } );
    frmPrint *f = openPrint();
    QCOMPARE( twipsOnWindow( f->lblHeading ), QRect( 120, 120, 1095, 735 ) );
    QCOMPARE( twipsOnWindow( f->pictHeadingEmbed ), QRect( 1320, 120, 6375, 375 ) );
    QCOMPARE( f->txtHeading->parentWidget(), f->pictHeadingEmbed );
    QCOMPARE( twipsOnWindow( f->txtHeading ), QRect( 1320 - 240, 120, 6600, 315 ) );
    QCOMPARE( twipsOnWindow( f->Map2 ), QRect( 1440, 720, 4935, 2895 ) );
    QCOMPARE( twipsOnWindow( f->Label1 ), QRect( 6600, 720, 2295, 975 ) );
    QCOMPARE( twipsOnWindow( f->cmdPrint ), QRect( 6480, 1800, 1095, 495 ) );
    QCOMPARE( twipsOnWindow( f->Command2 ), QRect( 7680, 1800, 1095, 495 ) );
    QCOMPARE( twipsOnWindow( f->sbMapView ), QRect( 1440, 3360, 4935, 735 ) );
    QCOMPARE( twipsOnWindow( f->pictEmbedScalebar ), QRect( 1440, 3720, 4935, 375 ) );
    QCOMPARE( twipsOnWindow( f->legend4 ), QRect( 240, 4200, 6015, 4335 ) );
    QCOMPARE( twipsOnWindow( f->Picture1 ), QRect( 240, 4200, 2415, 4335 ) );
    QCOMPARE( twipsOnWindow( f->Picture4 ), QRect( 2640, 4200, 2535, 4335 ) );
    QCOMPARE( twipsOnWindow( f->Picture3 ), QRect( 5160, 4200, 2655, 4335 ) );
    QCOMPARE( twipsOnWindow( f->Map6 ), QRect( 7320, 2520, 1455, 1335 ) );
    QCOMPARE( QRect( QPoint(), QSize( twipsOnWindow( f ).size() ) ), QRect( 0, 0, 9060, 8655 ) );

    QCOMPARE( f->lblHeading->text(), QStringLiteral( "Enter Heading: (Limited to 50   characters.)" ) );
    QCOMPARE( f->Label1->text(), QStringLiteral( "Note: The legend list shown below may not show all the layer "
                                                 "information. But the printed map will have legend for all layers.     " ) );
    QCOMPARE( f->cmdPrint->text(), QStringLiteral( "Print" ) );
    QCOMPARE( f->Command2->text(), QStringLiteral( "Cancel" ) );
    QVERIFY( f->txtHeading->font().bold() );
    QCOMPARE( f->txtHeading->alignment() & Qt::AlignHCenter, Qt::AlignHCenter );
    for ( const QWidget *hidden : { static_cast<QWidget *>( f->pictHeadFromClipboard ),
                                    static_cast<QWidget *>( f->pictScalebarFromClipboard ),
                                    static_cast<QWidget *>( f->Map3 ), static_cast<QWidget *>( f->Map5 ),
                                    static_cast<QWidget *>( f->Map6 ) } )
        QVERIFY( !hidden->isVisible() );
    QVERIFY( f->legend1->isVisible() && f->legend3->isVisible() && f->legend4->isVisible() );
}

void TestPrint::headingTakesFiftyCharacters()
{
    setMainLayers( { "30_lakes.shp" } );
    frmPrint *f = openPrint();
    QTest::keyClicks( f->txtHeading, QString( 60, QLatin1Char( 'x' ) ) );
    QCOMPARE( f->txtHeading->text(), QString( 50, QLatin1Char( 'x' ) ) );
}

void TestPrint::previewCopiesMainMap()
{
    mDialogs.fileAnswers = { mSmall.filePath( QStringLiteral( "20_wind.shp" ) ) };
    main()->mnuOpen_Click();
    gis::MapWidget *map1 = main()->Map1;
    QCOMPARE( map1->layerCount(), 4 );
    map1->layer( 3 )->visible = false; // the elevation, loaded first
    map1->layer( 0 )->visible = true;  // the boundary
    gis::Rect zoomed = map1->fullExtent();
    zoomed.scaleRectangle( 0.5 );
    map1->setExtent( zoomed );

    frmPrint *f = openPrint();
    gis::MapWidget *map2 = f->Map2;
    QCOMPARE( tagsOf( *map2 ), tagsOf( *map1 ) );
    for ( int i = 0; i < map1->layerCount(); ++i )
    {
        QCOMPARE( map2->layer( i )->visible, map1->layer( i )->visible );
        QCOMPARE( map2->layer( i )->name, map1->layer( i )->name );
        QVERIFY( map2->layer( i ) != map1->layer( i ) );
    }
    // The main map's extent, grown about its centre to the preview's shape.
    const gis::Rect e1 = map1->extent();
    const gis::Rect e2 = map2->extent();
    QVERIFY( std::fabs( e2.center().x - e1.center().x ) < 1e-6 * e1.width() );
    QVERIFY( std::fabs( e2.center().y - e1.center().y ) < 1e-6 * e1.width() );
    QVERIFY( e2.width() >= e1.width() * ( 1 - 1e-9 ) && e2.height() >= e1.height() * ( 1 - 1e-9 ) );
    QVERIFY( std::fabs( e2.width() - e1.width() ) < 1e-6 * e1.width()
             || std::fabs( e2.height() - e1.height() ) < 1e-6 * e1.height() );
    QVERIFY( mDialogs.shown.empty() );
}

void TestPrint::sideMaps_data()
{
    // Files in loading order; the side maps list their files top layer first.
    QTest::addColumn<QStringList>( "files" );
    QTest::addColumn<QStringList>( "hidden" );
    QTest::addColumn<QStringList>( "reference" );
    QTest::addColumn<QStringList>( "elevation" );
    QTest::addColumn<QStringList>( "resource" );
    QTest::newRow( "reference layers" )
        << QStringList { "30_lakes.shp", "39_countryboundary.shp", "50_protectedarea.shp", "59_cities.shp" }
        << QStringList { "39_countryboundary.shp" }
        << QStringList { "59_cities.shp", "50_protectedarea.shp", "39_countryboundary.shp", "30_lakes.shp" }
        << QStringList() << QStringList();
    QTest::newRow( "elevation and land use" )
        << QStringList { "01_elevation.shp", "02_landuse.shp", "43_roads.shp" } << QStringList { "02_landuse.shp" }
        << QStringList { "43_roads.shp" } << QStringList { "02_landuse.shp", "01_elevation.shp" } << QStringList();
    QTest::newRow( "first solar layer, then wind" )
        << QStringList { "11_solar_direct.shp", "14_solar_glo.shp", "20_wind.shp" } << QStringList { "20_wind.shp" }
        << QStringList() << QStringList() << QStringList { "20_wind.shp", "11_solar_direct.shp" };
    QTest::newRow( "solar loaded after wind" )
        << QStringList { "20_wind.shp", "12_solar_tilt.shp" } << QStringList() << QStringList() << QStringList()
        << QStringList { "20_wind.shp" };
    QTest::newRow( "further wind files in none" )
        << QStringList { "20_wind.shp", "21_wind.shp", "22_wind.shp" } << QStringList() << QStringList()
        << QStringList() << QStringList { "20_wind.shp" };
    QTest::newRow( "names in other letter cases in none" )
        << QStringList { "20_WIND.shp", "30_Lakes.shp", "18_solar_tilt.shp" } << QStringList() << QStringList()
        << QStringList() << QStringList { "18_solar_tilt.shp" };
}

void TestPrint::sideMaps()
{
    QFETCH( QStringList, files );
    QFETCH( QStringList, hidden );
    QFETCH( QStringList, reference );
    QFETCH( QStringList, elevation );
    QFETCH( QStringList, resource );
    setMainLayers( files, hidden );
    frmPrint *f = openPrint();
    QVERIFY( mDialogs.shown.empty() );

    QCOMPARE( tagsOf( *f->Map2 ), tagsOf( *main()->Map1 ) );
    QCOMPARE( fileNamesOf( *f->Map3 ), reference );
    QCOMPARE( fileNamesOf( *f->Map5 ), elevation );
    QCOMPARE( fileNamesOf( *f->Map6 ), resource );
    for ( gis::MapWidget *side : { f->Map3, f->Map5, f->Map6 } )
        for ( const gis::LayerPtr &layer : side->layers() )
        {
            QVERIFY( layer->tag.isEmpty() );
            const QString file = QFileInfo( layer->geoDataset()->path() ).fileName();
            QCOMPARE( layer->visible, !hidden.contains( file ) );
        }
    QCOMPARE( f->legend1->rowCount(), reference.size() );
    QCOMPARE( f->legend3->rowCount(), elevation.size() );
    QCOMPARE( f->legend4->rowCount(), resource.size() );
}

void TestPrint::resourceLegendNamesTheSolarLayer()
{
    setMainLayers( { "11_solar_direct.shp", "20_wind.shp", "39_countryboundary.shp" } );
    frmPrint *f = openPrint();
    QCOMPARE( f->Map6->layer( 1 )->name, QStringLiteral( "ANNUAL AVERAGE SOLAR RESOURCES (KWH/M2/DAY)" ) );
    QCOMPARE( f->legend4->rowName( 1 ), QStringLiteral( "ANNUAL AVERAGE SOLAR RESOURCES (KWH/M2/DAY)" ) );
    // The preview keeps the usual legend names.
    QCOMPARE( f->Map2->layer( 2 )->name, QStringLiteral( "40 km Solar Concentrators Annual Average(KWH/M2/DAY)" ) );
    QCOMPARE( f->legend1->rowName( 0 ), main()->Map1->layer( 0 )->name );
}

void TestPrint::scaleBarUnits_data()
{
    QTest::addColumn<QString>( "file" );
    QTest::addColumn<int>( "units" );
    QTest::addColumn<QStringList>( "unitNames" ); // what the bar may show
    QTest::newRow( "Degree" ) << "degree.shp" << 0 << QStringList { "km", "m" };
    QTest::newRow( "FEET" ) << "feet.shp" << 1 << QStringList { "mi", "ft" };
    QTest::newRow( "metre" ) << "30_lakes.shp" << 2 << QStringList { "km", "m" };
}

void TestPrint::scaleBarUnits()
{
    QFETCH( QString, file );
    QFETCH( int, units );
    QFETCH( QStringList, unitNames );
    setMainLayers( { file } );
    QCOMPARE( frmPrint::scaleBarMapUnits( *main()->Map1 ), units );
    frmPrint *f = openPrint();
    QCOMPARE( f->sbMapView->segmentCount(), 3 );
    QVERIFY2( unitNames.contains( f->sbMapView->unitName() ), qPrintable( f->sbMapView->unitName() ) );
    QCOMPARE( f->sbMapView->labelFont().family(), QStringLiteral( "Liberation Sans Narrow" ) );
    QVERIFY( mDialogs.shown.empty() );
}

void TestPrint::layerWithoutCoordinateSystemIsReported()
{
    setMainLayers( { "30_lakes.shp", "no_system.shp" } );
    frmPrint *f = openPrint();
    QCOMPARE( mDialogs.texts(),
              QStringList { " Error in setUpScalebar function. Error Source:frmPrint.setupScalebar()" } );
    // The load goes on: the legends are there.
    QCOMPARE( f->legend1->rowCount(), 1 );
    QVERIFY( !f->Picture1->pixmap().isNull() );
}

void TestPrint::legendPictures_data()
{
    QTest::addColumn<bool>( "cacheWritable" );
    QTest::newRow( "written to the cache directory" ) << true;
    QTest::newRow( "cache directory unusable" ) << false;
}

void TestPrint::legendPictures()
{
    QFETCH( bool, cacheWritable );
    // An unusable cache: its path runs through a plain file.
    const QString blocker = mCache.filePath( QStringLiteral( "blocker" ) );
    QFile( blocker ).open( QIODevice::WriteOnly );
    if ( !cacheWritable )
        qputenv( "XDG_CACHE_HOME", blocker.toLocal8Bit() );
    setMainLayers( { "01_elevation.shp", "20_wind.shp", "30_lakes.shp" } );
    frmPrint *f = openPrint();
    qputenv( "XDG_CACHE_HOME", mCache.path().toLocal8Bit() );

    QVERIFY( mDialogs.shown.empty() );
    for ( const auto &[box, legend] : { std::pair { f->Picture1, f->legend1 }, std::pair { f->Picture3, f->legend3 },
                                        std::pair { f->Picture4, f->legend4 } } )
    {
        QVERIFY( !box->pixmap().isNull() );
        QCOMPARE( box->pixmap().toImage().convertToFormat( QImage::Format_RGB32 ),
                  legend->picture().convertToFormat( QImage::Format_RGB32 ) );
    }
    const QString directory = mCache.filePath( QStringLiteral( "tst_print" ) );
    for ( const char *name : { "LegendBmp1.bmp", "LegendBmp3.bmp", "LegendBmp4.bmp" } )
    {
        const QString path = directory + QLatin1Char( '/' ) + QLatin1String( name );
        QCOMPARE( QFileInfo::exists( path ), cacheWritable );
        QFile::remove( path );
    }
}

void TestPrint::previewResults_data()
{
    QTest::addColumn<bool>( "empty" );
    QTest::addColumn<bool>( "running" );
    QTest::addColumn<QColor>( "expected" );
    QTest::newRow( "results" ) << false << false << testsupport::kResultMagenta;
    QTest::newRow( "empty result set" ) << true << false << QColor( Qt::white );
    QTest::newRow( "query running" ) << false << true << QColor( Qt::white );
}

void TestPrint::previewResults()
{
    QFETCH( bool, empty );
    QFETCH( bool, running );
    QFETCH( QColor, expected );
    setMainLayers( { "30_lakes.shp" }, { "30_lakes.shp" } );
    setResults( empty );
    Constants::bQueryRunning = running;
    gis::MapWidget *map1 = main()->Map1;
    map1->refresh(); // the main map has drawn them

    frmPrint *f = openPrint();
    QTest::qWait( 20 ); // the redraws that showing the window brings
    const gis::Point inside { 50000, 50000 };
    // Every further redraw of either map still shows them.
    for ( int redraw = 0; redraw < 2; ++redraw )
    {
        QCOMPARE( f->Map2->cachedImage().pixelColor( f->Map2->fromMapPoint( inside ).toPoint() ), expected );
        QCOMPARE( map1->cachedImage().pixelColor( map1->fromMapPoint( inside ).toPoint() ), expected );
        f->Map2->refresh();
        map1->refresh();
    }
    Constants::bQueryRunning = false;
}

void TestPrint::convTwips2Pix_data()
{
    QTest::addColumn<float>( "perPixelX" );
    QTest::addColumn<float>( "perPixelY" );
    QTest::addColumn<float>( "meas" );
    QTest::addColumn<int>( "axis" );
    QTest::addColumn<int>( "pixels" );
    QTest::newRow( "across at 15" ) << 15.0f << 15.0f << 1500.0f << 0 << 100;
    QTest::newRow( "down at 15" ) << 15.0f << 15.0f << 1500.0f << 1 << 100;
    QTest::newRow( "each axis its own" ) << 15.0f << 12.0f << 1200.0f << 1 << 100;
    QTest::newRow( "half to even, down" ) << 15.0f << 15.0f << 337.5f << 0 << 22;
    QTest::newRow( "half to even, up" ) << 15.0f << 15.0f << 352.5f << 0 << 24;
    QTest::newRow( "other axis" ) << 15.0f << 15.0f << 1500.0f << 2 << -1;
    QTest::newRow( "negative axis" ) << 15.0f << 15.0f << 1500.0f << -1 << -1;
}

void TestPrint::convTwips2Pix()
{
    QFETCH( float, perPixelX );
    QFETCH( float, perPixelY );
    QFETCH( float, meas );
    QFETCH( int, axis );
    QFETCH( int, pixels );
    QCOMPARE( static_cast<int>( frmPrint::ConvTwips2Pix( { perPixelX, perPixelY }, meas, axis ) ), pixels );
    QVERIFY( mDialogs.shown.empty() );

    // Beyond 16 bits: reported.
    QCOMPARE( static_cast<int>( frmPrint::ConvTwips2Pix( { 1.0f, 1.0f }, 1.0e6f, 0 ) ), 0 );
    QCOMPARE( mDialogs.texts(), QStringList { " Error in ConvTwips2Pix function. Error Source:frmPrint.ConvTwips2Pix()" } );
}

void TestPrint::pageLayout_data()
{
    QTest::addColumn<double>( "dpiX" );
    QTest::addColumn<double>( "dpiY" );
    QTest::addColumn<double>( "scaleY" );
    QTest::addColumn<QRect>( "map" );
    QTest::addColumn<QRectF>( "firstLegend" ); // with ph = 289
    QTest::newRow( "600 dpi" ) << 600.0 << 600.0 << 1.0 << QRect( 300, 350, 4000, 3700 )
                               << QRectF( 500, 4000, 1000, 1689 );
    QTest::newRow( "300 dpi" ) << 300.0 << 300.0 << 2.0 << QRect( 150, 175, 2000, 1850 )
                               << QRectF( 250, 2000, 500, 844.5 );
    QTest::newRow( "720 dpi down" ) << 600.0 << 720.0 << 2.0 / 2.4 << QRect( 300, 420, 4000, 4440 )
                                    << QRectF( 500, 4800, 1000, 2026.8 );
    QTest::newRow( "1200 dpi" ) << 1200.0 << 1200.0 << 0.5 << QRect( 600, 700, 8000, 7400 )
                                << QRectF( 1000, 8000, 2000, 3378 );
    QTest::newRow( "1440 dpi" ) << 1440.0 << 1440.0 << 1.0 / 2.4 << QRect( 720, 840, 9600, 8880 )
                                << QRectF( 1200, 9600, 2400, 4053.6 );
}

void TestPrint::pageLayout()
{
    QFETCH( double, dpiX );
    QFETCH( double, dpiY );
    QFETCH( double, scaleY );
    QFETCH( QRect, map );
    QFETCH( QRectF, firstLegend );
    const PageLayout layout = PageLayout::forPrinter( TwipsPerPixel::forResolution( dpiX, dpiY ) );
    QVERIFY( std::fabs( layout.layoutScaleY - scaleY ) < 1e-6 );
    QCOMPARE( layout.map(), map );
    const QRectF legend = layout.legend( 0, 289 );
    QVERIFY( std::fabs( legend.x() - firstLegend.x() ) < 1e-3 );
    QCOMPARE( legend.y(), firstLegend.y() );
    QVERIFY( std::fabs( legend.width() - firstLegend.width() ) < 1e-3 );
    QVERIFY2( std::fabs( legend.height() - firstLegend.height() ) < 1e-2, qPrintable( QString::number( legend.height() ) ) );
    // The middle and right legends stand 1000 and 2000 page units further right, as high as the first.
    QVERIFY( std::fabs( layout.legend( 2, 289 ).x() - ( 2500 / layout.layoutScaleX ) ) < 1e-3 );
    QCOMPARE( layout.legend( 1, 289 ).height(), legend.height() );
    QVERIFY( std::fabs( layout.heading().y() - 250 / scaleY ) < 1e-3 );
    QVERIFY( std::fabs( layout.scaleBar().height() - 300 / scaleY ) < 1e-3 );
}

void TestPrint::pageAt600DpiPlacesTheMap()
{
    setMainLayers( { "30_lakes.shp" } );
    gis::MapWidget *map = main()->Map1;
    map->layer( 0 )->renderer = nullptr;
    map->layer( 0 )->symbol.color = gis::rgb( 0, 0, 128 );
    map->layer( 0 )->symbol.outline = false;
    map->setExtent( gis::Rect { 30000, 70000, 70000, 30000 } ); // inside the lake: the whole map is navy

    // The 600-dpi page, seen at a tenth of its size.
    QImage page( 510, 660, QImage::Format_RGB32 );
    page.fill( Qt::white );
    QPainter painter( &page );
    painter.scale( 0.1, 0.1 );
    composePage( painter, 600, 600, PageContent { map, {}, {}, {}, 289 } );
    painter.end();

    QCOMPARE( page.pixelColor( 31, 36 ), kNavy );
    QCOMPARE( page.pixelColor( 428, 403 ), kNavy );
    QCOMPARE( page.pixelColor( 28, 200 ), QColor( Qt::white ) );
    QCOMPARE( page.pixelColor( 432, 200 ), QColor( Qt::white ) );
    QCOMPARE( page.pixelColor( 200, 33 ), QColor( Qt::white ) );
    QCOMPARE( page.pixelColor( 200, 407 ), QColor( Qt::white ) );
}

void TestPrint::printedPagePlacesEveryPart()
{
    const QStringList files { "01_elevation.shp", "20_wind.shp", "30_lakes.shp" };
    setMainLayers( files, files );
    setResults( false );
    frmPrint *f = openPrint();

    const QImage plain = printedPage();
    QCOMPARE( plain.size(), QSize( 510, 660 ) );
    // At 60 dpi a page unit is a tenth of a pixel: the map stands at (30, 35), 400 x 370,
    // and shows the results about its middle.
    QCOMPARE( plain.pixelColor( 230, 220 ), testsupport::kResultMagenta );
    QCOMPARE( plain.pixelColor( 25, 100 ), QColor( Qt::white ) );
    // The dark grey frame from (29, 60), 400 x 315.
    QCOMPARE( plain.pixelColor( 29, 200 ), QColor( 64, 64, 64 ) );
    QCOMPARE( plain.pixelColor( 29, 50 ), QColor( Qt::white ) );
    QCOMPARE( f->pictHeadFromClipboard->pixmap().size(), f->pictHeadingEmbed->size() * 4 );
    QCOMPARE( f->pictScalebarFromClipboard->pixmap().size(), f->pictEmbedScalebar->size() * 4 );

    // A heading changes the page only where the heading goes.
    QTest::keyClicks( f->txtHeading, QStringLiteral( "WIND SITES OF THE NORTH" ) );
    const QImage headed = printedPage();
    const QRect heading( 55, 25, 300, 15 );
    QVERIFY( anyPixelDiffers( plain, headed, heading ) );
    QImage outside = headed.copy();
    QPainter blank( &outside );
    blank.drawImage( heading, plain, heading );
    blank.end();
    QCOMPARE( outside, plain );

    // The legends below the scale bar, 100 pixels wide each: the reference
    // legend left, the resource legend (wind classes, blue at the top) in the
    // middle, elevation (dark green at the bottom) right.
    auto distance = []( const QColor &a, const QColor &b ) {
        return std::abs( a.red() - b.red() ) + std::abs( a.green() - b.green() ) + std::abs( a.blue() - b.blue() );
    };
    auto holds = [&]( int left, const QColor &c, bool near = true ) {
        for ( int y = 400; y < 560; ++y )
            for ( int x = left; x < left + 100; ++x )
                if ( ( distance( plain.pixelColor( x, y ), c ) < 60 ) == near )
                    return true;
        return false;
    };
    QVERIFY( holds( 50, Qt::white, false ) );
    QVERIFY( holds( 150, QColor( 0, 0, 255 ) ) );
    QVERIFY( !holds( 150, QColor( 38, 115, 0 ) ) );
    QVERIFY( holds( 250, QColor( 38, 115, 0 ) ) );
    QVERIFY( !holds( 250, QColor( 0, 0, 255 ) ) );
    QVERIFY( mDialogs.shown.empty() );
}

void TestPrint::printLeavesClipboardAlone()
{
    setMainLayers( { "30_lakes.shp" } );
    frmPrint *f = openPrint();
    QGuiApplication::clipboard()->setText( QStringLiteral( "what the user copied" ) );
    QTest::keyClicks( f->txtHeading, QStringLiteral( "Heading" ) );
    const QImage page = printedPage();
    QVERIFY( !page.isNull() );
    QCOMPARE( QGuiApplication::clipboard()->text(), QStringLiteral( "what the user copied" ) );
    QVERIFY( !QGuiApplication::clipboard()->mimeData()->hasImage() );
}

void TestPrint::failedPrintIsAbortedAndReported()
{
    setMainLayers( { "30_lakes.shp" } );
    frmPrint *f = openPrint();
    PictureJobs jobs( 60, 60, true );
    QTest::mouseClick( f->cmdPrint, Qt::LeftButton );
    QCOMPARE( jobs.log.created, 1 );
    QCOMPARE( jobs.log.sent, 0 );
    QCOMPARE( jobs.log.aborted, 1 );
    QCOMPARE( mDialogs.texts(), QStringList { kPrintError } );
    QVERIFY( f->isVisible() );
}

void TestPrint::noPrinterIsReported()
{
    if ( !QPrinterInfo::availablePrinters().isEmpty() )
        QSKIP( "a printer is installed here; this test must not print" );
    setMainLayers( { "30_lakes.shp" } );
    frmPrint *f = openPrint();
    QTest::mouseClick( f->cmdPrint, Qt::LeftButton );
    QCOMPARE( mDialogs.texts(), QStringList { kPrintError } );
}

void TestPrint::pageToPdf()
{
    setMainLayers( { "30_lakes.shp", "39_countryboundary.shp" } );
    setResults( false );
    frmPrint *f = openPrint();
    QTemporaryDir dir;
    const QString path = dir.filePath( QStringLiteral( "page.pdf" ) );
    PrintTarget::install( [path] { return std::make_unique<PdfJob>( path ); } );
    QTest::keyClicks( f->txtHeading, QStringLiteral( "Wind sites" ) );
    QTest::mouseClick( f->cmdPrint, Qt::LeftButton );
    PrintTarget::install( {} );
    QVERIFY( mDialogs.shown.empty() );
    QFile pdf( path );
    QVERIFY( pdf.open( QIODevice::ReadOnly ) );
    const QByteArray bytes = pdf.readAll();
    QVERIFY( bytes.startsWith( "%PDF" ) );
    QCOMPARE( bytes.count( "/Type /Page\n" ) + bytes.count( "/Type /Page " ) + bytes.count( "/Type /Page>" ), 1 );
}

void TestPrint::cancelClosesWithoutPrinting()
{
    setMainLayers( { "30_lakes.shp" } );
    frmPrint *f = openPrint();
    QPointer<frmPrint> form( f );
    PictureJobs jobs;
    QTest::mouseClick( f->Command2, Qt::LeftButton );
    QCoreApplication::sendPostedEvents( nullptr, QEvent::DeferredDelete );
    QVERIFY( !form );
    QVERIFY( frmPrint::existingInstance() == nullptr );
    QCOMPARE( jobs.log.created, 0 );
}

void TestPrint::closingMainClosesPrintWindow()
{
    setMainLayers( { "30_lakes.shp" } );
    QPointer<frmPrint> form( openPrint() );
    QVERIFY( form );
    main()->mnuExit->trigger();
    QCoreApplication::sendPostedEvents( nullptr, QEvent::DeferredDelete );
    QVERIFY( !form );
    QVERIFY( frmMain::existingInstance() == nullptr );
}

QTEST_MAIN( TestPrint )
#include "tst_print.moc"
