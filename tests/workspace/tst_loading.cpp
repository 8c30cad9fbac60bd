#include "TestSupport.h"

#include "common/Constants.h"
#include "gis/MapWidget.h"
#include "workspace/DamageReport.h"
#include "legend/LegendControl.h"
#include "workspace/md_functions.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

using testsupport::FieldSpec;

namespace
{
const QString kLimitMessage = QStringLiteral(
    "Sorry, this program was not meant to handle more than 27 layers.  Please reduce the number of shape (.shp) files in the data directory." );

QStringList standardNames()
{
    return QStringList( Constants::kStandardFileNames.begin(), Constants::kStandardFileNames.end() );
}

//! A shapefile of the shapes \a wkts with the fields the standard layers are styled by.
void writeLayer( const QString &dir, const QString &name, const QStringList &wkts )
{
    std::vector<std::vector<QVariant>> rows;
    for ( int i = 0; i < wkts.size(); ++i )
        rows.push_back( { "FOREST", 350.0, QStringLiteral( "Area %1" ).arg( i ) } );
    testsupport::writeShapefile( dir, name, wkts,
                                 { { "LAND_USE", FieldSpec::String, 40 },
                                   { "WINDPWRD", FieldSpec::Real },
                                   { "NAME", FieldSpec::String, 40 } },
                                 rows, testsupport::kUtm );

    // OGR writes lower-case extensions; give the file set the extension's case of the name
    if ( QFileInfo( name ).suffix() == "SHP" )
    {
        const QString base = QDir( dir ).filePath( QFileInfo( name ).completeBaseName() );
        for ( const char *ext : { ".shp", ".shx", ".dbf", ".prj" } )
            QFile::rename( base + ext, base + QString( ext ).toUpper() );
    }
}

//! A shapefile of \a records small squares with the fields the standard layers are styled by.
void writeLayer( const QString &dir, const QString &name, int records = 1 )
{
    QStringList wkts;
    for ( int i = 0; i < records; ++i )
    {
        const int x = 500000 + 100 * i;
        wkts << QStringLiteral( "POLYGON((%1 0,%2 0,%2 50,%1 50,%1 0))" ).arg( x ).arg( x + 50 );
    }
    writeLayer( dir, name, wkts );
}

//! The 28 standard layers, one record each.
void writeStandardSet( const QString &dir )
{
    for ( const QString &name : standardNames() )
        writeLayer( dir, name );
}

QStringList tags( const gis::MapWidget &map )
{
    QStringList t;
    for ( int i = 0; i < map.layerCount(); ++i )
        t << map.layer( i )->tag;
    return t;
}

QStringList visibleTags( const gis::MapWidget &map )
{
    QStringList t;
    for ( int i = 0; i < map.layerCount(); ++i )
    {
        if ( map.layer( i )->visible )
            t << map.layer( i )->tag;
    }
    t.sort();
    return t;
}

QString withSlash( const QString &dir )
{
    return QDir::toNativeSeparators( dir ) + QDir::separator();
}

//! Offset in the .shp of writeLayer() of the x of the third vertex of \a record (records of 136 bytes).
qint64 vertexOffset( int record )
{
    return 100 + 136 * record + 8 + 44 + 4 + 2 * 16;
}

const QString kDamageHeading = QStringLiteral(
    "Some files of the data directory are damaged. What could not be read is left out of the map and of the queries.\n\n" );

bool sameRect( const gis::Rect &a, const gis::Rect &b )
{
    return a.left == b.left && a.right == b.right && a.top == b.top && a.bottom == b.bottom;
}
} // namespace

Q_DECLARE_METATYPE( gis::ReadDamage )

class TestLoading : public QObject
{
    Q_OBJECT

  private:
    std::unique_ptr<testsupport::RecordingDialogs> mDialogs;
    std::unique_ptr<gis::MapWidget> mMap;
    std::unique_ptr<LegendControl> mLegend;
    QTemporaryDir mRoot;
    QString mAll28;

    void load( const QString &dir, const QString &file )
    {
        md_functions::LoadProject( file, QDir( dir ).filePath( file ), *mMap, *mLegend );
    }

