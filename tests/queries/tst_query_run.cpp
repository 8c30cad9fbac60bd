#include "QueryWindowFixture.h"

#include "queries/md_query_functions2.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

namespace
{
struct BusySnapshot
{
    QString button;
    int pointer = -1;
    bool labelShown = false;
    QColor labelColour;
    bool listEnabled = true;
    bool layerButtonEnabled = true;
    bool panelEnabled = true;
    bool menusEnabled = true;
    bool updateButtonEnabled = false;
    bool running = false;
};
} // namespace

class TestQueryRun : public QObject
{
    Q_OBJECT

  private:
    static std::vector<QVariant> repeated( double value, int n ) { return std::vector<QVariant>( n, QVariant( value ) ); }

    //! The next run calls \a action at its \a n-th yield and counts its yields in \a yields.
    static void atYield( QueryController &c, int n, int &yields, std::function<void()> action )
    {
        QueryCallbacks callbacks;
        callbacks.yieldAndPollCancel = [&yields, n, action]() {
            if ( ++yields == n )
                action();
            return Constants::bCancelQuery;
        };
        c.setQueryCallbacks( callbacks );
    }

    static BusySnapshot snapshot( QueryWindowFixture &f )
    {
        QueryController &c = *f.controller;
        BusySnapshot s;
        s.button = c.cmdUpdateMap->text();
        s.pointer = f.map.mousePointer();
        s.labelShown = !f.lblWorking->isHidden();
        s.labelColour = f.lblWorking->palette().color( QPalette::WindowText );
        s.listEnabled = f.cboSelectQuery->isEnabled();
        s.layerButtonEnabled = f.cmdChangeLayers->isEnabled();
        s.panelEnabled = c.fraEditQueryParameters->isEnabled();
        s.menusEnabled = f.menusEnabled;
        s.updateButtonEnabled = c.cmdUpdateMap->isEnabled();
        s.running = c.isRunning();
        return s;
    }

  private slots:
    void init()
    {
        Constants::bCancelQuery = false;
        Constants::bQueryRunning = false;
        md_query_functions2::cResults.reset();
    }

    // --- input check ---

    void inputCheck_data()
    {
        QTest::addColumn<QString>( "query" );
        QTest::addColumn<QString>( "minimum" );
        QTest::addColumn<QString>( "maximum" );
        QTest::addColumn<QString>( "distance1" );
        QTest::addColumn<QString>( "distance2" );
        QTest::addColumn<bool>( "landUse" );
        QTest::addColumn<QString>( "message" ); // empty: accepted, the run goes ahead
        QTest::addColumn<int>( "focus" );       // txtQuery1 index that gets the focus, -1 none

        const QString wind = QStringLiteral( "Wind by Power Density" );
        const QString solar = QStringLiteral( "Best Solar X kWh/m2/day" );
        const QString roads = QStringLiteral( "Best wind + roads" );
        const QString lines = QStringLiteral( "Best wind + transmission" );
        const QString all = QStringLiteral( "Best wind (all)" );
        const QString landUse = QStringLiteral( "Best wind + land use" );
        const QString number = QStringLiteral( "Please enter a number for proximity value." );
        const QString proximity = QStringLiteral( "Proximity value must be >=0.001 and <= 25km." );

        QTest::newRow( "wind Max" ) << wind << "500" << "Max" << "5" << "5" << false << "" << -1;
        QTest::newRow( "wind Max with blanks" ) << wind << "500" << " Max " << "5" << "5" << false << "" << -1;
        QTest::newRow( "solar ok" ) << solar << "3.5" << "9" << "5" << "5" << false << "" << -1;
        QTest::newRow( "roads empty" ) << roads << "500" << "Max" << "5" << "" << false << number << -1;
        QTest::newRow( "lines 25.01" ) << lines << "500" << "Max" << "5" << "25.01" << false << proximity << -1;
        QTest::newRow( "all transmission empty" ) << all << "500" << "Max" << "" << "2" << true << number << 1;
        QTest::newRow( "all roads 0" ) << all << "500" << "Max" << "2" << "0" << true
                                       << "Proximity to roads must be >=0.001 and <= 25km." << 2;
        QTest::newRow( "all no land use" ) << all << "500" << "Max" << "2" << "2" << false
                                           << "Please select a land use." << -1;
        QTest::newRow( "land use one" ) << landUse << "500" << "Max" << "5" << "5" << true << "" << -1;
    }

