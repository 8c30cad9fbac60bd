#include "common/Controls.h"
#include "mainwindow/frmSplash.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

int main( int argc, char *argv[] )
{
    QApplication app( argc, argv );
    QApplication::setApplicationName( QStringLiteral( "Ostrapel" ) );
    QApplication::setApplicationVersion( QStringLiteral( "%1.%2.%3" )
                                             .arg( OSTRAPEL_VERSION_MAJOR )
                                             .arg( OSTRAPEL_VERSION_MINOR )
                                             .arg( OSTRAPEL_VERSION_PATCH ) );
    controls::installProgramFont();

    frmSplash::instance()->show();
    const int rc = QApplication::exec();

    // Windows still alive (hidden ones the main window did not own) go before the application object.
    QList<QPointer<QWidget>> windows;
    for ( QWidget *w : QApplication::topLevelWidgets() )
        if ( !w->parentWidget() )
            windows.append( w );
    for ( const QPointer<QWidget> &w : windows )
        delete w.data();
    return rc;
}