    //! Checks that the index holds every layer under its tag, at its position.
    void verifyIndex()
    {
        QCOMPARE( md_functions::cLayerIndex.count(), mMap->layerCount() );
        for ( int i = 0; i < mMap->layerCount(); ++i )
        {
            QCOMPARE( md_functions::cLayerIndex.item( mMap->layer( i )->tag ), i );
            QCOMPARE( md_functions::cLayerIndex.item( mMap->layer( i )->tag.toUpper() ), i );
        }
        QCOMPARE( mLegend->rowCount(), mMap->layerCount() );
    }

  private slots:
    void initTestCase()
    {
        QVERIFY( mRoot.isValid() );
        Constants::sStandardFiles = Constants::kStandardFileNames;
        mAll28 = mRoot.filePath( "all28" );
        writeStandardSet( mAll28 );
    }

    void init()
    {
        mDialogs = std::make_unique<testsupport::RecordingDialogs>();
        testsupport::makeLoadTarget( mMap, mLegend );
    }

    void cleanup()
    {
        mLegend.reset();
        mMap.reset();
        mDialogs.reset();
    }

    void standardFile_data()
    {
        QTest::addColumn<QString>( "name" );
        QTest::addColumn<bool>( "standard" );
        QTest::newRow( "first" ) << "01_elevation.shp" << true;
        QTest::newRow( "last" ) << "59_cities.shp" << true;
        QTest::newRow( "upper case" ) << "20_WIND.SHP" << true;
        QTest::newRow( "mixed case" ) << "43_Roads.Shp" << true;
        QTest::newRow( "no extension" ) << "43_roads" << false;
        QTest::newRow( "part of a name" ) << "3_roads.shp" << false;
        QTest::newRow( "blank" ) << " 43_roads.shp" << false;
        QTest::newRow( "empty" ) << "" << false;
    }

    void standardFile()
    {
        QFETCH( QString, name );
        QFETCH( bool, standard );
        QCOMPARE( md_functions::StandardFile( name ), standard );
    }

    void subsetLoadsInNameOrder()
    {
        const QString dir = mRoot.filePath( "subset" );
        writeLayer( dir, "43_roads.shp" );
        writeLayer( dir, "12_solar_tilt.shp" );
        writeLayer( dir, "readme.shp" );
        writeLayer( dir, "01_elevation.shp" );
        QFile::copy( QDir( dir ).filePath( "43_roads.dbf" ), QDir( dir ).filePath( "notes.txt" ) );

        load( dir, "12_solar_tilt.shp" );

        QVERIFY( mDialogs->shown.empty() );
        QCOMPARE( md_functions::sDataPath, withSlash( dir ) );
        QVERIFY( Constants::oDataConnection );
        // the last file loaded is the topmost layer
        QCOMPARE( tags( *mMap ), QStringList( { "43_roads.shp", "12_solar_tilt.shp", "01_elevation.shp" } ) );
        QCOMPARE( mMap->layer( 0 )->name, "Roads" );
        QCOMPARE( mMap->layer( 1 )->name, "40 km Solar PV Annual Average(KWH/M2/DAY)" );
        verifyIndex();
        QVERIFY( !md_functions::cLayerIndex.contains( "readme.shp" ) );
        QCOMPARE( visibleTags( *mMap ), QStringList { "43_roads.shp" } );

        // a chosen file without a standard name loads its directory but not itself
        load( dir, "readme.shp" );
        QCOMPARE( mMap->layerCount(), 3 );
        verifyIndex();
    }

    void nextLoadReplacesEverything()
    {
        const QString a = mRoot.filePath( "replaceA" );
        const QString b = mRoot.filePath( "replaceB" );
        writeLayer( a, "40_rivers.shp" );
        writeLayer( a, "42_railroad.shp" );
        writeLayer( b, "59_cities.shp" );

        load( a, "40_rivers.shp" );
        QCOMPARE( mMap->layerCount(), 2 );
        load( b, "59_cities.shp" );
        QCOMPARE( tags( *mMap ), QStringList { "59_cities.shp" } );
        QCOMPARE( md_functions::sDataPath, withSlash( b ) );
        QVERIFY( !md_functions::cLayerIndex.contains( "40_rivers.shp" ) );
        verifyIndex();
        // the new data is in view
        QVERIFY( mMap->extent().left <= 500000 && mMap->extent().right >= 500050 );
    }

