#include "QueryFixture.h"

#include "queries/QueryChecks.h"
#include "queries/QueryInputs.h"
#include "queries/QueryNumbers.h"

#include <QTest>

#include <cmath>

using md_query_functions2::InputCheck;

Q_DECLARE_METATYPE( InputCheck::Focus )

class TestQueryChecks : public QObject
{
    Q_OBJECT

  private slots:
    void layerTagsCompareTrimmedWithoutCase();
    void missingLayerMessage_data();
    void missingLayerMessage();
    void windWarning_data();
    void windWarning();
    void windLayerWithoutWindField();
    void bestWindAllStopsAtFirstMissing();
    void checkInputs_data();
    void checkInputs();
    void distanceBeyondSinglePrecisionIsAFailure();
    void typedNumbers_data();
    void typedNumbers();
};

void TestQueryChecks::layerTagsCompareTrimmedWithoutCase()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 500.0 } )->tag = QStringLiteral( " 20_WIND.SHP " );
    f.rebuildIndex();

    QString message = QStringLiteral( "stale" );
    QVERIFY( md_query_functions2::isLayerExist( f.map, QStringLiteral( "20_wind.shp" ), message ) );
    QVERIFY( message.isEmpty() );
    QVERIFY( md_query_functions2::isQueryPossible( f.map, QStringLiteral( "  wind BY power density " ), message ) );
    QVERIFY( dialogs.shown.empty() );
}

void TestQueryChecks::missingLayerMessage_data()
{
    QTest::addColumn<QString>( "name" );
    QTest::addColumn<QString>( "message" );

    QTest::newRow( "wind" ) << "Wind by Power Density" << "This query requires 20_wind.shp shapefile.";
    QTest::newRow( "protected" ) << "Best wind - protected areas" << "This query requires 20_wind.shp shapefile.";
    QTest::newRow( "40 km concentrators" ) << "40 km Solar Concentrators Annual Average(KWH/M2/DAY)"
                                           << "This query requires 11_solar_direct.shp shapefile.";
    QTest::newRow( "40 km PV" ) << "40 km Solar PV Annual Average(KWH/M2/DAY)"
                                << "This query requires 12_solar_tilt.shp shapefile.";
    QTest::newRow( "10 KM concentrators" ) << "10 KM Solar Concentrators Annual Average(KWH/M2/DAY)"
                                           << "This query requires 13_solar_direct.shp shapefile.";
    QTest::newRow( "10 km global" ) << "10 km Solar Global Horizontal Annual Average(KWH/M2/DAY)"
                                    << "This query requires 14_solar_glo.shp shapefile.";
    QTest::newRow( "40 km global" ) << "40 km Solar Global Horizontal Annual Average(KWH/M2/DAY)"
                                    << "This query requires 15_solar_glo.shp shapefile.";
    QTest::newRow( "10 km PV, any case" ) << " 10 KM SOLAR PV ANNUAL AVERAGE(KWH/M2/DAY)"
                                          << "This query requires 16_solar_tilt.shp shapefile.";
    QTest::newRow( "no query" ) << "No Query (Base Map)" << "";
    QTest::newRow( "solar query itself" ) << "Best Solar X kWh/m2/day" << "";
    QTest::newRow( "empty" ) << "" << "";
}

void TestQueryChecks::missingLayerMessage()
{
    QFETCH( QString, name );
    QFETCH( QString, message );
    testsupport::RecordingDialogs dialogs;
    QueryFixture f; // no layer at all

    QString out;
    QCOMPARE( md_query_functions2::isQueryPossible( f.map, name, out ), message.isEmpty() );
    QCOMPARE( out, message );
    QVERIFY( dialogs.shown.empty() );
}

void TestQueryChecks::windWarning_data()
{
    QTest::addColumn<double>( "maximum" );
    QTest::addColumn<QString>( "warning" );

    QTest::newRow( "exactly 200" ) << 200.0 << "";
    QTest::newRow( "199.5" ) << 199.5
                             << "The query results will be shown in light gray. Maximum Wind Power Density (199.5) is "
                                "less than 200. So you may not get proper rendering in the output map. You will have "
                                "to type in a value less than 199.5 to perform any Wind Energy query.";
    QTest::newRow( "150" ) << 150.0
                           << "The query results will be shown in light gray. Maximum Wind Power Density (150) is "
                              "less than 200. So you may not get proper rendering in the output map. You will have "
                              "to type in a value less than 150 to perform any Wind Energy query.";
}

