#include "QueryFixture.h"

#include "queries/md_query_functions2.h"
#include "queries/md_query_results.h"
#include "queries/QueryNumbers.h"
#include "queries/WindowQueryCallbacks.h"

#include <QLabel>

#include <QLocale>
#include <QTest>

#include <clocale>

namespace q = md_query_functions2;

namespace
{
constexpr int kGrey = gis::rgb( 230, 230, 230 );
constexpr int kBlue = gis::rgb( 0, 0, 255 );
const QString kPv10 = QStringLiteral( "10 km Solar PV Annual Average(KWH/M2/DAY)" );

QueryInputs solarInputs( const QueryFixture &f, const QString &minText, const QString &maxText )
{
    QueryInputs in;
    in.queryName = QStringLiteral( "Best Solar X kWh/m2/day" );
    in.solarResource = kPv10;
    in.minText = minText;
    in.maxText = maxText;
    in.captureMap( f.map );
    return in;
}

QueryInputs windInputs( const QueryFixture &f, const QString &minText, const QString &maxText )
{
    QueryInputs in;
    in.queryName = QStringLiteral( "Wind by Power Density" );
    in.minText = minText;
    in.maxText = maxText;
    in.captureMap( f.map );
    return in;
}

//! Runs "Wind by Power Density" from \a minText to \a maxText over the fixture's map.
void runWind( const QueryFixture &f, RecordingCallbacks &rec, const QString &minText = QStringLiteral( "200" ),
              const QString &maxText = QStringLiteral( "Max" ) )
{
    q::fill_cShapes_collection( windInputs( f, minText, maxText ), rec.callbacks() );
}

QList<double> resultValues()
{
    QList<double> values;
    for ( qint64 i = 0; i < q::cResults.count(); ++i )
        values << q::cResults.value( i ).toDouble();
    return values;
}
} // namespace

class TestRangeQueries : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void numberTexts_data();
    void numberTexts();
    void percentTexts_data();
    void percentTexts();
    void selectExpression_data();
    void selectExpression();
    void expressionsIgnoreTheLocale();
    void failingBuilderStopsTheQuery();

    void windQueryFillsTheModelInLockstep();
    void captionsAndYields();
    void firstRecordYieldsThenEvery50th();
    void recordLoopStages_data();
    void recordLoopStages();
    void cancelKeepsThePolygonsSoFar();
    void nonPolygonRecordAdvancesOnlyTheCaption();
    void unreadableValueAddsNothing();
    void missingFeatureIdCountsTheRecords();
    void referenceLayersAreHidden();
    void missingLayerIsReportedByTheQuery();

    void solarLayerChosen_data();
    void solarLayerChosen();
    void solarUpperBoundSelectsItsOwnValue();

    void noQueryEmptiesTheShapes();
    void dispatcherComparesNamesExactly();
    void queryRunsOnItsFrozenLayers();
    void resultsDrawnOnlyWhenNotRunning();
    void windowCallbacks();
};

void TestRangeQueries::init()
{
    Constants::bCancelQuery = false;
    Constants::bQueryRunning = false;
    q::cResults.reset();
    q::sSolarField.clear();
    q::sSolarLayerFile.clear();
}

void TestRangeQueries::cleanup()
{
    Constants::bCancelQuery = false;
    q::cResults.reset();
}

void TestRangeQueries::numberTexts_data()
{
    QTest::addColumn<double>( "value" );
    QTest::addColumn<int>( "digits" );
    QTest::addColumn<QString>( "text" );

    QTest::newRow( "whole" ) << 500.0 << 15 << "500";
    QTest::newRow( "half" ) << 2.5 << 15 << "2.5";
    QTest::newRow( "single 3.3" ) << static_cast<double>( 3.3f ) << 7 << "3.3";
    QTest::newRow( "single 3.3 as double" ) << static_cast<double>( 3.3f ) << 15 << "3.29999995231628";
    QTest::newRow( "tiny, no exponent" ) << 0.00001 << 15 << "0.00001";
    QTest::newRow( "renderer break" ) << 4.9999999999 << 15 << "4.9999999999";
}

