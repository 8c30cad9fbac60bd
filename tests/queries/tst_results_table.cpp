#include "QueryFixture.h"

#include "queries/frmShowQueryData.h"
#include "queries/md_query_functions2.h"

#include <QLabel>
#include <QTest>

namespace q = md_query_functions2;

namespace
{
const QString kWind = QStringLiteral( "Wind by Power Density" );
const QString kSolar = QStringLiteral( "Best Solar X kWh/m2/day" );
const QString kPv40 = QStringLiteral( "40 km Solar PV Annual Average(KWH/M2/DAY)" );

//! A rectangle of \a areaKm2 square kilometres (1 km high).
std::shared_ptr<const gis::Geometry> rectangleOf( double areaKm2, double y = 0 )
{
    const double w = areaKm2 * 1000.0;
    return std::make_shared<gis::Geometry>( gis::Geometry::fromWkt(
        QStringLiteral( "POLYGON ((0 %2, %1 %2, %1 %3, 0 %3, 0 %2))" ).arg( w, 0, 'f', 3 ).arg( y ).arg( y + 1000 ).toStdString() ) );
}

void addResult( double areaKm2, int colour, double value = 0 )
{
    gis::Symbol symbol;
    symbol.outline = false;
    symbol.color = colour;
    q::cResults.add( rectangleOf( areaKm2 ), symbol, value );
}

void startRun( const QString &query, const QString &field, gis::LayerPtr classLayer = nullptr,
               const QString &solarResource = {} )
{
    q::cResults.start( query, solarResource );
    q::cResults.run().valueField = field;
    q::cResults.run().classLayer = std::move( classLayer );
}

QStringList visibleTexts( const std::vector<QLabel *> &labels )
{
    QStringList out;
    for ( QLabel *l : labels )
    {
        if ( !l->isHidden() )
            out << l->text();
    }
    return out;
}

int visibleRows( const frmShowQueryData &form )
{
    int n = 0;
    for ( auto *s : form.shpLayerColor )
        n += s->isHidden() ? 0 : 1;
    return n;
}
} // namespace

class TestResultsTable : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void sumsPerColourInOrderOfFirstAppearance();
    void areaDescriptions_data();
    void areaDescriptions();
    void tableDescribesTheRunThatProducedIt();
    void fillsRowsWithAreasAndSwatches();
    void moreColoursThanRows();
    void fewerClassesHideTheRest();
    void emptyModelShowsNothing();
    void messageBoxDoesNotRefillAgain();

  private:
    frmShowQueryData *openForm();
};

void TestResultsTable::init()
{
    q::cResults.reset();
}

void TestResultsTable::cleanup()
{
    if ( frmShowQueryData *form = frmShowQueryData::existingInstance() )
    {
        form->close();
        QCoreApplication::sendPostedEvents( nullptr, QEvent::DeferredDelete );
    }
    q::cResults.reset();
}

frmShowQueryData *TestResultsTable::openForm()
{
    frmShowQueryData *form = frmShowQueryData::showFor( nullptr );
    form->Form_Activate();
    return form;
}

void TestResultsTable::sumsPerColourInOrderOfFirstAppearance()
{
    startRun( kWind, QStringLiteral( "WINDPWRD" ) );
    const int c1 = gis::rgb( 0, 0, 255 );
    const int c2 = gis::rgb( 230, 230, 230 );
    const int c3 = gis::rgb( 255, 0, 0 );
    addResult( 1.0, c1 );
    addResult( 2.0, c2 );
    addResult( 0.5, c1 );
    addResult( 4.0, c3 );

    const auto sums = q::SumAreasByColour( q::cResults );
    QCOMPARE( sums.size(), size_t( 3 ) );
    QCOMPARE( sums[0].first, c1 );
    QCOMPARE( sums[0].second, 1.5 );
    QCOMPARE( sums[1].first, c2 );
    QCOMPARE( sums[2].first, c3 );
    QCOMPARE( sums[2].second, 4.0 );
}

