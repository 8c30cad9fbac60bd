#include "QueryWindowFixture.h"
#include "TextFit.h"

#include "common/Twips.h"
#include "queries/md_query_functions2.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

namespace
{
const QString kRoadsMissing = QStringLiteral( "This query requires 43_roads.shp shapefile." );
const QString kWindMissing = QStringLiteral( "This query requires 20_wind.shp shapefile." );
const QString kSolarPv10 = QStringLiteral( "10 km Solar PV Annual Average(KWH/M2/DAY)" );
const QString kSolarConc40 = QStringLiteral( "40 km Solar Concentrators Annual Average(KWH/M2/DAY)" );

QStringList items( const QComboBox *box )
{
    return testsupport::itemTexts( box );
}

QStringList items( const QListWidget *list )
{
    QStringList out;
    for ( int i = 0; i < list->count(); ++i )
        out << list->item( i )->text();
    return out;
}

QRect twipsRect( const QWidget *w, int left, int top, int width, int height )
{
    return QRect( twips::toPxX( left, w ), twips::toPxY( top, w ), twips::toPxX( width, w ),
                  twips::toPxY( height, w ) );
}

//! Name of every panel control that is not hidden, in a fixed order.
QStringList shownControls( const QueryController &c )
{
    QStringList out;
    for ( size_t i = 0; i < c.txtQuery1.size(); ++i )
        if ( !c.txtQuery1[i]->isHidden() )
            out << QStringLiteral( "txt%1" ).arg( i );
    for ( size_t i = 0; i < c.lblQuery1.size(); ++i )
        if ( !c.lblQuery1[i]->isHidden() )
            out << QStringLiteral( "lbl%1" ).arg( i );
    if ( !c.cboQueryDropDown->isHidden() )
        out << QStringLiteral( "min" );
    if ( !c.cboQueryDropDown2->isHidden() )
        out << QStringLiteral( "max" );
    if ( !c.cboQueryDropDown3->isHidden() )
        out << QStringLiteral( "solar" );
    if ( !c.lstQuery1->isHidden() )
        out << QStringLiteral( "landuse" );
    if ( !c.chkProtectedAreas->isHidden() )
        out << QStringLiteral( "protected" );
    return out;
}
} // namespace

class TestQueryPanel : public QObject
{
    Q_OBJECT

  private slots:
    void init() { Constants::bCancelQuery = false; }

    // --- availability checks on choosing a query ---

    void refusedChoiceShowsPlainBoxAndKeepsPanel()
    {
        QueryWindowFixture f;
        f.addWind( { 150.0, 120.0 } );
        f.choose( QStringLiteral( "Wind by Power Density" ) );
        QCOMPARE( f.controller->fraEditQueryParameters->title(), QStringLiteral( "Wind by Power Density" ) );
        f.dialogs.reset();

        f.choose( QStringLiteral( "Best wind + roads" ) );
        QCOMPARE( f.dialogs.shown.size(), size_t( 2 ) );
        QVERIFY( f.dialogs.shown[0].text.startsWith( QStringLiteral( "The query results will be shown in light gray." ) ) );
        QCOMPARE( f.dialogs.shown[1].text, kRoadsMissing );
        QCOMPARE( f.dialogs.shown[1].title, QStringLiteral( "QUELM3" ) );
        QVERIFY( f.dialogs.shown[1].icon == Dialogs::Icon::None );
        QCOMPARE( f.cboSelectQuery->currentText(), QStringLiteral( "Best wind + roads" ) );
        // The panel keeps the previous layout: no distance box, the old caption.
        QCOMPARE( f.controller->fraEditQueryParameters->title(), QStringLiteral( "Wind by Power Density" ) );
        QVERIFY( f.controller->txtQuery1[2]->isHidden() );
    }

    void missingWindLayerGivesNoDensityWarning()
    {
        QueryWindowFixture f;
        f.addLines( QStringLiteral( "43_roads.shp" ) );
        f.choose( QStringLiteral( "Best wind + roads" ) );
        QCOMPARE( f.dialogs.texts(), QStringList { kWindMissing } );
        QVERIFY( f.bStartUpImage );
        QVERIFY( f.fraEditLegend->isHidden() );
    }