    void upperCaseNames()
    {
        const QString dir = mRoot.filePath( "upper" );
        writeLayer( dir, "20_WIND.SHP" );
        writeLayer( dir, "51_POWERPLANT.shp" );
        writeLayer( dir, "40_rivers.shp" );

        load( dir, "40_rivers.shp" );

        QCOMPARE( tags( *mMap ), QStringList( { "51_POWERPLANT.shp", "40_rivers.shp", "20_WIND.SHP" } ) );
        verifyIndex();
        QCOMPARE( md_functions::cLayerIndex.item( "20_wind.shp" ), 2 );
        // loaded and indexed, but neither styled nor given a default visibility
        const gis::LayerPtr wind = mMap->layer( 2 );
        QVERIFY( !wind->renderer );
        QVERIFY( wind->name != "Wind Power Density (W/m2)" );
        QVERIFY( wind->visible );
        QVERIFY( mMap->layer( 0 )->visible );
        QVERIFY( !mMap->layer( 1 )->visible );
    }

    void namesDifferingOnlyInCase()
    {
        const QString dir = mRoot.filePath( "twice" );
        writeLayer( dir, "43_roads.shp", 3 );
        writeLayer( dir, "43_ROADS.SHP", 1 );
        if ( QDir( dir ).entryList( { "*.shp" }, QDir::Files ).size() < 2 )
            QSKIP( "file system ignores case" );

        load( dir, "43_roads.shp" );

        QVERIFY( mDialogs->shown.empty() );
        QCOMPARE( tags( *mMap ), QStringList { "43_ROADS.SHP" } );
        verifyIndex();
    }

    void limit_data()
    {
        QTest::addColumn<QString>( "extra" );
        QTest::addColumn<bool>( "message" );
        QTest::newRow( "extra name last" ) << "zz_extra.shp" << true;
        QTest::newRow( "extra name first" ) << "00_extra.shp" << false;
    }

    void limit()
    {
        QFETCH( QString, extra );
        QFETCH( bool, message );
        const QString dir = mRoot.filePath( "limit_" + extra );
        writeStandardSet( dir );
        writeLayer( dir, extra );

        load( dir, "01_elevation.shp" );

        // The 28 standard layers, the last loaded on top, shown as is their default.
        QStringList expected = standardNames();
        std::reverse( expected.begin(), expected.end() );
        QCOMPARE( tags( *mMap ), expected );
        verifyIndex();
        QCOMPARE( visibleTags( *mMap ),
                  QStringList( { "21_wind.shp", "22_wind.shp", "38_subcountrybnd1.shp", "39_countryboundary.shp", "43_roads.shp",
                                 "51_powerplant.shp", "59_cities.shp" } ) );
        if ( message )
        {
            QCOMPARE( mDialogs->texts(), QStringList { kLimitMessage } );
            QCOMPARE( mDialogs->shown.front().title, kAppTitle );
            QCOMPARE( mDialogs->shown.front().icon, Dialogs::Icon::None );
        }
        else
        {
            QVERIFY( mDialogs->shown.empty() );
        }
    }

    void loadEndingEarlyEmptiesEverything_data()
    {
        QTest::addColumn<QString>( "folder" );
        QTest::addColumn<bool>( "connects" );
        QTest::newRow( "missing directory" ) << "nowhere" << false;
        QTest::newRow( "directory without shapefiles" ) << "noshp" << true;
    }

    void loadEndingEarlyEmptiesEverything()
    {
        QFETCH( QString, folder );
        QFETCH( bool, connects );
        load( mAll28, "43_roads.shp" );
        QCOMPARE( mLegend->rowCount(), 28 );
        const QString dir = mRoot.filePath( folder );
        if ( connects )
        {
            QDir().mkpath( dir );
            QFile f( QDir( dir ).filePath( "43_roads.txt" ) );
            QVERIFY( f.open( QIODevice::WriteOnly ) );
        }

        load( dir, "43_roads.shp" );

        QCOMPARE( mMap->layerCount(), 0 );
        QCOMPARE( md_functions::cLayerIndex.count(), 0 );
        QCOMPARE( md_functions::sDataPath, withSlash( dir ) );
        // the legend no longer lists the layers that are gone
        QCOMPARE( mLegend->rowCount(), 0 );
        if ( connects )
        {
            QVERIFY( mDialogs->shown.empty() );
            return;
        }
        QCOMPARE( mDialogs->shown.size(), size_t( 1 ) );
        QVERIFY2( mDialogs->shown[0].text.startsWith( "No data found... Data Connection error #" ),
                  qPrintable( mDialogs->shown[0].text ) );
        bool isNumber = false;
        mDialogs->shown[0].text.mid( 40 ).toInt( &isNumber );
        QVERIFY( isNumber );
        QCOMPARE( mDialogs->shown[0].icon, Dialogs::Icon::Exclamation );
        QCOMPARE( mDialogs->shown[0].title, kAppTitle );
        QCOMPARE( Constants::oDataConnection->database(), withSlash( dir ) );
    }

