#include "frmPrint.h"

#include "PrintTarget.h"

#include "common/Dialogs.h"
#include "common/ErrorMessage.h"
#include "common/Rounding.h"
#include "common/Twips.h"
#include "gis/Fonts.h"
#include "gis/GisError.h"
#include "gis/MapWidget.h"
#include "legend/LegendControl.h"
#include "queries/md_query_results.h"
#include "scalebar/ScaleBarControl.h"
#include "workspace/md_functions.h"

#include <QDir>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStandardPaths>

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <tuple>

namespace
{
// Which standard files each side map shows; names compare exactly, case included.
const std::array<QString, 15> kReferenceFiles = {
    QStringLiteral( "30_lakes.shp" ),           QStringLiteral( "31_protectedarea.shp" ),
    QStringLiteral( "36_subcountrybnd3.shp" ),  QStringLiteral( "37_subcountrybnd2.shp" ),
    QStringLiteral( "38_subcountrybnd1.shp" ),  QStringLiteral( "39_countryboundary.shp" ),
    QStringLiteral( "40_rivers.shp" ),          QStringLiteral( "42_railroad.shp" ),
    QStringLiteral( "43_roads.shp" ),           QStringLiteral( "44_transmissionline.shp" ),
    QStringLiteral( "50_protectedarea.shp" ),   QStringLiteral( "51_powerplant.shp" ),
    QStringLiteral( "52_facilities.shp" ),      QStringLiteral( "53_airports.shp" ),
    QStringLiteral( "59_cities.shp" ) };
const std::array<QString, 8> kSolarResourceFiles = {
    QStringLiteral( "11_solar_direct.shp" ), QStringLiteral( "12_solar_tilt.shp" ),
    QStringLiteral( "13_solar_direct.shp" ), QStringLiteral( "14_solar_glo.shp" ),
    QStringLiteral( "15_solar_glo.shp" ),    QStringLiteral( "16_solar_tilt.shp" ),
    QStringLiteral( "17_solar_direct.shp" ), QStringLiteral( "18_solar_tilt.shp" ) };
const QString kElevationFile = QStringLiteral( "01_elevation.shp" );
const QString kLandUseFile = QStringLiteral( "02_landuse.shp" );
const QString kWindFile = QStringLiteral( "20_wind.shp" );

// The heading strip is drawn at this many times its screen size for the
// page, so that its text stays sharp on paper.
constexpr double kStripPictureScale = 4;

template <size_t N>
bool isOneOf( const QString &name, const std::array<QString, N> &names )
{
    return std::find( names.begin(), names.end(), name ) != names.end();
}

QLabel *pictureBox( QWidget *parent )
{
    auto *box = new QLabel( parent );
    box->setAlignment( Qt::AlignLeft | Qt::AlignTop );
    return box;
}

//! \a w as it paints itself, children included, without the screen or the clipboard.
QImage widgetPicture( QWidget &w )
{
    const QSize size = w.size();
    QImage image( ( QSizeF( size ) * kStripPictureScale ).toSize(), QImage::Format_RGB32 );
    image.fill( Qt::white );
    QPainter painter( &image );
    painter.scale( kStripPictureScale, kStripPictureScale );
    w.render( &painter, QPoint(), QRegion( QRect( QPoint(), size ) ),
              QWidget::DrawWindowBackground | QWidget::DrawChildren );
    painter.end();
    return image;
}

QImage pictureOf( const QLabel &box )
{
    return box.pixmap().toImage();
}
} // namespace

const QString frmPrint::kResourceCaption = QStringLiteral( "ANNUAL AVERAGE SOLAR RESOURCES (KWH/M2/DAY)" );

QPointer<frmPrint> frmPrint::sInstance;

frmPrint *frmPrint::instance( gis::MapWidget *mainMap )
{
    if ( !sInstance )
    {
        sInstance = new frmPrint( mainMap );
        sInstance->Form_Load();
    }
    return sInstance;
}

frmPrint *frmPrint::existingInstance()
{
    return sInstance;
}

frmPrint::frmPrint( gis::MapWidget *mainMap )
    : QDialog( nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                            | Qt::MSWindowsFixedSizeDialogHint )
    , mMainMap( mainMap )
{
    setModal( false );
    setAttribute( Qt::WA_DeleteOnClose );
    setWindowTitle( QStringLiteral( "Print Map" ) );
    setFixedSize( twips::toPxX( 9060, this ), twips::toPxY( 8655, this ) );
    createControls();
    connect( cmdPrint, &QPushButton::clicked, this, &frmPrint::cmdPrint_Click );
    connect( Command2, &QPushButton::clicked, this, &frmPrint::Command2_Click );
    connect( Map2, &gis::MapWidget::beforeLayerDraw, this, &frmPrint::Map2_BeforeLayerDraw );
}