void TestQueryChecks::windWarning()
{
    QFETCH( double, maximum );
    QFETCH( QString, warning );
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 50.0, maximum, 10.0 } );

    QString out;
    QVERIFY( md_query_functions2::isQueryPossible( f.map, QStringLiteral( "Wind by Power Density" ), out ) );
    QCOMPARE( dialogs.texts(), warning.isEmpty() ? QStringList() : QStringList { warning } );
    if ( !warning.isEmpty() )
        QCOMPARE( dialogs.shown.front().title, QStringLiteral( "QUELM3" ) );
}

void TestQueryChecks::windLayerWithoutWindField()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addLayer( QStringLiteral( "20_wind.shp" ), { QueryFixture::square( 0, 0, 1000 ) },
                { { QStringLiteral( "FeatureID" ), testsupport::FieldSpec::Integer } }, { { 0 } }, {}, false );

    QString out;
    QVERIFY( md_query_functions2::isQueryPossible( f.map, QStringLiteral( "Wind by Power Density" ), out ) );
    QCOMPARE( dialogs.texts(),
              QStringList { "Cannot perform the Query. Please check the Wind Energy shapefile.This can happen if there "
                            "is no WINDPWRD field in the shape file." } );
}

void TestQueryChecks::bestWindAllStopsAtFirstMissing()
{
    testsupport::RecordingDialogs dialogs;
    QueryFixture f;
    f.addWind( { 500.0 } );
    f.addLayer( QStringLiteral( "31_protectedarea.shp" ), { QueryFixture::square( 0, 0, 10 ) } );
    f.addLines( QStringLiteral( "43_roads.shp" ) );

    QString out;
    QVERIFY( !md_query_functions2::isQueryPossible( f.map, QStringLiteral( "Best wind (all)" ), out ) );
    QCOMPARE( out, QStringLiteral( "This query requires 02_landuse.shp shapefile." ) );

    f.addLayer( QStringLiteral( "02_landuse.shp" ), { QueryFixture::square( 0, 0, 10 ) },
                { { QStringLiteral( "LAND_USE" ), testsupport::FieldSpec::String } }, { { "FOREST" } } );
    QVERIFY( !md_query_functions2::isQueryPossible( f.map, QStringLiteral( "Best wind (all)" ), out ) );
    QCOMPARE( out, QStringLiteral( "This query requires 44_transmissionline.shp shapefile." ) );

    f.addLines( QStringLiteral( "44_transmissionline.shp" ) );
    QVERIFY( md_query_functions2::isQueryPossible( f.map, QStringLiteral( "Best wind (all)" ), out ) );
    QVERIFY( out.isEmpty() );
}