void TestRangeQueries::numberTexts()
{
    QFETCH( double, value );
    QFETCH( int, digits );
    QFETCH( QString, text );
    QCOMPARE( querynumbers::numberText( value, digits ), text );
}

void TestRangeQueries::percentTexts_data()
{
    QTest::addColumn<qint64>( "part" );
    QTest::addColumn<qint64>( "whole" );
    QTest::addColumn<QString>( "text" );

    QTest::newRow( "3 of 8" ) << qint64( 3 ) << qint64( 8 ) << "37.5%";
    QTest::newRow( "first record" ) << qint64( 0 ) << qint64( 8 ) << "0.0%";
    QTest::newRow( "1 of 3" ) << qint64( 1 ) << qint64( 3 ) << "33.3%";
    QTest::newRow( "2 of 3" ) << qint64( 2 ) << qint64( 3 ) << "66.7%";
    QTest::newRow( "half rounds up" ) << qint64( 1 ) << qint64( 16 ) << "6.3%";
    QTest::newRow( "all" ) << qint64( 3 ) << qint64( 3 ) << "100.0%";
    QTest::newRow( "no denominator" ) << qint64( 5 ) << qint64( 0 ) << "0.0%";
    QTest::newRow( "beyond 32 bits" ) << qint64( 3000000000 ) << qint64( 4000000000 ) << "75.0%";
    QTest::newRow( "more than the count" ) << qint64( 25 ) << qint64( 2 ) << "1,250.0%";
}

void TestRangeQueries::percentTexts()
{
    QFETCH( qint64, part );
    QFETCH( qint64, whole );
    QFETCH( QString, text );
    QCOMPARE( querynumbers::percentText( part, whole ), text );
}

void TestRangeQueries::selectExpression_data()
{
    QTest::addColumn<QString>( "field" ); // WINDPWRD: the wind builder, else the solar builder over this field
    QTest::addColumn<QString>( "minText" );
    QTest::addColumn<QString>( "maxText" );
    QTest::addColumn<QString>( "expression" );

    const QString wind = QStringLiteral( "WINDPWRD" );
    QTest::newRow( "500 to Max" ) << wind << "500" << "Max" << "WINDPWRD >= 500 AND WINDPWRD <= 10000";
    QTest::newRow( "Max with blanks" ) << wind << "500" << " Max  " << "WINDPWRD >= 500 AND WINDPWRD <= 10000";
    QTest::newRow( "500 to 800" ) << wind << "500" << "800" << "WINDPWRD >= 500 AND WINDPWRD <= 800";
    QTest::newRow( "leading zero" ) << wind << "0500" << "800.0" << "WINDPWRD >= 500 AND WINDPWRD <= 800";
    QTest::newRow( "fractions" ) << wind << "199.5" << "10000" << "WINDPWRD >= 199.5 AND WINDPWRD <= 10000";
    QTest::newRow( "40 km PV" ) << "ANNTILT" << "4.5" << "6" << "ANNTILT >= 4.5 AND ANNTILT <= 6";
    QTest::newRow( "typed 2.50" ) << "ANNDIR" << "2.50" << "9" << "ANNDIR >= 2.5 AND ANNDIR <= 9";
    QTest::newRow( "3.3 stays 3.3" ) << "ANNGLO" << "3.3" << "7.7" << "ANNGLO >= 3.3 AND ANNGLO <= 7.7";
}

void TestRangeQueries::selectExpression()
{
    QFETCH( QString, field );
    QFETCH( QString, minText );
    QFETCH( QString, maxText );
    QFETCH( QString, expression );
    testsupport::RecordingDialogs dialogs;
    QueryInputs in;
    in.minText = minText;
    in.maxText = maxText;
    q::sSolarField = field;
    QCOMPARE( field == QLatin1String( "WINDPWRD" ) ? q::CreateWindSelectExpression( in )
                                                   : q::CreateSolarSelectExpression( in ),
              expression );
    QVERIFY( dialogs.shown.empty() );
}

