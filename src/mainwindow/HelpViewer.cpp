#include "HelpViewer.h"

#include <QFile>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

QPointer<HelpViewer> HelpViewer::sInstance;

HelpViewer *HelpViewer::instance()
{
    if ( !sInstance )
        sInstance = new HelpViewer;
    return sInstance;
}

HelpViewer *HelpViewer::existingInstance()
{
    return sInstance;
}

HelpViewer::HelpViewer()
{
    setWindowTitle( QStringLiteral( "Ostrapel Help" ) );
    setAttribute( Qt::WA_DeleteOnClose );
    mBrowser = new QTextBrowser( this );
    mBrowser->setOpenExternalLinks( true );
    auto *layout = new QVBoxLayout( this );
    layout->setContentsMargins( 0, 0, 0, 0 );
    layout->addWidget( mBrowser );
    resize( 760, 620 );
}

bool HelpViewer::showDocument( const QString &path )
{
    QFile file( path );
    if ( !file.open( QIODevice::ReadOnly ) )
        return false;
    const QString html = QString::fromUtf8( file.readAll() );
    const QFileInfo info( path );
    mBrowser->document()->setBaseUrl( QUrl::fromLocalFile( info.absoluteFilePath() ) );
    mBrowser->setSearchPaths( { info.absolutePath() } );
    mBrowser->setHtml( html );
    show();
    raise();
    activateWindow();
    return true;
}
