#include "ResultFixture.h"
#include "TestSupport.h"

#include "common/Constants.h"
#include "common/Twips.h"
#include "gis/Dataset.h"
#include "gis/GisError.h"
#include "gis/MapWidget.h"
#include "legend/LegendControl.h"
#include "mainwindow/frmMain.h"
#include "print/CupsPrinter.h"
#include "print/PrintPage.h"
#include "print/PrintTarget.h"
#include "print/frmPrint.h"
#include "queries/md_query_functions2.h"
#include "scalebar/ScaleBarControl.h"
#include "workspace/md_functions.h"

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <optional>

using testsupport::FieldSpec;
using testsupport::RecordingDialogs;

namespace
{
const QString kPrintError = QStringLiteral( " Error in cmdPrint_Click function. Error Source:frmPrint. cmdPrint_Click()" );

//! What the picture jobs of a test did.
struct JobLog
{
    int created = 0;
    int sent = 0;
    int aborted = 0;
    QImage page; //!< the last page sent
};

/**
 * A print job onto a letter-size picture at 60 dpi, or into the PDF file
 * \a pdf at 600 dpi; can be told to fail when the page is sent.
 */
class PageJob : public PrintTarget
{
  public:
    PageJob( JobLog &log, bool failOnSend, const QString &pdf ) : mLog( log ), mFailOnSend( failOnSend )
    {
        ++mLog.created;
        if ( !pdf.isEmpty() )
        {
            mPdf = std::make_unique<QPdfWriter>( pdf );
            mPdf->setResolution( 600 );
            return;
        }
        mImage = QImage( 510, 660, QImage::Format_RGB32 );
        mImage.setDotsPerMeterX( static_cast<int>( std::lround( 60 / 0.0254 ) ) );
        mImage.setDotsPerMeterY( mImage.dotsPerMeterX() );
        mImage.fill( Qt::white );
    }

    QPainter &beginPage() override
    {
        mPainter.begin( mPdf ? static_cast<QPaintDevice *>( mPdf.get() ) : &mImage );
        return mPainter;
    }
    double dpiX() const override { return mPdf ? 600 : 60; }
    double dpiY() const override { return dpiX(); }
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
    bool mFailOnSend;
    QImage mImage;
    std::unique_ptr<QPdfWriter> mPdf;
    QPainter mPainter;
};

//! Installs a page job factory for one test and removes it afterwards.
class PageJobs
{
  public:
    explicit PageJobs( bool failOnSend = false, const QString &pdf = {} )
    {
        PrintTarget::install( [=, this] { return std::make_unique<PageJob>( log, failOnSend, pdf ); } );
    }
    ~PageJobs() { PrintTarget::install( {} ); }
    JobLog log;
};

//! CUPS as a test sets it up: one default destination or none, and the answer to a submission.
class FakeCups : public CupsCalls
{
  public:
    std::optional<Destination> destination;
    int jobId = 0;
    QStringList submitted; //!< destination names, one per submission
    QByteArray pdf;        //!< the last file submitted, as it was then
    QString pdfPath;

    std::optional<Destination> defaultDestination() override { return destination; }
    int printFile( const Destination &d, const QString &file, const QString & ) override
    {
        submitted << QString::fromUtf8( d.name );
        pdfPath = file;
        pdf = testsupport::readBytes( file );
        return jobId;
    }
    QString lastErrorString() override { return QStringLiteral( "Destination \"PDF\" is not accepting jobs." ); }
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

//! Tag, legend name and visibility of each of \a map's layers, top first.
QStringList layerStates( const gis::MapWidget &map )
{
    QStringList states;
    for ( const gis::LayerPtr &l : map.layers() )
        states << l->tag + QLatin1Char( '|' ) + l->name + ( l->visible ? QStringLiteral( "|shown" ) : QStringLiteral( "|hidden" ) );
    return states;
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
} // namespace

class TestPrint : public QObject
{
    Q_OBJECT

    RecordingDialogs mDialogs;
    QTemporaryDir mAll;   //!< every standard name, a few written in other letter cases, plus odd systems
    QTemporaryDir mSmall; //!< a data directory to open through the menu
    QTemporaryDir mCache;

    frmMain *main() { return frmMain::instance(); }

    /**
     * Replaces the main map's layers by the fixture files \a files, in
     * loading order (the first ends at the bottom), styled as loading does;
     * those in \a hidden are hidden.
     */
    void setMainLayers( const QStringList &files, const QStringList &hidden = {} )
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

