// The main window's controls over the sample data set at the program's font,
// used as a person uses them: keys typed into the real boxes, captions and
// values read where they stand, the fixed dialogs' window buttons and the
// names a screen reader reads.

#include "TestSupport.h"
#include "TextFit.h"

#include "common/Controls.h"
#include "common/Twips.h"
#include "common/WrappingControls.h"
#include "mainwindow/frmMain.h"
#include "print/frmPrint.h"
#include "gis/MapWidget.h"
#include "queries/QueryController.h"
#include "queries/frmShowQueryData.h"
#include "queries/QueryChecks.h"
#include "queries/md_query_functions2.h"
#include "workspace/frmShowLayersDialog.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>

using testsupport::RecordingDialogs;

namespace
{
const QString kWindRange = QStringLiteral( "Wind by Power Density" );
const QString kWindAll = QStringLiteral( "Best wind (all)" );
const QString kSolar = QStringLiteral( "Best Solar X kWh/m2/day" );

//! \a t (left, top, width, height in twips) in pixels of \a w's screen.
QRect pixels( const QWidget *w, const QRect &t )
{
    return QRect( twips::toPxX( t.x(), w ), twips::toPxY( t.y(), w ), twips::toPxX( t.width(), w ),
                  twips::toPxY( t.height(), w ) );
}

QString accessibleName( QWidget *w )
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface( w );
    return iface ? iface->text( QAccessible::Name ) : QString();
}

//! Window buttons a window manager may offer for \a flags beyond title and close.
bool offersMinimiseOrMaximise( Qt::WindowFlags flags )
{
    return flags & ( Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint );
}
} // namespace

class TestControls : public QObject
{
    Q_OBJECT

    QTemporaryDir mData;
    RecordingDialogs mDialogs;

    frmMain *main() { return frmMain::instance(); }
    QueryController &queries() { return *main()->queries; }

    //! Chooses \a query in the query list by keyboard, as a person would.
    void choose( const QString &query )
    {
        QComboBox *list = main()->cboSelectQuery;
        const int target = list->findText( query );
        QVERIFY( target >= 0 );
        list->setFocus();
        // Home first: a change of entry runs the handler, so the target is always a fresh choice.
        if ( list->currentIndex() == target )
            QTest::keyClick( list, target == 0 ? Qt::Key_End : Qt::Key_Home );
        QTest::keyClick( list, Qt::Key_Home );
        for ( int i = 0; i < target; ++i )
            QTest::keyClick( list, Qt::Key_Down );
        QCOMPARE( list->currentText(), query );
        QCOMPARE( queries().fraEditQueryParameters->title(), query );
    }

    //! Replaces the text of the bounds box \a box by \a text typed key by key, then presses \a key.
    void type( QComboBox *box, const QString &text, Qt::Key key )
    {
        QTest::mouseClick( box->lineEdit(), Qt::LeftButton );
        QVERIFY( box->hasFocus() );
        QTest::keyClick( box, Qt::Key_A, Qt::ControlModifier );
        QTest::keyClicks( box, text );
        QTest::keyClick( box, key );
    }

  private slots:
    void initTestCase()
    {
        controls::installProgramFont();
        QLocale::setDefault( QLocale( QLocale::English, QLocale::UnitedStates ) );
        QVERIFY( mData.isValid() );
        QProcess generator;
        generator.start( qEnvironmentVariable( "OSTRAPEL_SAMPLEDATA" ), { mData.path() } );
        QVERIFY( generator.waitForFinished( 120000 ) && generator.exitCode() == 0 );

        mDialogs.fileAnswers = { mData.filePath( QStringLiteral( "20_wind.shp" ) ) };
        main()->mnuOpen_Click();
        QCOMPARE( main()->Map1->layerCount(), 28 );
        main()->show();
        QVERIFY( QTest::qWaitForWindowActive( main() ) );
    }

    void init() { QVERIFY( mDialogs.shown.empty() ); }

    void cleanupTestCase()
    {
        if ( frmMain *w = frmMain::existingInstance() )
            delete w;
        QLocale::setDefault( QLocale::system() );
    }

    // --- typed input ---