    void startUpPictureGoesOnceAndNoQueryNeverRemovesIt()
    {
        QueryWindowFixture f;
        f.addWind( { 500.0 } );
        f.lblWorking->setText( QStringLiteral( "old message" ) );
        f.choose( QStringLiteral( "No Query (Base Map)" ) );
        QVERIFY( f.bStartUpImage );
        QVERIFY( !f.fraStartUpImage->isHidden() );
        QVERIFY( f.lblWorking->text().isEmpty() );
        QCOMPARE( f.updateInterfaceCalls, 0 );

        f.choose( QStringLiteral( "Wind by Power Density" ) );
        QVERIFY( !f.bStartUpImage );
        QVERIFY( f.fraStartUpImage->isHidden() );
        QVERIFY( !f.fraEditLegend->isHidden() );
        QCOMPARE( f.updateInterfaceCalls, 1 );

        f.choose( QStringLiteral( "No Query (Base Map)" ) );
        QCOMPARE( f.controller->fraEditQueryParameters->title(), QStringLiteral( "No Query (Base Map)" ) );
        QVERIFY( shownControls( *f.controller ).isEmpty() );
        QCOMPARE( f.updateInterfaceCalls, 2 );
        QVERIFY( f.dialogs.shown.empty() );
    }

    void choiceRunsHandlerOncePerSelection()
    {
        // With no layer every wind query is refused with one box: the boxes count the handler's runs.
        QueryWindowFixture f;
        f.choose( QStringLiteral( "Wind by Power Density" ) );
        QCOMPARE( f.dialogs.shown.size(), size_t( 1 ) );

        // A choice by keyboard changes the entry and activates it: still one run.
        QTest::keyClick( f.cboSelectQuery, Qt::Key_Down );
        QCOMPARE( f.cboSelectQuery->currentIndex(), 2 );
        QCOMPARE( f.dialogs.shown.size(), size_t( 2 ) );
        QCoreApplication::processEvents();

        // Choosing the current entry again raises only activated: one run.
        emit f.cboSelectQuery->activated( 2 );
        QCOMPARE( f.dialogs.shown.size(), size_t( 3 ) );

        // A change by code followed, later, by the user's choice of the same entry: two runs.
        f.cboSelectQuery->setCurrentIndex( 4 );
        QCOMPARE( f.dialogs.shown.size(), size_t( 4 ) );
        QCoreApplication::processEvents();
        emit f.cboSelectQuery->activated( 4 );
        QCOMPARE( f.dialogs.shown.size(), size_t( 5 ) );
    }

    void choiceResetsDefaultVisibilityAndHidesResultsButton()
    {
        QueryWindowFixture f;
        gis::LayerPtr wind = f.addWind( { 500.0 } );
        gis::LayerPtr states = f.addLines( QStringLiteral( "38_subcountrybnd1.shp" ) );
        wind->visible = true;
        states->visible = false;
        f.controller->cmdShowData->show();
        f.choose( QStringLiteral( "Wind by Power Density" ) );
        QVERIFY( !wind->visible );
        QVERIFY( states->visible );
        QVERIFY( f.controller->cmdShowData->isHidden() );
    }

    void editOrLegendOnlyAfterStartUpPicture()
    {
        QueryWindowFixture f;
        f.addWind( { 500.0 } );
        f.optEditLegend[1]->setChecked( true );
        QVERIFY( !f.fraEdit->isHidden() );
        QVERIFY( f.fraLegend->isHidden() );

        f.choose( QStringLiteral( "Wind by Power Density" ) );
        f.optEditLegend[0]->setChecked( true );
        f.optEditLegend[1]->setChecked( true );
        QVERIFY( f.fraEdit->isHidden() );
        QVERIFY( !f.fraLegend->isHidden() );
        f.optEditLegend[0]->setChecked( true );
        QVERIFY( !f.fraEdit->isHidden() );
        QVERIFY( f.fraLegend->isHidden() );
    }

    // --- layout per query ---

