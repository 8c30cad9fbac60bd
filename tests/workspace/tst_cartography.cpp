#include "TestSupport.h"

#include "gis/Layer.h"
#include "gis/Renderer.h"
#include "workspace/ClassTables.h"
#include "workspace/md_functions.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using gis::rgb;
using testsupport::FieldSpec;

namespace
{
const QString kNoName = QStringLiteral( "<none>" );
const QString kSolarCaption = QStringLiteral( "ANNUAL AVERAGE SOLAR RESOURCES (KWH/M2/DAY)" );

struct ExpectedRenderer
{
    QString field;
    std::vector<double> breaks;
    std::vector<int> colors;
};

ExpectedRenderer windRenderer()
{
    return { QStringLiteral( "WINDPWRD" ),
             { 200, 300, 400, 500, 600, 800 },
             { rgb( 255, 255, 255 ), rgb( 222, 184, 135 ), rgb( 254, 172, 0 ), rgb( 255, 110, 180 ),
               rgb( 154, 50, 205 ), rgb( 255, 0, 0 ), rgb( 0, 0, 255 ) } };
}

ExpectedRenderer elevationRenderer()
{
    return { QStringLiteral( "Elev_m" ),
             { 200, 400, 600, 800, 1000, 1200, 1400, 1600, 1800, 2000, 2200, 2500, 3000 },
             { rgb( 38, 115, 0 ), rgb( 76, 156, 36 ), rgb( 129, 199, 93 ), rgb( 196, 245, 171 ), rgb( 255, 249, 186 ),
               rgb( 255, 234, 140 ), rgb( 255, 212, 102 ), rgb( 199, 172, 125 ), rgb( 168, 131, 67 ),
               rgb( 138, 98, 23 ), rgb( 122, 47, 9 ), rgb( 166, 97, 63 ), rgb( 209, 166, 144 ), rgb( 255, 255, 255 ) } };
}

ExpectedRenderer solarRenderer( const QString &field )
{
    return { field,
             { 1.9999999999, 2.5, 2.9999999999, 3.5, 3.9999999999, 4.5, 4.9999999999, 5.5, 5.9999999999, 6.5,
               6.999999999, 7.5, 7.999999999, 8.5, 8.999999999 },
             { rgb( 122, 97, 50 ), rgb( 184, 146, 75 ), rgb( 224, 178, 92 ), rgb( 252, 218, 154 ), rgb( 237, 237, 166 ),
               rgb( 230, 230, 83 ), rgb( 255, 255, 0 ), rgb( 252, 223, 0 ), rgb( 255, 171, 0 ), rgb( 237, 138, 0 ),
               rgb( 255, 94, 25 ), rgb( 247, 0, 0 ), rgb( 207, 0, 0 ), rgb( 153, 0, 0 ), rgb( 115, 0, 0 ),
               rgb( 71, 0, 0 ) } };
}

//! Symbol settings a row makes; unset ones must keep the component's default.
struct ExpectedSymbol
{
    std::optional<int> color;
    std::optional<int> style;
    std::optional<bool> outline;
    std::optional<double> size;
    std::optional<int> outlineColor;
};
} // namespace

Q_DECLARE_METATYPE( ExpectedSymbol )

class TestCartography : public QObject
{
    Q_OBJECT

  private:
    testsupport::RecordingDialogs *mDialogs = nullptr;
    QTemporaryDir mDir;

    gis::LayerPtr landUseLayer( const QString &name, const QStringList &texts )
    {
        QStringList wkts;
        std::vector<std::vector<QVariant>> rows;
        for ( int i = 0; i < texts.size(); ++i )
        {
            wkts << QStringLiteral( "POLYGON((%1 0,%2 0,%2 1,%1 1,%1 0))" ).arg( i ).arg( i + 1 );
            rows.push_back( { texts.at( i ) } );
        }
        testsupport::writeShapefile( mDir.path(), name, wkts, { { QStringLiteral( "LAND_USE" ), FieldSpec::String, 80 } },
                                     rows, testsupport::kUtm );
        return std::make_shared<gis::Layer>( gis::Dataset::open( mDir.filePath( name ) ) );
    }

