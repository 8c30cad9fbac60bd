#include "../queries/QueryFixture.h"

#include "info/frmInfo.h"
#include "mainwindow/frmMain.h"
#include "workspace/ClassTables.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QApplication>

#include <cstring>

using testsupport::FieldSpec;
using Fields = std::vector<FieldSpec>;
using Rows = std::vector<std::vector<QVariant>>;
Q_DECLARE_METATYPE( Fields )
Q_DECLARE_METATYPE( Rows )

namespace
{
const QString kActivateError = QStringLiteral( " Error while Trying to activate Info Form. Error Source:frmInfo.Form_Activate()" );

// The fixture map: 300 x 300 pixels over 3000 x 3000 metres, so the press
// point (150, 150) is the map point (1500, 1500) and the tolerance of line
// and point layers is 10 metres.
const QPoint kCentre( 150, 150 );
const gis::Rect kExtent { 0, 3000, 3000, 0 };

const FieldSpec kName { QStringLiteral( "NAME" ), FieldSpec::String, 40 };
const FieldSpec kType { QStringLiteral( "TYPE" ), FieldSpec::String, 20 };
const FieldSpec kPop { QStringLiteral( "POP" ), FieldSpec::Integer, 9 };

QString around( double side = 100 )
{
    return QueryFixture::square( 1500 - side / 2, 1500 - side / 2, side );
}

QString verticalLine( double x )
{
    return QStringLiteral( "LINESTRING (%1 0, %1 3000)" ).arg( x, 0, 'f', 3 );
}

//! "a", "b" -> "a\nb\n": the lines of the text box.
QString lines( const QStringList &l )
{
    return l.join( '\n' ) + '\n';
}
} // namespace

class TestInfo : public QObject
{
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void listing_data();
    void listing();
    void nationalBoundaryNeverListed_data();
    void nationalBoundaryNeverListed();
    void hiddenLayersNeverSearched();
    void tolerance_data();
    void tolerance();
    void rebuiltFromPressPointAndCurrentExtent();
    void failureKeepsThePreviousText();
    void closingTheErrorBoxDoesNotBuildAgain();
    void fieldListsAreCompleteAndExact_data();
    void fieldListsAreCompleteAndExact();
    void infoToolClickListsTheFeatures();

  private:
    //! The Info window over the fixture map, activated; the text it shows.
    QString activate();

    std::unique_ptr<QueryFixture> mFixture;
    std::unique_ptr<testsupport::RecordingDialogs> mDialogs;
    QPoint mPress = kCentre;
};

void TestInfo::init()
{
    mDialogs = std::make_unique<testsupport::RecordingDialogs>();
    mFixture = std::make_unique<QueryFixture>();
    mFixture->map.resize( 300, 300 );
    mFixture->map.setExtent( kExtent );
    mPress = kCentre;
}

void TestInfo::cleanup()
{
    delete frmInfo::existingInstance();
    mFixture.reset();
    mDialogs.reset();
}

QString TestInfo::activate()
{
    frmInfo *form = frmInfo::instance( nullptr, &mFixture->map, [this] { return mPress; } );
    QEvent activation( QEvent::WindowActivate );
    QCoreApplication::sendEvent( form, &activation );
    return form->txtInfo->toPlainText();
}

