#pragma once

#include <QPointer>
#include <QWidget>

class QFrame;
class QLabel;

/**
 * The start window: a borderless picture with the version line, centred on
 * the screen. Its load loads the main window and the layer dialog, both
 * hidden. A click on the picture or its frame, or a key that produces a
 * character, closes it; closing it shows the main window. A click on the
 * version line does nothing.
 *
 * One instance, created and loaded by the first call of instance() (at
 * start) and dropped when it closes.
 */
class frmSplash : public QWidget
{
    Q_OBJECT

  public:
    static frmSplash *instance();
    static frmSplash *existingInstance();

    ~frmSplash() override;

    //! "Version " major.minor.revision "   (Click anywhere to continue)".
    static QString versionCaption( int major, int minor, int revision );

    QFrame *fraSplash = nullptr;
    QLabel *imgSplash = nullptr;
    QLabel *lblVersion = nullptr;

  protected:
    bool eventFilter( QObject *watched, QEvent *event ) override;
    void keyPressEvent( QKeyEvent *event ) override;
    void closeEvent( QCloseEvent *event ) override;
    void showEvent( QShowEvent *event ) override;

  private:
    frmSplash();
    void Form_Load();
    void Form_Unload();

    static QPointer<frmSplash> sInstance;
};