  private slots:
    void init() { mDialogs = new testsupport::RecordingDialogs(); }
    void cleanup()
    {
        delete mDialogs;
        mDialogs = nullptr;
    }

    void styleRows_data()
    {
        QTest::addColumn<QString>( "file" );
        QTest::addColumn<QString>( "legendName" );
        QTest::addColumn<ExpectedSymbol>( "symbol" );
        QTest::addColumn<bool>( "labels" );

        const auto row = []( const char *file, const char *name, ExpectedSymbol s, bool labels = false ) {
            QTest::newRow( file ) << QString::fromLatin1( file ) << QString::fromLatin1( name ) << s << labels;
        };
        row( "31_protectedarea.shp", "Protected Areas", { rgb( 0, 128, 0 ), 4, true, {}, rgb( 0, 128, 0 ) } );
        row( "30_lakes.shp", "Lakes", { rgb( 127, 199, 242 ), {}, false, {}, {} } );
        row( "40_rivers.shp", "Rivers", { rgb( 0, 0, 255 ), {}, {}, {}, {} } );
        row( "36_subcountrybnd3.shp", "Additional Boundary", { {}, 1, true, 1.0, rgb( 230, 152, 0 ) } );
        row( "39_countryboundary.shp", "Country Boundary", { {}, 1, true, 1.5, rgb( 0, 0, 0 ) } );
        row( "37_subcountrybnd2.shp", "Other Boundary", { {}, 1, true, 1.0, rgb( 115, 38, 0 ) } );
        row( "38_subcountrybnd1.shp", "State Boundaries", { {}, 1, true, 1.0, rgb( 0, 0, 0 ) }, true );
        row( "42_railroad.shp", "Railways", { rgb( 255, 0, 0 ), 2, {}, {}, {} } );
        row( "43_roads.shp", "Roads", { rgb( 255, 0, 0 ), {}, {}, 2.0, {} } );
        row( "44_transmissionline.shp", "Transmission Lines", { rgb( 0, 0, 0 ), 3, {}, {}, {} } );
        row( "51_powerplant.shp", "Power Plants", { rgb( 0, 0, 0 ), 3, {}, {}, {} } );
        row( "50_protectedarea.shp", "Historic Sites", { rgb( 128, 64, 64 ), 2, {}, {}, {} } );
        row( "52_facilities.shp", "Facilities", { rgb( 0, 255, 255 ), 1, {}, {}, {} } );
        row( "53_airports.shp", "Airports", { rgb( 255, 128, 0 ), 2, {}, {}, {} } );
        row( "59_cities.shp", "Cities", { rgb( 255, 0, 0 ), 0, {}, {}, {} } );
    }

    void styleRows()
    {
        QFETCH( QString, file );
        QFETCH( QString, legendName );
        QFETCH( ExpectedSymbol, symbol );
        QFETCH( bool, labels );

        // A symbol unlike the default shows which settings the row really makes.
        gis::Layer layer;
        layer.symbol.color = rgb( 1, 2, 3 );
        layer.symbol.style = 3;
        layer.symbol.outline = !symbol.outline.value_or( true );
        layer.symbol.size = 7;
        layer.symbol.outlineColor = rgb( 4, 5, 6 );
        const gis::Symbol before = layer.symbol;

        md_functions::SetLayerProperties( layer, file, kSolarCaption );

        QCOMPARE( layer.name, legendName );
        QCOMPARE( layer.symbol.color, symbol.color.value_or( before.color ) );
        QCOMPARE( layer.symbol.style, symbol.style.value_or( before.style ) );
        QCOMPARE( layer.symbol.outline, symbol.outline.value_or( before.outline ) );
        QCOMPARE( layer.symbol.size, symbol.size.value_or( before.size ) );
        QCOMPARE( layer.symbol.outlineColor, symbol.outlineColor.value_or( before.outlineColor ) );
        QVERIFY( layer.visible );
        QVERIFY( mDialogs->shown.empty() );

        if ( labels )
        {
            auto r = std::dynamic_pointer_cast<gis::LabelRenderer>( layer.renderer );
            QVERIFY( r );
            QCOMPARE( r->field, QStringLiteral( "NAME" ) );
            QVERIFY( r->allowDuplicates );
            QCOMPARE( r->symbol( 0 ).font.family(), QStringLiteral( "MS Sans Serif" ) );
            QVERIFY( r->symbol( 0 ).font.bold() );
            QCOMPARE( r->symbol( 0 ).font.pointSize(), 12 );
        }
        else
        {
            QVERIFY( !layer.renderer );
        }
    }