    void typedBoundsStayAsTyped_data()
    {
        QTest::addColumn<QString>( "query" );
        QTest::addColumn<bool>( "maximum" );
        QTest::addColumn<QString>( "typed" );
        QTest::addColumn<int>( "key" );

        // Every typed text is the beginning of an item ("500", "800", "Max", "2.5").
        QTest::newRow( "wind minimum 50, focus leaves" ) << kWindRange << false << "50" << int( Qt::Key_Tab );
        QTest::newRow( "wind maximum 80, focus leaves" ) << kWindRange << true << "80" << int( Qt::Key_Tab );
        QTest::newRow( "wind maximum max, focus leaves" ) << kWindRange << true << "max" << int( Qt::Key_Tab );
        QTest::newRow( "wind maximum max, Enter" ) << kWindAll << true << "max" << int( Qt::Key_Return );
        QTest::newRow( "wind minimum 5, Enter" ) << kWindAll << false << "5" << int( Qt::Key_Return );
        QTest::newRow( "solar minimum 2., focus leaves" ) << kSolar << false << "2." << int( Qt::Key_Tab );
        QTest::newRow( "solar maximum 8, Enter" ) << kSolar << true << "8" << int( Qt::Key_Return );
    }

    void typedBoundsStayAsTyped()
    {
        QFETCH( QString, query );
        QFETCH( bool, maximum );
        QFETCH( QString, typed );
        QFETCH( int, key );

        choose( query );
        QComboBox *box = maximum ? queries().cboQueryDropDown2 : queries().cboQueryDropDown;
        const QStringList before = testsupport::itemTexts( box );
        type( box, typed, Qt::Key( key ) );
        if ( key == Qt::Key_Tab )
            QVERIFY( !box->hasFocus() );

        QCOMPARE( box->currentText(), typed );
        QCOMPARE( testsupport::itemTexts( box ), before );
        const QueryInputs inputs = queries().FreezeInputs();
        QCOMPARE( maximum ? inputs.maxText : inputs.minText, typed );
    }

    void lowerCaseMaxIsRefused()
    {
        choose( kWindRange );
        type( queries().cboQueryDropDown2, QStringLiteral( "max" ), Qt::Key_Tab );
        QTest::mouseClick( queries().cmdUpdateMap, Qt::LeftButton );
        QCOMPARE( main()->lblWorking->text(), QStringLiteral( "Please enter a numeric value for Max. Wind Power Density" ) );
        QVERIFY( main()->lblWorking->isVisible() );
        QCOMPARE( queries().cmdUpdateMap->text(), QStringLiteral( "Update Map" ) );
    }

    void groupedNumbersTyped_data()
    {
        QTest::addColumn<QLocale>( "locale" );
        QTest::addColumn<QString>( "minimum" );
        QTest::addColumn<QString>( "maximum" );
        QTest::addColumn<QString>( "expression" );

        const QLocale english( QLocale::English, QLocale::UnitedStates );
        const QLocale german( QLocale::German, QLocale::Germany );
        QTest::newRow( "English grouping" ) << english << "1,000" << "Max" << "WINDPWRD >= 1000 AND WINDPWRD <= 10000";
        QTest::newRow( "English grouping with decimals" )
            << english << "250.5" << "1,250.75" << "WINDPWRD >= 250.5 AND WINDPWRD <= 1250.75";
        QTest::newRow( "German grouping and decimal comma" )
            << german << "1.000,5" << "2.000" << "";
        QTest::newRow( "German decimal comma, list items with a point" )
            << german << "250,5" << "800" << "WINDPWRD >= 250.5 AND WINDPWRD <= 800";
    }

    void groupedNumbersTyped()
    {
        QFETCH( QLocale, locale );
        QFETCH( QString, minimum );
        QFETCH( QString, maximum );
        QFETCH( QString, expression );

        QLocale::setDefault( locale );
        choose( kWindRange );
        type( queries().cboQueryDropDown, minimum, Qt::Key_Tab );
        type( queries().cboQueryDropDown2, maximum, Qt::Key_Tab );
        const QueryInputs inputs = queries().FreezeInputs();
        const md_query_functions2::InputCheck check = md_query_functions2::CheckInputs( inputs );
        const QString built = check.ok ? md_query_functions2::CreateWindSelectExpression( inputs ) : QString();
        QLocale::setDefault( QLocale( QLocale::English, QLocale::UnitedStates ) );

        // A German "2.000" is two with the lists' decimal point and two thousand
        // with the regional grouping: it is refused, not guessed.
        if ( expression.isEmpty() )
            QCOMPARE( check.message, QStringLiteral( "Please enter a numeric value for Max. Wind Power Density" ) );
        QCOMPARE( built, expression );
        QVERIFY( mDialogs.shown.empty() );
    }