    void folderNamedLikeTheFile()
    {
        // outer/43_roads.shp/inner/43_roads.shp: the data directory is inner, not outer
        const QString outer = mRoot.filePath( "outer" );
        const QString inner = outer + "/43_roads.shp/inner";
        writeLayer( outer, "30_lakes.shp" );
        writeLayer( inner, "43_roads.shp" );
        writeLayer( inner, "59_cities.shp" );

        load( inner, "43_roads.shp" );

        QVERIFY( mDialogs->shown.empty() );
        QCOMPARE( md_functions::sDataPath, withSlash( inner ) );
        QCOMPARE( tags( *mMap ), QStringList( { "59_cities.shp", "43_roads.shp" } ) );

        // the folder named like a shapefile is not a file to load, and is named
        load( outer, "30_lakes.shp" );
        QCOMPARE( mDialogs->texts(),
                  QStringList { kDamageHeading + "43_roads.shp: it is not a regular file; the layer was not loaded." } );
        QCOMPARE( tags( *mMap ), QStringList { "30_lakes.shp" } );
    }

    void damageWording_data()
    {
        using gis::ReadDamage;
        QTest::addColumn<ReadDamage>( "damage" );
        QTest::addColumn<QString>( "line" );
        // The forms the damaged loads below do not show.
        const auto counted = []( auto set ) {
            ReadDamage d;
            d.records = 1754;
            set( d );
            return d;
        };
        QTest::newRow( "records" ) << counted( []( ReadDamage &d ) { d.recordsLost = 880; } )
                                   << "20_wind.shp: 880 of 1,754 records could not be read.";
        QTest::newRow( "deleted" ) << counted( []( ReadDamage &d ) { d.recordsDeleted = 1; } )
                                   << "20_wind.shp: 1 of 1,754 records are marked as deleted and were left out.";
        QTest::newRow( "attributes" ) << counted( []( ReadDamage &d ) { d.attributesUnread = 12; } )
                                      << "20_wind.shp: the attributes of 12 of 1,754 records could not be read.";
        QTest::newRow( "table" ) << counted( []( ReadDamage &d ) { d.tableUnread = true; } )
                                 << "20_wind.shp: its attribute table (.dbf) is missing or cannot be read.";
        QTest::newRow( "field that lost its name" )
            << counted( []( ReadDamage &d ) {
                   d.recordsLost = 4;
                   d.fieldsUnread = { { 1, "  ", 1700 } };
               } )
            << "20_wind.shp: 4 of 1,754 records could not be read; the description of its field number 2 is damaged: 1,700 of "
               "1,750 values could not be read.";
        QTest::newRow( "index" ) << counted( []( ReadDamage &d ) { d.damagedParts = { "20_wind.shx" }; } )
                                 << "20_wind.shp: 20_wind.shx is damaged.";
        QTest::newRow( "index rebuilt from the records" ) << counted( []( ReadDamage &d ) {
            d.indexRebuilt = true;
            d.part = "20_wind.shx";
        } ) << "20_wind.shp: its index file 20_wind.shx is damaged; the records were read from 20_wind.shp in order.";
        QTest::newRow( "prj" ) << counted( []( ReadDamage &d ) { d.crsUnreadable = true; } )
                               << "20_wind.shp: its coordinate system (.prj) could not be read.";
        QTest::newRow( "geographic" )
            << counted( []( ReadDamage &d ) { d.geographicOutOfRange = true; } )
            << "20_wind.shp: its .prj gives degrees, but its coordinates lie outside 180 degrees of longitude or 90 degrees "
               "of latitude; the scale and distances are wrong.";
        QTest::newRow( "several" ) << counted( []( ReadDamage &d ) {
            d.recordsLost = 1654;
            d.shapesUnread = 3;
            d.damagedParts = { "20_wind.shx" };
        } ) << "20_wind.shp: 1,654 of 1,754 records could not be read; 3 of 1,754 shapes could not be read; 20_wind.shx is damaged.";
        const auto unopened = []( ReadDamage::Unopened why, const QString &part ) {
            ReadDamage d;
            d.unopened = why;
            d.part = part;
            return d;
        };
        QTest::newRow( "FIFO part" ) << unopened( ReadDamage::Unopened::NotRegularFile, "20_wind.dbf" )
                                     << "20_wind.shp: 20_wind.dbf is not a regular file; the layer was not loaded.";
        QTest::newRow( "link out of the folder" ) << unopened( ReadDamage::Unopened::LinkOutside, "20_wind.dbf" )
                                                  << "20_wind.shp: 20_wind.dbf is a link to a file outside the folder; the layer "
                                                     "was not loaded.";
        QTest::newRow( "short index" ) << unopened( ReadDamage::Unopened::DamagedIndex, "20_wind.shx" )
                                       << "20_wind.shp: its index file 20_wind.shx is damaged; the layer was not loaded.";
        QTest::newRow( "sound" ) << counted( []( ReadDamage & ) {} ) << QString();
    }