    void classBreakRows_data()
    {
        QTest::addColumn<QString>( "file" );
        QTest::addColumn<QString>( "caption" );
        QTest::addColumn<QString>( "legendName" );
        QTest::addColumn<QString>( "field" );
        QTest::addColumn<bool>( "hidden" );

        const QString none;
        QTest::newRow( "elevation" ) << "01_elevation.shp" << none << "Elevation (meters)" << "Elev_m" << false;
        QTest::newRow( "wind ignores caption" )
            << "20_wind.shp" << kSolarCaption << "Wind Power Density (W/m2)" << "WINDPWRD" << false;
        QTest::newRow( "11" ) << "11_solar_direct.shp" << none
                              << "40 km Solar Concentrators Annual Average(KWH/M2/DAY)" << "ANNDIR" << true;
        QTest::newRow( "17 shares the name of 11" )
            << "17_solar_direct.shp" << none << "40 km Solar Concentrators Annual Average(KWH/M2/DAY)" << "ANNDIR"
            << true;
        QTest::newRow( "15" ) << "15_solar_glo.shp" << none
                              << "40 km Solar Global Horizontal Annual Average(KWH/M2/DAY)" << "ANNGLO" << true;
        QTest::newRow( "13 in capitals" ) << "13_solar_direct.shp" << none
                                          << "10 KM Solar Concentrators Annual Average(KWH/M2/DAY)" << "ANNDIR" << true;
        QTest::newRow( "14" ) << "14_solar_glo.shp" << none
                              << "10 km Solar Global Horizontal Annual Average(KWH/M2/DAY)" << "ANNGLO" << true;
        QTest::newRow( "14 with caption" ) << "14_solar_glo.shp" << kSolarCaption << kSolarCaption << "ANNGLO" << true;
        QTest::newRow( "16" ) << "16_solar_tilt.shp" << none << "10 km Solar PV Annual Average(KWH/M2/DAY)"
                              << "ANNTILT" << true;
        QTest::newRow( "12" ) << "12_solar_tilt.shp" << none << "40 km Solar PV Annual Average(KWH/M2/DAY)"
                              << "ANNTILT" << true;
        QTest::newRow( "18 shares the name of 12" )
            << "18_solar_tilt.shp" << none << "40 km Solar PV Annual Average(KWH/M2/DAY)" << "ANNTILT" << true;
    }

