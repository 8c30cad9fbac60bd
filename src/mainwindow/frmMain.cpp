#include "frmMain.h"

#include "HelpViewer.h"

#include "common/Constants.h"
#include "common/Controls.h"
#include "common/Dialogs.h"
#include "common/ErrorMessage.h"
#include "common/Resources.h"
#include "common/Twips.h"
#include "gis/MapWidget.h"
#include "legend/LegendControl.h"
#include "print/frmPrint.h"
#include "queries/QueryController.h"
#include "queries/md_query_list.h"
#include "queries/md_query_save.h"
#include "workspace/frmShowLayersDialog.h"
#include "workspace/md_functions.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

#include <cmath>
#include <exception>
#include <stdexcept>

namespace
{
const QString kMapNote = QStringLiteral( "Ostrapel from QUELM, a HALDA Project.  For data source information, goto" );
const QString kProjectWebAddress = QStringLiteral( "ostrapel.example.org" );
const QString kHelpFileName = QStringLiteral( "PRAXEN_ONLINE_DOC.chm" );

int toTwipsX( int px, const QWidget *w ) { return static_cast<int>( std::lround( twips::fromPxX( px, w ) ) ); }
int toTwipsY( int px, const QWidget *w ) { return static_cast<int>( std::lround( twips::fromPxY( px, w ) ) ); }

void setTextColor( QWidget *w, const QColor &c )
{
    QPalette p = w->palette();
    p.setColor( QPalette::WindowText, c );
    p.setColor( QPalette::ButtonText, c );
    w->setPalette( p );
}

void setBackground( QWidget *w, const QColor &c )
{
    QPalette p = w->palette();
    p.setColor( QPalette::Window, c );
    w->setPalette( p );
    w->setAutoFillBackground( true );
}

QFrame *borderlessFrame( QWidget *parent )
{
    auto *f = new QFrame( parent );
    f->setFrameShape( QFrame::NoFrame );
    return f;
}
} // namespace

QPointer<frmMain> frmMain::sInstance;

frmMain *frmMain::instance()
{
    if ( !sInstance )
    {
        // Published before the load so that anything the load triggers finds this instance.
        sInstance = new frmMain;
        sInstance->Form_Load();
    }
    return sInstance;
}

frmMain *frmMain::existingInstance()
{
    return sInstance;
}

frmMain::frmMain()
{
    initProgramResources();
    setWindowTitle( QStringLiteral( "Ostrapel" ) );
    createControls();
    createMenus();
    connectEvents();
    createQueryPanel();
}

void frmMain::createQueryPanel()
{
    MainWindowParts parts;
    parts.window = this;
    parts.Map1 = Map1;
    parts.legend = legend;
    parts.cboSelectQuery = cboSelectQuery;
    parts.lblWorking = lblWorking;
    parts.fraEdit = fraEdit;
    parts.fraStartUpImage = fraStartUpImage;
    parts.fraEditLegend = fraEditLegend;
    parts.fraLegend = fraLegend;
    parts.optEditLegend[0] = optEditLegend[0];
    parts.optEditLegend[1] = optEditLegend[1];
    parts.cmdChangeLayers = cmdChangeLayers;
    parts.UpdateInterface = [this] { UpdateInterface(); };
    parts.setMenusEnabled = [this]( bool enable ) {
        mnuOpen->setEnabled( enable );
        mnuSave->setEnabled( enable );
        mnuPrint->setEnabled( enable );
    };
    parts.bStartUpImage = &bStartUpImage;
    queries = new QueryController( parts );
}

frmMain::~frmMain()
{
    if ( sInstance == this )
        sInstance = nullptr;
}

QString frmMain::helpDocumentPath()
{
    return QCoreApplication::applicationDirPath() + QLatin1Char( '/' ) + QFileInfo( kHelpFileName ).completeBaseName()
           + QStringLiteral( ".html" );
}