    void inputCheck()
    {
        QFETCH( QString, query );
        QFETCH( QString, minimum );
        QFETCH( QString, maximum );
        QFETCH( QString, distance1 );
        QFETCH( QString, distance2 );
        QFETCH( bool, landUse );
        QFETCH( QString, message );
        QFETCH( int, focus );

        QueryWindowFixture f;
        f.addQueryLayers( { 250.0, 650.0 } );
        QueryController &c = *f.controller;
        f.window.show();
        f.choose( QStringLiteral( "Wind by Power Density" ) );
        f.choose( query );
        c.cboQueryDropDown->setEditText( minimum );
        c.cboQueryDropDown2->setEditText( maximum );
        c.txtQuery1[1]->setText( distance1 );
        c.txtQuery1[2]->setText( distance2 );
        if ( landUse )
            c.lstQuery1->item( 1 )->setSelected( true );
        c.cboQueryDropDown->setFocus();
        f.lblWorking->hide();
        f.dialogs.reset();

        c.cmdUpdateMap_Click();

        QCOMPARE( c.cmdUpdateMap->text(), QStringLiteral( "Update Map" ) );
        QVERIFY( f.dialogs.shown.empty() );
        if ( message.isEmpty() )
        {
            // Accepted: the run went through and the window is idle again.
            QVERIFY( f.lblWorking->isHidden() );
            QVERIFY( md_query_functions2::cResults.exists() );
            return;
        }
        QCOMPARE( f.lblWorking->text(), message );
        QVERIFY( !f.lblWorking->isHidden() );
        QCOMPARE( f.lblWorking->palette().color( QPalette::WindowText ), QColor( 255, 0, 0 ) );
        QVERIFY( !md_query_functions2::cResults.exists() );
        QWidget *expectedFocus = focus < 0 ? static_cast<QWidget *>( c.cboQueryDropDown ) : c.txtQuery1[focus];
        QWidget *actualFocus = f.window.focusWidget();
        // The editable combo box hands its focus to its line edit.
        if ( actualFocus && actualFocus->parentWidget() == c.cboQueryDropDown )
            actualFocus = c.cboQueryDropDown;
        QCOMPARE( actualFocus, expectedFocus );
    }

    void distanceBeyondSinglePrecisionIsAFailedCheck()
    {
        QueryWindowFixture f;
        f.addQueryLayers( { 650.0 } );
        QueryController &c = *f.controller;
        f.choose( QStringLiteral( "Best wind + roads" ) );
        c.txtQuery1[2]->setText( QStringLiteral( "1e40" ) );
        f.dialogs.reset();

        c.cmdUpdateMap_Click();
        QCOMPARE( f.dialogs.texts(),
                  QStringList { " Error while validating input parameters. Error Source:md_functions.CheckInputs()" } );
        QVERIFY( !md_query_functions2::cResults.exists() );
        QCOMPARE( c.cmdUpdateMap->text(), QStringLiteral( "Update Map" ) );
    }

    // --- run, busy state and cancel ---

    void busyStateDuringRunAndIdleAfter()
    {
        QueryWindowFixture f;
        f.addQueryLayers( { 250.0, 450.0, 650.0, 900.0 } );
        QueryController &c = *f.controller;
        f.choose( QStringLiteral( "Wind by Power Density" ) );
        c.cboQueryDropDown2->setCurrentIndex( c.cboQueryDropDown2->count() - 1 ); // "Max"

        BusySnapshot during;
        int yields = 0;
        atYield( c, 1, yields, [&]() {
            // A redraw during the run refreshes the interface, which enables the query list.
            f.cboSelectQuery->setEnabled( true );
            // A choice arriving anyway must not rebuild the panel under the run.
            f.cboSelectQuery->setCurrentIndex( 4 );
            during = snapshot( f );
        } );
        c.cmdUpdateMap_Click();

        QVERIFY( yields > 0 );
        QCOMPARE( during.button, QStringLiteral( "Cancel" ) );
        QCOMPARE( during.pointer, 11 );
        QVERIFY( during.labelShown );
        QCOMPARE( during.labelColour, QColor( 0, 0, 255 ) );
        QVERIFY( !during.listEnabled );
        QVERIFY( !during.layerButtonEnabled );
        QVERIFY( !during.panelEnabled );
        QVERIFY( !during.menusEnabled );
        QVERIFY( during.updateButtonEnabled );
        QVERIFY( during.running );
        QCOMPARE( c.fraEditQueryParameters->title(), QStringLiteral( "Wind by Power Density" ) );

        const BusySnapshot after = snapshot( f );
        QCOMPARE( after.button, QStringLiteral( "Update Map" ) );
        QCOMPARE( after.pointer, 0 );
        QVERIFY( !after.labelShown );
        QVERIFY( after.listEnabled );
        QVERIFY( after.layerButtonEnabled );
        QVERIFY( after.panelEnabled );
        QVERIFY( after.menusEnabled );
        QVERIFY( !after.running );

        QCOMPARE( md_query_functions2::cResults.count(), qint64( 2 ) );
        QVERIFY( !c.cmdShowData->isHidden() );
        QCOMPARE( f.legend->rowCount(), f.map.layerCount() );
        QVERIFY( !Constants::bResultsDrawn );
        QVERIFY( !Constants::bQueryRunning );
    }