frmPrint::~frmPrint()
{
    if ( sInstance == this )
        sInstance = nullptr;
}

void frmPrint::showEvent( QShowEvent *event )
{
    QWidget::showEvent( event );
}

void frmPrint::keyPressEvent( QKeyEvent *event )
{
    if ( event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier )
    {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent( event );
}

void frmPrint::createControls()
{
    lblHeading = new QLabel( QStringLiteral( "Enter Heading: (Limited to 50   characters.)" ), this );
    lblHeading->setWordWrap( true );
    {
        // "Enter Heading:" is as wide as the label at the program's font, which pushes the caption onto a fourth
        // line below the label; a slightly condensed face keeps it on three lines within its place.
        QFont condensed = lblHeading->font();
        condensed.setStretch( 94 );
        lblHeading->setFont( condensed );
    }
    lblHeading->setAlignment( Qt::AlignLeft | Qt::AlignTop );
    twips::place( lblHeading, 120, 120, 1095, 735 );

    // The heading strip and the scale bar strip are printed as they look: on white, like the page.
    QPalette paper = palette();
    paper.setColor( QPalette::Window, Qt::white );
    pictHeadingEmbed = new QWidget( this );
    pictHeadingEmbed->setPalette( paper );
    pictHeadingEmbed->setAutoFillBackground( true );
    twips::place( pictHeadingEmbed, 1320, 120, 6375, 375 );
    txtHeading = new QLineEdit( pictHeadingEmbed );
    QFont heading = gis::mappedFont( QFont( QStringLiteral( "MS Sans Serif" ) ) );
    heading.setPointSizeF( 8.25 );
    heading.setBold( true );
    txtHeading->setFont( heading );
    txtHeading->setAlignment( Qt::AlignCenter );
    txtHeading->setMaxLength( 50 );
    twips::place( txtHeading, -240, 0, 6600, 315 );

    Map2 = new gis::MapWidget( this );
    twips::place( Map2, 1440, 720, 4935, 2895 );

    Label1 = new QLabel( QStringLiteral( "Note: The legend list shown below may not show all the layer information. But "
                                         "the printed map will have legend for all layers.     " ),
                         this );
    Label1->setWordWrap( true );
    Label1->setAlignment( Qt::AlignLeft | Qt::AlignTop );
    twips::place( Label1, 6600, 720, 2295, 975 );

    cmdPrint = new QPushButton( QStringLiteral( "Print" ), this );
    twips::place( cmdPrint, 6480, 1800, 1095, 495 );
    Command2 = new QPushButton( QStringLiteral( "Cancel" ), this );
    twips::place( Command2, 7680, 1800, 1095, 495 );
    // Enter in the heading prints nothing.
    cmdPrint->setAutoDefault( false );
    Command2->setAutoDefault( false );

    pictHeadFromClipboard = pictureBox( this );
    twips::place( pictHeadFromClipboard, 120, 2160, 615, 375 );
    pictHeadFromClipboard->hide();
    pictScalebarFromClipboard = pictureBox( this );
    twips::place( pictScalebarFromClipboard, 120, 2520, 735, 255 );
    pictScalebarFromClipboard->hide();

    for ( gis::MapWidget **side : { &Map3, &Map5, &Map6 } )
    {
        *side = new gis::MapWidget( this );
        twips::place( *side, 7320, 2520, 1455, 1335 );
        ( *side )->hide();
    }

    // The scale bar stands at 1440, 3360 (4935 x 735) on the window, inside
    // the strip below it, which shows the bar's lower 375 twips.
    pictEmbedScalebar = new QWidget( this );
    pictEmbedScalebar->setPalette( paper );
    pictEmbedScalebar->setAutoFillBackground( true );
    twips::place( pictEmbedScalebar, 1440, 3720, 4935, 375 );
    sbMapView = new ScaleBarControl( pictEmbedScalebar );
    twips::place( sbMapView, 0, 3360 - 3720, 4935, 735 );

    // The legends lie under the picture boxes, which show their pictures.
    for ( LegendControl **legend : { &legend1, &legend3, &legend4 } )
    {
        *legend = new LegendControl( this );
        ( *legend )->setPalette( paper );
        twips::place( *legend, 240, 4200, 6015, 4335 );
    }
    Picture1 = pictureBox( this );
    twips::place( Picture1, 240, 4200, 2415, 4335 );
    Picture4 = pictureBox( this );
    twips::place( Picture4, 2640, 4200, 2535, 4335 );
    Picture3 = pictureBox( this );
    twips::place( Picture3, 5160, 4200, 2655, 4335 );
}

void frmPrint::Form_Load()
{
    try
    {
        solarAdded = false;
        if ( !mMainMap )
            throw gis::GisError( "no main map" );
        const gis::MapWidget &map1 = *mMainMap;

        // From the bottom layer, the first one loaded, to the top one.
        for ( int i = map1.layerCount() - 1; i >= 0; --i )
        {
            const gis::Layer &source = *map1.layer( i );
            const QString fileName = source.tag;
            // The copy shares the data the main map read from that file.
            auto layer = std::make_shared<gis::Layer>();
            layer->tag = fileName;
            layer->setGeoDataset( source.geoDataset() );
            md_functions::SetLayerProperties( *layer, fileName, QString() );
            Map2->addLayer( layer );
            // After the styling, which hides solar and land-use layers.
            layer->visible = source.visible;
            addLayersToOtherMaps( fileName, source );
        }
        // Once all layers are in: setting it redraws.
        Map2->setExtent( map1.extent() );

        setupScalebar();

        const std::array<std::pair<LegendControl *, gis::MapWidget *>, 3> legends = {
            { { legend1, Map3 }, { legend3, Map5 }, { legend4, Map6 } } };
        for ( const auto &[legend, map] : legends )
        {
            legend->setMapSource( map );
            legend->loadLegend( true );
            legend->setVisible( true );
        }

        showLegendPictures();
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error in Form_Load function. Error Source:frmPrint.Form_Load()" ), 48 );
    }
}

void frmPrint::showLegendPictures()
{
    // Written to the user's cache directory, never beside the program, which
    // an installed program may not write to; should even that fail, the
    // boxes take the legends' pictures as they are.
    const QString directory = legendBitmapDirectory();
    const std::array<std::tuple<LegendControl *, QLabel *, QString>, 3> pictures = {
        { { legend1, Picture1, QStringLiteral( "LegendBmp1.bmp" ) },
          { legend3, Picture3, QStringLiteral( "LegendBmp3.bmp" ) },
          { legend4, Picture4, QStringLiteral( "LegendBmp4.bmp" ) } } };
    for ( const auto &[legend, box, fileName] : pictures )
    {
        QImage picture;
        if ( !directory.isEmpty() )
        {
            const QString path = QDir( directory ).filePath( fileName );
            try
            {
                legend->saveToBmp( path );
                picture.load( path, "BMP" );
            }
            catch ( const gis::GisError & )
            {
                picture = QImage();
            }
        }
        if ( picture.isNull() )
            picture = legend->picture();
        box->clear();
        box->setPixmap( QPixmap::fromImage( picture ) );
        box->update();
    }
}

QString frmPrint::legendBitmapDirectory()
{
    const QString directory = QStandardPaths::writableLocation( QStandardPaths::CacheLocation );
    if ( directory.isEmpty() || !QDir().mkpath( directory ) )
        return {};
    return directory;
}

void frmPrint::addLayersToOtherMaps( const QString &fileName, const gis::Layer &mainLayer )
{
    try
    {
        auto layer = std::make_shared<gis::Layer>( mainLayer.geoDataset() );
        md_functions::SetLayerProperties( *layer, fileName, kResourceCaption );

        gis::MapWidget *sideMap = nullptr;
        if ( fileName == kElevationFile || fileName == kLandUseFile )
        {
            sideMap = Map5;
        }
        else if ( isOneOf( fileName, kSolarResourceFiles ) )
        {
            if ( solarAdded )
                return;
            sideMap = Map6;
            solarAdded = true;
        }
        else if ( fileName == kWindFile )
        {
            // A resource layer met after the wind layer stays out.
            sideMap = Map6;
            solarAdded = true;
        }
        else if ( isOneOf( fileName, kReferenceFiles ) )
        {
            sideMap = Map3;
        }
        else
        {
            return;
        }
        sideMap->addLayer( layer );
        layer->visible = mainLayer.visible;
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error in addLayersToOtherMaps function. Error Source:frmPrint.addLayersToOtherMaps()" ),
                      48 );
    }
}