void TestQueryChecks::checkInputs_data()
{
    QTest::addColumn<QString>( "query" );
    QTest::addColumn<QString>( "minText" );
    QTest::addColumn<QString>( "maxText" );
    QTest::addColumn<QString>( "distance1" );
    QTest::addColumn<QString>( "distance2" );
    QTest::addColumn<bool>( "landUse" );
    QTest::addColumn<QString>( "message" );
    QTest::addColumn<InputCheck::Focus>( "focus" );

    using F = InputCheck::Focus;
    const QString wind = QStringLiteral( "Wind by Power Density" );
    const QString solar = QStringLiteral( "Best Solar X kWh/m2/day" );
    const QString roads = QStringLiteral( "Best wind + roads" );
    const QString all = QStringLiteral( "Best wind (all)" );

    QTest::newRow( "no query passes anything" ) << " no query (base map) " << "x" << "y" << "" << "" << false << "" << F::None;
    QTest::newRow( "wind 500 to Max" ) << wind << "500" << "Max" << "" << "" << false << "" << F::None;
    QTest::newRow( "Max with blanks" ) << wind << "500" << "  Max " << "" << "" << false << "" << F::None;
    QTest::newRow( "max in lower case" ) << wind << "500" << "max" << "" << "" << false
                                         << "Please enter a numeric value for Max. Wind Power Density" << F::None;
    QTest::newRow( "min not numeric" ) << wind << "abc" << "800" << "" << "" << false
                                       << "Please enter a numeric value for Min. Wind Power Density" << F::None;
    QTest::newRow( "min empty" ) << wind << "" << "800" << "" << "" << false
                                 << "Please enter a numeric value for Min. Wind Power Density" << F::None;
    QTest::newRow( "max equals min" ) << wind << "500" << "500" << "" << "" << false
                                      << "Max. Wind Power Density should be > Min. Wind Power Density" << F::None;
    QTest::newRow( "min below 0" ) << wind << "-1" << "500" << "" << "" << false
                                   << "Min. Wind Power Density should be >= 0 and 10000" << F::None;
    QTest::newRow( "max 10001" ) << wind << "500" << "10001" << "" << "" << false
                                 << "Max. Wind Power Density should be >= 0 and 10000" << F::None;
    QTest::newRow( "max 10000" ) << wind << "0" << "10000" << "" << "" << false << "" << F::None;
    QTest::newRow( "solar 2 to Max" ) << solar << "2" << "Max" << "" << "" << false
                                      << "Please enter a numeric value for Max. Solar Resourcey" << F::None;
    QTest::newRow( "solar min" ) << solar << "x" << "6" << "" << "" << false
                                 << "Please enter a numeric value for Min. Solar Resource" << F::None;
    QTest::newRow( "solar order" ) << solar << "6" << "4.5" << "" << "" << false
                                   << "Max. Solar Resource should be > Min. Solar Resource" << F::None;
    QTest::newRow( "solar min range" ) << solar << "-0.5" << "4" << "" << "" << false
                                       << "Min. Solar Resource should be >= 0 and <= 10" << F::None;
    QTest::newRow( "solar 10.5" ) << solar << "2" << "10.5" << "" << "" << false
                                  << "Max. Solar Resource should be >= 0 and <= 10" << F::None;
    QTest::newRow( "solar ok" ) << solar << "4.5" << "6" << "" << "" << false << "" << F::None;
    QTest::newRow( "land use none selected" ) << "Best wind + land use" << "500" << "Max" << "" << "" << false
                                              << "Please select a land use." << F::None;
    QTest::newRow( "land use selected" ) << "Best wind + land use" << "500" << "Max" << "" << "" << true << "" << F::None;
    QTest::newRow( "roads 0.001" ) << roads << "500" << "Max" << "" << "0.001" << false << "" << F::None;
    QTest::newRow( "roads 25" ) << roads << "500" << "Max" << "" << "25" << false << "" << F::None;
    QTest::newRow( "roads 0" ) << roads << "500" << "Max" << "" << "0" << false
                               << "Proximity value must be >=0.001 and <= 25km." << F::None;
    QTest::newRow( "roads 25.01" ) << roads << "500" << "Max" << "" << "25.01" << false
                                   << "Proximity value must be >=0.001 and <= 25km." << F::None;
    QTest::newRow( "roads empty keeps focus" ) << roads << "500" << "Max" << "" << "" << false
                                               << "Please enter a number for proximity value." << F::None;
    QTest::newRow( "transmission empty" ) << "Best wind + transmission" << "500" << "Max" << "" << "abc" << false
                                          << "Please enter a number for proximity value." << F::None;
    QTest::newRow( "all: transmission empty" ) << all << "500" << "Max" << "" << "2" << true
                                               << "Please enter a number for proximity value." << F::Distance1;
    QTest::newRow( "all: transmission 30" ) << all << "500" << "Max" << "30" << "2" << true
                                            << "Proximity to transmission must be >=0.001 and <= 25km." << F::Distance1;
    QTest::newRow( "all: roads empty" ) << all << "500" << "Max" << "2" << "" << true
                                        << "Please enter a number for proximity value." << F::Distance2;
    QTest::newRow( "all: roads 0" ) << all << "500" << "Max" << "2" << "0" << false
                                    << "Proximity to roads must be >=0.001 and <= 25km." << F::Distance2;
    QTest::newRow( "all: land use after distances" ) << all << "500" << "Max" << "2" << "3" << false
                                                     << "Please select a land use." << F::None;
    QTest::newRow( "all ok" ) << all << "500" << "Max" << "2" << "3" << true << "" << F::None;
    QTest::newRow( "wind range before distances" ) << all << "500" << "400" << "" << "" << false
                                                   << "Max. Wind Power Density should be > Min. Wind Power Density"
                                                   << F::None;
}

