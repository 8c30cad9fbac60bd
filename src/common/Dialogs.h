#pragma once

#include <QString>

#include <memory>

class QMessageBox;
class QWidget;

/**
 * The one seam through which the program shows message boxes, Yes/No
 * questions and file dialogs. The program installs the interactive
 * implementation; tests install their own and answer without blocking.
 */
class Dialogs
{
  public:
    enum class Icon { None, Exclamation, Critical, Information, Question };

    struct FileRequest
    {
        QString title;
        QString filter;       //!< "Description (*.ext)|*.ext" form, as the program writes it
        QString defaultExt;   //!< ".shp"
        QString initialDir;
        bool overwritePrompt = false; //!< a save dialog asks before an existing file is chosen
    };

    virtual ~Dialogs() = default;

    //! Modal box with only an OK button, titled \a title.
    virtual void message( QWidget *parent, const QString &text, const QString &title, Icon icon ) = 0;
    //! Modal Yes/No question; true for Yes.
    virtual bool question( QWidget *parent, const QString &text, const QString &title, Icon icon ) = 0;
    //! Full path of the chosen existing file, or empty when cancelled.
    virtual QString openFile( QWidget *parent, const FileRequest &request ) = 0;
    //! Full path to save to, or empty when cancelled.
    virtual QString saveFile( QWidget *parent, const FileRequest &request ) = 0;

    //! The installed implementation (a QMessageBox/QFileDialog one by default).
    static Dialogs &instance();
    //! Installs \a d (not owned); nullptr restores the interactive one.
    static void install( Dialogs *d );
};

/**
 * The box the interactive implementation shows for a message (OK only) or a
 * Yes/No question, not yet shown: a fixed dialog without minimise or
 * maximise button, owned by \a parent, or by the active window when no
 * parent is given, so that window managers treat it as that window's dialog.
 */
std::unique_ptr<QMessageBox> makeMessageBox( QWidget *parent, const QString &text, const QString &title,
                                             Dialogs::Icon icon, bool question );

//! Title of message boxes that get no caption of their own.
inline const QString kAppTitle = QStringLiteral( "QUELM3" );
