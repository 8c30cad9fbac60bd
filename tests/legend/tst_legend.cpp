#include "LayerFixture.h"

#include "gis/GisError.h"
#include "gis/Layer.h"
#include "gis/MapWidget.h"
#include "legend/LegendControl.h"

#include <QAccessible>
#include <QCheckBox>
#include <QFile>
#include <QImageReader>
#include <QSignalSpy>
#include <QTest>

using namespace gis;

class TestLegend : public QObject
{
    Q_OBJECT

  private:
    testsupport::LayerFixture mLayers;

    LayerPtr makeLayer( const QString &name, const QString &wkt = QStringLiteral( "POLYGON((0 0,10 0,10 10,0 10,0 0))" ) )
    {
        return mLayers.layer( { wkt }, name );
    }

    //! A map of three layers added as "first", "second", "third" (so "third" is layer 0).
    void fill( MapWidget &map )
    {
        map.addLayer( makeLayer( "first" ) );
        map.addLayer( makeLayer( "second", "LINESTRING(0 0,10 10)" ) );
        map.addLayer( makeLayer( "third", "POINT(5 5)" ) );
    }

    //! Binds \a legend to \a map and loads it.
    static void load( LegendControl &legend, MapWidget &map )
    {
        legend.setMapSource( &map );
        legend.loadLegend();
    }

  private slots:
    void rowsFollowMapOrder()
    {
        MapWidget map;
        fill( map );
        LegendControl legend;
        legend.setMapSource( &map );
        QCOMPARE( legend.rowCount(), 0 );
        legend.loadLegend( true );
        QCOMPARE( legend.rowCount(), 3 );
        QCOMPARE( legend.rowName( 0 ), QString( "third" ) );
        QCOMPARE( legend.rowName( 1 ), QString( "second" ) );
        QCOMPARE( legend.rowName( 2 ), QString( "first" ) );
        // A second load lists the layers once, not twice.
        legend.loadLegend( true );
        QCOMPARE( legend.rowCount(), 3 );
        QCOMPARE( legend.findChildren<QCheckBox *>().size(), 3 );
    }

    void checkBoxesNamedAfterTheirLayers()
    {
        MapWidget map;
        fill( map );
        map.addLayer( makeLayer( "Roads & Railways" ) );
        LegendControl legend;
        load( legend, map );
        // The boxes have no caption: a screen reader tells them apart by these names alone.
        const QStringList expected { "Roads & Railways", "third", "second", "first" };
        QCOMPARE( legend.rowCount(), int( expected.size() ) );
        for ( int row = 0; row < legend.rowCount(); ++row )
        {
            QAccessibleInterface *box = QAccessible::queryAccessibleInterface( legend.checkBox( row ) );
            QVERIFY( box );
            QCOMPARE( box->role(), QAccessible::CheckBox );
            QCOMPARE( box->text( QAccessible::Name ), expected.at( row ) );
        }
    }

    void classRowsPerRenderer()
    {
        MapWidget map;
        auto plain = makeLayer( "plain" );
        auto wind = makeLayer( "wind" );
        wind->renderer = testsupport::windDensityBreaks( "V" );
        auto landUse = makeLayer( "land use" );
        auto values = std::make_shared<ValueMapRenderer>();
        values->field = "V";
        values->setValueCount( 3 );
        values->setValue( 0, "FOREST" );
        values->setValue( 1, " Forest " );
        values->setValue( 2, "LAKE" );
        landUse->renderer = values;
        auto labelled = makeLayer( "states" );
        labelled->renderer = std::make_shared<LabelRenderer>();
        map.addLayer( labelled );
        map.addLayer( landUse );
        map.addLayer( wind );
        map.addLayer( plain );

        LegendControl legend;
        load( legend, map );
        QCOMPARE( legend.rowCount(), 4 );
        QCOMPARE( legend.classCount( 0 ), 0 );
        QCOMPARE( legend.classCount( 1 ), 7 );
        QCOMPARE( legend.classCount( 2 ), 3 );
        QCOMPARE( legend.classCount( 3 ), 0 );
        // A value on a break is drawn in the class below it; the texts say so.
        QCOMPARE( legend.classText( 1, 0 ), QString( "<= 200" ) );
        QCOMPARE( legend.classText( 1, 1 ), QString( "200 - 300" ) );
        QCOMPARE( legend.classText( 1, 6 ), QString( "> 800" ) );
        // Value-map texts are shown as held, untrimmed.
        QCOMPARE( legend.classText( 2, 1 ), QString( " Forest " ) );
    }