    void cancelKeepsPolygonsSoFarAndHidesResultsTable()
    {
        QueryWindowFixture f;
        f.addQueryLayers( repeated( 700.0, 120 ) );
        QueryController &c = *f.controller;
        f.choose( QStringLiteral( "Wind by Power Density" ) );
        c.cmdShowData->show();

        int yields = 0;
        QString captionAtCancel;
        atYield( c, 2, yields, [&]() {
            // The user's click on "Cancel" arrives inside the run.
            c.cmdUpdateMap->click();
            captionAtCancel = c.cmdUpdateMap->text();
        } );
        c.cmdUpdateMap_Click();

        QCOMPARE( yields, 2 );
        QCOMPARE( captionAtCancel, QStringLiteral( "Cancel" ) );
        QCOMPARE( md_query_functions2::cResults.count(), qint64( 50 ) );
        QVERIFY( c.cmdShowData->isHidden() );
        QVERIFY( Constants::bCancelQuery );
        QCOMPARE( c.cmdUpdateMap->text(), QStringLiteral( "Update Map" ) );
        QVERIFY( !c.isRunning() );

        // The next run starts afresh.
        c.setQueryCallbacks( std::nullopt );
        c.cmdUpdateMap_Click();
        QVERIFY( !Constants::bCancelQuery );
        QCOMPARE( md_query_functions2::cResults.count(), qint64( 120 ) );
        QVERIFY( !c.cmdShowData->isHidden() );
    }

    void windowCallbacksDeliverTheCancelClick()
    {
        QueryWindowFixture f;
        f.addQueryLayers( repeated( 700.0, 120 ) );
        QueryController &c = *f.controller;
        f.choose( QStringLiteral( "Wind by Power Density" ) );

        // Queued now, delivered by the run's first yield, which always pumps the event loop.
        QMetaObject::invokeMethod( c.cmdUpdateMap, "click", Qt::QueuedConnection );
        c.cmdUpdateMap_Click();

        QVERIFY( Constants::bCancelQuery );
        QCOMPARE( md_query_functions2::cResults.count(), qint64( 0 ) );
        QVERIFY( c.cmdShowData->isHidden() );
        QCOMPARE( c.cmdUpdateMap->text(), QStringLiteral( "Update Map" ) );
    }

    void noQueryEmptiesTheResults()
    {
        QueryWindowFixture f;
        f.addQueryLayers( { 650.0, 900.0 } );
        QueryController &c = *f.controller;
        f.choose( QStringLiteral( "Wind by Power Density" ) );
        c.cboQueryDropDown2->setCurrentIndex( c.cboQueryDropDown2->count() - 1 ); // "Max"
        c.cmdUpdateMap_Click();
        QCOMPARE( md_query_functions2::cResults.count(), qint64( 2 ) );

        f.choose( QStringLiteral( "No Query (Base Map)" ) );
        c.cmdUpdateMap_Click();
        QCOMPARE( md_query_functions2::cResults.count(), qint64( 0 ) );
        QVERIFY( c.cmdShowData->isHidden() );
        QCOMPARE( Constants::sValueField, QStringLiteral( "WINDPWRD" ) );
    }

    void refusedSolarRunLeavesResultsButton()
    {
        QueryWindowFixture f;
        f.addWind( { 650.0 } );
        QueryController &c = *f.controller;
        f.choose( QStringLiteral( "Best Solar X kWh/m2/day" ) );
        c.cmdShowData->show();

        c.cmdUpdateMap_Click();
        QCOMPARE( f.lblWorking->text(), QStringLiteral( "This query requires 11_solar_direct.shp shapefile." ) );
        QCOMPARE( f.lblWorking->palette().color( QPalette::WindowText ), QColor( 255, 0, 0 ) );
        QVERIFY( !c.cmdShowData->isHidden() );
        QCOMPARE( c.cmdUpdateMap->text(), QStringLiteral( "Update Map" ) );
        QVERIFY( !md_query_functions2::cResults.exists() );
    }

    void closingDuringRunCancelsThenCloses()
    {
        QueryWindowFixture f;
        f.addQueryLayers( repeated( 700.0, 120 ) );
        QueryController &c = *f.controller;
        f.window.show();
        f.choose( QStringLiteral( "Wind by Power Density" ) );

        bool visibleAfterClose = false;
        int yields = 0;
        atYield( c, 2, yields, [&]() {
            f.window.close();
            visibleAfterClose = f.window.isVisible();
        } );
        c.cmdUpdateMap_Click();

        QVERIFY( visibleAfterClose );
        QCOMPARE( yields, 2 );
        QVERIFY( Constants::bCancelQuery );
        QCOMPARE( md_query_functions2::cResults.count(), qint64( 50 ) );
        QVERIFY( f.window.isVisible() );
        QCoreApplication::processEvents();
        QVERIFY( !f.window.isVisible() );
    }

    void cancelRunOutsideRunDoesNothing()
    {
        QueryWindowFixture f;
        f.controller->cancelRun( true );
        QVERIFY( !Constants::bCancelQuery );
        f.window.show();
        QCoreApplication::processEvents();
        QVERIFY( f.window.isVisible() );
    }
};

QTEST_MAIN( TestQueryRun )
#include "tst_query_run.moc"