    //! Opens the print window through the menu.
    frmPrint *openPrint()
    {
        main()->mnuPrint->trigger();
        return frmPrint::existingInstance();
    }

    void closePrint()
    {
        if ( frmPrint *form = frmPrint::existingInstance() )
            form->close();
        QCoreApplication::sendPostedEvents( nullptr, QEvent::DeferredDelete );
    }

    //! Page unit where pageFoot() begins.
    static constexpr double kFootTop = 3650;

    /**
     * The foot of the page printed at \a dpiX x \a dpiY from the open print
     * window: from page unit 3650 down 500 (the map's foot, the scale bar's
     * strip and the legends' heads), all across; with the scale bar when
     * \a withBar, and what it shows in \a bar.
     */
    QImage pageFoot( double dpiX, double dpiY, bool withBar, ScaleBarControl::Figures *bar = nullptr )
    {
        const PageLayout layout = PageLayout::forPrinter( TwipsPerPixel::forResolution( dpiX, dpiY ) );
        const frmPrint *f = frmPrint::existingInstance();
        QImage page( static_cast<int>( 4400 / layout.layoutScaleX ), static_cast<int>( 500 / layout.layoutScaleY ),
                     QImage::Format_RGB32 );
        page.fill( Qt::white );
        QPainter painter( &page );
        painter.translate( 0, -kFootTop / layout.layoutScaleY );
        const PageContent content { main()->Map1, {}, withBar ? f->sbMapView : nullptr,
                                    { f->Picture1->pixmap().toImage(), f->Picture4->pixmap().toImage(),
                                      f->Picture3->pixmap().toImage() },
                                    289 };
        const ScaleBarControl::Figures shown = composePage( painter, dpiX, dpiY, content );
        if ( bar )
            *bar = shown;
        return page;
    }

    //! The page printed at 60 dpi with the current state.
    QImage printedPage()
    {
        PageJobs jobs;
        QTest::mouseClick( frmPrint::existingInstance()->cmdPrint, Qt::LeftButton );
        return jobs.log.page;
    }

  private slots:
    void initTestCase()
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
        auto write = [&]( const QString &dir, const QString &name, const QString &wkt, const QString &srs ) {
            testsupport::writeShapefile( dir, name, { wkt }, fields, row, srs );
        };
        QStringList names( Constants::kStandardFileNames.begin(), Constants::kStandardFileNames.end() );
        names << QStringLiteral( "20_WIND.shp" ) << QStringLiteral( "30_Lakes.shp" );
        for ( const QString &name : names )
            write( mAll.path(), name, square( 0, 0, 100000 ), testsupport::kUtm );
        write( mAll.path(), QStringLiteral( "no_system.shp" ), square( 0, 0, 100 ), QString() );
        write( mAll.path(), QStringLiteral( "degree.shp" ), square( 10, 50, 1 ),
               QStringLiteral( R"(GEOGCS["GCS_WGS_1984",DATUM["D_WGS_1984",SPHEROID["WGS_1984",6378137.0,298.257223563]],)"
                               R"(PRIMEM["Greenwich",0.0],UNIT["Degree",0.0174532925199433]])" ) );
        write( mAll.path(), QStringLiteral( "feet.shp" ), square( 0, 0, 300000 ),
               QStringLiteral( R"(PROJCS["Some_Feet",GEOGCS["GCS_WGS_1984",DATUM["D_WGS_1984",)"
                               R"(SPHEROID["WGS_1984",6378137.0,298.257223563]],PRIMEM["Greenwich",0.0],)"
                               R"(UNIT["Degree",0.0174532925199433]],PROJECTION["Transverse_Mercator"],)"
                               R"(PARAMETER["False_Easting",0.0],PARAMETER["False_Northing",0.0],)"
                               R"(PARAMETER["Central_Meridian",15.0],PARAMETER["Scale_Factor",0.9996],)"
                               R"(PARAMETER["Latitude_Of_Origin",0.0],UNIT["FEET",0.3048]])" ) );

        write( mAll.path(), QStringLiteral( "lakes_foot.shp" ), square( 0, 0, 100000 / testsupport::kMetresPerFoot ),
               testsupport::kUtmFeet );
        write( mAll.path(), QStringLiteral( "lakes_us_foot.shp" ), square( 0, 0, 100000 / testsupport::kMetresPerUsFoot ),
               testsupport::kUtmUsFeet );