void TestInfo::listing_data()
{
    QTest::addColumn<QString>( "file" );
    QTest::addColumn<QString>( "tag" ); // empty: the file name
    QTest::addColumn<QStringList>( "wkts" );
    QTest::addColumn<Fields>( "fields" );
    QTest::addColumn<Rows>( "rows" );
    QTest::addColumn<QString>( "expected" );

    const QString lakes = QStringLiteral( "30_lakes.shp" );
    const QString cities = QStringLiteral( "59_cities.shp" );
    const Fields wind { { "WINDPWRD", FieldSpec::Real, 10, 1 }, { "WINDCLASS", FieldSpec::Integer, 4 } };

    QTest::newRow( "nothing at the point" )
        << lakes << "" << QStringList { QueryFixture::square( 2000, 2000, 100 ) } << Fields { kName }
        << Rows { { "Far Lake" } } << "";
    QTest::newRow( "wind class before density whatever the file order" )
        << "20_wind.shp" << "" << QStringList { around() } << wind << Rows { { 612.5, 6 } }
        << lines( { "20_wind", "WINDCLASS : 6", "WINDPWRD : 612.5", "", "" } );
    QTest::newRow( "city in list order, upper-cased" )
        << cities << "" << QStringList { "POINT (1500 1505)" }
        << Fields { kPop, kName, { "ELEV", FieldSpec::Real, 8, 1 }, kType } << Rows { { 250000, "Springfield", 12.5, "Capital" } }
        << lines( { "59_cities", "NAME : SPRINGFIELD", "TYPE : CAPITAL", "POP : 250000", "", "" } );
    QTest::newRow( "null in an ordered layer is empty" )
        << cities << "" << QStringList { "POINT (1500 1500)" } << Fields { kName, kType, kPop }
        << Rows { { "Hamlet", QVariant(), 80 } } << lines( { "59_cities", "NAME : HAMLET", "TYPE : ", "POP : 80", "", "" } );
    QTest::newRow( "lake keeps the stored field name and value" )
        << lakes << "" << QStringList { around() } << Fields { { "Name", FieldSpec::String, 40 } } << Rows { { "Lake Tana" } }
        << lines( { "30_lakes", "Name: Lake Tana", "", "" } );
    QTest::newRow( "null in an unordered layer is empty" )
        << lakes << "" << QStringList { around() } << Fields { kName } << Rows { { QVariant() } }
        << lines( { "30_lakes", "NAME: ", "", "" } );
    QTest::newRow( "Shape never listed" )
        << lakes << "" << QStringList { around() } << Fields { { "Shape", FieldSpec::String, 10 }, kName }
        << Rows { { "polygon", "Blue Lake" } } << lines( { "30_lakes", "NAME: Blue Lake", "", "" } );
    // A solar cell whose file holds the listed fields backwards, in lower case, among others.
    const QStringList months { "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec", "ann" };
    Fields solarFields { { "FeatureID", FieldSpec::Integer } };
    std::vector<QVariant> solarRow { 7 };
    QStringList solarLines { "14_solar_glo" };
    for ( int i = static_cast<int>( months.size() ) - 1; i >= 0; --i )
    {
        solarFields.push_back( { months[i] + "glo", FieldSpec::Real, 8, 2 } );
        solarRow.push_back( 3.25 + i );
    }
    for ( const char *f : { "lat", "lon", "gridcode", "cell_id" } )
    {
        solarFields.push_back( { f, FieldSpec::Integer, 8 } );
        solarRow.push_back( static_cast<int>( std::strlen( f ) ) );
    }
    solarLines << "CELL_ID : 7" << "GRIDCODE : 8" << "LON : 3" << "LAT : 3";
    for ( int i = 0; i < months.size(); ++i )
        solarLines << months[i].toUpper() + "GLO : " + QString::number( 3.25 + i );
    solarLines << "" << "";
    QTest::newRow( "solar cell: seventeen fields in list order" )
        << "14_solar_glo.shp" << "" << QStringList { around() } << solarFields << Rows { solarRow } << lines( solarLines );
    QTest::newRow( "regional wind: name and an empty line per feature" )
        << "21_wind.shp" << "" << QStringList { around(), around( 50 ) } << wind << Rows { { 400.0, 3 }, { 500.0, 4 } }
        << lines( { "21_wind", "", "", "" } );
    QTest::newRow( "historic sites list no fields" )
        << "50_protectedarea.shp" << "" << QStringList { around() } << Fields { kName, kType } << Rows { { "Fort", "Ruin" } }
        << lines( { "50_protectedarea", "", "" } );
    QTest::newRow( "standard name in capitals lists no fields" )
        << "20_wind.shp" << "20_WIND.SHP" << QStringList { around() } << wind << Rows { { 612.5, 6 } }
        << lines( { "20_wind", "", "" } );
    QTest::newRow( "two features, each in order, numbers in plain decimal form" )
        << "51_powerplant.shp" << "" << QStringList { "POINT (1500 1500)", "POINT (1500 1501)" }
        << Fields { { "CAPACITY", FieldSpec::Real, 30, 11 }, kName }
        << Rows { { 1234.56789012345, "Dam" }, { 1e15, "Farm" } }
        << lines( { "51_powerplant", "NAME : DAM", "CAPACITY : 1234.56789012345", "", "NAME : FARM",
                    "CAPACITY : 1000000000000000", "", "" } );
    QTest::newRow( "unordered number" )
        << "01_elevation.shp" << "" << QStringList { around() } << Fields { { "ELEV_M", FieldSpec::Real, 10, 1 } }
        << Rows { { 0.1 } } << lines( { "01_elevation", "ELEV_M: 0.1", "", "" } );
}