    void layoutPerQuery_data()
    {
        QTest::addColumn<QString>( "query" );
        QTest::addColumn<QStringList>( "shown" );
        QTest::addColumn<QStringList>( "captions" ); // of lblQuery1(0..5) when shown, else ""

        const QString minW = QStringLiteral( "Min Wind Power Density:" );
        const QString maxW = QStringLiteral( "Max Wind Power Density:" );
        const QString land = QStringLiteral( "Choose which land uses are suitable:" );
        const QString none;
        QTest::newRow( "wind range" ) << QStringLiteral( "Wind by Power Density" )
                                      << QStringList { "lbl0", "lbl1", "min", "max" }
                                      << QStringList { minW, maxW, none, none, none, none };
        QTest::newRow( "protected areas" ) << QStringLiteral( "Best wind - protected areas" )
                                           << QStringList { "lbl0", "lbl1", "min", "max" }
                                           << QStringList { minW, maxW, none, none, none, none };
        QTest::newRow( "land use" ) << QStringLiteral( "Best wind + land use" )
                                    << QStringList { "lbl0", "lbl1", "lbl4", "min", "max", "landuse" }
                                    << QStringList { minW, maxW, none, none, land, none };
        QTest::newRow( "roads" ) << QStringLiteral( "Best wind + roads" )
                                 << QStringList { "txt2", "lbl0", "lbl1", "lbl2", "min", "max" }
                                 << QStringList { minW, maxW, QStringLiteral( " kM from roads" ), none, none, none };
        QTest::newRow( "transmission" ) << QStringLiteral( "Best wind + transmission" )
                                        << QStringList { "txt2", "lbl0", "lbl1", "lbl2", "min", "max" }
                                        << QStringList { minW, maxW, QStringLiteral( " kM from transmission lines" ),
                                                         none, none, none };
        QTest::newRow( "all" ) << QStringLiteral( "Best wind (all)" )
                               << QStringList { "txt1", "txt2", "lbl0", "lbl1", "lbl2", "lbl3", "lbl4", "lbl5", "min",
                                                "max", "landuse", "protected" }
                               << QStringList { minW, QStringLiteral( " kM from transmission lines" ),
                                                QStringLiteral( " kM from roads" ), maxW, land,
                                                QStringLiteral( "remove protected areas " ) };
        QTest::newRow( "solar" ) << QStringLiteral( "Best Solar X kWh/m2/day" )
                                 << QStringList { "lbl0", "lbl1", "lbl4", "min", "max", "solar" }
                                 << QStringList { QStringLiteral( "Min Solar Resource" ),
                                                  QStringLiteral( "Max Solar Resource" ), none, none,
                                                  QStringLiteral( "Choose which solar resource:" ), none };
    }

    void layoutPerQuery()
    {
        QFETCH( QString, query );
        QFETCH( QStringList, shown );
        QFETCH( QStringList, captions );

        QueryWindowFixture f;
        f.addQueryLayers( { 250.0, 450.0, 650.0, 900.0 } );
        // Start from the fullest layout, so that every reset is exercised.
        f.choose( QStringLiteral( "Best wind (all)" ) );
        f.choose( query );
        QueryController &c = *f.controller;

        QCOMPARE( c.fraEditQueryParameters->title(), query );
        QCOMPARE( shownControls( c ), shown );
        for ( int i = 0; i < 6; ++i )
        {
            if ( !c.lblQuery1[i]->isHidden() )
                QCOMPARE( c.lblQuery1[i]->text(), captions.at( i ) );
        }
        QVERIFY( f.dialogs.shown.empty() );
    }