void TestRangeQueries::expressionsIgnoreTheLocale()
{
    const QLocale before;
    QLocale::setDefault( QLocale( QLocale::German, QLocale::Germany ) );
    std::setlocale( LC_NUMERIC, "de_DE.UTF-8" );

    QueryInputs in;
    in.minText = QStringLiteral( "199.5" );
    in.maxText = QStringLiteral( "800" );
    const QString wind = q::CreateWindSelectExpression( in );
    q::sSolarField = QStringLiteral( "ANNTILT" );
    in.minText = QStringLiteral( "4.5" );
    in.maxText = QStringLiteral( "6.5" );
    const QString solar = q::CreateSolarSelectExpression( in );
    // What the user reads follows the regional settings; only the expressions do not.
    const QString regionalPercent = querynumbers::percentText( 3, 8 );
    const QString regionalArea = querynumbers::fixedText( 60150.2, 2 );

    std::setlocale( LC_NUMERIC, "C" );
    QLocale::setDefault( before );
    QCOMPARE( wind, QStringLiteral( "WINDPWRD >= 199.5 AND WINDPWRD <= 800" ) );
    QCOMPARE( solar, QStringLiteral( "ANNTILT >= 4.5 AND ANNTILT <= 6.5" ) );
    QCOMPARE( regionalPercent, QStringLiteral( "37,5%" ) );
    QCOMPARE( regionalArea, QStringLiteral( "60.150,20" ) );
    QCOMPARE( querynumbers::percentText( 3, 8 ), QStringLiteral( "37.5%" ) );
    QCOMPARE( querynumbers::fixedText( 60150.2, 2 ), QStringLiteral( "60,150.20" ) );
}

void TestRangeQueries::failingBuilderStopsTheQuery()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 500.0, 600.0 } );
    QueryInputs in = windInputs( f, QStringLiteral( "500" ), QStringLiteral( "max" ) );
    RecordingCallbacks rec;

    q::fill_cShapes_collection( in, rec.callbacks() );

    QCOMPARE( dialogs.texts(), QStringList { " Error Source:md_query_functions2.CreateWindSelectExpression()" } );
    QCOMPARE( q::cResults.count(), qint64( 0 ) );
    QCOMPARE( rec.captions, QStringList { "Calculating..." } );
    QVERIFY( !q::QueryResults() );
}

void TestRangeQueries::windQueryFillsTheModelInLockstep()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 150.0, 250.0, 850.0, 450.0, 10001.0 } );
    RecordingCallbacks rec;

    runWind( f, rec, QStringLiteral( "0" ) );

    QVERIFY( dialogs.shown.empty() );
    QCOMPARE( resultValues(), ( QList<double> { 150, 250, 850, 450 } ) );
    QCOMPARE( q::cResults.symbol( 0 ).color, kGrey );
    QCOMPARE( q::cResults.symbol( 1 ).color, gis::rgb( 222, 184, 135 ) );
    QCOMPARE( q::cResults.symbol( 2 ).color, kBlue );
    QCOMPARE( q::cResults.symbol( 3 ).color, gis::rgb( 255, 110, 180 ) );
    for ( qint64 i = 0; i < q::cResults.count(); ++i )
    {
        QVERIFY( !q::cResults.symbol( i ).outline );
        // Shape i is the i-th square: its left edge says which record it came from.
        const double left = 1000.0 * static_cast<double>( i );
        QVERIFY( QString::fromStdString( q::cResults.shape( i ).toWkt() ).contains( QString::number( left ) ) );
    }
    QCOMPARE( Constants::sValueField, QStringLiteral( "WINDPWRD" ) );
    QCOMPARE( q::cResults.run().valueField, QStringLiteral( "WINDPWRD" ) );
    QVERIFY( !Constants::bQueryRunning );
    QVERIFY( q::QueryResults() );
}

void TestRangeQueries::captionsAndYields()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( std::vector<QVariant>( 8, QVariant( 500.0 ) ) );
    RecordingCallbacks rec;

    runWind( f, rec, QStringLiteral( "500" ) );

    const QStringList expected { "Calculating...",
                                 "Calculating... 0.0% finished",
                                 "Calculating... 12.5% finished",
                                 "Calculating... 25.0% finished",
                                 "Calculating... 37.5% finished",
                                 "Calculating... 50.0% finished",
                                 "Calculating... 62.5% finished",
                                 "Calculating... 75.0% finished",
                                 "Calculating... 87.5% finished",
                                 "Calculating... finished" };
    QCOMPARE( rec.captions, expected );
    QCOMPARE( rec.yields, 1 );
    QCOMPARE( rec.forcedRefreshes, 2 );
    QCOMPARE( q::cResults.count(), qint64( 8 ) );
}