        // Opened through the menu: loading order is name order.
        write( mSmall.path(), QStringLiteral( "01_elevation.shp" ), square( 0, 0, 100000 ), testsupport::kUtm );
        write( mSmall.path(), QStringLiteral( "20_wind.shp" ), square( 10000, 10000, 60000 ), testsupport::kUtm );
        write( mSmall.path(), QStringLiteral( "30_lakes.shp" ), square( 20000, 20000, 5000 ), testsupport::kUtm );
        write( mSmall.path(), QStringLiteral( "39_countryboundary.shp" ), square( 0, 0, 100000 ), testsupport::kUtm );
    }

    void init()
    {
        mDialogs.reset();
        md_query_functions2::cResults.reset();
        Constants::bQueryRunning = false;
    }

    void cleanup()
    {
        closePrint();
        md_query_functions2::cResults.reset();
    }

    void printOpensOnceWithLayers()
    {
        setMainLayers( {} );
        QVERIFY( openPrint() == nullptr );
        setMainLayers( { "30_lakes.shp", "43_roads.shp" } );
        frmPrint *form = openPrint();
        QVERIFY( form && form->isVisible() );
        QCOMPARE( form->windowTitle(), QStringLiteral( "Print Map" ) );
        QVERIFY( form->parentWidget() == nullptr );
        // Announced as a window, and modeless.
        QCOMPARE( QAccessible::queryAccessibleInterface( form )->role(), QAccessible::Dialog );
        QVERIFY( !form->isModal() );
        QVERIFY( mDialogs.shown.empty() );

        // Print again brings the window forward without rebuilding it: what changes
        // in the main map after the window was built does not reach it.
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

    void controlsFollowDesign()
    {
        setMainLayers( { "30_lakes.shp" } );
        frmPrint *f = openPrint();
        // A control on the window, the heading box inside its strip (reaching left of it), the stacked legends.
        QCOMPARE( twipsOnWindow( f->Map2 ), QRect( 1440, 720, 4935, 2895 ) );
        QCOMPARE( f->txtHeading->parentWidget(), f->pictHeadingEmbed );
        QCOMPARE( twipsOnWindow( f->txtHeading ), QRect( 1320 - 240, 120, 6600, 315 ) );
        QCOMPARE( twipsOnWindow( f->sbMapView ), QRect( 1440, 3360, 4935, 735 ) );
        QCOMPARE( twipsOnWindow( f->legend4 ), QRect( 240, 4200, 6015, 4335 ) );
        QCOMPARE( twipsOnWindow( f->Picture4 ), QRect( 2640, 4200, 2535, 4335 ) );
        QCOMPARE( twipsOnWindow( f ).size(), QSize( 9060, 8655 ) );

        QCOMPARE( f->lblHeading->text(), QStringLiteral( "Enter Heading: (Limited to 50   characters.)" ) );
        QCOMPARE( f->Label1->text(), QStringLiteral( "Note: The legend list shown below may not show all the layer "
                                                     "information. But the printed map will have legend for all layers.     " ) );
        QVERIFY( f->txtHeading->font().bold() );
        QCOMPARE( f->txtHeading->alignment() & Qt::AlignHCenter, Qt::AlignHCenter );
        for ( const QWidget *hidden : std::initializer_list<const QWidget *> {
                  f->pictHeadFromClipboard, f->pictScalebarFromClipboard, f->Map3, f->Map5, f->Map6 } )
            QVERIFY( !hidden->isVisible() );
        QVERIFY( f->legend1->isVisible() && f->legend3->isVisible() && f->legend4->isVisible() );

        QTest::keyClicks( f->txtHeading, QString( 60, QLatin1Char( 'x' ) ) );
        QCOMPARE( f->txtHeading->text(), QString( 50, QLatin1Char( 'x' ) ) );
    }

    void previewCopiesMainMap()
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
        QCOMPARE( layerStates( *map2 ), layerStates( *map1 ) );
        for ( int i = 0; i < map1->layerCount(); ++i )
            QVERIFY( map2->layer( i ) != map1->layer( i ) );
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

    void sideMaps_data()
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

    void sideMaps()
    {
        QFETCH( QStringList, files );
        QFETCH( QStringList, hidden );
        QFETCH( QStringList, reference );
        QFETCH( QStringList, elevation );
        QFETCH( QStringList, resource );
        setMainLayers( files, hidden );
        frmPrint *f = openPrint();
        QVERIFY( mDialogs.shown.empty() );

        // The preview keeps the usual legend names though the resource map renames its solar layer.
        QCOMPARE( layerStates( *f->Map2 ), layerStates( *main()->Map1 ) );
        QCOMPARE( fileNamesOf( *f->Map3 ), reference );
        QCOMPARE( fileNamesOf( *f->Map5 ), elevation );
        QCOMPARE( fileNamesOf( *f->Map6 ), resource );
        for ( const auto &[side, legend] : { std::pair { f->Map3, f->legend1 }, std::pair { f->Map5, f->legend3 },
                                             std::pair { f->Map6, f->legend4 } } )
        {
            QCOMPARE( legend->rowCount(), side->layerCount() );
            for ( int i = 0; i < side->layerCount(); ++i )
            {
                const gis::LayerPtr &layer = side->layer( i );
                const QString file = QFileInfo( layer->geoDataset()->path() ).fileName();
                QVERIFY( layer->tag.isEmpty() );
                QCOMPARE( layer->visible, !hidden.contains( file ) );
                if ( file.contains( QStringLiteral( "_solar_" ) ) )
                    QCOMPARE( layer->name, QStringLiteral( "ANNUAL AVERAGE SOLAR RESOURCES (KWH/M2/DAY)" ) );
                QCOMPARE( legend->rowName( i ), layer->name );
            }
        }
    }

    void scaleBarUnits_data()
    {
        QTest::addColumn<QString>( "file" );
        QTest::addColumn<int>( "units" );
        QTest::addColumn<QStringList>( "unitNames" ); // what the bar may show
        QTest::newRow( "Degree" ) << "degree.shp" << 0 << QStringList { "km", "m" };
        QTest::newRow( "FEET, measured in metres" ) << "feet.shp" << 2 << QStringList { "km", "m" };
        QTest::newRow( "foot" ) << "lakes_foot.shp" << 2 << QStringList { "km", "m" };
        QTest::newRow( "metre" ) << "30_lakes.shp" << 2 << QStringList { "km", "m" };
    }

    void scaleBarUnits()
    {
        QFETCH( QString, file );
        QFETCH( int, units );
        QFETCH( QStringList, unitNames );
        setMainLayers( { file } );
        QCOMPARE( frmPrint::scaleBarMapUnits( *main()->Map1 ), units );
        frmPrint *f = openPrint();
        // ctest runs this again with fontconfig hiding Liberation Sans Narrow (OSTRAPEL_FONTS=no-narrow) and
        // hiding every font (none): only without any font is the bar left out.
        const QByteArray fonts = qgetenv( "OSTRAPEL_FONTS" );
        const bool narrow = QFontDatabase::families().contains( QStringLiteral( "Liberation Sans Narrow" ) );
        QCOMPARE( narrow, fonts.isEmpty() );
        if ( fonts == "none" )
        {
            QCOMPARE( mDialogs.texts(), QStringList { "stdole.StdFont  is not installed. Scale bar will not be printed" } );
            QCOMPARE( f->sbMapView->segmentCount(), 0 );
            return;
        }
        QCOMPARE( f->sbMapView->segmentCount(), 3 );
        QVERIFY2( unitNames.contains( f->sbMapView->unitName() ), qPrintable( f->sbMapView->unitName() ) );
        // Arial Narrow 8, drawn with its stand-in, or with the system's match for it when that is missing.
        const QString drawn = QFontInfo( f->sbMapView->labelFont() ).family();
        QVERIFY2( narrow ? drawn == QStringLiteral( "Liberation Sans Narrow" ) : !drawn.isEmpty(), qPrintable( drawn ) );
        QCOMPARE( f->sbMapView->labelFont().pointSizeF(), 8.0 );
        QVERIFY( mDialogs.shown.empty() );
    }

    void layerWithoutCoordinateSystemIsReported()
    {
        setMainLayers( { "30_lakes.shp", "no_system.shp" } );
        frmPrint *f = openPrint();
        QCOMPARE( mDialogs.texts(),
                  QStringList { " Error in setUpScalebar function. Error Source:frmPrint.setupScalebar()" } );
        // The load goes on: the legends are there.
        QCOMPARE( f->legend1->rowCount(), 1 );
        QVERIFY( !f->Picture1->pixmap().isNull() );
    }

    void legendPictures_data()
    {
        QTest::addColumn<bool>( "cacheWritable" );
        QTest::newRow( "written to the cache directory" ) << true;
        QTest::newRow( "cache directory unusable" ) << false;
    }

    void legendPictures()
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
        for ( const char *name : { "LegendBmp1.bmp", "LegendBmp3.bmp", "LegendBmp4.bmp" } )
        {
            const QString path = mCache.filePath( QStringLiteral( "tst_print/" ) + QLatin1String( name ) );
            QCOMPARE( QFileInfo::exists( path ), cacheWritable );
            QFile::remove( path );
        }
    }