    void damageWording()
    {
        QFETCH( gis::ReadDamage, damage );
        QFETCH( QString, line );
        const QLocale before;
        QLocale::setDefault( QLocale( QLocale::English, QLocale::UnitedStates ) );
        DamageReport report;
        report.add( "20_wind.shp", damage );
        QLocale::setDefault( before );
        QCOMPARE( report.isEmpty(), line.isEmpty() );
        if ( !line.isEmpty() )
            QCOMPARE( report.text(), kDamageHeading + line );
    }

    void oneMessageNamesEveryDamagedFile()
    {
        const QString dir = mRoot.filePath( "damaged" );
        writeLayer( dir, "20_wind.shp", 1754 );
        QVERIFY( QFile::resize( QDir( dir ).filePath( "20_wind.shp" ), 100 + 136 * 209 ) );
        writeLayer( dir, "30_lakes.shp" );
        QVERIFY( QFile::remove( QDir( dir ).filePath( "30_lakes.shx" ) ) );
        const QString fifo = QDir( dir ).filePath( "43_roads.shp" );
        QVERIFY( ::mkfifo( QFile::encodeName( fifo ).constData(), 0600 ) == 0 );
        testsupport::FifoRelease release( { fifo } );
        writeLayer( dir, "59_cities.shp" );
        testsupport::writeBytes( QDir( dir ).filePath( "40_rivers.shp" ), "not a shapefile at all" );
        writeLayer( dir, "01_elevation.shp", { "POLYGON((0 0,0 50,50 50,0 0))", "POLYGON((100 0,150 50))" } );
        QVERIFY( QDir( dir ).mkdir( "21_wind.shp" ) );
        for ( const char *name : { "22_wind.shp", "36_subcountrybnd3.shp", "37_subcountrybnd2.shp", "38_subcountrybnd1.shp" } )
            writeLayer( dir, name );
        writeLayer( dir, "44_transmissionline.shp", 3 );
        // An index entry of length -1, the .shp sound: the driver refuses the index, the records are read all the same.
        testsupport::patchBytes( QDir( dir ).filePath( "44_transmissionline.shx" ), 100 + 4, QByteArray( 4, '\xff' ) );
        for ( const char *file : { "22_wind.shp", "36_subcountrybnd3.shx", "37_subcountrybnd2.prj" } )
            QVERIFY( QFile::setPermissions( QDir( dir ).filePath( file ), {} ) );
        testsupport::writeBytes( QDir( dir ).filePath( "38_subcountrybnd1.prj" ), "" );

        const QLocale before;
        QLocale::setDefault( QLocale( QLocale::English, QLocale::UnitedStates ) );
        {
            testsupport::PermissionsApply asUser;
            if ( testsupport::PermissionsApply::ignoredIn( dir ) )
                QSKIP( "file permissions do not bind here" );
            load( dir, "59_cities.shp" );
        }
        QLocale::setDefault( before );

        QCOMPARE( tags( *mMap ),
                  QStringList( { "59_cities.shp", "44_transmissionline.shp", "38_subcountrybnd1.shp", "37_subcountrybnd2.shp",
                                 "20_wind.shp", "01_elevation.shp" } ) );
        verifyIndex();
        const auto lines = mMap->layer( 1 )->geoDataset();
        QCOMPARE( lines->recordCount(), qint64( 3 ) );
        for ( qint64 r = 0; r < 3; ++r )
        {
            QVERIFY( !lines->shape( r ).isNull() );
            QCOMPARE( lines->value( r, lines->fieldIndex( "NAME" ) ).toString(), QStringLiteral( "Area %1" ).arg( r ) );
        }
        // The wind records whose shapes are gone keep their attributes.
        const auto wind = mMap->layer( 4 )->geoDataset();
        QCOMPARE( wind->recordCount(), qint64( 1754 ) );
        QVERIFY( !wind->shape( 208 ).isNull() );
        QVERIFY( wind->shape( 209 ).isNull() );
        QCOMPARE( wind->value( 1753, wind->fieldIndex( "NAME" ) ).toString(), "Area 1753" );

        QCOMPARE( mDialogs->shown.size(), size_t( 1 ) );
        QCOMPARE( mDialogs->shown[0].text,
                  kDamageHeading
                      + QStringLiteral( "01_elevation.shp: 1 of 2 shapes are too small to draw (a line of fewer than two points or "
                                        "a ring of fewer than three corners) and were left out.\n"
                                        "20_wind.shp: 1,545 of 1,754 shapes could not be read.\n"
                                        "21_wind.shp: it is not a regular file; the layer was not loaded.\n"
                                        "22_wind.shp: it cannot be read (permission denied); the layer was not loaded.\n"
                                        "30_lakes.shp: its index file 30_lakes.shx is missing; the layer was not loaded.\n"
                                        "36_subcountrybnd3.shp: its index file 36_subcountrybnd3.shx cannot be read (permission "
                                        "denied); the layer was not loaded.\n"
                                        "37_subcountrybnd2.shp: its coordinate system (.prj) could not be read.\n"
                                        "38_subcountrybnd1.shp: its coordinate system (.prj) could not be read.\n"
                                        "40_rivers.shp: it is not a shapefile that can be read; the layer was not loaded.\n"
                                        "43_roads.shp: it is not a regular file; the layer was not loaded.\n"
                                        "44_transmissionline.shp: its index file 44_transmissionline.shx is damaged; the "
                                        "records were read from 44_transmissionline.shp in order." ) );
        QCOMPARE( mDialogs->shown[0].title, kAppTitle );
        QCOMPARE( mDialogs->shown[0].icon, Dialogs::Icon::Exclamation );
    }