void TestQueryChecks::checkInputs()
{
    QFETCH( QString, query );
    QFETCH( QString, minText );
    QFETCH( QString, maxText );
    QFETCH( QString, distance1 );
    QFETCH( QString, distance2 );
    QFETCH( bool, landUse );
    QFETCH( QString, message );
    QFETCH( InputCheck::Focus, focus );
    testsupport::RecordingDialogs dialogs;

    QueryInputs in;
    in.queryName = query;
    in.minText = minText;
    in.maxText = maxText;
    in.distance1Text = distance1;
    in.distance2Text = distance2;
    if ( landUse )
        in.selectedLandUses << QStringLiteral( "FOREST" );

    const InputCheck r = md_query_functions2::CheckInputs( in );
    QCOMPARE( r.ok, message.isEmpty() );
    QCOMPARE( r.message, message );
    QCOMPARE( r.focus, focus );
    QVERIFY( dialogs.shown.empty() );
}

void TestQueryChecks::distanceBeyondSinglePrecisionIsAFailure()
{
    testsupport::RecordingDialogs dialogs;
    QueryInputs in;
    in.queryName = QStringLiteral( "Best wind + roads" );
    in.minText = QStringLiteral( "500" );
    in.maxText = QStringLiteral( "Max" );
    in.distance2Text = QStringLiteral( "1e40" );

    const InputCheck r = md_query_functions2::CheckInputs( in );
    QVERIFY( !r.ok );
    QVERIFY( r.message.isEmpty() );
    QCOMPARE( dialogs.texts(),
              QStringList { " Error while validating input parameters. Error Source:md_functions.CheckInputs()" } );
}

void TestQueryChecks::typedNumbers_data()
{
    QTest::addColumn<QLocale>( "locale" );
    QTest::addColumn<QString>( "text" );
    QTest::addColumn<double>( "number" ); // NaN: not a number

    const double none = std::nan( "" );
    const QLocale english( QLocale::English, QLocale::UnitedStates );
    const QLocale german( QLocale::German, QLocale::Germany );
    const QLocale french( QLocale::French, QLocale::France );
    QTest::newRow( "English: grouped thousands" ) << english << "1,000" << 1000.0;
    QTest::newRow( "English: grouped with decimals" ) << english << "12,345.5" << 12345.5;
    QTest::newRow( "English: grouped negative" ) << english << "-1,000" << -1000.0;
    QTest::newRow( "English: millions" ) << english << " 1,000,000 " << 1e6;
    QTest::newRow( "English: comma is no decimal sign" ) << english << "2,5" << none;
    QTest::newRow( "English: misplaced grouping" ) << english << "10,00" << none;
    QTest::newRow( "English: exponent" ) << english << "1e3" << 1000.0;
    QTest::newRow( "German: decimal comma" ) << german << "2,5" << 2.5;
    QTest::newRow( "German: grouped with decimal comma" ) << german << "1.000,5" << 1000.5;
    QTest::newRow( "German: list item with a point" ) << german << "2.5" << 2.5;
    QTest::newRow( "German: one or a thousand" ) << german << "1.000" << none;
    QTest::newRow( "German: comma then three digits is a decimal" ) << german << "1,000" << 1.0;
    QTest::newRow( "French: blank grouping" ) << french << "1 000" << 1000.0;
    QTest::newRow( "C: plain" ) << QLocale::c() << "800" << 800.0;
    QTest::newRow( "empty" ) << english << "" << none;
    QTest::newRow( "blanks" ) << english << "  " << none;
    QTest::newRow( "infinity" ) << english << "inf" << none;
    QTest::newRow( "not a number" ) << english << "nan" << none;
    QTest::newRow( "beyond double" ) << english << "1e400" << none;
}

void TestQueryChecks::typedNumbers()
{
    QFETCH( QLocale, locale );
    QFETCH( QString, text );
    QFETCH( double, number );

    const QLocale before;
    QLocale::setDefault( locale );
    const std::optional<double> read = querynumbers::toNumber( text );
    QLocale::setDefault( before );

    QCOMPARE( read.has_value(), !std::isnan( number ) );
    if ( read )
        QCOMPARE( *read, number );
}

QTEST_MAIN( TestQueryChecks )
#include "tst_query_checks.moc"