    void scaleListKeepsOneItem()
    {
        QComboBox *scale = main()->cboScale;
        main()->Map1->refresh();
        QCoreApplication::processEvents();
        const QString shown = scale->currentText();
        QVERIFY( shown.startsWith( QStringLiteral( "Scale 1 : " ) ) );

        for ( const QString &typed : { QStringLiteral( "1 : 5000" ), QStringLiteral( "scale" ), shown } )
        {
            QTest::mouseClick( scale->lineEdit(), Qt::LeftButton );
            QTest::keyClick( scale, Qt::Key_A, Qt::ControlModifier );
            QTest::keyClicks( scale, typed );
            QTest::keyClick( scale, Qt::Key_Return );
            QCOMPARE( scale->count(), 1 );
            QCOMPARE( scale->currentText(), typed );
        }
        // The next redraw shows the scale again, still as the only item.
        main()->Map1->refresh();
        QCoreApplication::processEvents();
        QCOMPARE( testsupport::itemTexts( scale ), QStringList { shown } );
        QCOMPARE( scale->currentText(), shown );
    }

    // --- readable texts ---

    void everyCaptionReadable_data()
    {
        QTest::addColumn<QString>( "query" );
        for ( const char *query : { "No Query (Base Map)", "Wind by Power Density", "Best wind - protected areas",
                                    "Best wind + land use", "Best wind + roads", "Best wind + transmission",
                                    "Best wind (all)", "Best Solar X kWh/m2/day" } )
            QTest::newRow( query ) << QString::fromLatin1( query );
    }

    void everyCaptionReadable()
    {
        QFETCH( QString, query );
        choose( query );
        // Zoomed in, so that "Back to Original Map" shows too.
        main()->cmdZoomIn_Click();
        QCoreApplication::processEvents();
        QVERIFY( main()->cmdOriginalMap->isVisible() );
        const QStringList clipped = testsupport::clippedTexts( main() );
        QVERIFY2( clipped.isEmpty(), qPrintable( clipped.join( " | " ) ) );
        main()->cmdOriginalMap_Click();
    }

    void boundsBoxesShowEveryValue_data()
    {
        QTest::addColumn<QString>( "query" );
        QTest::addColumn<QStringList>( "typedToo" );
        // What a person may type beyond the items: the top of the scale, a boundary.
        QTest::newRow( "wind" ) << kWindRange << QStringList { "Max", "10000", "1,000" };
        QTest::newRow( "solar" ) << kSolar << QStringList { "Max", "10", "2.25" };
    }

    void boundsBoxesShowEveryValue()
    {
        QFETCH( QString, query );
        QFETCH( QStringList, typedToo );
        choose( query );
        for ( QComboBox *box : { queries().cboQueryDropDown, queries().cboQueryDropDown2 } )
        {
            for ( const QString &text : testsupport::itemTexts( box ) + typedToo )
                QVERIFY2( testsupport::lineEditShows( box->lineEdit(), text ), qPrintable( box->objectName() + ": " + text ) );
        }
    }

    void solarListShowsChosenName()
    {
        choose( kSolar );
        QComboBox *list = queries().cboQueryDropDown3;
        QCOMPARE( list->count(), 6 );
        list->setFocus();
        for ( int i = 0; i < list->count(); ++i )
        {
            QTest::keyClick( list, i == 0 ? Qt::Key_Home : Qt::Key_Down );
            QCOMPARE( list->currentIndex(), i );
            QCOMPARE( testsupport::clippedTexts( list ), QStringList() );
            // Left, top and width as designed; taller where the name needs it, never shorter.
            const QRect designed = pixels( list, QRect( 120, 1890, 2775, 315 ) );
            QCOMPARE( list->geometry().topLeft(), designed.topLeft() );
            QCOMPARE( list->width(), designed.width() );
            QVERIFY( list->height() >= designed.height() );
            QVERIFY( list->geometry().bottom() < queries().fraEditQueryParameters->contentsRect().bottom() );
        }
        QVERIFY( mDialogs.shown.empty() );
    }

    void layerDialogReadableAndNamed()
    {
        frmShowLayersDialog *dialog = frmShowLayersDialog::instance();
        dialog->setMap( main()->Map1 );
        dialog->setOwner( main() );
        dialog->show();
        QCOMPARE( testsupport::clippedTexts( dialog ), QStringList() );

        const int layers = main()->Map1->layerCount();
        int wrapped = 0;
        for ( int i = 0; i < frmShowLayersDialog::kBoxCount; ++i )
        {
            QCheckBox *box = dialog->chkShowLayers[i];
            if ( i >= layers )
            {
                QVERIFY( box->isHidden() );
                continue;
            }
            QCOMPARE( accessibleName( box ), main()->Map1->layer( i )->name );
            const auto *wrapping = dynamic_cast<const WrappingCheckBox *>( box );
            QVERIFY( wrapping );
            if ( QFontMetrics( box->font() ).horizontalAdvance( box->text() ) > wrapping->textRect().width() )
                ++wrapped;
            // A click on the second line of a wrapped caption toggles the box too, and so does one on the box.
            const bool was = box->isChecked();
            QTest::mouseClick( box, Qt::LeftButton, {}, QPoint( box->width() - 4, box->height() - 3 ) );
            QCOMPARE( box->isChecked(), !was );
            QTest::mouseClick( box, Qt::LeftButton, {}, QPoint( 5, box->height() / 2 ) );
            QCOMPARE( box->isChecked(), was );
        }
        // The long solar names really take a second line.
        QVERIFY( wrapped > 0 );
        dialog->CancelButton_Click();
    }