    void undrawableShapesStayOffTheMap_data()
    {
        QTest::addColumn<double>( "value" );
        QTest::addColumn<QString>( "why" );
        const QString undrawable = "have coordinates that cannot be drawn and were left out.";
        QTest::newRow( "1e300" ) << 1e300 << undrawable;
        QTest::newRow( "1.7e308" ) << 1.7e308 << undrawable;
        QTest::newRow( "NaN" ) << std::numeric_limits<double>::quiet_NaN() << undrawable;
        QTest::newRow( "24,000 km away" ) << 500250 + 2.4e7 << "lie outside the bounding box their file gives for them and were left out.";
    }

    void undrawableShapesStayOffTheMap()
    {
        // A state boundary (shown) and a road (shown while few) with one vertex that cannot be drawn,
        // or that lies far outside the box of its record: neither may change the extent or the scale.
        QFETCH( double, value );
        QFETCH( QString, why );
        const QString sound = mRoot.filePath( QStringLiteral( "sound%1" ).arg( QTest::currentDataTag() ) );
        const QString damaged = mRoot.filePath( QStringLiteral( "undrawable%1" ).arg( QTest::currentDataTag() ) );
        // The sound set lacks the last square of each layer, which is what the damaged set cannot draw.
        for ( const char *file : { "38_subcountrybnd1.shp", "43_roads.shp" } )
        {
            writeLayer( sound, file, 2 );
            writeLayer( damaged, file, 3 );
            testsupport::patchBytes( QDir( damaged ).filePath( file ), vertexOffset( 2 ), testsupport::littleEndianBytes( value ) );
        }

        load( sound, "43_roads.shp" );
        const gis::Rect full = mMap->fullExtent();
        const QString scale = md_functions::CalculateScale( *mMap );
        mDialogs->reset();

        load( damaged, "43_roads.shp" );
        QVERIFY( sameRect( mMap->fullExtent(), full ) );
        QVERIFY( sameRect( mMap->extent(), full ) );
        QCOMPARE( md_functions::CalculateScale( *mMap ), scale );
        mMap->refresh();
        const gis::Point centre = mMap->toMapPoint( 200, 150 );
        QVERIFY( std::isfinite( centre.x ) && std::isfinite( centre.y ) );
        QCOMPARE( mDialogs->shown.size(), size_t( 1 ) );
        QCOMPARE( mDialogs->shown[0].text,
                  kDamageHeading + "38_subcountrybnd1.shp: 1 of 3 shapes " + why + "\n43_roads.shp: 1 of 3 shapes " + why );
    }