void TestRangeQueries::firstRecordYieldsThenEvery50th()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( std::vector<QVariant>( 101, QVariant( 300.0 ) ) );
    RecordingCallbacks rec;
    QList<qint64> countsAtYield;
    rec.onYield = [&] { countsAtYield << q::cResults.count(); };

    runWind( f, rec );

    QCOMPARE( countsAtYield, ( QList<qint64> { 0, 50, 100 } ) );
    QCOMPARE( q::cResults.count(), qint64( 101 ) );
}

void TestRangeQueries::recordLoopStages_data()
{
    QTest::addColumn<int>( "records" );
    QTest::addColumn<QString>( "stageWord" );
    QTest::addColumn<qint64>( "yieldInterval" );
    QTest::addColumn<qint64>( "firstCount" );
    QTest::addColumn<bool>( "finishedCaption" );
    QTest::addColumn<int>( "yields" );
    QTest::addColumn<QStringList>( "captions" );

    QTest::newRow( "overlay counting from 1, yielding every record" )
        << 3 << "Overlaying..." << qint64( 1 ) << qint64( 1 ) << true << 3
        << QStringList { "Overlaying... 33.3% finished", "Overlaying... 66.7% finished", "Overlaying... 100.0% finished",
                         "Overlaying... finished" };
    QTest::newRow( "a first stage that another follows" )
        << 4 << "Intersecting..." << qint64( 50 ) << qint64( 0 ) << false << 1
        << QStringList { "Intersecting... 0.0% finished", "Intersecting... 25.0% finished",
                         "Intersecting... 50.0% finished", "Intersecting... 75.0% finished" };
}

void TestRangeQueries::recordLoopStages()
{
    QFETCH( int, records );
    QFETCH( QString, stageWord );
    QFETCH( qint64, yieldInterval );
    QFETCH( qint64, firstCount );
    QFETCH( bool, finishedCaption );
    QFETCH( int, yields );
    QFETCH( QStringList, captions );

    QueryFixture f;
    gis::LayerPtr layer = f.addWind( std::vector<QVariant>( static_cast<size_t>( records ), QVariant( 500.0 ) ) );
    gis::Recordset rs = layer->searchExpression( QStringLiteral( "FeatureID > -1" ) );
    RecordingCallbacks rec;
    int handled = 0;

    const bool finished = q::RunRecordLoop( rs, q::FeatureCount( rs ),
                                            q::RecordLoopStage { stageWord, yieldInterval, firstCount, finishedCaption },
                                            rec.callbacks(), [&]( const gis::Recordset & ) { ++handled; } );

    QVERIFY( finished );
    QCOMPARE( handled, records );
    QCOMPARE( rec.yields, yields );
    QCOMPARE( rec.captions, captions );
}

void TestRangeQueries::cancelKeepsThePolygonsSoFar()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( std::vector<QVariant>( 120, QVariant( 700.0 ) ) );
    RecordingCallbacks rec;
    rec.cancelAtYield = 2; // the Cancel click arrives during the yield before record 50

    runWind( f, rec );

    QCOMPARE( q::cResults.count(), qint64( 50 ) );
    QCOMPARE( rec.captions.last(), QStringLiteral( "Calculating... 40.8% finished" ) );
    QVERIFY( !Constants::bQueryRunning );
    QVERIFY( !q::QueryResults() );
}

void TestRangeQueries::nonPolygonRecordAdvancesOnlyTheCaption()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 500.0, 500.0, 500.0 },
               { QueryFixture::square( 0, 0, 1000 ), QStringLiteral( "POLYGON EMPTY" ), QueryFixture::square( 2000, 0, 1000 ) } );
    RecordingCallbacks rec;

    runWind( f, rec );

    QCOMPARE( q::cResults.count(), qint64( 2 ) );
    QCOMPARE( rec.captions.size(), 5 );
    QCOMPARE( rec.captions.at( 2 ), QStringLiteral( "Calculating... 33.3% finished" ) );
}