    void windowAfterQueryReadable_data()
    {
        QTest::addColumn<QString>( "query" );
        QTest::addColumn<bool>( "print" ); // the print window, else the results table
        QTest::newRow( "wind results table" ) << kWindRange << false;
        QTest::newRow( "solar results table" ) << kSolar << false;
        QTest::newRow( "print window after wind" ) << kWindRange << true;
    }

    void windowAfterQueryReadable()
    {
        QFETCH( QString, query );
        QFETCH( bool, print );
        choose( query );
        QTest::mouseClick( queries().cmdUpdateMap, Qt::LeftButton );
        QWidget *window = nullptr;
        if ( print )
        {
            main()->mnuPrint_Click();
            window = frmPrint::existingInstance();
        }
        else
        {
            QVERIFY( queries().cmdShowData->isVisible() );
            QTest::mouseClick( queries().cmdShowData, Qt::LeftButton );
            frmShowQueryData *table = frmShowQueryData::existingInstance();
            QVERIFY( table );
            table->Form_Activate();
            QVERIFY( !table->lblArea.front()->isHidden() );
            window = table;
        }
        QVERIFY( window );
        QCoreApplication::processEvents();
        const QStringList clipped = testsupport::clippedTexts( window );
        window->close();
        QVERIFY2( clipped.isEmpty(), qPrintable( clipped.join( " | " ) ) );
        QVERIFY( mDialogs.shown.empty() );
    }

    // --- window buttons and owners ---

    void dialogsWithoutMinimiseOrMaximise()
    {
        std::vector<QWidget *> windows;
        frmShowLayersDialog *layers = frmShowLayersDialog::instance();
        layers->setOwner( main() );
        windows.push_back( layers );
        windows.push_back( frmShowQueryData::showFor( main() ) );
        const std::unique_ptr<QMessageBox> message = makeMessageBox( main(), QStringLiteral( "text" ), kAppTitle,
                                                                     Dialogs::Icon::None, false );
        const std::unique_ptr<QMessageBox> question = makeMessageBox( main(), QStringLiteral( "text?" ), kAppTitle,
                                                                      Dialogs::Icon::None, true );
        windows.push_back( message.get() );
        windows.push_back( question.get() );

        for ( QWidget *w : windows )
        {
            w->show();
            QVERIFY( w->windowHandle() );
            const QString name = w->windowTitle();
            QVERIFY2( !offersMinimiseOrMaximise( w->windowFlags() ), qPrintable( name ) );
            // Without this hint the platform adds its default buttons.
            QVERIFY2( w->windowFlags().testFlag( Qt::CustomizeWindowHint ), qPrintable( name ) );
            QVERIFY2( !offersMinimiseOrMaximise( w->windowHandle()->flags() ), qPrintable( name ) );
            QCOMPARE( w->windowType(), Qt::Dialog );
            QCOMPARE( w->parentWidget(), main() );
            w->hide();
        }
        QCOMPARE( message->windowTitle(), QStringLiteral( "QUELM3" ) );
        QCOMPARE( message->standardButtons(), QMessageBox::Ok );
        QCOMPARE( question->standardButtons(), QMessageBox::Yes | QMessageBox::No );
        QVERIFY( layers->windowFlags().testFlag( Qt::MSWindowsFixedSizeDialogHint ) );
        QCOMPARE( layers->minimumSize(), layers->maximumSize() );
        frmShowQueryData::existingInstance()->close();
    }

    void messageBoxOwnedByActiveWindow()
    {
        main()->activateWindow();
        QVERIFY( QTest::qWaitForWindowActive( main() ) );
        // Error messages pass no owner of their own: the active window becomes it.
        const std::unique_ptr<QMessageBox> box = makeMessageBox( nullptr, QStringLiteral( "text" ), kAppTitle,
                                                                 Dialogs::Icon::None, false );
        QCOMPARE( box->parentWidget(), main() );
    }
};

QTEST_MAIN( TestControls )
#include "tst_controls.moc"
