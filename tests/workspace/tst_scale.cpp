#include "TestSupport.h"

#include "gis/MapWidget.h"
#include "workspace/md_functions.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>

namespace
{
// The main map's designed width.
constexpr float kMapTwips = 8565.0f;

const QString kScaleError = QStringLiteral( " Error while calculating the scale factor. Error Source:md_functions.CalculateScale()" );
const QString kRadError = QStringLiteral( " Error while lconverting degree to Radian. Error Source:md_functions.DegToRad()" );
const QString kMilesError = QStringLiteral( " Error while converting degree to mile. Error Source:md_functions.DegreesToMiles()" );

gis::CoordinateSystem crs( const QString &unit, bool projected = false, double a = 6378137.0, double f = 0.003352813 )
{
    gis::CoordinateSystem c;
    c.unitName = unit;
    c.isProjected = projected;
    c.semiMajorAxis = a;
    c.flattening = f;
    return c;
}

//! A projected system whose linear unit is \a metres long.
gis::CoordinateSystem linear( const QString &unit, double metres )
{
    gis::CoordinateSystem c = crs( unit, true );
    c.metresPerUnit = metres;
    return c;
}

gis::Rect rect( double left, double bottom, double right, double top )
{
    gis::Rect r;
    r.left = left;
    r.right = right;
    r.top = top;
    r.bottom = bottom;
    return r;
}
} // namespace

Q_DECLARE_METATYPE( gis::Rect )
Q_DECLARE_METATYPE( gis::CoordinateSystem )

class TestScale : public QObject
{
    Q_OBJECT

  private:
    testsupport::RecordingDialogs *mDialogs = nullptr;

  private slots:
    // The worked examples are written with an English locale's comma.
    void initTestCase() { QLocale::setDefault( QLocale( QLocale::English, QLocale::UnitedStates ) ); }
    void cleanupTestCase() { QLocale::setDefault( QLocale::system() ); }
    void init() { mDialogs = new testsupport::RecordingDialogs(); }
    void cleanup()
    {
        delete mDialogs;
        mDialogs = nullptr;
    }

    void scaleText_data()
    {
        QTest::addColumn<float>( "twips" );
        QTest::addColumn<gis::Rect>( "extent" );
        QTest::addColumn<gis::CoordinateSystem>( "crs" );
        QTest::addColumn<QString>( "text" );

        const gis::Rect km100 = rect( 500000, 0, 600000, 80000 );
        QTest::newRow( "100 km in metres" ) << kMapTwips << km100 << linear( "meter", 1 ) << "Scale 1 : 661,912";
        QTest::newRow( "Meter" ) << kMapTwips << km100 << linear( "Meter", 1 ) << "Scale 1 : 661,912";
        QTest::newRow( "metre by its length" ) << kMapTwips << km100 << linear( "metre", 1 ) << "Scale 1 : 661,912";
        constexpr double kFoot = 0.3048;
        constexpr double kSurveyFoot = 1200.0 / 3937.0;
        QTest::newRow( "100 km in feet" ) << kMapTwips << rect( 500000 / kFoot, 0, 600000 / kFoot, 80000 / kFoot )
                                          << linear( "foot", kFoot ) << "Scale 1 : 661,912";
        QTest::newRow( "100 km in US survey feet" )
            << kMapTwips << rect( 500000 / kSurveyFoot, 0, 600000 / kSurveyFoot, 80000 / kSurveyFoot )
            << linear( "US survey foot", kSurveyFoot ) << "Scale 1 : 661,912";
        QTest::newRow( "100,000 feet" ) << kMapTwips << rect( 0, 0, 100000, 1 ) << linear( "foot", kFoot )
                                        << "Scale 1 : 201,751";
        QTest::newRow( "a unit without a length" ) << kMapTwips << km100 << linear( "link", 0 ) << "Scale 1 : 0";
        QTest::newRow( "Degrees" ) << kMapTwips << rect( 0, -1, 1, 1 ) << crs( "Degrees" ) << "Scale 1 : 0";
        QTest::newRow( "under one thousand" )
            << kMapTwips << rect( 0, 0, 150, 1 ) << linear( "meter", 1 ) << "Scale 1 : 993";
        QTest::newRow( "billions" ) << kMapTwips << rect( 0, 0, 1e9, 1 ) << linear( "meter", 1 )
                                    << "Scale 1 : 6,619,124,520";
        QTest::newRow( "negative width" ) << kMapTwips << rect( 600000, 0, 500000, 80000 ) << linear( "meter", 1 )
                                          << "Scale 1 : -661,912";

        QTest::newRow( "1 degree at the equator" )
            << kMapTwips << rect( 30, -0.5, 31, 0.5 ) << crs( "degree" ) << "Scale 1 : 736,873";
        QTest::newRow( "1 degree, any flattening" )
            << kMapTwips << rect( 30, -0.5, 31, 0.5 ) << crs( "degree", false, 6378137.0, 0.1 ) << "Scale 1 : 736,873";
        QTest::newRow( "Degree" ) << kMapTwips << rect( 30, -0.5, 31, 0.5 ) << crs( "Degree" ) << "Scale 1 : 736,873";
        QTest::newRow( "2 degrees at 10 north" )
            << kMapTwips << rect( -1, 5, 1, 15 ) << crs( "degree" ) << "Scale 1 : 1,451,501";
        // a projected system in degrees uses the fixed spheroid, not its own
        QTest::newRow( "projected degrees" )
            << kMapTwips << rect( -1, 5, 1, 15 ) << crs( "degree", true, 1.0, 0.5 ) << "Scale 1 : 1,451,501";
    }