    void previewResults_data()
    {
        QTest::addColumn<bool>( "empty" );
        QTest::addColumn<bool>( "running" );
        QTest::addColumn<QColor>( "expected" );
        QTest::newRow( "results" ) << false << false << testsupport::kResultMagenta;
        QTest::newRow( "empty result set" ) << true << false << QColor( Qt::white );
        QTest::newRow( "query running" ) << false << true << QColor( Qt::white );
    }

    void previewResults()
    {
        QFETCH( bool, empty );
        QFETCH( bool, running );
        QFETCH( QColor, expected );
        setMainLayers( { "30_lakes.shp" }, { "30_lakes.shp" } );
        testsupport::setMagentaResult( empty ? QString() : square( 30000, 30000, 40000 ) );
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

    void convTwips2Pix_data()
    {
        QTest::addColumn<float>( "perPixelY" );
        QTest::addColumn<float>( "meas" );
        QTest::addColumn<int>( "axis" );
        QTest::addColumn<int>( "pixels" ); // across, 15 twips a pixel
        QTest::newRow( "across at 15" ) << 15.0f << 1500.0f << 0 << 100;
        QTest::newRow( "down, each axis its own" ) << 12.0f << 1200.0f << 1 << 100;
        QTest::newRow( "half to even, down" ) << 15.0f << 337.5f << 0 << 22;
        QTest::newRow( "half to even, up" ) << 15.0f << 352.5f << 0 << 24;
        QTest::newRow( "other axis" ) << 15.0f << 1500.0f << 2 << -1;
        QTest::newRow( "negative axis" ) << 15.0f << 1500.0f << -1 << -1;
        QTest::newRow( "beyond 16 bits" ) << 15.0f << 1.5e7f << 0 << 0;
    }

    void convTwips2Pix()
    {
        QFETCH( float, perPixelY );
        QFETCH( float, meas );
        QFETCH( int, axis );
        QFETCH( int, pixels );
        QCOMPARE( static_cast<int>( frmPrint::ConvTwips2Pix( { 15.0f, perPixelY }, meas, axis ) ), pixels );
        const QStringList reported { " Error in ConvTwips2Pix function. Error Source:frmPrint.ConvTwips2Pix()" };
        QCOMPARE( mDialogs.texts(), meas > 1e6f ? reported : QStringList() ); // the one row beyond 16 bits
    }

    void pageLayout_data()
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
        QTest::newRow( "1440 dpi" ) << 1440.0 << 1440.0 << 1.0 / 2.4 << QRect( 720, 840, 9600, 8880 )
                                    << QRectF( 1200, 9600, 2400, 4053.6 );
    }