    void toggleSetsVisibilityThenRaisesEvent()
    {
        MapWidget map;
        fill( map );
        LegendControl legend;
        load( legend, map );
        QVERIFY( legend.checkBox( 1 )->isChecked() );
        QList<int> indexes;
        QList<bool> visibleInHandler;
        connect( &legend, &LegendControl::afterSetLayerVisible, this, [&]( int index ) {
            indexes << index;
            visibleInHandler << map.layer( index )->visible;
        } );
        legend.checkBox( 1 )->click();
        QCOMPARE( indexes, QList<int>( { 1 } ) );
        QCOMPARE( visibleInHandler, QList<bool>( { false } ) );
        QVERIFY( !map.layer( 1 )->visible );
        QVERIFY( map.layer( 0 )->visible && map.layer( 2 )->visible );
        legend.checkBox( 1 )->click();
        QCOMPARE( indexes, QList<int>( { 1, 1 } ) );
        QCOMPARE( visibleInHandler, QList<bool>( { false, true } ) );
    }

    void checksFollowVisibilityAtRedraw()
    {
        MapWidget map;
        map.resize( 50, 50 );
        fill( map );
        LegendControl legend;
        load( legend, map );
        QSignalSpy spy( &legend, &LegendControl::afterSetLayerVisible );
        map.layer( 2 )->visible = false;
        map.refresh();
        QVERIFY( !legend.checkBox( 2 )->isChecked() );
        QCOMPARE( spy.count(), 0 );
    }

    void clearListsNothing()
    {
        MapWidget map;
        fill( map );
        LegendControl legend;
        load( legend, map );
        legend.clear();
        QCOMPARE( legend.rowCount(), 0 );
        QCOMPARE( legend.findChildren<QCheckBox *>().size(), 0 );
        legend.loadLegend();
        QCOMPARE( legend.rowCount(), 3 );

        // Reloaded from the toggle's own handler: the clicked box goes later.
        connect( &legend, &LegendControl::afterSetLayerVisible, &legend, [&legend] { legend.loadLegend(); } );
        legend.checkBox( 1 )->click();
        QCoreApplication::sendPostedEvents( nullptr, QEvent::DeferredDelete );
        QCOMPARE( legend.rowCount(), 3 );
        QVERIFY( !legend.checkBox( 1 )->isChecked() );
        QCOMPARE( legend.findChildren<QCheckBox *>().size(), 3 );
    }

    void layersGoneFromTheMapAreHarmless()
    {
        MapWidget map;
        fill( map );
        LegendControl legend;
        load( legend, map );
        QSignalSpy spy( &legend, &LegendControl::afterSetLayerVisible );

        // Still alive elsewhere but no longer in the map: no event, map untouched.
        LayerPtr kept = map.layer( 0 );
        map.clearLayers();
        legend.checkBox( 0 )->click();
        QCOMPARE( spy.count(), 0 );
        QVERIFY( kept->visible );

        // Gone altogether.
        kept.reset();
        legend.checkBox( 1 )->click();
        legend.checkBox( 0 )->click();
        QCOMPARE( spy.count(), 0 );
        legend.saveToBmp( mLayers.filePath( "gone.bmp" ) );

        // A legend whose map was destroyed.
        auto *other = new MapWidget;
        fill( *other );
        LegendControl orphan;
        load( orphan, *other );
        delete other;
        orphan.checkBox( 0 )->click();
        orphan.loadLegend();
        QCOMPARE( orphan.rowCount(), 0 );
    }

    void savesAReadableBitmapOfAllRows()
    {
        MapWidget map;
        auto wind = makeLayer( "Wind Power Density (W/m2)" );
        wind->renderer = testsupport::windDensityBreaks( "V" );
        map.addLayer( wind );
        fill( map );
        LegendControl legend;
        legend.resize( 120, 40 ); // far smaller than the list
        load( legend, map );
        const QString path = mLayers.filePath( "LegendBmp1.bmp" );
        QFile::remove( path );
        legend.saveToBmp( path );
        QImageReader reader( path );
        QCOMPARE( reader.format(), QByteArray( "bmp" ) );
        const QImage img = reader.read();
        QVERIFY( !img.isNull() );
        // Ten lines of text (three plain layers, the wind layer and its seven classes) do not fit in 40 px.
        QVERIFY( img.height() > 10 * 10 );
        // Saving again replaces the file.
        legend.saveToBmp( path );
        QVERIFY( QImageReader( path ).canRead() );
    }

    void saveFailureThrows()
    {
        LegendControl legend;
        QVERIFY_THROWS_EXCEPTION( GisError, legend.saveToBmp( mLayers.filePath( "no/such/dir/x.bmp" ) ) );
    }
};

QTEST_MAIN( TestLegend )
#include "tst_legend.moc"
