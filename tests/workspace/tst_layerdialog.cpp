#include "TestSupport.h"

#include "common/Constants.h"
#include "common/Twips.h"
#include "gis/MapWidget.h"
#include "workspace/frmShowLayersDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestLayerDialog : public QObject
{
    Q_OBJECT

  private:
    QTemporaryDir mDir;
    std::shared_ptr<gis::Dataset> mDataset;
    std::unique_ptr<testsupport::RecordingDialogs> mDialogs;
    std::unique_ptr<gis::MapWidget> mMap;
    std::unique_ptr<frmShowLayersDialog> mForm;
    int mUpdates = 0;

    //! Layer i is named "Layer i" and visible when i is even.
    void fillMap( int count )
    {
        for ( int i = count - 1; i >= 0; --i )
        {
            auto layer = std::make_shared<gis::Layer>( mDataset );
            layer->name = QStringLiteral( "Layer %1" ).arg( i );
            layer->visible = i % 2 == 0;
            mMap->addLayer( layer );
        }
    }

    //! Fills the map with \a count layers and opens the dialog on it.
    void showWith( int count )
    {
        fillMap( count );
        mForm->show();
    }

    int shownBoxes() const
    {
        int n = 0;
        for ( QCheckBox *box : mForm->chkShowLayers )
            n += box->isHidden() ? 0 : 1;
        return n;
    }

  private slots:
    void initTestCase()
    {
        testsupport::writeShapefile( mDir.path(), QStringLiteral( "square.shp" ),
                                     { QStringLiteral( "POLYGON((0 0,10 0,10 10,0 10,0 0))" ) }, {}, {}, testsupport::kUtm );
        mDataset = gis::Dataset::open( mDir.filePath( QStringLiteral( "square.shp" ) ) );
    }

    void init()
    {
        mDialogs = std::make_unique<testsupport::RecordingDialogs>();
        mMap = std::make_unique<gis::MapWidget>();
        mMap->resize( 300, 200 );
        mForm = std::make_unique<frmShowLayersDialog>();
        mForm->setMap( mMap.get() );
        mUpdates = 0;
        mForm->setUpdateInterface( [this] { ++mUpdates; } );
    }

    void cleanup()
    {
        mForm.reset();
        mMap.reset();
        QVERIFY( mDialogs->shown.empty() );
        mDialogs.reset();
    }

    void design()
    {
        QCOMPARE( mForm->windowTitle(), QStringLiteral( "Change Layers" ) );
        QCOMPARE( mForm->Label1->text(), QStringLiteral( "Click each layer you wish to display on the map, then click Update Map." ) );
        QCOMPARE( mForm->OKButton->text(), QStringLiteral( "Update Map" ) );
        QCOMPARE( mForm->CancelButton->text(), QStringLiteral( "Cancel" ) );
        QCOMPARE( mForm->size(), QSize( twips::toPxX( 8145, mForm.get() ), twips::toPxY( 6120, mForm.get() ) ) );
        QVERIFY( !( mForm->windowFlags() & Qt::WindowMinimizeButtonHint ) );
        QVERIFY( !( mForm->windowFlags() & Qt::WindowMaximizeButtonHint ) );
    }

    void boxPositions_data()
    {
        QTest::addColumn<int>( "box" );
        QTest::addColumn<int>( "left" );
        QTest::addColumn<int>( "top" );
        QTest::newRow( "0" ) << 0 << 240 << 360;
        QTest::newRow( "13" ) << 13 << 240 << 5040;
        QTest::newRow( "14" ) << 14 << 4200 << 360;
        QTest::newRow( "26" ) << 26 << 4200 << 4680;
        QTest::newRow( "27 for the bottom layer" ) << 27 << 4200 << 5040;
    }

    void boxPositions()
    {
        QFETCH( int, box );
        QFETCH( int, left );
        QFETCH( int, top );
        QCheckBox *b = mForm->chkShowLayers.at( box );
        QCOMPARE( b->pos(), QPoint( twips::toPxX( left, b ), twips::toPxY( top, b ) ) );
    }

    void updateMap_data()
    {
        QTest::addColumn<int>( "layers" );
        QTest::newRow( "no layers" ) << 0;
        QTest::newRow( "3 layers" ) << 3;
        QTest::newRow( "28 layers, the bottom one too" ) << 28;
    }

    void updateMap()
    {
        QFETCH( int, layers );
        showWith( layers );
        QVERIFY( !mForm->Label1->isHidden() );
        QCOMPARE( shownBoxes(), layers );
        for ( int i = 0; i < layers; ++i )
        {
            QCOMPARE( mForm->chkShowLayers[i]->text(), QStringLiteral( "Layer %1" ).arg( i ) );
            QCOMPARE( mForm->chkShowLayers[i]->isChecked(), i % 2 == 0 );
            mForm->chkShowLayers[i]->setChecked( i % 2 != 0 );
        }
        // a hidden box left checked from before must not reach a layer
        if ( layers < 28 )
            mForm->chkShowLayers[layers + 2]->setChecked( true );
        Constants::bResultsDrawn = true;
        QSignalSpy redraws( mMap.get(), &gis::MapWidget::afterTrackingLayerDraw );
        mForm->OKButton->click();

        QVERIFY( mForm->isHidden() );
        QCOMPARE( redraws.count(), 1 );
        QCOMPARE( mMap->layerCount(), layers );
        for ( int i = 0; i < layers; ++i )
            QCOMPARE( mMap->layer( i )->visible, i % 2 != 0 );
        QCOMPARE( mUpdates, 1 );
        // cleared before the redraw, so the results are painted into it again
        QVERIFY( !Constants::bResultsDrawn );
    }

    void cancelWritesNothing()
    {
        showWith( 3 );
        mForm->chkShowLayers[0]->setChecked( false );
        QSignalSpy redraws( mMap.get(), &gis::MapWidget::afterTrackingLayerDraw );
        mForm->CancelButton->click();

        QVERIFY( mForm->isHidden() );
        QCOMPARE( redraws.count(), 0 );
        QVERIFY( mMap->layer( 0 )->visible );
        QCOMPARE( mUpdates, 1 );

        // the next opening reads the layers again, also a change made elsewhere (the legend)
        mMap->layer( 2 )->visible = false;
        mForm->show();
        QVERIFY( mForm->chkShowLayers[0]->isChecked() );
        QVERIFY( !mForm->chkShowLayers[2]->isChecked() );
    }

    void reopeningFollowsTheMap()
    {
        showWith( 5 );
        QCOMPARE( shownBoxes(), 5 );
        mForm->CancelButton->click();

        mMap->clearLayers();
        showWith( 2 );
        QCOMPARE( shownBoxes(), 2 );
        mForm->OKButton->click();
        QCOMPARE( mMap->layerCount(), 2 );
    }

    void ampersandInName()
    {
        fillMap( 1 );
        mMap->layer( 0 )->name = QStringLiteral( "Roads & Rails" );
        mForm->show();
        QCOMPARE( mForm->chkShowLayers[0]->text(), QStringLiteral( "Roads && Rails" ) );
    }

    void oneInstance()
    {
        frmShowLayersDialog *first = frmShowLayersDialog::instance();
        QVERIFY( first );
        QCOMPARE( frmShowLayersDialog::instance(), first );
        delete first;
        QVERIFY( frmShowLayersDialog::instance() );
        delete frmShowLayersDialog::instance();
    }
};

QTEST_MAIN( TestLayerDialog )
#include "tst_layerdialog.moc"