    void pageLayout()
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

        // The scale bar printed here measures the map printed here: a 100 km square of the map measured on the
        // page against the bar's length and its labels. The bar stands whole above the legends.
        setMainLayers( { "30_lakes.shp" } );
        gis::MapWidget *map1 = main()->Map1;
        map1->layer( 0 )->renderer = nullptr;
        map1->layer( 0 )->symbol.color = gis::rgb( 0, 0, 128 );
        map1->layer( 0 )->symbol.outline = false;
        map1->setExtent( gis::Rect { -50000, 150000, 250000, 50000 } ); // the square fills the map's foot in part
        openPrint();
        ScaleBarControl::Figures bar;
        const QImage page = pageFoot( dpiX, dpiY, true, &bar );
        auto row = [&]( double pageUnits ) { return static_cast<int>( ( pageUnits - kFootTop ) / scaleY ); };
        auto navy = [&]( int x, int y ) { return qRed( page.pixel( x, y ) ) < 128; };
        auto segment = [&]( int x, int y ) { return qBlue( page.pixel( x, y ) ) - qRed( page.pixel( x, y ) ) > 40; };
        auto ink = [&]( int x, int y ) { return qRed( page.pixel( x, y ) ) < 230 && !segment( x, y ); };

        // From the map's middle column out to the square's edges, just above the strip.
        const int y = row( 3700 );
        int left = static_cast<int>( 2300 / layout.layoutScaleX );
        int right = left;
        while ( left > 0 && navy( left - 1, y ) )
            --left;
        while ( right + 1 < page.width() && navy( right + 1, y ) )
            ++right;
        const double metresPerPixel = 100000.0 / ( right - left + 1 );