void TestInfo::listing()
{
    QFETCH( QString, file );
    QFETCH( QString, tag );
    QFETCH( QStringList, wkts );
    QFETCH( Fields, fields );
    QFETCH( Rows, rows );
    QFETCH( QString, expected );

    mFixture->addLayer( file, wkts, fields, rows, tag, false );
    QCOMPARE( activate(), expected );
    QVERIFY( mDialogs->shown.empty() );
}

void TestInfo::nationalBoundaryNeverListed_data()
{
    QTest::addColumn<QString>( "tag" );
    QTest::newRow( "as the standard name" ) << "39_countryboundary.shp";
    QTest::newRow( "in capitals" ) << "39_COUNTRYBOUNDARY.SHP";
    QTest::newRow( "in mixed case" ) << "39_CountryBoundary.shp";
}

void TestInfo::nationalBoundaryNeverListed()
{
    QFETCH( QString, tag );
    mFixture->addLayer( "38_subcountrybnd1.shp", { around( 400 ) }, { kName, kPop }, { { "North", 1200 } } );
    mFixture->addLayer( "39_countryboundary.shp", { around( 2000 ) }, { kName }, { { "Country" } }, tag, false );
    QCOMPARE( activate(), lines( { "State Boundaries", "NAME : NORTH", "POP : 1200", "", "" } ) );
}

void TestInfo::hiddenLayersNeverSearched()
{
    const gis::LayerPtr lake = mFixture->addLayer( "30_lakes.shp", { around() }, { kName }, { { "Hidden Lake" } } );
    lake->visible = false;
    // A layer without data fails when searched.
    auto broken = std::make_shared<gis::Layer>();
    broken->visible = false;
    mFixture->map.addLayer( broken );
    QCOMPARE( activate(), QString() );
    QVERIFY( mDialogs->shown.empty() );

    lake->visible = true;
    QCOMPARE( activate(), lines( { "Lakes", "NAME: Hidden Lake", "", "" } ) );
}

void TestInfo::tolerance_data()
{
    QTest::addColumn<QString>( "file" );
    QTest::addColumn<QString>( "wkt" );
    QTest::addColumn<bool>( "zoomedIn" );
    QTest::addColumn<bool>( "found" );

    const QString lines = QStringLiteral( "44_transmissionline.shp" );
    const QString points = QStringLiteral( "59_cities.shp" );
    const QString polygons = QStringLiteral( "38_subcountrybnd1.shp" );
    QTest::newRow( "line within 1/300 of the width" ) << lines << verticalLine( 1509.5 ) << false << true;
    QTest::newRow( "line beyond 1/300 of the width" ) << lines << verticalLine( 1510.5 ) << false << false;
    QTest::newRow( "zoomed in: line within half" ) << lines << verticalLine( 1495.5 ) << true << true;
    QTest::newRow( "zoomed in: line beyond half" ) << lines << verticalLine( 1505.5 ) << true << false;
    QTest::newRow( "point within" ) << points << "POINT (1500 1509)" << false << true;
    QTest::newRow( "point beyond" ) << points << "POINT (1500 1511)" << false << false;
    QTest::newRow( "polygon containing the point" ) << polygons << around( 2 ) << false << true;
    QTest::newRow( "polygon 1 m away" ) << polygons << QueryFixture::square( 1501, 1400, 200 ) << false << false;
}

void TestInfo::tolerance()
{
    QFETCH( QString, file );
    QFETCH( QString, wkt );
    QFETCH( bool, zoomedIn );
    QFETCH( bool, found );

    mFixture->addLayer( file, { wkt }, { kName }, { { "Found" } }, {}, false );
    if ( zoomedIn )
    {
        gis::Rect r = kExtent;
        r.scaleRectangle( 0.5 );
        mFixture->map.setExtent( r );
    }
    QCOMPARE( activate().contains( "FOUND" ), found );
}