void frmMain::createControls()
{
    auto *client = new QWidget( this );
    setCentralWidget( client );

    Toolbar1 = new QWidget( client );
    Toolbar1->setObjectName( QStringLiteral( "Toolbar1" ) );
    twips::place( Toolbar1, 0, 0, 12630, 420 );

    lblSelectQuery = new QLabel( QStringLiteral( "Select Query:" ), client );
    QFont bold = lblSelectQuery->font();
    bold.setBold( true );
    lblSelectQuery->setFont( bold );
    twips::place( lblSelectQuery, 120, 480, 1335, 255 );

    cboSelectQuery = new QComboBox( client );
    cboSelectQuery->setEditable( false );
    twips::place( cboSelectQuery, 120, 720, 3615, 315 );

    // Left panel: the start-up picture, replaced for good by the editor/legend panel.
    fraStartUpImage = borderlessFrame( client );
    twips::place( fraStartUpImage, 120, 1080, 3495, 6495 );
    Image1 = new QLabel( fraStartUpImage );
    Image1->setPixmap( QPixmap( QStringLiteral( ":/startup.png" ) ) );
    Image1->setGeometry( 0, 0, 216, 417 );

    fraEditLegend = borderlessFrame( client );
    twips::place( fraEditLegend, 120, 1080, 3495, 6495 );
    fraEditLegend->hide();

    optEditLegend[0] = new QRadioButton( QStringLiteral( "Edit Map" ), fraEditLegend );
    twips::place( optEditLegend[0], 120, 0, 1335, 255 );
    optEditLegend[1] = new QRadioButton( QStringLiteral( "Show Map legend" ), fraEditLegend );
    twips::place( optEditLegend[1], 1560, 0, 1875, 255 );
    optEditLegend[0]->setChecked( true );

    // The query editor. The parameter panel stands at 150, 240 (3015 x 2835) and
    // the run and results buttons below it; the layer button, the working label
    // and the list of displayed layers follow.
    fraEdit = borderlessFrame( fraEditLegend );
    twips::place( fraEdit, 0, 300, 3495, 6195 );

    cmdChangeLayers = new QPushButton( QStringLiteral( "Change Layers..." ), fraEdit );
    twips::place( cmdChangeLayers, 150, 3720, 1455, 375 );

    lblWorking = new QLabel( QStringLiteral( "Creating Map..." ), fraEdit );
    lblWorking->setWordWrap( true );
    lblWorking->setAlignment( Qt::AlignLeft | Qt::AlignTop );
    setTextColor( lblWorking, QColor( 0, 0, 255 ) );
    twips::place( lblWorking, 150, 4200, 3195, 735 );
    lblWorking->hide();

    lblLayersHeading = new QLabel( QStringLiteral( "Layers currently displayed" ), fraEdit );
    lblLayersHeading->setFont( bold );
    twips::place( lblLayersHeading, 150, 5040, 3195, 255 );

    lblLayersCurrentlyDisplayed = new QLabel( fraEdit );
    lblLayersCurrentlyDisplayed->setWordWrap( true );
    lblLayersCurrentlyDisplayed->setAlignment( Qt::AlignLeft | Qt::AlignTop );
    twips::place( lblLayersCurrentlyDisplayed, 150, 5295, 3195, 855 );

    fraLegend = borderlessFrame( fraEditLegend );
    setBackground( fraLegend, QColor( 224, 224, 224 ) );
    twips::place( fraLegend, 0, 300, 3495, 6195 );
    legend = new LegendControl( fraLegend );
    legend->setGeometry( 0, 0, fraLegend->width(), fraLegend->height() );
    fraLegend->hide();

    // The map frame.
    fraMapHolder = new QFrame( client );
    fraMapHolder->setFrameShape( QFrame::NoFrame );
    setBackground( fraMapHolder, Qt::black );
    twips::place( fraMapHolder, 3825, 270, 8790, 7710 );

    cmdOriginalMap = new QPushButton( QStringLiteral( "Back to Original Map" ), fraMapHolder );
    twips::place( cmdOriginalMap, 210, 210, 1740, 300 );

    const std::array<QString, 3> toolCaptions = { QStringLiteral( "Pan" ), QStringLiteral( "Zoom" ),
                                                  QStringLiteral( "Info" ) };
    const std::array<int, 3> toolLefts = { 2100, 3120, 4320 };
    const std::array<int, 3> toolWidths = { 915, 1095, 855 };
    grpPanZoom = new QButtonGroup( this );
    for ( int i = 0; i < 3; ++i )
    {
        optPanZoom[i] = new QRadioButton( toolCaptions[i], fraMapHolder );
        setTextColor( optPanZoom[i], Qt::white );
        twips::place( optPanZoom[i], toolLefts[i], 300, toolWidths[i], 255 );
        grpPanZoom->addButton( optPanZoom[i], i );
    }

    QFont courier( QStringLiteral( "Courier New" ) );
    courier.setPointSizeF( 9.75 );

    cmdZoomIn = new QPushButton( QStringLiteral( "+" ), fraMapHolder );
    cmdZoomIn->setFont( courier );
    twips::place( cmdZoomIn, 5280, 210, 330, 330 );

    cboScale = new QComboBox( fraMapHolder );
    // Typing in it changes nothing, and it always holds the one scale item.
    controls::makeEditableAsTyped( cboScale );
    cboScale->setEditText( QStringLiteral( "Scale Drop-down" ) );
    twips::place( cboScale, 5640, 210, 2565, 315 );

    cmdZoomOut = new QPushButton( QStringLiteral( "-" ), fraMapHolder );
    cmdZoomOut->setFont( courier );
    twips::place( cmdZoomOut, 8280, 210, 330, 330 );

    Map1 = new gis::MapWidget( fraMapHolder );
    twips::place( Map1, 90, 630, 8565, 6705 );

    lblMapNote = new QLabel( kMapNote + QLatin1Char( ' ' ) + kProjectWebAddress, fraMapHolder );
    setTextColor( lblMapNote, Qt::white );
    lblMapNote->setAttribute( Qt::WA_TranslucentBackground );
    twips::place( lblMapNote, 90, 630 + 6705 + 45, 8565, 255 );

    Toolbar1->lower();
}