int frmPrint::scaleBarMapUnits( const gis::MapWidget &map )
{
    if ( map.layerCount() < 1 )
        return ScaleBarControl::Metres;
    const auto &crs = map.layer( 0 )->coordinateSystem();
    if ( !crs )
        throw gis::GisError( "the first layer has no coordinate system" );
    // Any linear unit is measured in metres through its length (see setupScalebar), whatever GDAL calls it.
    if ( crs->unitName.toUpper() == QLatin1String( "DEGREE" ) )
        return ScaleBarControl::Degrees;
    return ScaleBarControl::Metres;
}

void frmPrint::setupScalebar()
{
    try
    {
        const gis::Rect extent = Map2->extent();
        sbMapView->setMapExtent( extent.left, extent.bottom, extent.right, extent.top );
        const QRect place = Map2->geometry();
        sbMapView->setScreenRect( place.left(), place.top(), place.left() + place.width(),
                                  place.top() + place.height() );

        QFont font( QStringLiteral( "Arial Narrow" ) );
        font.setPointSizeF( 8 );
        // Where neither Arial Narrow nor its stand-in is installed, the system's match for it draws the
        // labels; only a system without any font has none.
        if ( QFontInfo( gis::mappedFont( font ) ).family().isEmpty() )
        {
            Dialogs::instance().message( this, QStringLiteral( "stdole.StdFont  is not installed. Scale bar will not be printed" ),
                                         kAppTitle, Dialogs::Icon::None );
            return;
        }

        const int units = mMainMap ? scaleBarMapUnits( *mMainMap ) : ScaleBarControl::Metres;
        sbMapView->setup( true, QColor( 255, 255, 255 ), QColor( 128, 128, 128 ), QColor( 192, 192, 255 ), 3, font, units,
                          0.6f, 3 );
        if ( mMainMap && mMainMap->layerCount() > 0 )
            sbMapView->setMetresPerMapUnit( gis::groundMetresPerUnit( mMainMap->layer( 0 )->coordinateSystem() ) );
        sbMapView->refreshScaleBar();
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error in setUpScalebar function. Error Source:frmPrint.setupScalebar()" ), 48 );
    }
}

