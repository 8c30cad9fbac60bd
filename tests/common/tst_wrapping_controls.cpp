#include "TextFit.h"

#include "common/Controls.h"
#include "common/WrappingControls.h"

#include <QTest>

namespace
{
const QString kLong = QStringLiteral( "10 km Solar Global Horizontal Annual Average(KWH/M2/DAY)" );
const QString kShort = QStringLiteral( "Lakes" );
} // namespace

class TestWrappingControls : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase() { controls::installProgramFont(); }

    void listGrowsForLongNameOnly_data()
    {
        QTest::addColumn<bool>( "shownFirst" );
        QTest::addColumn<bool>( "hiddenToChoose" );
        QTest::newRow( "laid out while shown" ) << true << false;
        // The panel fills and places its lists while the window is still hidden.
        QTest::newRow( "laid out while hidden" ) << false << false;
        // Hidden, a box gets the resize events of its own growth late.
        QTest::newRow( "chosen while hidden again" ) << true << true;
    }

    void listGrowsForLongNameOnly()
    {
        QFETCH( bool, shownFirst );
        QFETCH( bool, hiddenToChoose );
        QWidget window;
        window.resize( 400, 300 );
        auto *list = new WrappingComboBox( &window );
        if ( shownFirst )
            window.show();
        list->addItems( { kShort, kLong } );
        list->setGeometry( 8, 120, 185, 21 );
        if ( hiddenToChoose )
            window.hide();
        list->setCurrentIndex( 1 );
        window.show();
        QVERIFY( QTest::qWaitForWindowExposed( &window ) );

        QCOMPARE( list->geometry().topLeft(), QPoint( 8, 120 ) );
        QCOMPARE( list->width(), 185 );
        QVERIFY( list->height() > 21 );
        QCOMPARE( testsupport::clippedTexts( list ), QStringList() );

        // A name that fits one line: back to the height the owner gave.
        list->setCurrentIndex( 0 );
        QCOMPARE( list->height(), 21 );
        QCOMPARE( testsupport::clippedTexts( list ), QStringList() );

        // Placed again by its owner while showing the long name: it fits the name again.
        list->setCurrentIndex( 1 );
        const int fitted = list->height();
        list->setGeometry( 8, 120, 185, 21 );
        QCOMPARE( list->height(), fitted );

        // Wide enough for one line: no growth.
        list->setGeometry( 8, 120, 380, 21 );
        QCOMPARE( list->height(), 21 );
        QCOMPARE( list->currentText(), kLong );
    }
};

QTEST_MAIN( TestWrappingControls )
#include "tst_wrapping_controls.moc"