void frmMain::createMenus()
{
    mnuFile = menuBar()->addMenu( QStringLiteral( "File" ) );
    mnuOpen = mnuFile->addAction( QStringLiteral( "Open Dataset..." ) );
    mnuSave = mnuFile->addAction( QStringLiteral( "Save Result" ) );
    mnuPrint = mnuFile->addAction( QStringLiteral( "Print" ) );
    mnuExit = mnuFile->addAction( QStringLiteral( "Exit" ) );
    // A top-level item without sub-items that acts when chosen.
    mnuHelp = menuBar()->addAction( QStringLiteral( "Help" ) );

    connect( mnuOpen, &QAction::triggered, this, &frmMain::mnuOpen_Click );
    connect( mnuPrint, &QAction::triggered, this, &frmMain::mnuPrint_Click );
    connect( mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click );
    connect( mnuHelp, &QAction::triggered, this, &frmMain::mnuHelp_Click );
}

void frmMain::connectEvents()
{
    connect( cmdChangeLayers, &QPushButton::clicked, this, &frmMain::cmdChangeLayers_Click );
    connect( grpPanZoom, &QButtonGroup::idToggled, this, [this]( int id, bool checked ) {
        if ( checked )
            optPanZoom_Click( id );
    } );
    connect( cmdZoomIn, &QPushButton::clicked, this, &frmMain::cmdZoomIn_Click );
    connect( cmdZoomOut, &QPushButton::clicked, this, &frmMain::cmdZoomOut_Click );
    connect( cmdOriginalMap, &QPushButton::clicked, this, &frmMain::cmdOriginalMap_Click );
    connect( Map1, &gis::MapWidget::mouseDown, this, &frmMain::Map1_MouseDown );
    connect( Map1, &gis::MapWidget::mouseMove, this, &frmMain::Map1_MouseMove );
    connect( Map1, &gis::MapWidget::mouseUp, this, &frmMain::Map1_MouseUp );
    connect( Map1, &gis::MapWidget::beforeLayerDraw, this, &frmMain::Map1_BeforeLayerDraw );
    connect( Map1, &gis::MapWidget::beforeTrackingLayerDraw, this, &frmMain::Map1_BeforeTrackingLayerDraw );
    connect( Map1, &gis::MapWidget::afterTrackingLayerDraw, this, &frmMain::Map1_AfterTrackingLayerDraw );
    connect( legend, &LegendControl::afterSetLayerVisible, this, &frmMain::legend_AfterSetLayerVisible );
    connect( mnuSave, &QAction::triggered, this, &frmMain::mnuSave_Click );
}

void frmMain::Form_Load()
{
    try
    {
        const QString programDir = QCoreApplication::applicationDirPath();
        sHelpFile = programDir + QLatin1Char( '/' ) + kHelpFileName;
        md_functions::sDataPath = programDir;
        bStartUpImage = true;
        iMapTool = 1;
        iZoomFactor = 2;
        FillcboSelectQuery( cboSelectQuery );
        // Checking the button runs optPanZoom_Click through the group's signal.
        optPanZoom[iMapTool]->setChecked( true );
        UpdateInterface();
        legend->setMapSource( Map1 );
        legend->loadLegend( true );

        // The outer height includes the title bar, which Qt leaves to the
        // window manager: the style's title-bar height stands in for it.
        const int titleBar = style()->pixelMetric( QStyle::PM_TitleBarHeight, nullptr, this );
        resize( twips::toPxX( 12630, this ), twips::toPxY( 8835, this ) - titleBar );

        const int windowW = toTwipsX( width(), this );
        const int windowH = toTwipsY( height(), this );
        iFrameWidthMargin = windowW - toTwipsX( fraMapHolder->width(), this );
        iFrameHeightMargin = windowH - toTwipsY( fraMapHolder->height(), this );
        iMapWidthMargin = windowW - toTwipsX( Map1->width(), this );
        iMapHeightMargin = windowH - toTwipsY( Map1->height(), this );

        Constants::sStandardFiles = Constants::kStandardFileNames;
        Constants::sValueField.clear();
        bFormLoaded = true;
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while loading the main form. Error Source:frmMain.Form_Load()" ), 48 );
    }
}