void TestInfo::rebuiltFromPressPointAndCurrentExtent()
{
    mFixture->addLayer( "59_cities.shp", { "POINT (1500 1500)", "POINT (600 600)" }, { kName }, { { "Centre" }, { "West" } } );
    QVERIFY( activate().contains( "CENTRE" ) );

    // A new press point: pixel (60, 240) is the map point (600, 600).
    mPress = QPoint( 60, 240 );
    QCOMPARE( activate(), lines( { "Cities", "NAME : WEST", "", "" } ) );

    // The same press point after a pan reads the map as it is now.
    mPress = kCentre;
    mFixture->map.setExtent( { -900, 2100, 2100, -900 } );
    QCOMPARE( activate(), lines( { "Cities", "NAME : WEST", "", "" } ) );
}

void TestInfo::failureKeepsThePreviousText()
{
    mFixture->addLayer( "30_lakes.shp", { around() }, { kName }, { { "Kept" } } );
    const QString before = activate();
    QVERIFY( before.contains( "Kept" ) );

    mFixture->map.addLayer( std::make_shared<gis::Layer>() ); // visible, without data: its search fails
    QCOMPARE( activate(), before );
    QCOMPARE( mDialogs->texts(), QStringList { kActivateError } );
}

namespace
{
//! Message boxes that take the activation while they are open, as real ones do.
class ActivatingDialogs : public testsupport::RecordingDialogs
{
  public:
    QWidget box;
    void message( QWidget *parent, const QString &text, const QString &title, Icon icon ) override
    {
        RecordingDialogs::message( parent, text, title, icon );
        QApplication::setActiveWindow( &box );
    }
};
} // namespace

void TestInfo::closingTheErrorBoxDoesNotBuildAgain()
{
    mDialogs.reset();
    ActivatingDialogs dialogs;
    frmInfo *form = frmInfo::instance( nullptr, &mFixture->map, [this] { return mPress; } );
    form->show();
    dialogs.box.show();
    // What the platform does with the two windows first is not the point here.
    QTest::qWait( 20 );
    QApplication::setActiveWindow( nullptr );
    mFixture->map.addLayer( std::make_shared<gis::Layer>() ); // its search fails

    QApplication::setActiveWindow( form );
    QCOMPARE( dialogs.texts(), QStringList { kActivateError } );

    // The box closes and gives the activation back: no second box.
    QApplication::setActiveWindow( form );
    QCOMPARE( dialogs.shown.size(), size_t( 1 ) );

    // The user comes back to the window later: it builds again.
    QApplication::setActiveWindow( nullptr );
    QApplication::setActiveWindow( form );
    QCOMPARE( dialogs.shown.size(), size_t( 2 ) );
    dialogs.box.hide();
    form->hide();
}

