#include "frmSplash.h"

#include "frmMain.h"

#include "common/ErrorMessage.h"
#include "common/Resources.h"
#include "common/Twips.h"
#include "gis/MapWidget.h"
#include "workspace/frmShowLayersDialog.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>

#include <exception>

QPointer<frmSplash> frmSplash::sInstance;

frmSplash *frmSplash::instance()
{
    if ( !sInstance )
    {
        sInstance = new frmSplash;
        sInstance->Form_Load();
    }
    return sInstance;
}

frmSplash *frmSplash::existingInstance()
{
    return sInstance;
}

frmSplash::frmSplash()
    : QWidget( nullptr, Qt::Window | Qt::FramelessWindowHint )
{
    initProgramResources();
    setAttribute( Qt::WA_DeleteOnClose );
    setFocusPolicy( Qt::StrongFocus );
    setFixedSize( twips::toPxX( 10080, this ), twips::toPxY( 6930, this ) );

    fraSplash = new QFrame( this );
    fraSplash->setFrameShape( QFrame::Box );
    twips::place( fraSplash, 0, 0, 10065, 6915 );

    imgSplash = new QLabel( fraSplash );
    imgSplash->setPixmap( QPixmap( QStringLiteral( ":/splash.png" ) ) );
    twips::place( imgSplash, 120, 240, 9840, 6600 );

    lblVersion = new QLabel( QStringLiteral( "Version Information" ), fraSplash );
    twips::place( lblVersion, 240, 6600, 9555, 255 );
    lblVersion->raise();

    for ( QWidget *w : { static_cast<QWidget *>( fraSplash ), static_cast<QWidget *>( imgSplash ),
                         static_cast<QWidget *>( lblVersion ) } )
        w->installEventFilter( this );
}

frmSplash::~frmSplash()
{
    if ( sInstance == this )
        sInstance = nullptr;
}

QString frmSplash::versionCaption( int major, int minor, int revision )
{
    return QStringLiteral( "Version %1.%2.%3" ).arg( major ).arg( minor ).arg( revision )
           + QStringLiteral( "   (Click anywhere to continue)" );
}

void frmSplash::Form_Load()
{
    try
    {
        lblVersion->setText(
            versionCaption( OSTRAPEL_VERSION_MAJOR, OSTRAPEL_VERSION_MINOR, OSTRAPEL_VERSION_PATCH ) );
        frmMain::instance();
        frmShowLayersDialog::instance();

        if ( const QScreen *screen = QGuiApplication::primaryScreen() )
        {
            const QRect area = screen->availableGeometry();
            move( area.center() - QPoint( width() / 2, height() / 2 ) );
        }
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while loading splash screen. Error Source:frmSplash.Form_Load()" ), 48 );
    }
}

bool frmSplash::eventFilter( QObject *watched, QEvent *event )
{
    const QEvent::Type type = event->type();
    if ( type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease
         && type != QEvent::MouseButtonDblClick )
        return QWidget::eventFilter( watched, event );

    // The version line swallows its clicks so that they do not reach the frame.
    if ( watched == lblVersion )
        return true;
    if ( watched == imgSplash || watched == fraSplash )
    {
        // A click completes on release, so the release does not land on the main window.
        if ( type == QEvent::MouseButtonRelease )
            close();
        return true;
    }
    return QWidget::eventFilter( watched, event );
}

void frmSplash::keyPressEvent( QKeyEvent *event )
{
    // Keys that produce a character (Esc and Enter among them) close the
    // window; arrows, function keys, Delete and lone modifiers do not. X11
    // reports Delete as the character DEL, which no key press types.
    const QString text = event->text();
    if ( !text.isEmpty() && text != QStringLiteral( "\x7f" ) )
    {
        close();
        return;
    }
    QWidget::keyPressEvent( event );
}

void frmSplash::showEvent( QShowEvent *event )
{
    QWidget::showEvent( event );
    activateWindow();
    setFocus( Qt::ActiveWindowFocusReason );
}

void frmSplash::closeEvent( QCloseEvent *event )
{
    event->accept();
    Form_Unload();
}

void frmSplash::Form_Unload()
{
    try
    {
        if ( sInstance == this )
            sInstance = nullptr;
        // The main window was loaded with this one; once it is gone the program is closing.
        if ( frmMain *main = frmMain::existingInstance() )
        {
            main->show();
            main->activateWindow();
        }
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while closing splash screen. Error Source:frmSplash.Form_Unload()" ), 48 );
    }
}