    void scaleText()
    {
        QFETCH( float, twips );
        QFETCH( gis::Rect, extent );
        QFETCH( gis::CoordinateSystem, crs );
        QFETCH( QString, text );
        QCOMPARE( md_functions::ScaleText( twips, extent, crs ), text );
        QVERIFY( mDialogs->shown.empty() );
    }

    void scaleGroupsWithTheRegionalSeparator_data()
    {
        QTest::addColumn<QLocale>( "locale" );
        QTest::addColumn<QString>( "text" );
        QTest::newRow( "English" ) << QLocale( QLocale::English, QLocale::UnitedKingdom ) << "Scale 1 : 1,451,501";
        QTest::newRow( "German" ) << QLocale( QLocale::German, QLocale::Germany ) << "Scale 1 : 1.451.501";
        QTest::newRow( "Swiss German" ) << QLocale( QLocale::German, QLocale::Switzerland ) << "Scale 1 : 1’451’501";
        // The C locale leaves grouping off of its own accord; the scale groups all the same.
        QTest::newRow( "C" ) << QLocale::c() << "Scale 1 : 1,451,501";
        const QString narrowSpace( QChar( 0x202F ) );
        QTest::newRow( "French" ) << QLocale( QLocale::French, QLocale::France )
                                  << "Scale 1 : 1" + narrowSpace + "451" + narrowSpace + "501";
    }

    void scaleGroupsWithTheRegionalSeparator()
    {
        QFETCH( QLocale, locale );
        QFETCH( QString, text );
        QLocale::setDefault( locale );
        const QString scale = md_functions::ScaleText( kMapTwips, rect( -1, 5, 1, 15 ), crs( "degree" ) );
        QLocale::setDefault( QLocale( QLocale::English, QLocale::UnitedStates ) );
        QCOMPARE( scale, text );
    }

    void noUnits()
    {
        QCOMPARE( md_functions::ScaleText( kMapTwips, rect( 0, 0, 1, 1 ), std::nullopt ), QStringLiteral( "- No Units - " ) );
    }

    void zeroWidthControlReportsFailure()
    {
        QCOMPARE( md_functions::ScaleText( 0.0f, rect( 0, 0, 100, 100 ), linear( "meter", 1 ) ), QString() );
        QCOMPARE( mDialogs->texts(), QStringList { kScaleError } );
    }

    void fullCircleGivesAText()
    {
        // a whole turn of longitude: the distance breaks down, the text must still be a scale
        const QString text = md_functions::ScaleText( kMapTwips, rect( -180, -10, 180, 10 ), crs( "degree" ) );
        QVERIFY2( text.startsWith( QStringLiteral( "Scale 1 : " ) ), qPrintable( text ) );
    }

    void degToRadUsesFifteenDigitPi()
    {
        QCOMPARE( md_functions::DegToRad( 180 ), 3.14159265358979 );
        // the comparison above is relative to 1e-12: a full-precision pi would pass it too
        QVERIFY( md_functions::DegToRad( 180 ) < M_PI );
    }

