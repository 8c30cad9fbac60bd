#include "Dialogs.h"

#include "Controls.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace
{

QMessageBox::Icon toQt( Dialogs::Icon icon )
{
    switch ( icon )
    {
        case Dialogs::Icon::Exclamation:
            return QMessageBox::Warning;
        case Dialogs::Icon::Critical:
            return QMessageBox::Critical;
        case Dialogs::Icon::Information:
            return QMessageBox::Information;
        case Dialogs::Icon::Question:
            return QMessageBox::Question;
        case Dialogs::Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// "Description (*.ext)|*.ext|..." pairs to Qt's ";;"-separated filter list.
QString toQtFilter( const QString &filter )
{
    const QStringList parts = filter.split( '|' );
    QStringList out;
    for ( int i = 0; i + 1 < parts.size(); i += 2 )
        out << parts.at( i );
    return out.join( QStringLiteral( ";;" ) );
}

// Runs \a dlg with the request's default extension; the chosen path, or empty when cancelled.
QString chosenFile( QFileDialog &dlg, const Dialogs::FileRequest &request )
{
    QString suffix = request.defaultExt;
    if ( suffix.startsWith( '.' ) )
        suffix.remove( 0, 1 );
    dlg.setDefaultSuffix( suffix );
    if ( dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty() )
        return {};
    return dlg.selectedFiles().constFirst();
}

class InteractiveDialogs : public Dialogs
{
  public:
    void message( QWidget *parent, const QString &text, const QString &title, Icon icon ) override
    {
        makeMessageBox( parent, text, title, icon, false )->exec();
    }

    bool question( QWidget *parent, const QString &text, const QString &title, Icon icon ) override
    {
        return makeMessageBox( parent, text, title, icon, true )->exec() == QMessageBox::Yes;
    }

    QString openFile( QWidget *parent, const FileRequest &request ) override
    {
        QFileDialog dlg( parent, request.title, request.initialDir, toQtFilter( request.filter ) );
        dlg.setAcceptMode( QFileDialog::AcceptOpen );
        dlg.setFileMode( QFileDialog::ExistingFile );
        return chosenFile( dlg, request );
    }

    QString saveFile( QWidget *parent, const FileRequest &request ) override
    {
        QFileDialog dlg( parent, request.title, request.initialDir, toQtFilter( request.filter ) );
        dlg.setAcceptMode( QFileDialog::AcceptSave );
        dlg.setOption( QFileDialog::DontConfirmOverwrite, !request.overwritePrompt );
        return chosenFile( dlg, request );
    }
};

InteractiveDialogs gInteractive;
Dialogs *gCurrent = nullptr;

} // namespace

std::unique_ptr<QMessageBox> makeMessageBox( QWidget *parent, const QString &text, const QString &title,
                                             Dialogs::Icon icon, bool question )
{
    if ( !parent )
        parent = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : QApplication::activeWindow();
    const QMessageBox::StandardButtons buttons = question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
    return std::make_unique<QMessageBox>( toQt( icon ), title, text, buttons, parent, controls::kFixedDialogFlags );
}

Dialogs &Dialogs::instance()
{
    return gCurrent ? *gCurrent : static_cast<Dialogs &>( gInteractive );
}

void Dialogs::install( Dialogs *d )
{
    gCurrent = d;
}