    void classBreakRows()
    {
        QFETCH( QString, file );
        QFETCH( QString, caption );
        QFETCH( QString, legendName );
        QFETCH( QString, field );
        QFETCH( bool, hidden );

        gis::Layer layer;
        const gis::Symbol before = layer.symbol;
        md_functions::SetLayerProperties( layer, file, caption );

        QCOMPARE( layer.name, legendName );
        QCOMPARE( layer.visible, !hidden );
        auto r = std::dynamic_pointer_cast<gis::ClassBreaksRenderer>( layer.renderer );
        QVERIFY( r );

        const ExpectedRenderer expected = field == QLatin1String( "WINDPWRD" ) ? windRenderer()
                                          : field == QLatin1String( "Elev_m" ) ? elevationRenderer()
                                                                               : solarRenderer( field );
        QCOMPARE( r->field, expected.field );
        QCOMPARE( r->breakCount(), static_cast<int>( expected.breaks.size() ) );
        for ( int i = 0; i < r->breakCount(); ++i )
            QCOMPARE( r->breakValue( i ), expected.breaks[i] );
        for ( int i = 0; i <= r->breakCount(); ++i )
        {
            QCOMPARE( r->symbol( i ).color, expected.colors[i] );
            // the outline pass includes the class above the last break
            QVERIFY2( !r->symbol( i ).outline, qPrintable( QStringLiteral( "symbol %1 has an outline" ).arg( i ) ) );
        }

        if ( file == QLatin1String( "20_wind.shp" ) )
            QVERIFY( !layer.symbol.outline );
        else
            QCOMPARE( layer.symbol.outline, before.outline );
        QVERIFY( mDialogs->shown.empty() );
    }

    void unstyledNames_data()
    {
        QTest::addColumn<QString>( "file" );
        QTest::newRow( "upper-case wind" ) << "20_WIND.SHP";
        QTest::newRow( "21 wind" ) << "21_wind.shp";
        QTest::newRow( "22 wind" ) << "22_wind.shp";
        QTest::newRow( "mixed-case roads" ) << "43_Roads.shp";
        QTest::newRow( "not standard" ) << "readme.shp";
    }

    void unstyledNames()
    {
        QFETCH( QString, file );
        gis::Layer layer;
        layer.name = kNoName;
        const gis::Symbol before = layer.symbol;
        md_functions::SetLayerProperties( layer, file, kSolarCaption );
        QCOMPARE( layer.name, kNoName );
        QVERIFY( !layer.renderer );
        QCOMPARE( layer.symbol.color, before.color );
        QCOMPARE( layer.symbol.outline, before.outline );
        QCOMPARE( layer.symbol.style, before.style );
        QVERIFY( layer.visible );
    }

    void landUseRenderer()
    {
        const QStringList texts = { QStringLiteral( "Forest" ),
                                    QStringLiteral( "forest" ),
                                    QStringLiteral( "OTHER" ),
                                    QStringLiteral( "OTHER LAND" ),
                                    QString(),
                                    QStringLiteral( "BARE SOIL" ),
                                    QStringLiteral( "Forest" ),
                                    QStringLiteral( "PROTECTED FORESTS (PINES)" ),
                                    QStringLiteral( "PROTECTED FORESTS" ),
                                    QStringLiteral( "COFFEE, FRUITS, AND GRAINS" ),
                                    QStringLiteral( "barren or sparsely vegitated" ) };
        gis::LayerPtr layer = landUseLayer( QStringLiteral( "02_landuse.shp" ), texts );
        md_functions::SetLayerProperties( *layer, QStringLiteral( "02_landuse.shp" ), kSolarCaption );
        QVERIFY( mDialogs->shown.empty() );
        QCOMPARE( layer->name, QStringLiteral( "Land Use" ) );
        QVERIFY( !layer->visible );

        auto r = std::dynamic_pointer_cast<gis::ValueMapRenderer>( layer->renderer );
        QVERIFY( r );
        QCOMPARE( r->field, QStringLiteral( "LAND_USE" ) );
        // first-seen order, each text once, kept as read
        const QStringList values = { QStringLiteral( "Forest" ),
                                     QStringLiteral( "forest" ),
                                     QStringLiteral( "OTHER" ),
                                     QStringLiteral( "OTHER LAND" ),
                                     QString(),
                                     QStringLiteral( "BARE SOIL" ),
                                     QStringLiteral( "PROTECTED FORESTS (PINES)" ),
                                     QStringLiteral( "PROTECTED FORESTS" ),
                                     QStringLiteral( "COFFEE, FRUITS, AND GRAINS" ),
                                     QStringLiteral( "barren or sparsely vegitated" ) };
        const std::vector<int> colors = { rgb( 26, 129, 78 ),   rgb( 26, 129, 78 ),   rgb( 255, 255, 255 ),
                                          rgb( 220, 202, 143 ), rgb( 175, 175, 177 ), rgb( 175, 175, 177 ),
                                          rgb( 210, 205, 192 ), rgb( 212, 231, 177 ), rgb( 121, 108, 75 ),
                                          rgb( 202, 145, 71 ) };
        QCOMPARE( r->valueCount(), static_cast<int>( values.size() ) );
        for ( int i = 0; i < r->valueCount(); ++i )
        {
            QCOMPARE( r->value( i ), values.at( i ) );
            QCOMPARE( r->symbol( i ).color, colors.at( i ) );
            QVERIFY( !r->symbol( i ).outline );
        }
    }