void TestInfo::fieldListsAreCompleteAndExact_data()
{
    QTest::addColumn<QString>( "file" );
    QTest::addColumn<QStringList>( "fields" ); // empty: no list
    QTest::addColumn<bool>( "ordered" );

    // The groups the listing tests do not reach.
    QStringList glo { "Cell_ID", "Gridcode", "Lon", "Lat" };
    for ( const char *m : { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec", "Ann" } )
        glo << QString( m ) + "glo";
    QTest::newRow( "18_solar_tilt.shp" ) << "18_solar_tilt.shp" << QStringList( glo ).replaceInStrings( "glo", "tilt" ) << true;
    QTest::newRow( "17_solar_direct.shp" ) << "17_solar_direct.shp" << QStringList( glo ).replaceInStrings( "glo", "dir" ) << true;
    QTest::newRow( "52_facilities.shp" ) << "52_facilities.shp" << QStringList { "NAME", "TYPE" } << true;
    QTest::newRow( "53_airports.shp" ) << "53_airports.shp" << QStringList { "NAME" } << false;
    QTest::newRow( "36_subcountrybnd3.shp" ) << "36_subcountrybnd3.shp" << QStringList { "NAME", "POP" } << true;
    QTest::newRow( "44_transmissionline.shp" ) << "44_transmissionline.shp" << QStringList { "NAME", "VOLTAGE" } << true;
    QTest::newRow( "22_wind.shp" ) << "22_wind.shp" << QStringList() << false;
    QTest::newRow( "another case" ) << "59_Cities.shp" << QStringList() << false;
}

void TestInfo::fieldListsAreCompleteAndExact()
{
    QFETCH( QString, file );
    QFETCH( QStringList, fields );
    QFETCH( bool, ordered );

    const InfoFieldList *list = findInfoFieldList( file );
    QCOMPARE( list ? list->fields : QStringList(), fields );
    QCOMPARE( list && list->ordered, ordered );

    // isShowValue sets the flag for listed files only, whatever its answer.
    frmInfo *form = frmInfo::instance( nullptr, &mFixture->map, {} );
    form->sortFlag = true;
    QCOMPARE( form->isShowValue( file, QStringLiteral( "NOT_LISTED" ) ), false );
    QCOMPARE( form->sortFlag, list ? ordered : true );
    if ( list )
        QVERIFY( form->isShowValue( file, list->fields.last().toUpper() ) );
}

void TestInfo::infoToolClickListsTheFeatures()
{
    QTemporaryDir dir;
    testsupport::writeShapefile( dir.path(), "59_cities.shp", { "POINT (20000 30000)", "POINT (60000 10000)" },
                                 { kName, kType, kPop }, { { "Springfield", "Capital", 250000 }, { "Shelbyville", "Town", 900 } },
                                 testsupport::kUtm );
    frmMain *main = frmMain::instance();
    main->Map1->clearLayers();
    auto cities = std::make_shared<gis::Layer>( gis::Dataset::open( dir.filePath( "59_cities.shp" ) ) );
    cities->tag = QStringLiteral( "59_cities.shp" );
    cities->name = QStringLiteral( "Cities" );
    main->Map1->addLayer( cities );
    main->show();
    QVERIFY( QTest::qWaitForWindowExposed( main ) );
    main->Map1->setExtent( { 0, 80000, 40000, 0 } );
    main->UpdateInterface();

    QTest::mouseClick( main->optPanZoom[2], Qt::LeftButton );
    QCOMPARE( main->iMapTool, 2 );
    const QPointF springfield = main->Map1->fromMapPoint( { 20000, 30000 } );
    QTest::mouseClick( main->Map1, Qt::LeftButton, {}, springfield.toPoint() );

    frmInfo *info = frmInfo::existingInstance();
    QVERIFY( info );
    QVERIFY( info->isVisible() );
    QCOMPARE( info->parentWidget(), main );
    QCOMPARE( info->windowTitle(), QStringLiteral( "Map Information" ) );
    QCOMPARE( info->OKButton->text(), QStringLiteral( "OK" ) );
    QVERIFY( !info->txtInfo->isReadOnly() );
    const QString springfieldText = lines( { "Cities", "NAME : SPRINGFIELD", "TYPE : CAPITAL", "POP : 250000", "", "" } );
    QTRY_COMPARE( info->txtInfo->toPlainText(), springfieldText );

    QTest::mouseClick( info->OKButton, Qt::LeftButton );
    QVERIFY( !info->isVisible() );
    QCOMPARE( info->txtInfo->toPlainText(), QString() );

    const QPointF shelbyville = main->Map1->fromMapPoint( { 60000, 10000 } );
    QTest::mouseClick( main->Map1, Qt::LeftButton, {}, shelbyville.toPoint() );
    // The headless platform activates a window only on its first showing;
    // a window manager activates it on every one.
    if ( !info->isActiveWindow() )
        QApplication::setActiveWindow( info );
    QVERIFY( info->isVisible() );
    QTRY_COMPARE( info->txtInfo->toPlainText(), lines( { "Cities", "NAME : SHELBYVILLE", "TYPE : TOWN", "POP : 900", "", "" } ) );
    QVERIFY( mDialogs->shown.empty() );

    main->Map1->clearLayers();
    info->hide();
    main->hide();
}

QTEST_MAIN( TestInfo )
#include "tst_info.moc"
