#include "TestSupport.h"

#include "common/Twips.h"
#include "mainwindow/frmMain.h"
#include "mainwindow/frmSplash.h"
#include "workspace/frmShowLayersDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QtTest>

#include <cmath>

class TestSplash : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void loadLoadsMainAndLayerDialogHidden();
    void designSize();
    void keys_data();
    void keys();
    void clicks_data();
    void clicks();
    void closingShowsMainOnce();

  private:
    //! A freshly loaded and shown start window.
    frmSplash *showSplash();
    bool splashGone() const { return frmSplash::existingInstance() == nullptr; }

    testsupport::RecordingDialogs mDialogs;
};

void TestSplash::init()
{
    mDialogs.reset();
}

void TestSplash::cleanup()
{
    if ( frmSplash *s = frmSplash::existingInstance() )
    {
        s->close();
    }
    QCoreApplication::sendPostedEvents( nullptr, QEvent::DeferredDelete );
    if ( frmMain *m = frmMain::existingInstance() )
        m->hide();
}

frmSplash *TestSplash::showSplash()
{
    frmSplash *s = frmSplash::instance();
    s->show();
    return s;
}

void TestSplash::loadLoadsMainAndLayerDialogHidden()
{
    frmSplash *s = frmSplash::instance();
    QCOMPARE( s->lblVersion->text(), QStringLiteral( "Version 1.2.0   (Click anywhere to continue)" ) );
    QVERIFY( !s->isVisible() ); // shown only after its load

    frmMain *m = frmMain::existingInstance();
    QVERIFY( m );
    QVERIFY( m->bFormLoaded );
    QVERIFY( !m->isVisible() );
    // The query list stays disabled until a data directory is opened.
    QVERIFY( !m->cboSelectQuery->isEnabled() );

    bool layerDialogLoaded = false;
    for ( QWidget *w : QApplication::topLevelWidgets() )
        if ( qobject_cast<frmShowLayersDialog *>( w ) )
        {
            layerDialogLoaded = true;
            QVERIFY( !w->isVisible() );
        }
    QVERIFY( layerDialogLoaded );
    QVERIFY( mDialogs.shown.empty() );
}

void TestSplash::designSize()
{
    frmSplash *s = frmSplash::instance();
    QCOMPARE( static_cast<int>( std::lround( twips::fromPxX( s->width(), s ) ) ), 10080 );
    QCOMPARE( static_cast<int>( std::lround( twips::fromPxY( s->height(), s ) ) ), 6930 );
    QVERIFY( s->windowFlags().testFlag( Qt::FramelessWindowHint ) );
    QVERIFY( !s->imgSplash->pixmap().isNull() );
    QCOMPARE( s->imgSplash->pixmap().size(), QSize( 656, 440 ) );
}

void TestSplash::keys_data()
{
    QTest::addColumn<int>( "key" );
    QTest::addColumn<QString>( "text" ); // as X11 reports it; null: what QTest makes of the key
    QTest::addColumn<bool>( "closes" );
    QTest::newRow( "letter" ) << int( Qt::Key_A ) << QString() << true;
    QTest::newRow( "space" ) << int( Qt::Key_Space ) << QString() << true;
    QTest::newRow( "digit" ) << int( Qt::Key_7 ) << QString() << true;
    QTest::newRow( "Esc" ) << int( Qt::Key_Escape ) << QString() << true;
    QTest::newRow( "Enter" ) << int( Qt::Key_Return ) << QString() << true;
    QTest::newRow( "Backspace" ) << int( Qt::Key_Backspace ) << QStringLiteral( "\b" ) << true;
    QTest::newRow( "F1" ) << int( Qt::Key_F1 ) << QString() << false;
    QTest::newRow( "arrow" ) << int( Qt::Key_Left ) << QString() << false;
    QTest::newRow( "Shift alone" ) << int( Qt::Key_Shift ) << QString() << false;
    QTest::newRow( "Delete, reported as DEL" ) << int( Qt::Key_Delete ) << QStringLiteral( "\x7f" ) << false;
}

void TestSplash::keys()
{
    QFETCH( int, key );
    QFETCH( QString, text );
    QFETCH( bool, closes );
    frmSplash *s = showSplash();
    if ( text.isNull() )
        QTest::keyClick( s, static_cast<Qt::Key>( key ) );
    else
        QTest::sendKeyEvent( QTest::Click, s, static_cast<Qt::Key>( key ), text, Qt::NoModifier );
    QCOMPARE( splashGone(), closes );
    QCOMPARE( frmMain::instance()->isVisible(), closes );
}

void TestSplash::clicks_data()
{
    QTest::addColumn<QString>( "target" );
    QTest::addColumn<bool>( "closes" );
    QTest::newRow( "picture" ) << QStringLiteral( "imgSplash" ) << true;
    QTest::newRow( "frame" ) << QStringLiteral( "fraSplash" ) << true;
    QTest::newRow( "version line" ) << QStringLiteral( "lblVersion" ) << false;
}

void TestSplash::clicks()
{
    QFETCH( QString, target );
    QFETCH( bool, closes );
    frmSplash *s = showSplash();
    QWidget *w = target == QLatin1String( "imgSplash" ) ? static_cast<QWidget *>( s->imgSplash )
                 : target == QLatin1String( "fraSplash" ) ? static_cast<QWidget *>( s->fraSplash )
                                                           : static_cast<QWidget *>( s->lblVersion );
    // The frame is clicked in its margin, outside the picture.
    const QPoint at = w == s->fraSplash ? QPoint( 2, 2 ) : w->rect().center();
    QTest::mouseClick( w, Qt::LeftButton, Qt::NoModifier, at );
    QCOMPARE( splashGone(), closes );
    QCOMPARE( frmMain::instance()->isVisible(), closes );
}

void TestSplash::closingShowsMainOnce()
{
    frmSplash *s = showSplash();
    frmMain *m = frmMain::instance();
    QVERIFY( !m->isVisible() );
    s->close();
    QVERIFY( splashGone() );
    QVERIFY( m->isVisible() );
    QVERIFY( m->parentWidget() == nullptr );
    // The same main window: the start window does not load a second one.
    QCOMPARE( frmMain::instance(), m );
}

QTEST_MAIN( TestSplash )
#include "tst_splash.moc"