        int barLeft = page.width();
        int barRight = -1;
        int inkTop = page.height();
        for ( int yy = row( 3800 ); yy < row( 4000 ); ++yy )
            for ( int x = 0; x < page.width(); ++x )
            {
                if ( segment( x, yy ) )
                {
                    barLeft = std::min( barLeft, x );
                    barRight = std::max( barRight, x );
                }
                if ( ink( x, yy ) )
                    inkTop = std::min( inkTop, yy );
            }
        QVERIFY( barRight > barLeft );
        QCOMPARE( bar.segmentCount, 3 );
        QVERIFY( bar.unitName == QStringLiteral( "km" ) || bar.unitName == QStringLiteral( "m" ) );
        const double labelled = bar.segmentLength * 3 * ( bar.unitName == QStringLiteral( "km" ) ? 1000 : 1 );
        const double barMetresPerPixel = labelled / ( barRight - barLeft + 1 );
        QVERIFY2( std::fabs( barMetresPerPixel / metresPerPixel - 1 ) < 0.02,
                  qPrintable( QStringLiteral( "bar %1 m, map %2 m a pixel" ).arg( barMetresPerPixel ).arg( metresPerPixel ) ) );
        // The labels' ink lies in the strip, below its top edge.
        QVERIFY( inkTop > row( 3800 ) && inkTop < row( 4000 ) );
        // Nothing of the legends is covered.
        const QRect legends( static_cast<int>( 500 / layout.layoutScaleX ), row( 4000 ),
                             static_cast<int>( 3000 / layout.layoutScaleX ), page.height() - row( 4000 ) );
        QCOMPARE( page.copy( legends ), pageFoot( dpiX, dpiY, false ).copy( legends ) );
    }

    void feetPrintTheMetreBar_data()
    {
        QTest::addColumn<QString>( "file" );
        QTest::addColumn<double>( "metresPerUnit" );
        QTest::newRow( "foot" ) << "lakes_foot.shp" << testsupport::kMetresPerFoot;
        QTest::newRow( "US survey foot" ) << "lakes_us_foot.shp" << testsupport::kMetresPerUsFoot;
    }

    void feetPrintTheMetreBar()
    {
        QFETCH( QString, file );
        QFETCH( double, metresPerUnit );
        // The 100 km lake square in metres and in the unit, shown over the same ground, prints the same bar.
        auto printedBar = [&]( const QString &lakes, double unit ) {
            setMainLayers( { lakes } );
            main()->Map1->setExtent( gis::Rect { -50000 / unit, 150000 / unit, 250000 / unit, 50000 / unit } );
            openPrint();
            ScaleBarControl::Figures bar;
            pageFoot( 300, 300, true, &bar );
            closePrint();
            return bar;
        };
        const ScaleBarControl::Figures metres = printedBar( QStringLiteral( "30_lakes.shp" ), 1 );
        const ScaleBarControl::Figures other = printedBar( file, metresPerUnit );
        QCOMPARE( metres.segmentCount, 3 );
        QCOMPARE( metres.unitName, QStringLiteral( "km" ) );
        QCOMPARE( other.segmentCount, metres.segmentCount );
        QCOMPARE( other.unitName, metres.unitName );
        QCOMPARE( other.labels, metres.labels );
        QVERIFY2( std::fabs( other.barPixels - metres.barPixels ) <= 1e-6 * metres.barPixels,
                  qPrintable( QStringLiteral( "%1 pixels, in metres %2" ).arg( other.barPixels ).arg( metres.barPixels ) ) );
        QVERIFY( mDialogs.shown.empty() );
    }

    void pageAt600DpiPlacesTheMap()
    {
        setMainLayers( { "30_lakes.shp" } );
        gis::MapWidget *map = main()->Map1;
        map->layer( 0 )->renderer = nullptr;
        map->layer( 0 )->symbol.color = gis::rgb( 0, 0, 128 );
        map->layer( 0 )->symbol.outline = false;
        map->setExtent( gis::Rect { 30000, 70000, 70000, 30000 } ); // inside the lake: the whole map is navy

        // The 600-dpi page, seen at a tenth of its size: the map from (30, 35) to (430, 405).
        QImage page( 510, 660, QImage::Format_RGB32 );
        page.fill( Qt::white );
        QPainter painter( &page );
        painter.scale( 0.1, 0.1 );
        composePage( painter, 600, 600, PageContent { map, {}, {}, {}, 289 } );
        painter.end();

        const QColor navy( 0, 0, 128 );
        const QColor white( Qt::white );
        for ( const auto &[x, y, color] : { std::tuple { 31, 36, navy }, std::tuple { 428, 403, navy },
                                            std::tuple { 28, 200, white }, std::tuple { 432, 200, white },
                                            std::tuple { 200, 33, white }, std::tuple { 200, 407, white } } )
            QCOMPARE( page.pixelColor( x, y ), color );
    }