    void positionsOfBestWindAllAndBack()
    {
        QueryWindowFixture f;
        f.addQueryLayers( { 250.0, 450.0, 650.0, 900.0 } );
        QueryController &c = *f.controller;
        f.choose( QStringLiteral( "Best wind (all)" ) );

        QCOMPARE( c.fraEditQueryParameters->geometry(), twipsRect( c.fraEditQueryParameters, 150, 240, 3015, 2835 ) );
        QCOMPARE( c.lblQuery1[0]->geometry(), twipsRect( c.fraEditQueryParameters, 90, 240, 2805, 255 ) );
        QCOMPARE( c.cboQueryDropDown->geometry(), twipsRect( c.fraEditQueryParameters, 2000, 180, 900, 315 ) );
        QCOMPARE( c.cboQueryDropDown2->geometry(), twipsRect( c.fraEditQueryParameters, 2000, 540, 900, 315 ) );
        QCOMPARE( c.lblQuery1[1]->geometry(), twipsRect( c.fraEditQueryParameters, 570, 960, 2400, 255 ) );
        QCOMPARE( c.lblQuery1[3]->geometry(), twipsRect( c.fraEditQueryParameters, 90, 600, 2805, 255 ) );
        QCOMPARE( c.txtQuery1[1]->geometry(), twipsRect( c.fraEditQueryParameters, 90, 900, 500, 285 ) );
        QCOMPARE( c.txtQuery1[2]->geometry(), twipsRect( c.fraEditQueryParameters, 90, 1260, 500, 285 ) );
        QCOMPARE( c.lblQuery1[2]->geometry(), twipsRect( c.fraEditQueryParameters, 570, 1320, 2400, 255 ) );
        QCOMPARE( c.lblQuery1[4]->geometry(), twipsRect( c.fraEditQueryParameters, 90, 1680, 2805, 255 ) );
        QCOMPARE( c.lstQuery1->geometry(), twipsRect( c.fraEditQueryParameters, 90, 1890, 2805, 840 ) );
        QCOMPARE( c.lblQuery1[5]->geometry(), twipsRect( c.fraEditQueryParameters, 1770, 1260, 1170, 465 ) );
        QCOMPARE( c.chkProtectedAreas->geometry(), twipsRect( c.fraEditQueryParameters, 2130, 1290, 225, 195 ) );

        c.txtQuery1[2]->setText( QStringLiteral( "7.5" ) );
        f.choose( QStringLiteral( "Best wind + transmission" ) );
        QCOMPARE( c.txtQuery1[2]->geometry(), twipsRect( c.fraEditQueryParameters, 90, 900, 500, 285 ) );
        QCOMPARE( c.lblQuery1[2]->geometry(), twipsRect( c.fraEditQueryParameters, 570, 960, 2400, 255 ) );
        QCOMPARE( c.lblQuery1[2]->text(), QStringLiteral( " kM from transmission lines" ) );
        QCOMPARE( c.lblQuery1[1]->geometry(), twipsRect( c.fraEditQueryParameters, 90, 600, 2805, 255 ) );
        QCOMPARE( c.txtQuery1[2]->text(), QStringLiteral( "7.5" ) );

        f.choose( QStringLiteral( "Best Solar X kWh/m2/day" ) );
        QCOMPARE( c.cboQueryDropDown->geometry(), twipsRect( c.fraEditQueryParameters, 2300, 180, 650, 315 ) );
        QCOMPARE( c.cboQueryDropDown2->geometry(), twipsRect( c.fraEditQueryParameters, 2300, 540, 650, 315 ) );
        QCOMPARE( c.cboQueryDropDown3->geometry(), twipsRect( c.fraEditQueryParameters, 120, 1890, 2775, 315 ) );
        QCOMPARE( c.lblQuery1[3]->geometry().left(), twips::toPxX( 570, c.fraEditQueryParameters ) );
    }

    void distanceTexts()
    {
        QueryWindowFixture f;
        f.addQueryLayers( { 250.0, 450.0, 650.0, 900.0 } );
        QueryController &c = *f.controller;

        f.choose( QStringLiteral( "Best wind + transmission" ) );
        QCOMPARE( c.txtQuery1[2]->text(), QStringLiteral( "5" ) );

        c.txtQuery1[2]->setText( QStringLiteral( "12" ) );
        f.choose( QStringLiteral( "Best wind + roads" ) );
        QCOMPARE( c.txtQuery1[2]->text(), QStringLiteral( "2" ) );

        c.txtQuery1[2]->setText( QStringLiteral( "abc" ) );
        f.choose( QStringLiteral( "Best wind + transmission" ) );
        QCOMPARE( c.txtQuery1[2]->text(), QStringLiteral( "2" ) );

        c.txtQuery1[1]->setText( QStringLiteral( "x" ) );
        c.txtQuery1[2]->setText( QStringLiteral( "9" ) );
        f.choose( QStringLiteral( "Best wind (all)" ) );
        QCOMPARE( c.txtQuery1[1]->text(), QStringLiteral( "2" ) );
        QCOMPARE( c.txtQuery1[2]->text(), QStringLiteral( "9" ) );
    }