void frmMain::resizeEvent( QResizeEvent *event )
{
    QMainWindow::resizeEvent( event );
    Form_Resize();
}

void frmMain::Form_Resize()
{
    try
    {
        if ( !bFormLoaded )
            return;
        const int windowW = toTwipsX( width(), this );
        const int windowH = toTwipsY( height(), this );
        const int frameW = windowW - iFrameWidthMargin;
        const int frameH = windowH - iFrameHeightMargin;
        const int mapW = windowW - iMapWidthMargin;
        const int mapH = windowH - iMapHeightMargin;
        if ( frameW <= 0 || frameH <= 0 || mapW <= 0 || mapH <= 0 )
            return;
        fraMapHolder->resize( twips::toPxX( frameW, this ), twips::toPxY( frameH, this ) );
        Map1->resize( twips::toPxX( mapW, this ), twips::toPxY( mapH, this ) );
        lblMapNote->move( lblMapNote->x(), Map1->y() + Map1->height() + twips::toPxY( 45, this ) );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while resizing main form. Error Source:frmMain.Form_Resize()" ), 48 );
    }
}

void frmMain::closeEvent( QCloseEvent *event )
{
    event->accept();
    Form_Unload();
}

void frmMain::Form_Unload()
{
    try
    {
        // Dropped first, so that nothing the closing windows do reaches this one.
        if ( sInstance == this )
            sInstance = nullptr;
        // Every other window goes, the newest first; those without an owner
        // are dropped here, owned ones with this window.
        const QWidgetList windows = QApplication::topLevelWidgets();
        QList<QPointer<QWidget>> others;
        for ( QWidget *w : windows )
        {
            if ( w == this || w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip
                 || w->windowType() == Qt::Desktop )
                continue;
            others.append( w );
        }
        for ( auto it = others.crbegin(); it != others.crend(); ++it )
        {
            // Tracked, not copied: closing one window may delete it or another.
            const QPointer<QWidget> &w = *it;
            if ( !w )
                continue;
            w->close();
            if ( w && !w->parentWidget() )
                w->deleteLater();
        }
        deleteLater();
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while unloading Main Form. Error Source:frmMain.Form_Unload()" ), 48 );
    }
}

void frmMain::mnuOpen_Click()
{
    try
    {
        const QString chosen = Dialogs::instance().openFile(
            this, { QStringLiteral( "Open Dataset" ), QStringLiteral( "ESRI Shapefiles (*.shp)|*.shp" ),
                    QStringLiteral( ".shp" ), md_functions::sDataPath } );
        if ( chosen.isEmpty() )
            return;
        const QString fullName = QDir::toNativeSeparators( chosen );
        md_functions::LoadProject( QFileInfo( fullName ).fileName(), fullName, *Map1, *legend );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while opening a dataset. Error Source:frmMain.mnuOpen_Click()" ), 48 );
    }
}

void frmMain::mnuPrint_Click()
{
    if ( Map1->layerCount() < 1 )
        return;
    // Loaded on first use only; an open print window is just brought forward.
    frmPrint *form = frmPrint::instance( Map1 );
    form->show();
    form->raise();
    form->activateWindow();
}

void frmMain::mnuExit_Click()
{
    close();
}

void frmMain::mnuHelp_Click()
{
    try
    {
        const QString path = helpDocumentPath();
        if ( !QFileInfo( path ).isFile() )
            throw std::runtime_error( "help document missing" );
        HelpViewer *viewer = HelpViewer::instance();
        if ( !viewer->showDocument( path ) )
            throw std::runtime_error( "help document unreadable" );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while trying to open Help. Error Source:frmMain.mnuHelp_Click()" ), 48 );
    }
}

void frmMain::cmdChangeLayers_Click()
{
    try
    {
        showLayersDialog();
    }
    catch ( const std::exception & )
    {
        ErrorMessage(
            QStringLiteral( " Error while trying to load change layers form. Error Source:frmMain.cmdChangeLayers_Click()" ),
            48 );
    }
}

void frmMain::showLayersDialog()
{
    frmShowLayersDialog *dialog = frmShowLayersDialog::instance();
    dialog->setMap( Map1 );
    dialog->setUpdateInterface( [main = QPointer<frmMain>( this )] {
        if ( main )
            main->UpdateInterface();
    } );
    dialog->setOwner( this );
    dialog->exec();
}

void frmMain::mnuSave_Click()
{
    try
    {
        md_query_functions2::SaveTrackingLayer( this );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while trying to save data. Error Source:frmMain.mnuSave_Click()" ), 48 );
    }
}