void TestResultsTable::areaDescriptions_data()
{
    QTest::addColumn<QString>( "query" );
    QTest::addColumn<bool>( "classLayer" ); // false: the class layer was not loaded
    QTest::addColumn<int>( "colour" );
    QTest::addColumn<QString>( "description" );

    const QString roads = QStringLiteral( "Best wind + roads" );
    QTest::newRow( "light grey" ) << roads << true << gis::rgb( 230, 230, 230 ) << "Wind Power Density < 200";
    QTest::newRow( "renderer white" ) << roads << true << gis::rgb( 255, 255, 255 ) << "Wind Power Density < 200";
    QTest::newRow( "200 to 300" ) << roads << true << gis::rgb( 222, 184, 135 ) << "Wind Power Density >= 200 and < 300";
    QTest::newRow( "500 to 600" ) << roads << true << gis::rgb( 154, 50, 205 ) << "Wind Power Density >= 500 and < 600";
    QTest::newRow( "600 to 800" ) << roads << true << gis::rgb( 255, 0, 0 ) << "Wind Power Density >= 600 and < 800";
    QTest::newRow( "top wind class" ) << roads << true << gis::rgb( 0, 0, 255 ) << "Wind Power Density >= 800";
    QTest::newRow( "solar class 0" ) << kSolar << true << gis::rgb( 122, 97, 50 ) << "Solar Resource < 2.0";
    QTest::newRow( "solar 4.5 to 5" ) << kSolar << true << gis::rgb( 255, 255, 0 ) << "Solar Resource >= 4.5 < 5.0";
    QTest::newRow( "solar 2 to 2.5" ) << kSolar << true << gis::rgb( 184, 146, 75 ) << "Solar Resource >= 2.0 < 2.5";
    QTest::newRow( "top solar class" ) << kSolar << true << gis::rgb( 71, 0, 0 ) << "Solar Resource >= 9.0";
    QTest::newRow( "no such solar class" ) << kSolar << true << gis::rgb( 1, 2, 3 ) << "";
    QTest::newRow( "no query" ) << "No Query (Base Map)" << true << gis::rgb( 0, 0, 255 ) << "";
    QTest::newRow( "wind layer not loaded" ) << kWind << false << gis::rgb( 0, 0, 255 ) << "";
}

void TestResultsTable::areaDescriptions()
{
    QFETCH( QString, query );
    QFETCH( bool, classLayer );
    QFETCH( int, colour );
    QFETCH( QString, description );
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    ResultModel::Run run;
    run.queryName = query;
    if ( query == kSolar )
    {
        run.classLayer = f.addSolar( QStringLiteral( "12_solar_tilt.shp" ), QStringLiteral( "ANNTILT" ), { 4.6 } );
        QCOMPARE( run.classLayer->name, kPv40 );
        run.solarResource = kPv40;
        run.valueField = QStringLiteral( "ANNTILT" );
    }
    else
    {
        run.classLayer = f.addWind( { 500.0 } );
        run.valueField = QStringLiteral( "WINDPWRD" );
    }
    if ( !classLayer )
        run.classLayer = nullptr;
    QCOMPARE( q::CreateAreaDescription( colour, run ), description );
    QVERIFY( dialogs.shown.empty() );
}

void TestResultsTable::tableDescribesTheRunThatProducedIt()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 550.0 } );
    QueryInputs in;
    in.queryName = kWind;
    in.minText = QStringLiteral( "500" );
    in.maxText = QStringLiteral( "Max" );
    in.solarResource = kPv40; // what the solar list happened to show
    in.captureMap( f.map );
    q::fill_cShapes_collection( in, QueryCallbacks() );
    QCOMPARE( q::cResults.count(), qint64( 1 ) );

    // Afterwards the user opens another directory and picks the solar query.
    f.map.clearLayers();
    md_functions::cLayerIndex.clear();

    frmShowQueryData *form = openForm();
    QCOMPARE( visibleTexts( form->lblArea ), QStringList { "1.00 sq km" } );
    QCOMPARE( visibleTexts( form->lblDescription ), QStringList { "Wind Power Density >= 500 and < 600" } );
    QCOMPARE( form->shpLayerColor[0]->borderWidth(), 1 );
    QVERIFY( dialogs.shown.empty() );
}