    void roadsAndCitiesByRecordCount_data()
    {
        QTest::addColumn<QString>( "file" );
        QTest::addColumn<int>( "records" );
        QTest::addColumn<bool>( "visible" );
        QTest::newRow( "roads without records" ) << "43_roads.shp" << 0 << true;
        QTest::newRow( "roads 49" ) << "43_roads.shp" << 49 << true;
        QTest::newRow( "roads 50" ) << "43_roads.shp" << 50 << false;
        QTest::newRow( "cities 49" ) << "59_cities.shp" << 49 << true;
        QTest::newRow( "cities 50" ) << "59_cities.shp" << 50 << false;
        QTest::newRow( "power plants 50" ) << "51_powerplant.shp" << 50 << true;
    }

    void roadsAndCitiesByRecordCount()
    {
        QFETCH( QString, file );
        QFETCH( int, records );
        QFETCH( bool, visible );
        const QString dir = mRoot.filePath( QStringLiteral( "count_%1_%2" ).arg( file ).arg( records ) );
        writeLayer( dir, file, records );
        QSignalSpy redraws( mMap.get(), &gis::MapWidget::afterTrackingLayerDraw );
        load( dir, file );
        QCOMPARE( redraws.count(), 1 );
        QCOMPARE( mMap->layerCount(), 1 );
        QCOMPARE( mMap->layer( 0 )->visible, visible );
        QCOMPARE( md_functions::isSetLayerVisible( *mMap->layer( 0 ) ), records < 50 );
    }

    void defaultVisibility_data()
    {
        QTest::addColumn<QString>( "tag" );
        QTest::addColumn<bool>( "before" );
        QTest::addColumn<bool>( "after" );
        QTest::addColumn<QString>( "text" ); // the layer's further text afterwards
        const QString kept = "labels";
        QTest::newRow( "hidden row" ) << "02_landuse.shp" << true << false << kept;
        QTest::newRow( "shown row" ) << "38_subcountrybnd1.shp" << false << true << kept;
        QTest::newRow( "solar keeps hidden" ) << "13_solar_direct.shp" << false << false << kept;
        QTest::newRow( "solar keeps user's choice" ) << "13_solar_direct.shp" << true << true << kept;
        QTest::newRow( "country keeps hidden" ) << "39_countryboundary.shp" << false << false << kept;
        QTest::newRow( "other case is no row" ) << "02_LANDUSE.SHP" << true << true << kept;
        QTest::newRow( "wind hidden, its text emptied, not its tag" ) << "20_wind.shp" << true << false << QString();
    }

    void defaultVisibility()
    {
        QFETCH( QString, tag );
        QFETCH( bool, before );
        QFETCH( bool, after );
        QFETCH( QString, text );
        gis::Layer layer;
        layer.tag = tag;
        layer.visible = before;
        layer.textProperty = "labels";
        md_functions::SetDefaultVisibility( layer );
        QCOMPARE( layer.visible, after );
        QCOMPARE( layer.textProperty, text );
        QCOMPARE( layer.tag, tag );
        QVERIFY( mDialogs->shown.empty() );
    }

    void countingWithoutDatasetHides()
    {
        gis::Layer layer;
        layer.tag = "59_cities.shp";
        md_functions::SetDefaultVisibility( layer );
        QVERIFY( !layer.visible );
        QCOMPARE( mDialogs->texts(),
                  QStringList { "Error in isSetLayerVisible() function. Error while trying to count the number of features in a layer layer and set its visibility. " } );
        QCOMPARE( mDialogs->shown[0].icon, Dialogs::Icon::None );
    }
};

QTEST_MAIN( TestLoading )
#include "tst_loading.moc"