    void degreesToMiles_data()
    {
        QTest::addColumn<gis::CoordinateSystem>( "crs" );
        QTest::addColumn<double>( "lon1" );
        QTest::addColumn<double>( "lat1" );
        QTest::addColumn<double>( "lon2" );
        QTest::addColumn<double>( "lat2" );
        QTest::addColumn<double>( "miles" );

        QTest::newRow( "1 degree at the equator" ) << crs( "degree" ) << 0.0 << 0.0 << 1.0 << 0.0 << 69.17393;
        QTest::newRow( "direction does not matter" ) << crs( "degree" ) << 1.0 << 0.0 << 0.0 << 0.0 << 69.17393;
        QTest::newRow( "2 degrees at 10 north" ) << crs( "degree" ) << 0.0 << 10.0 << 2.0 << 10.0 << 136.2596;
        QTest::newRow( "half a degree at 45 north" ) << crs( "degree" ) << 0.0 << 45.0 << 0.5 << 45.0 << 24.49764;
        QTest::newRow( "equal points" ) << crs( "degree", false, 0, 0 ) << 3.0 << 4.0 << 3.0 << 4.0 << 0.0;
        QTest::newRow( "projected uses the fixed spheroid" )
            << crs( "meter", true, 0, 0 ) << 0.0 << 0.0 << 1.0 << 0.0 << 69.17393;
    }

    void degreesToMiles()
    {
        QFETCH( gis::CoordinateSystem, crs );
        QFETCH( double, lon1 );
        QFETCH( double, lat1 );
        QFETCH( double, lon2 );
        QFETCH( double, lat2 );
        QFETCH( double, miles );
        const double got = md_functions::DegreesToMiles( crs, lon1, lat1, lon2, lat2 );
        QVERIFY2( std::abs( got - miles ) < 5e-5, qPrintable( QString::number( got, 'g', 12 ) ) );
        QVERIFY( mDialogs->shown.empty() );
    }

    void degreesToMilesFailureGivesZero()
    {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QCOMPARE( md_functions::DegreesToMiles( crs( "degree", false, nan, 0 ), 0, 0, 1, 0 ), 0.0 );
        QCOMPARE( mDialogs->texts(), QStringList { kMilesError } );

        // a failed conversion is reported by DegToRad itself, which goes on with 0
        mDialogs->reset();
        QCOMPARE( md_functions::DegToRad( nan ), 0.0 );
        QCOMPARE( mDialogs->texts(), QStringList { kRadError } );

        mDialogs->reset();
        gis::MapWidget empty;
        QCOMPARE( md_functions::DegreesToMiles( empty, 0, 0, 1, 0 ), 0.0 );
        QCOMPARE( mDialogs->texts(), QStringList { kMilesError } );
    }

    void calculateScaleOnMap()
    {
        QTemporaryDir dir;
        const QString square = QStringLiteral( "POLYGON((500000 0,600000 0,600000 80000,500000 80000,500000 0))" );
        testsupport::writeShapefile( dir.path(), QStringLiteral( "utm.shp" ), { square }, {}, {}, testsupport::kUtm );
        testsupport::writeShapefile( dir.path(), QStringLiteral( "plain.shp" ), { square } );
        testsupport::writeShapefile( dir.path(), QStringLiteral( "geo.shp" ),
                                     { QStringLiteral( "POLYGON((10 0,11 0,11 1,10 1,10 0))" ) }, {}, {},
                                     testsupport::kWgs84 );

        gis::MapWidget map;
        map.resize( 571, 447 );
        QCOMPARE( md_functions::CalculateScale( map ), QStringLiteral( "- No Map - " ) );

        map.addLayer( std::make_shared<gis::Layer>( gis::Dataset::open( dir.filePath( QStringLiteral( "geo.shp" ) ) ) ) );
        map.addLayer( std::make_shared<gis::Layer>( gis::Dataset::open( dir.filePath( QStringLiteral( "utm.shp" ) ) ) ) );
        map.setExtent( rect( 500000, 0, 600000, 80000 ) );
        // only the topmost layer's system counts
        const gis::LayerPtr top = map.layer( 0 );
        QVERIFY( top->coordinateSystem() );
        QCOMPARE( top->coordinateSystem()->unitName, QStringLiteral( "meter" ) );
        const QString expected = md_functions::ScaleText( static_cast<float>( map.widthTwips() ), map.extent(), top->coordinateSystem() );
        QCOMPARE( md_functions::CalculateScale( map ), expected );

        map.addLayer( std::make_shared<gis::Layer>( gis::Dataset::open( dir.filePath( QStringLiteral( "plain.shp" ) ) ) ) );
        QCOMPARE( md_functions::CalculateScale( map ), QStringLiteral( "- No Units - " ) );
        QVERIFY( mDialogs->shown.empty() );
    }
};

QTEST_MAIN( TestScale )
#include "tst_scale.moc"
