#include "ErrorMessage.h"

#include "Dialogs.h"

#include <QApplication>

void ErrorMessage( const QString &message, int style )
{
    Q_UNUSED( style )
    try
    {
        Dialogs::instance().message( QApplication::activeWindow(), message, kAppTitle, Dialogs::Icon::None );
    }
    catch ( ... )
    {
        try
        {
            Dialogs::instance().message( nullptr, QStringLiteral( "Error in ErrorMessage() procedure" ), kAppTitle,
                                         Dialogs::Icon::None );
        }
        catch ( ... )
        {
        }
    }
}