void frmPrint::Map2_BeforeLayerDraw( int index )
{
    try
    {
        draw_query_results_on_first_layer( *Map2, index );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error in Map2_BeforeLayerDraw function. Error Source:frmPrint.Map2_BeforeLayerDraw()" ),
                      48 );
    }
}

PageContent frmPrint::pageContent()
{
    if ( !mMainMap )
        throw gis::GisError( "no main map" );
    PageContent content;
    content.map = mMainMap;
    content.heading = pictureOf( *pictHeadFromClipboard );
    content.scaleBar = sbMapView;
    content.legends = { pictureOf( *Picture1 ), pictureOf( *Picture4 ), pictureOf( *Picture3 ) };
    content.ph = ConvTwips2Pix( TwipsPerPixel::screen( this ), static_cast<float>( twips::fromPxY( Picture1->height(), this ) ), 1 );
    return content;
}

void frmPrint::cmdPrint_Click()
{
    std::unique_ptr<PrintTarget> job;
    try
    {
        // Drawn from the widget itself: the clipboard and whatever covers the window stay out of it. The scale
        // bar is not copied: the page draws its own for the map as printed.
        {
            // A read-only box draws no text cursor, which has no place on paper.
            const bool readOnly = txtHeading->isReadOnly();
            txtHeading->setReadOnly( true );
            pictHeadFromClipboard->setPixmap( QPixmap::fromImage( widgetPicture( *pictHeadingEmbed ) ) );
            txtHeading->setReadOnly( readOnly );
        }
        const PageContent content = pageContent();

        job = PrintTarget::create();
        QPainter &painter = job->beginPage();
        composePage( painter, job->dpiX(), job->dpiY(), content );
        job->endPage();
        update();
    }
    catch ( const std::exception & )
    {
        // Nothing half-made goes to the printer.
        if ( job )
            job->abort();
        ErrorMessage( QStringLiteral( " Error in cmdPrint_Click function. Error Source:frmPrint. cmdPrint_Click()" ), 48 );
    }
}

void frmPrint::Command2_Click()
{
    close();
}

qint16 frmPrint::ConvTwips2Pix( const TwipsPerPixel &theDevice, float meas, int axis )
{
    try
    {
        double perPixel = 0;
        if ( axis == 0 )
            perPixel = theDevice.x;
        else if ( axis == 1 )
            perPixel = theDevice.y;
        else
            return -1;
        const double pixels = roundHalfEven( meas / perPixel );
        if ( !std::isfinite( pixels ) || pixels < -32768 || pixels > 32767 )
            throw gis::GisError( "the length does not fit 16 bits" );
        return static_cast<qint16>( pixels );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error in ConvTwips2Pix function. Error Source:frmPrint.ConvTwips2Pix()" ), 48 );
        return 0;
    }
}