    void printedPagePlacesEveryPart()
    {
        const QStringList files { "01_elevation.shp", "20_wind.shp", "30_lakes.shp" };
        setMainLayers( files, files );
        testsupport::setMagentaResult( square( 30000, 30000, 40000 ) );
        frmPrint *f = openPrint();
        QGuiApplication::clipboard()->setText( QStringLiteral( "what the user copied" ) );

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
        // The scale bar's segments (blue) show in its strip above the legends, rows 380 to 399.
        bool segments = false;
        for ( int y = 380; y < 400; ++y )
            for ( int x = 30; x < 430; ++x )
                segments = segments || plain.pixelColor( x, y ).blue() - plain.pixelColor( x, y ).red() > 40;
        QVERIFY( segments );

        // A heading changes the page only where the heading goes.
        QTest::keyClicks( f->txtHeading, QStringLiteral( "WIND SITES OF THE NORTH" ) );
        const QImage headed = printedPage();
        const QRect heading( 55, 25, 300, 15 );
        QVERIFY( headed.copy( heading ) != plain.copy( heading ) );
        QImage outside = headed.copy();
        QPainter blank( &outside );
        blank.drawImage( heading, plain, heading );
        blank.end();
        QCOMPARE( outside, plain );
        // The strips are painted directly, never through the clipboard.
        QCOMPARE( QGuiApplication::clipboard()->text(), QStringLiteral( "what the user copied" ) );
        QVERIFY( !QGuiApplication::clipboard()->mimeData()->hasImage() );

        // The legends below the scale bar, 100 pixels wide each: the reference
        // legend left, the resource legend (wind classes, blue at the top) in the
        // middle, elevation (dark green at the bottom) right.
        auto holds = [&]( int left, const QColor &c, bool near = true ) {
            for ( int y = 400; y < 560; ++y )
                for ( int x = left; x < left + 100; ++x )
                {
                    const QColor p = plain.pixelColor( x, y );
                    const int distance = std::abs( p.red() - c.red() ) + std::abs( p.green() - c.green() )
                                         + std::abs( p.blue() - c.blue() );
                    if ( ( distance < 60 ) == near )
                        return true;
                }
            return false;
        };
        QVERIFY( holds( 50, Qt::white, false ) );
        QVERIFY( holds( 150, QColor( 0, 0, 255 ) ) );
        QVERIFY( !holds( 150, QColor( 38, 115, 0 ) ) );
        QVERIFY( holds( 250, QColor( 38, 115, 0 ) ) );
        QVERIFY( !holds( 250, QColor( 0, 0, 255 ) ) );
        QVERIFY( mDialogs.shown.empty() );
    }

    void failedPrintIsAbortedAndReported_data()
    {
        QTest::addColumn<bool>( "noPrinter" );
        QTest::newRow( "sending fails" ) << false;
        QTest::newRow( "no printer" ) << true;
    }

    void failedPrintIsAbortedAndReported()
    {
        QFETCH( bool, noPrinter );
        if ( noPrinter && !QPrinterInfo::availablePrinters().isEmpty() )
            QSKIP( "a printer is installed here; this test must not print" );
        setMainLayers( { "30_lakes.shp" } );
        frmPrint *f = openPrint();
        std::optional<PageJobs> jobs;
        if ( !noPrinter )
            jobs.emplace( true );
        QTest::mouseClick( f->cmdPrint, Qt::LeftButton );
        if ( jobs )
        {
            QCOMPARE( jobs->log.created, 1 );
            QCOMPARE( jobs->log.sent, 0 );
            QCOMPARE( jobs->log.aborted, 1 );
        }
        QCOMPARE( mDialogs.texts(), QStringList { kPrintError } );
        QVERIFY( f->isVisible() );
    }

    void cupsSubmission_data()
    {
        QTest::addColumn<bool>( "printer" );
        QTest::addColumn<int>( "jobId" );
        QTest::addColumn<bool>( "reported" );
        QTest::newRow( "job accepted" ) << true << 17 << false;
        QTest::newRow( "job refused" ) << true << 0 << true;
        QTest::newRow( "no default printer" ) << false << 0 << true;
    }