void TestRangeQueries::unreadableValueAddsNothing()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addSolar( QStringLiteral( "16_solar_tilt.shp" ), QStringLiteral( "ANNTILT" ), { "4.6", "", "5.1" },
                testsupport::FieldSpec::String );
    const QueryInputs in = solarInputs( f, QStringLiteral( "0" ), QStringLiteral( "10" ) );
    q::sSolarField = QStringLiteral( "ANNTILT" );
    q::sSolarLayerFile = QStringLiteral( "16_solar_tilt.shp" );
    RecordingCallbacks rec;

    // Text fields compare as text; select every record and let the loop read the values.
    gis::Recordset records = f.map.layer( 0 )->searchExpression( QString() );
    q::SetValueField( QStringLiteral( "ANNTILT" ) );
    q::cResults.start( in.queryName, in.solarResource );
    q::RunRecordLoop( records, q::FeatureCount( records ), { QStringLiteral( "Calculating..." ), 50, 0 }, rec.callbacks(),
                      [&]( const gis::Recordset &r ) {
                          q::AddResult( q::SharedShape( r ), QStringLiteral( "ANNTILT" ), r.value( QStringLiteral( "ANNTILT" ) ) );
                      } );

    QCOMPARE( q::cResults.count(), qint64( 2 ) );
    QCOMPARE( q::cResults.value( 1 ).toString(), QStringLiteral( "5.1" ) );
    QCOMPARE( q::cResults.symbol( 1 ).color, gis::rgb( 252, 223, 0 ) );
    QVERIFY( dialogs.shown.empty() );
}

void TestRangeQueries::missingFeatureIdCountsTheRecords()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( std::vector<QVariant>( 4, QVariant( 300.0 ) ), {}, false ); // every FeatureID null
    RecordingCallbacks rec;

    runWind( f, rec );

    QVERIFY( dialogs.shown.empty() );
    QCOMPARE( rec.captions.at( 3 ), QStringLiteral( "Calculating... 50.0% finished" ) );
    QCOMPARE( q::cResults.count(), qint64( 4 ) );
}

void TestRangeQueries::referenceLayersAreHidden()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 500.0 } );
    const gis::LayerPtr roads = f.addLines( QStringLiteral( "43_roads.shp" ) );
    const gis::LayerPtr rail = f.addLines( QStringLiteral( "42_railroad.shp" ) );
    const gis::LayerPtr rivers = f.addLines( QStringLiteral( "40_rivers.shp" ) );
    RecordingCallbacks rec;

    runWind( f, rec );

    QVERIFY( !roads->visible );
    QVERIFY( !rail->visible );
    QVERIFY( rivers->visible );
    QVERIFY( dialogs.shown.empty() );
}

void TestRangeQueries::missingLayerIsReportedByTheQuery()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addLines( QStringLiteral( "43_roads.shp" ) );
    RecordingCallbacks rec;

    q::fill_cShapes_collection( solarInputs( f, QStringLiteral( "2" ), QStringLiteral( "9" ) ), rec.callbacks() );
    runWind( f, rec );

    QCOMPARE( dialogs.texts(), ( QStringList { " Error Source:md_query_functions2.solar_x_kwhm2_or_better() ",
                                               " Error Source:md_query_functions2.wind_class_x_or_better()" } ) );
    QCOMPARE( rec.captions, ( QStringList { "Calculating...", "Calculating..." } ) );
    QCOMPARE( q::cResults.count(), qint64( 0 ) );
    QVERIFY( !Constants::bQueryRunning );
}

