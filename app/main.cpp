#include "workspace/frmSplash.h"

#include <QApplication>
#include <QFont>
#include <QPointer>
#include <QWidget>

namespace
{
// The program's windows are designed with Windows fonts; the Liberation
// families have the same metrics.
void substituteFonts()
{
    const QString sans = QStringLiteral( "Liberation Sans" );
    for ( const char *family : { "MS Sans Serif", "Arial", "Tahoma" } )
        QFont::insertSubstitution( QString::fromLatin1( family ), sans );
    QFont::insertSubstitution( QStringLiteral( "Times New Roman" ), QStringLiteral( "Liberation Serif" ) );
    QFont::insertSubstitution( QStringLiteral( "Courier New" ), QStringLiteral( "Liberation Mono" ) );
}
} // namespace

int main( int argc, char *argv[] )
{
    QApplication app( argc, argv );
    QApplication::setApplicationName( QStringLiteral( "Ostrapel" ) );
    QApplication::setApplicationVersion( QStringLiteral( "%1.%2.%3" )
                                             .arg( OSTRAPEL_VERSION_MAJOR )
                                             .arg( OSTRAPEL_VERSION_MINOR )
                                             .arg( OSTRAPEL_VERSION_PATCH ) );
    substituteFonts();
    // The windows' twip layouts are sized for a small 8-point dialog font.
    QApplication::setFont( QFont( QStringLiteral( "MS Sans Serif" ), 8 ) );

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