    void cupsSubmission()
    {
        QFETCH( bool, printer );
        QFETCH( int, jobId );
        QFETCH( bool, reported );
        setMainLayers( { "30_lakes.shp" } );
        frmPrint *f = openPrint();
        FakeCups cups;
        if ( printer )
            cups.destination
                = CupsCalls::Destination { "PDF", QPageSize( QPageSize::A4 ), {}, QPageLayout::Landscape, { 300, 300 }, {} };
        cups.jobId = jobId;
        PrintTarget::install( [&cups] { return std::make_unique<CupsPrinter>( cups ); } );
        QTest::mouseClick( f->cmdPrint, Qt::LeftButton );
        PrintTarget::install( {} );

        QCOMPARE( mDialogs.texts(), reported ? QStringList { kPrintError } : QStringList() );
        QCOMPARE( cups.submitted, printer ? QStringList { "PDF" } : QStringList() );
        if ( !printer )
            return;
        QVERIFY( !QFileInfo::exists( cups.pdfPath ) );
        // One page on the printer's paper, turned as it is: A4 landscape.
        const QRegularExpression mediaBox( QStringLiteral( R"(/MediaBox \[0 0 ([\d.]+) ([\d.]+)\])" ) );
        const QRegularExpressionMatch box = mediaBox.match( QString::fromLatin1( cups.pdf ) );
        QVERIFY( box.hasMatch() );
        const QSizeF points( box.captured( 1 ).toDouble(), box.captured( 2 ).toDouble() );
        QVERIFY2( std::fabs( points.width() - 842 ) < 1 && std::fabs( points.height() - 595 ) < 1, qPrintable( box.captured( 0 ) ) );
    }

    void pageToPdf()
    {
        setMainLayers( { "30_lakes.shp", "39_countryboundary.shp" } );
        testsupport::setMagentaResult( square( 30000, 30000, 40000 ) );
        frmPrint *f = openPrint();
        QTemporaryDir dir;
        const QString path = dir.filePath( QStringLiteral( "page.pdf" ) );
        {
            PageJobs jobs( false, path );
            QTest::keyClicks( f->txtHeading, QStringLiteral( "Wind sites" ) );
            QTest::mouseClick( f->cmdPrint, Qt::LeftButton );
            QCOMPARE( jobs.log.sent, 1 );
        }
        QVERIFY( mDialogs.shown.empty() );
        const QByteArray bytes = testsupport::readBytes( path );
        QVERIFY( bytes.startsWith( "%PDF" ) );
        QCOMPARE( bytes.count( "/Type /Page\n" ) + bytes.count( "/Type /Page " ) + bytes.count( "/Type /Page>" ), 1 );
    }

    // Last: the second row closes the main window.
    void closingDropsTheWindowWithoutPrinting_data()
    {
        QTest::addColumn<bool>( "closeMain" );
        QTest::addColumn<bool>( "escape" );
        QTest::newRow( "Cancel" ) << false << false;
        QTest::newRow( "Enter and Escape in the heading change nothing, then Cancel" ) << false << true;
        QTest::newRow( "main window closed" ) << true << false;
    }

    void closingDropsTheWindowWithoutPrinting()
    {
        QFETCH( bool, closeMain );
        QFETCH( bool, escape );
        setMainLayers( { "30_lakes.shp" } );
        QPointer<frmPrint> form( openPrint() );
        QVERIFY( form );
        PageJobs jobs;
        if ( closeMain )
        {
            main()->mnuExit->trigger();
        }
        else if ( escape )
        {
            // Neither key prints or closes: the window is a dialog only to assistive technology.
            QTest::keyClick( form->txtHeading, Qt::Key_Return );
            QTest::keyClick( form->txtHeading, Qt::Key_Escape );
            QCoreApplication::sendPostedEvents( nullptr, QEvent::DeferredDelete );
            QVERIFY( form && form->isVisible() );
            QTest::mouseClick( form->Command2, Qt::LeftButton );
        }
        else
        {
            QTest::mouseClick( form->Command2, Qt::LeftButton );
        }
        QCoreApplication::sendPostedEvents( nullptr, QEvent::DeferredDelete );
        QVERIFY( !form );
        QVERIFY( frmPrint::existingInstance() == nullptr );
        QCOMPARE( frmMain::existingInstance() == nullptr, closeMain );
        QCOMPARE( jobs.log.created, 0 );
    }
};

QTEST_MAIN( TestPrint )
#include "tst_print.moc"