    void protectedAreasChoiceIsKept()
    {
        QueryWindowFixture f;
        f.addQueryLayers( { 250.0, 450.0, 650.0, 900.0 } );
        QVERIFY( f.controller->chkProtectedAreas->isChecked() );
        f.choose( QStringLiteral( "Best wind (all)" ) );
        f.controller->chkProtectedAreas->setChecked( false );
        f.choose( QStringLiteral( "Wind by Power Density" ) );
        f.choose( QStringLiteral( "Best wind (all)" ) );
        QVERIFY( !f.controller->chkProtectedAreas->isChecked() );
    }

    // --- value lists ---

    void windLists()
    {
        QueryWindowFixture f;
        f.addQueryLayers( { 250.0, 450.0, 650.0, 900.0 } );
        QueryController &c = *f.controller;
        f.choose( QStringLiteral( "Wind by Power Density" ) );
        c.cboQueryDropDown->setEditText( QStringLiteral( "typed" ) );
        f.choose( QStringLiteral( "Best wind + roads" ) );

        QCOMPARE( items( c.cboQueryDropDown ), ( QStringList { "200", "300", "400", "500", "600", "800" } ) );
        QCOMPARE( c.cboQueryDropDown->currentText(), QStringLiteral( "500" ) );
        QCOMPARE( items( c.cboQueryDropDown2 ), ( QStringList { "200", "300", "400", "500", "600", "800", "Max" } ) );
        QCOMPARE( c.cboQueryDropDown2->currentText(), QStringLiteral( "800" ) );
        QVERIFY( c.cboQueryDropDown->isEditable() );
        QVERIFY( c.cboQueryDropDown2->isEditable() );
    }

    void landUseListKeepsFirstSeenOrderOnce()
    {
        QueryWindowFixture f;
        f.addQueryLayers( { 250.0, 450.0, 650.0, 900.0 } );
        QueryController &c = *f.controller;
        f.choose( QStringLiteral( "Best wind + land use" ) );
        QCOMPARE( items( c.lstQuery1 ), ( QStringList { "GRASSLAND", "CROPLAND", "BARREN OR SPARSELY VEGITATED" } ) );
        QVERIFY( c.lstQuery1->selectedItems().isEmpty() );
        QCOMPARE( c.lstQuery1->selectionMode(), QAbstractItemView::ExtendedSelection );

        c.lstQuery1->item( 1 )->setSelected( true );
        f.choose( QStringLiteral( "Best wind (all)" ) );
        QCOMPARE( c.lstQuery1->count(), 3 );
        QVERIFY( c.lstQuery1->selectedItems().isEmpty() );
    }

    void solarListsWithoutSolarLayer()
    {
        QueryWindowFixture f;
        f.addWind( { 500.0 } );
        QueryController &c = *f.controller;
        f.choose( QStringLiteral( "Best Solar X kWh/m2/day" ) );

        QCOMPARE( items( c.cboQueryDropDown3 ),
                  ( QStringList { kSolarConc40, "40 km Solar PV Annual Average(KWH/M2/DAY)",
                                  "10 KM Solar Concentrators Annual Average(KWH/M2/DAY)",
                                  "10 km Solar Global Horizontal Annual Average(KWH/M2/DAY)" } ) );
        QCOMPARE( c.cboQueryDropDown3->currentIndex(), 0 );
        const QStringList numbers { "2", "2.5", "3", "3.5", "4", "4.5", "5", "5.5", "6", "6.5", "7", "7.5", "8", "8.5", "9" };
        QCOMPARE( items( c.cboQueryDropDown ), numbers );
        QCOMPARE( items( c.cboQueryDropDown2 ), numbers );
        QCOMPARE( c.cboQueryDropDown->currentText(), QStringLiteral( "3.5" ) );
        QCOMPARE( c.cboQueryDropDown2->currentText(), QStringLiteral( "9" ) );
        // The selection by code is not checked, although its layer is missing.
        QVERIFY( f.dialogs.shown.empty() );
        QVERIFY( !md_functions::bSolarListByCode );
    }

