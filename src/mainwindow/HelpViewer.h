#pragma once

#include <QPointer>
#include <QWidget>

class QTextBrowser;

/**
 * The in-program viewer of the user guide: one window with an HTML browser.
 * One instance, created on first use; it has no owner and is closed with the
 * main window.
 */
class HelpViewer : public QWidget
{
    Q_OBJECT

  public:
    static HelpViewer *instance();
    static HelpViewer *existingInstance();

    //! Loads the HTML file \a path and shows the window; false when the file cannot be read.
    bool showDocument( const QString &path );

    QTextBrowser *browser() const { return mBrowser; }

  private:
    HelpViewer();

    QTextBrowser *mBrowser = nullptr;
    static QPointer<HelpViewer> sInstance;
};