    void landUseWithoutFieldKeepsDrawing()
    {
        QStringList wkts = { QStringLiteral( "POLYGON((0 0,1 0,1 1,0 1,0 0))" ) };
        testsupport::writeShapefile( mDir.path(), QStringLiteral( "nofield.shp" ), wkts,
                                     { { QStringLiteral( "OTHER" ), FieldSpec::String, 10 } }, { { QStringLiteral( "x" ) } },
                                     testsupport::kUtm );
        gis::Layer layer( gis::Dataset::open( mDir.filePath( QStringLiteral( "nofield.shp" ) ) ) );
        md_functions::SetLayerProperties( layer, QStringLiteral( "02_landuse.shp" ), QString() );

        QCOMPARE( mDialogs->texts(), QStringList { QStringLiteral( " Error Source:md_functions.LayerRenderer()" ) } );
        QVERIFY( !layer.renderer );
        QVERIFY( layer.visible );
        QCOMPARE( layer.name, QStringLiteral( "Land Use" ) );
    }

    void landUseColorLookup_data()
    {
        QTest::addColumn<QString>( "key" );
        QTest::addColumn<int>( "color" );
        // Keys that landUseRenderer meets are checked there.
        QTest::newRow( "slashes inside" ) << "MOSAIC OF THICKETS/GRASS WITH/WITHOUT SCATTERED TREES"
                                          << rgb( 253, 233, 170 );
        QTest::newRow( "PERMANENT VEGETATION (PASTURE, COFFEE, FRUITS)" )
            << "PERMANENT VEGETATION (PASTURE, COFFEE, FRUITS)" << rgb( 204, 115, 59 );
        QTest::newRow( "KENAF" ) << "KENAF" << rgb( 244, 238, 203 );
        QTest::newRow( "last group" ) << "LAKE" << rgb( 144, 192, 217 );
        QTest::newRow( "correct spelling is unknown" ) << "BARREN OR SPARSELY VEGETATED" << rgb( 175, 175, 177 );
        QTest::newRow( "lookup is exact" ) << "Forest" << rgb( 175, 175, 177 );
    }

    void landUseColorLookup()
    {
        QFETCH( QString, key );
        QFETCH( int, color );
        QCOMPARE( landUseColor( key ), color );
    }

    void landUseTableShape()
    {
        int names = 0;
        QSet<QString> seen;
        for ( const LandUseColorGroup &g : LandUseColorTable() )
        {
            for ( const QString &n : g.names )
            {
                QCOMPARE( n, n.trimmed().toUpper() );
                QVERIFY2( !seen.contains( n ), qPrintable( n ) );
                seen.insert( n );
                ++names;
            }
        }
        QCOMPARE( static_cast<int>( LandUseColorTable().size() ), 37 );
        QCOMPARE( names, 141 );
    }