    void solarListsFromTheOnlySolarLayer()
    {
        QueryWindowFixture f;
        gis::LayerPtr pv10 = f.addSolar( QStringLiteral( "16_solar_tilt.shp" ), QStringLiteral( "ANNTILT" ), { 5.0 } );
        QCOMPARE( pv10->name, kSolarPv10 );
        // Breaks of its own, so that the lists can only have come from this layer.
        auto renderer = std::make_shared<gis::ClassBreaksRenderer>();
        renderer->setBreakCount( 5 );
        const double breaks[] = { 2.04, 3.06, 4.5, 5.44, 6.96 };
        for ( int i = 0; i < 5; ++i )
            renderer->setBreak( i, breaks[i] );
        pv10->renderer = renderer;

        QueryController &c = *f.controller;
        f.choose( QStringLiteral( "Best Solar X kWh/m2/day" ) );
        QCOMPARE( c.cboQueryDropDown3->count(), 6 );
        QCOMPARE( c.cboQueryDropDown3->itemText( 5 ), kSolarPv10 );
        QCOMPARE( c.cboQueryDropDown3->currentText(), kSolarConc40 );
        QCOMPARE( items( c.cboQueryDropDown ), ( QStringList { "2", "3.1", "4.5", "5.4", "7" } ) );
        QCOMPARE( c.cboQueryDropDown->currentText(), QStringLiteral( "5.4" ) );
        QCOMPARE( c.cboQueryDropDown2->currentText(), QStringLiteral( "7" ) );
        QVERIFY( f.dialogs.shown.empty() );
    }

    void userSolarChoiceIsCheckedEveryTime()
    {
        QueryWindowFixture f;
        f.addSolar( QStringLiteral( "16_solar_tilt.shp" ), QStringLiteral( "ANNTILT" ), { 5.0 } );
        QueryController &c = *f.controller;
        f.choose( QStringLiteral( "Best Solar X kWh/m2/day" ) );
        QVERIFY( f.dialogs.shown.empty() );

        // Choose the entry the code selected: the user's choice is checked.
        emit c.cboQueryDropDown3->activated( 0 );
        QCOMPARE( f.dialogs.texts(), QStringList { "This query requires 11_solar_direct.shp shapefile." } );
        QCOMPARE( f.lblWorking->text(), QStringLiteral( "This query requires 11_solar_direct.shp shapefile." ) );
        QVERIFY( !f.lblWorking->isHidden() );

        // A loaded resource chosen by keyboard passes silently.
        f.dialogs.reset();
        c.cboQueryDropDown3->setFocus();
        QTest::keyClick( c.cboQueryDropDown3, Qt::Key_End );
        QCOMPARE( c.cboQueryDropDown3->currentText(), kSolarPv10 );
        QVERIFY( f.dialogs.shown.empty() );

        // Choosing the solar query again selects by code once more, and the next user choice is checked again.
        f.choose( QStringLiteral( "No Query (Base Map)" ) );
        f.choose( QStringLiteral( "Best Solar X kWh/m2/day" ) );
        QVERIFY( f.dialogs.shown.empty() );
        QTest::keyClick( c.cboQueryDropDown3, Qt::Key_Down );
        QCOMPARE( f.dialogs.texts(), QStringList { "This query requires 12_solar_tilt.shp shapefile." } );
    }

    void solarLayerByLegendName()
    {
        QueryWindowFixture f;
        f.addSolar( QStringLiteral( "18_solar_tilt.shp" ), QStringLiteral( "ANNTILT" ), { 5.0 } );
        f.addSolar( QStringLiteral( "12_solar_tilt.shp" ), QStringLiteral( "ANNTILT" ), { 5.0 } );
        f.addWind( { 500.0 } );
        QCOMPARE( f.map.layer( 1 )->tag, QStringLiteral( "12_solar_tilt.shp" ) );
        QCOMPARE( f.controller->GetSolarResourceLayerID( QStringLiteral( "40 km Solar PV Annual Average(KWH/M2/DAY)" ) ), 1 );
        QCOMPARE( f.controller->GetSolarResourceLayerID( QStringLiteral( "40 km solar PV Annual Average(KWH/M2/DAY)" ) ), 0 );
    }
};

QTEST_MAIN( TestQueryPanel )
#include "tst_query_panel.moc"