void TestResultsTable::fillsRowsWithAreasAndSwatches()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    const gis::LayerPtr solar = f.addSolar( QStringLiteral( "12_solar_tilt.shp" ), QStringLiteral( "ANNTILT" ), { 4.6 } );
    startRun( kSolar, QStringLiteral( "ANNTILT" ), solar, kPv40 );
    addResult( 2.5, gis::rgb( 255, 255, 0 ) );
    addResult( 1234.5, gis::rgb( 71, 0, 0 ) );
    addResult( 0.004, gis::rgb( 255, 255, 0 ) );

    frmShowQueryData *form = openForm();
    QCOMPARE( form->windowTitle(), QStringLiteral( "Query Results" ) );
    QCOMPARE( visibleTexts( form->lblArea ), ( QStringList { "2.50 sq km", "1,234.50 sq km" } ) );
    QCOMPARE( visibleTexts( form->lblDescription ),
              ( QStringList { "Solar Resource >= 4.5 < 5.0", "Solar Resource >= 9.0" } ) );
    QCOMPARE( visibleRows( *form ), 2 );
    QCOMPARE( form->shpLayerColor[0]->fillColor(), gis::rgb( 255, 255, 0 ) );
    QCOMPARE( form->shpLayerColor[1]->fillColor(), gis::rgb( 71, 0, 0 ) );
    QCOMPARE( form->shpLayerColor[0]->borderWidth(), 2 );
    QVERIFY( dialogs.shown.empty() );
}

void TestResultsTable::moreColoursThanRows()
{
    testsupport::RecordingDialogs dialogs;
    startRun( kWind, QStringLiteral( "WINDPWRD" ) );
    for ( int i = 0; i < 15; ++i )
        addResult( 1.0 + i, gis::rgb( i, 0, 0 ) );

    frmShowQueryData *form = openForm();
    QCOMPARE( dialogs.texts(), QStringList { "Form will not be able to show all values" } );
    QCOMPARE( visibleRows( *form ), frmShowQueryData::kRowCount );
    QCOMPARE( form->shpLayerColor[13]->fillColor(), gis::rgb( 13, 0, 0 ) );
    QCOMPARE( form->lblArea[13]->text(), QStringLiteral( "14.00 sq km" ) );
}

void TestResultsTable::fewerClassesHideTheRest()
{
    testsupport::RecordingDialogs dialogs;
    startRun( kSolar, QStringLiteral( "ANNGLO" ) );
    for ( int i = 0; i < 10; ++i )
        addResult( 1.0, gis::rgb( 0, i, 0 ) );
    frmShowQueryData *form = openForm();
    QCOMPARE( visibleRows( *form ), 10 );

    startRun( kWind, QStringLiteral( "WINDPWRD" ) );
    for ( int i = 0; i < 3; ++i )
        addResult( 1.0, gis::rgb( 0, 0, i ) );
    form->Form_Activate();
    QCOMPARE( visibleRows( *form ), 3 );
    QCOMPARE( visibleTexts( form->lblArea ).size(), 3 );
    QCOMPARE( visibleTexts( form->lblDescription ).size(), 3 );
    QVERIFY( form->lblArea[3]->isHidden() );
    QVERIFY( form->lblDescription[13]->isHidden() );
}

void TestResultsTable::emptyModelShowsNothing()
{
    testsupport::RecordingDialogs dialogs;
    frmShowQueryData *form = openForm(); // before any run
    QCOMPARE( visibleRows( *form ), 0 );
    QVERIFY( dialogs.shown.empty() );
}

namespace
{
//! Activates the table again while its message box is open, as closing the box does.
class ReactivatingDialogs : public testsupport::RecordingDialogs
{
  public:
    frmShowQueryData *form = nullptr;
    void message( QWidget *parent, const QString &text, const QString &title, Icon icon ) override
    {
        RecordingDialogs::message( parent, text, title, icon );
        if ( form && shown.size() < 5 )
            form->Form_Activate();
    }
};
} // namespace

void TestResultsTable::messageBoxDoesNotRefillAgain()
{
    ReactivatingDialogs dialogs;
    startRun( kWind, QStringLiteral( "WINDPWRD" ) );
    for ( int i = 0; i < 16; ++i )
        addResult( 1.0, gis::rgb( 0, 0, i ) );
    frmShowQueryData *form = frmShowQueryData::showFor( nullptr );
    form->hide(); // the box has the focus: the table is not the active window when the fill ends
    dialogs.form = form;
    dialogs.reset();

    form->Form_Activate();
    QCOMPARE( dialogs.shown.size(), size_t( 1 ) );

    // The activation that follows the closed box is the box's, not the user's.
    QEvent activate( QEvent::WindowActivate );
    QCoreApplication::sendEvent( form, &activate );
    QCOMPARE( dialogs.shown.size(), size_t( 1 ) );

    // The user's next activation refills.
    QCoreApplication::sendEvent( form, &activate );
    QCOMPARE( dialogs.shown.size(), size_t( 2 ) );
}

QTEST_MAIN( TestResultsTable )
#include "tst_results_table.moc"