    void resultColouring_data()
    {
        QTest::addColumn<QString>( "field" );
        QTest::addColumn<double>( "value" );
        QTest::addColumn<int>( "color" );

        const int untouched = rgb( 9, 9, 9 );
        QTest::newRow( "wind negative" ) << "WINDPWRD" << -5.0 << rgb( 230, 230, 230 );
        QTest::newRow( "wind 199.9" ) << "WINDPWRD" << 199.9 << rgb( 230, 230, 230 );
        QTest::newRow( "wind 200" ) << "WINDPWRD" << 200.0 << rgb( 222, 184, 135 );
        QTest::newRow( "wind 300" ) << "WINDPWRD" << 300.0 << rgb( 254, 172, 0 );
        QTest::newRow( "wind 599.99" ) << "WINDPWRD" << 599.99 << rgb( 154, 50, 205 );
        QTest::newRow( "wind 600" ) << "WINDPWRD" << 600.0 << rgb( 255, 0, 0 );
        QTest::newRow( "wind 799.9" ) << "WINDPWRD" << 799.9 << rgb( 255, 0, 0 );
        QTest::newRow( "wind 800" ) << "WINDPWRD" << 800.0 << rgb( 0, 0, 255 );
        QTest::newRow( "wind 5000" ) << "WINDPWRD" << 5000.0 << rgb( 0, 0, 255 );
        QTest::newRow( "elev 199" ) << "Elev_m" << 199.0 << rgb( 38, 115, 0 );
        QTest::newRow( "elev 200" ) << "Elev_m" << 200.0 << rgb( 76, 156, 36 );
        QTest::newRow( "elev 2199" ) << "Elev_m" << 2199.0 << rgb( 122, 47, 9 );
        QTest::newRow( "elev 2200" ) << "Elev_m" << 2200.0 << rgb( 166, 97, 63 );
        QTest::newRow( "elev 2999" ) << "Elev_m" << 2999.0 << rgb( 209, 166, 144 );
        QTest::newRow( "elev 3000" ) << "Elev_m" << 3000.0 << rgb( 255, 255, 255 );
        QTest::newRow( "ANNGLO 1.99" ) << "ANNGLO" << 1.99 << rgb( 122, 97, 50 );
        QTest::newRow( "ANNGLO 1.99999999995" ) << "ANNGLO" << 1.99999999995 << rgb( 122, 97, 50 );
        QTest::newRow( "ANNGLO 2.0" ) << "ANNGLO" << 2.0 << rgb( 184, 146, 75 );
        QTest::newRow( "ANNDIR 6.9999999995" ) << "ANNDIR" << 6.9999999995 << rgb( 255, 94, 25 );
        QTest::newRow( "ANNDIR 7.0" ) << "ANNDIR" << 7.0 << rgb( 247, 0, 0 );
        QTest::newRow( "ANNTILT 8.99" ) << "ANNTILT" << 8.99 << rgb( 115, 0, 0 );
        QTest::newRow( "ANNTILT 9.0" ) << "ANNTILT" << 9.0 << rgb( 71, 0, 0 );
        QTest::newRow( "lower-case field" ) << "windpwrd" << 500.0 << untouched;
        QTest::newRow( "land use" ) << "LAND_USE" << 500.0 << untouched;
    }

    void resultColouring()
    {
        QFETCH( QString, field );
        QFETCH( double, value );
        QFETCH( int, color );
        gis::Symbol symbol;
        symbol.color = rgb( 9, 9, 9 );
        md_functions::SetSymbolColorByValue( field, value, &symbol );
        QCOMPARE( symbol.color, color );
        QVERIFY( mDialogs->shown.empty() );
    }

    void resultColouringWithoutSymbol()
    {
        md_functions::SetSymbolColorByValue( QStringLiteral( "LAND_USE" ), 1, nullptr );
        QVERIFY( mDialogs->shown.empty() );
        md_functions::SetSymbolColorByValue( QStringLiteral( "WINDPWRD" ), 1, nullptr );
        QCOMPARE( mDialogs->texts(), QStringList { QStringLiteral( " Error Source:md_functions.SetSymbolColorByValue()" ) } );
    }
};

QTEST_MAIN( TestCartography )
#include "tst_cartography.moc"