void TestRangeQueries::solarLayerChosen_data()
{
    QTest::addColumn<QString>( "resource" );
    QTest::addColumn<QString>( "file" );
    QTest::addColumn<QString>( "field" );

    QTest::newRow( "10 km PV" ) << kPv10 << "16_solar_tilt.shp" << "ANNTILT";
    QTest::newRow( "40 km PV" ) << "40 km Solar PV Annual Average(KWH/M2/DAY)" << "12_solar_tilt.shp" << "ANNTILT";
    QTest::newRow( "10 KM concentrators" ) << "10 KM Solar Concentrators Annual Average(KWH/M2/DAY)"
                                           << "13_solar_direct.shp" << "ANNDIR";
    QTest::newRow( "40 km concentrators" ) << "40 km Solar Concentrators Annual Average(KWH/M2/DAY)"
                                           << "11_solar_direct.shp" << "ANNDIR";
    QTest::newRow( "10 km global" ) << "10 km Solar Global Horizontal Annual Average(KWH/M2/DAY)" << "14_solar_glo.shp"
                                    << "ANNGLO";
    QTest::newRow( "40 km global" ) << "40 km Solar Global Horizontal Annual Average(KWH/M2/DAY)" << "15_solar_glo.shp"
                                    << "ANNGLO";
    QTest::newRow( "10 km concentrators (wrong case) keeps the old choice" )
        << "10 km Solar Concentrators Annual Average(KWH/M2/DAY)" << "previous.shp" << "PREV";
    QTest::newRow( "trailing blank keeps the old choice" ) << kPv10 + " " << "previous.shp" << "PREV";
}

void TestRangeQueries::solarLayerChosen()
{
    QFETCH( QString, resource );
    QFETCH( QString, file );
    QFETCH( QString, field );
    q::sSolarLayerFile = QStringLiteral( "previous.shp" );
    q::sSolarField = QStringLiteral( "PREV" );
    QueryInputs in;
    in.solarResource = resource;
    q::GetSolarLayerChosen( in );
    QCOMPARE( q::sSolarLayerFile, file );
    QCOMPARE( q::sSolarField, field );
}

void TestRangeQueries::solarUpperBoundSelectsItsOwnValue()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addSolar( QStringLiteral( "16_solar_tilt.shp" ), QStringLiteral( "ANNTILT" ), { 2.9, 3.29, 3.3, 3.31 } );
    RecordingCallbacks rec;

    q::fill_cShapes_collection( solarInputs( f, QStringLiteral( "3" ), QStringLiteral( "3.3" ) ), rec.callbacks() );

    QVERIFY( dialogs.shown.empty() );
    QCOMPARE( resultValues(), ( QList<double> { 3.29, 3.3 } ) );
    QCOMPARE( q::cResults.symbol( 1 ).color, gis::rgb( 252, 218, 154 ) );
    QCOMPARE( q::cResults.run().valueField, QStringLiteral( "ANNTILT" ) );
    QCOMPARE( q::cResults.run().classLayer, f.map.layer( 0 ) );
    QCOMPARE( rec.captions.last(), QStringLiteral( "Calculating... finished" ) );
}

void TestRangeQueries::noQueryEmptiesTheShapes()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 500.0, 600.0 } );
    RecordingCallbacks rec;
    runWind( f, rec );
    QCOMPARE( q::cResults.count(), qint64( 2 ) );

    QueryInputs none = windInputs( f, QStringLiteral( "200" ), QStringLiteral( "Max" ) );
    none.queryName = QStringLiteral( "No Query (Base Map)" );
    q::fill_cShapes_collection( none, rec.callbacks() );

    QVERIFY( q::cResults.exists() );
    QCOMPARE( q::cResults.count(), qint64( 0 ) );
    QVERIFY( !q::QueryResults() );
    // The value field stays that of the last query that searched.
    QCOMPARE( Constants::sValueField, QStringLiteral( "WINDPWRD" ) );
}

void TestRangeQueries::dispatcherComparesNamesExactly()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 500.0 } );
    RecordingCallbacks rec;
    bool runningInside = false;
    rec.onYield = [&] { runningInside = Constants::bQueryRunning; };

    QueryInputs in = windInputs( f, QStringLiteral( "200" ), QStringLiteral( "Max" ) );
    in.queryName = QStringLiteral( "wind by power density" );
    q::fill_cShapes_collection( in, rec.callbacks() );
    QCOMPARE( q::cResults.count(), qint64( 0 ) );
    QVERIFY( rec.captions.isEmpty() );

    in.queryName = QStringLiteral( "Wind by Power Density" );
    q::fill_cShapes_collection( in, rec.callbacks() );
    QCOMPARE( q::cResults.count(), qint64( 1 ) );
    QVERIFY( runningInside );
    QVERIFY( !Constants::bQueryRunning );
}

void TestRangeQueries::queryRunsOnItsFrozenLayers()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 500.0, 600.0, 700.0 } );
    QueryInputs in = windInputs( f, QStringLiteral( "200" ), QStringLiteral( "Max" ) );
    // Another data directory is opened: the map and the index no longer hold the wind layer.
    f.map.clearLayers();
    md_functions::cLayerIndex.clear();
    RecordingCallbacks rec;

    q::fill_cShapes_collection( in, rec.callbacks() );

    QVERIFY( dialogs.shown.empty() );
    QCOMPARE( q::cResults.count(), qint64( 3 ) );
}

void TestRangeQueries::resultsDrawnOnlyWhenNotRunning()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.map.resize( 400, 200 );
    // A visible layer far from the results, so that every redraw has a layer to draw.
    f.addLayer( QStringLiteral( "39_countryboundary.shp" ), { QueryFixture::square( 0, 0, 4000 ) } );
    std::vector<QVariant> values( 60, QVariant( 250.0 ) );
    values[0] = 850.0;
    f.addWind( values );
    f.map.layer( 0 )->visible = false; // only the results show the wind squares
    f.map.setExtent( gis::Rect { 0, 2000, 1000, 0 } );

    bool drawnThisRedraw = false;
    QObject::connect( &f.map, &gis::MapWidget::beforeLayerDraw, [&]( int ) {
        if ( drawnThisRedraw )
            return;
        drawnThisRedraw = true;
        draw_query_results( f.map );
    } );
    auto colourAt = [&]( double x, double y ) {
        drawnThisRedraw = false;
        f.map.refresh();
        const QPointF p = f.map.fromMapPoint( { x, y } );
        const QImage &img = f.map.cachedImage();
        const double ratio = img.devicePixelRatio();
        return img.pixelColor( QPoint( int( p.x() * ratio ), int( p.y() * ratio ) ) );
    };

    RecordingCallbacks rec;
    QColor whileRunning;
    rec.onYield = [&] {
        // The second yield comes after 50 polygons have been collected.
        if ( rec.yields == 2 )
            whileRunning = colourAt( 500, 500 );
    };
    runWind( f, rec );

    QVERIFY( whileRunning.isValid() );
    QVERIFY( whileRunning != QColor( 0, 0, 255 ) );
    QCOMPARE( colourAt( 500, 500 ), QColor( 0, 0, 255 ) );
    QCOMPARE( colourAt( 1500, 500 ), QColor( 222, 184, 135 ) );
    QVERIFY( dialogs.shown.empty() );
}

void TestRangeQueries::windowCallbacks()
{
    testsupport::RecordingDialogs dialogs;
    dialogs.yesNoAnswers = { false };
    QWidget window;
    auto *label = new QLabel( &window );
    const QueryCallbacks cb = makeWindowQueryCallbacks( label, &window, nullptr );

    cb.setCaption( QStringLiteral( "Calculating..." ) );
    cb.repaint( true );
    QCOMPARE( label->text(), QStringLiteral( "Calculating..." ) );
    cb.setCaption( QStringLiteral( "Calculating... 12.5% finished" ) );
    QVERIFY( !cb.yieldAndCancelled() );
    // A yield lets a redraw show the newest caption.
    QCOMPARE( label->text(), QStringLiteral( "Calculating... 12.5% finished" ) );
    Constants::bCancelQuery = true;
    QVERIFY( cb.yieldAndCancelled() );
    QVERIFY( !cb.ask( QStringLiteral( "Continue?" ) ) );
    QCOMPARE( dialogs.texts(), QStringList { "Continue?" } );
    cb.redraw(); // no map: nothing to redraw, nothing fails
}

QTEST_MAIN( TestRangeQueries )
#include "tst_range_queries.moc"
