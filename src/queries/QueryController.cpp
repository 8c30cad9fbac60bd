#include "QueryController.h"

#include "QueryChecks.h"
#include "QueryInputs.h"
#include "QueryNames.h"
#include "QueryNumbers.h"
#include "WindowQueryCallbacks.h"
#include "frmShowQueryData.h"
#include "md_query_functions2.h"

#include "common/Constants.h"
#include "common/Dialogs.h"
#include "common/ErrorMessage.h"
#include "gis/GisError.h"
#include "gis/MapWidget.h"
#include "gis/StringCollection.h"
#include "legend/LegendControl.h"
#include "workspace/md_functions.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>

#include <cmath>
#include <exception>

namespace
{
const QString kUpdateMap = QStringLiteral( "Update Map" );
const QString kCancel = QStringLiteral( "Cancel" );
const QString kMax = QStringLiteral( "Max" );
const QString kWindFile = QStringLiteral( "20_wind.shp" );
const QString kLandUseFile = QStringLiteral( "02_landuse.shp" );

const QString kMinWind = QStringLiteral( "Min Wind Power Density:" );
const QString kMaxWind = QStringLiteral( "Max Wind Power Density:" );
const QString kFromRoads = QStringLiteral( " kM from roads" );
const QString kFromTransmission = QStringLiteral( " kM from transmission lines" );
const QString kChooseLandUse = QStringLiteral( "Choose which land uses are suitable:" );
const QString kMinSolar = QStringLiteral( "Min Solar Resource" );
const QString kMaxSolar = QStringLiteral( "Max Solar Resource" );
const QString kChooseSolar = QStringLiteral( "Choose which solar resource:" );
const QString kDefaultDistance = QStringLiteral( "2" );

// The solar-resource list: four names always offered, two more when their layers may be loaded.
const QStringList kSolarAlwaysOffered {
    QStringLiteral( "40 km Solar Concentrators Annual Average(KWH/M2/DAY)" ),
    QStringLiteral( "40 km Solar PV Annual Average(KWH/M2/DAY)" ),
    QStringLiteral( "10 KM Solar Concentrators Annual Average(KWH/M2/DAY)" ),
    QStringLiteral( "10 km Solar Global Horizontal Annual Average(KWH/M2/DAY)" ),
};
const QStringList kSolarOfferedWithLayers {
    QStringLiteral( "40 km Solar Global Horizontal Annual Average(KWH/M2/DAY)" ),
    QStringLiteral( "10 km Solar PV Annual Average(KWH/M2/DAY)" ),
};

bool isNumeric( const QString &text )
{
    return querynumbers::toNumber( text ).has_value();
}

const gis::ClassBreaksRenderer &classBreaks( const gis::Layer &layer )
{
    const auto *renderer = dynamic_cast<const gis::ClassBreaksRenderer *>( layer.renderer.get() );
    if ( !renderer )
        throw gis::GisError( "layer " + layer.tag.toStdString() + " has no class-breaks renderer" );
    return *renderer;
}
} // namespace

QueryController::QueryController( const MainWindowParts &parts )
    : QObject( parts.window )
    , QueryPanel( parts.fraEdit )
    , mParts( parts )
{
    connectEvents();
}

QueryController::~QueryController() = default;

void QueryController::connectEvents()
{
    connect( mParts.cboSelectQuery, &QComboBox::currentIndexChanged, this, &QueryController::onSelectQueryIndexChanged );
    connect( mParts.cboSelectQuery, &QComboBox::activated, this, &QueryController::onSelectQueryActivated );
    // Code selects the solar resource itself and runs the handler directly (SetQueryListbox).
    connect( cboQueryDropDown3, &QComboBox::activated, this, [this]( int ) { cboQueryDropDown3_Click(); } );
    for ( int i = 0; i < 2; ++i )
    {
        connect( mParts.optEditLegend[i], &QRadioButton::toggled, this, [this, i]( bool checked ) {
            if ( checked )
                optEditLegend_Click( i );
        } );
    }
    connect( cmdUpdateMap, &QPushButton::clicked, this, &QueryController::cmdUpdateMap_Click );
    connect( cmdShowData, &QPushButton::clicked, this, &QueryController::cmdShowData_Click );

    mParts.cboSelectQuery->installEventFilter( this );
    mParts.window->installEventFilter( this );
}

// A change of the current entry raises currentIndexChanged and, when the
// user made it, activated right after; a re-choice of the current entry
// raises only activated. The index handled on the change is remembered
// until control returns to the event loop, which is after any activated
// of the same choice, so one choice never runs the handler twice and a
// change made by code never swallows a later choice of the user.
void QueryController::onSelectQueryIndexChanged( int index )
{
    if ( index < 0 )
        return;
    cboSelectQuery_Click();
    mHandledChangeIndex = index;
    QTimer::singleShot( 0, this, [this]() { mHandledChangeIndex = -1; } );
}

void QueryController::onSelectQueryActivated( int index )
{
    if ( index == mHandledChangeIndex )
    {
        mHandledChangeIndex = -1;
        return;
    }
    cboSelectQuery_Click();
}

bool QueryController::eventFilter( QObject *watched, QEvent *event )
{
    if ( mRunning && watched == mParts.cboSelectQuery && event->type() == QEvent::EnabledChange
         && mParts.cboSelectQuery->isEnabled() )
    {
        // A redraw during the run refreshes the interface, which enables the list: not while we run.
        mParts.cboSelectQuery->setEnabled( false );
    }
    else if ( mRunning && watched == mParts.window && event->type() == QEvent::Close )
    {
        // The run's frames still use the window: stop the run, close when it has returned.
        event->ignore();
        cancelRun( true );
        return true;
    }
    return QObject::eventFilter( watched, event );
}

void QueryController::cancelRun( bool closeWindowAfterRun )
{
    if ( !mRunning )
        return;
    Constants::bCancelQuery = true;
    if ( closeWindowAfterRun )
        mCloseAfterRun = true;
}

bool QueryController::startUpImage() const
{
    return mParts.bStartUpImage ? *mParts.bStartUpImage : mStartUpImage;
}

void QueryController::setStartUpImage( bool value )
{
    if ( mParts.bStartUpImage )
        *mParts.bStartUpImage = value;
    mStartUpImage = value;
}

// --- query list ---

void QueryController::cboSelectQuery_Click()
{
    // The list is disabled during a run; a choice that still gets here must not rebuild the panel under it.
    if ( mRunning )
        return;
    try
    {
        cmdShowData->hide();

        const QString query = mParts.cboSelectQuery->currentText();
        QString message;
        if ( !md_query_functions2::isQueryPossible( *mParts.Map1, query, message ) )
        {
            Dialogs::instance().message( mParts.window, message, kAppTitle, Dialogs::Icon::None );
            return;
        }

        if ( mParts.cboSelectQuery->currentIndex() >= 1 && startUpImage() )
        {
            setStartUpImage( false );
            mParts.fraStartUpImage->hide();
            mParts.fraEditLegend->show();
        }

        if ( !startUpImage() )
        {
            fraEditQueryParameters->setTitle( query );
            HandleQuerySelect();
        }

        mParts.lblWorking->setText( QString() );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while trying to select a query. Error Source:frmMain.cboSelectQuery_Click()" ),
                      48 );
    }
}

void QueryController::cboQueryDropDown3_Click()
{
    try
    {
        cmdShowData->hide();
        if ( !md_functions::bSolarListByCode )
        {
            QString message;
            if ( !md_query_functions2::isQueryPossible( *mParts.Map1, cboQueryDropDown3->currentText(), message ) )
            {
                DisplayError( message );
                Dialogs::instance().message( mParts.window, message, kAppTitle, Dialogs::Icon::None );
                return;
            }
        }
        md_functions::bSolarListByCode = false;
    }
    catch ( const std::exception & )
    {
        ErrorMessage(
            QStringLiteral( " Error while trying to select Solar queries. Error Source:frmMain.cboQueryDropDown3_Click()" ),
            48 );
    }
}

void QueryController::optEditLegend_Click( int index )
{
    try
    {
        if ( !startUpImage() )
            EditOrLegend( index );
    }
    catch ( const std::exception & )
    {
        ErrorMessage(
            QStringLiteral( " Error while selecting edit map/legend option. Error Source:frmMain.optEditLegend_Click()" ),
            48 );
    }
}

void QueryController::EditOrLegend( int index )
{
    try
    {
        mParts.fraEdit->setVisible( index == 0 );
        mParts.fraLegend->setVisible( index == 1 );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while selecting edit map/legend option. Error Source:frMain.EditOrLegend()" ),
                      48 );
    }
}

void QueryController::HandleQuerySelect()
{
    try
    {
        SetQueryInputControls();
        for ( int i = 0; i < mParts.Map1->layerCount(); ++i )
            md_functions::SetDefaultVisibility( *mParts.Map1->layer( i ) );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( "Error Source:md_functions.HandleQuerySelect()" ), 48 );
    }
}

// --- panel layout ---

void QueryController::SetQueryInputControls()
{
    using namespace querynames;
    try
    {
        resetLayout();

        const QString query = mParts.cboSelectQuery->currentText();
        if ( isWindQuery( query ) )
        {
            lblQuery1[0]->setText( kMinWind );
            placeAndShow( lblQuery1[0], kWideLabelLeft, 240, kWideLabelWidth, 255 );
            if ( query == kWindAll )
            {
                lblQuery1[1]->setText( kFromTransmission );
                placeAndShow( lblQuery1[1], kLabelLeft, 960, kLabelWidth, 255 );
                lblQuery1[3]->setText( kMaxWind );
                placeAndShow( lblQuery1[3], kWideLabelLeft, 600, kWideLabelWidth, 255 );
            }
            else
            {
                lblQuery1[1]->setText( kMaxWind );
                placeAndShow( lblQuery1[1], kWideLabelLeft, 600, kWideLabelWidth, 255 );
            }
            if ( query == kWindRoads )
            {
                lblQuery1[2]->setText( kFromRoads );
                placeAndShow( lblQuery1[2], kLabelLeft, 960, kLabelWidth, 255 );
            }
            else if ( query == kWindTransmission )
            {
                lblQuery1[2]->setText( kFromTransmission );
                placeAndShow( lblQuery1[2], kLabelLeft, 960, kLabelWidth, 255 );
            }
            else if ( query == kWindAll )
            {
                lblQuery1[2]->setText( kFromRoads );
                placeAndShow( lblQuery1[2], kLabelLeft, 1320, kLabelWidth, 255 );
            }
            if ( query == kWindLandUse || query == kWindAll )
            {
                lblQuery1[4]->setText( kChooseLandUse );
                placeAndShow( lblQuery1[4], kWideLabelLeft, 1680, kWideLabelWidth, 255 );
            }

            SetQueryListbox();

            placeAndShow( cboQueryDropDown, 2000, 180, 900, 315 );
            placeAndShow( cboQueryDropDown2, 2000, 540, 900, 315 );

            if ( query == kWindRoads )
            {
                txtQuery1[2]->setText( kDefaultDistance );
                placeAndShow( txtQuery1[2], 90, 900, 500, 285 );
            }
            else if ( query == kWindTransmission )
            {
                if ( !isNumeric( txtQuery1[2]->text() ) )
                    txtQuery1[2]->setText( kDefaultDistance );
                placeAndShow( txtQuery1[2], 90, 900, 500, 285 );
            }
            else if ( query == kWindAll )
            {
                if ( !isNumeric( txtQuery1[1]->text() ) )
                    txtQuery1[1]->setText( kDefaultDistance );
                if ( !isNumeric( txtQuery1[2]->text() ) )
                    txtQuery1[2]->setText( kDefaultDistance );
                placeAndShow( txtQuery1[1], 90, 900, 500, 285 );
                placeAndShow( txtQuery1[2], 90, 1260, 500, 285 );
                placeAndShow( lblQuery1[5], 1770, 1260, 1170, 465 );
                placeAndShow( chkProtectedAreas, 2130, 1290, 225, 195 );
            }
            if ( query == kWindLandUse || query == kWindAll )
                placeAndShow( lstQuery1, 90, 1890, 2805, 840 );
        }
        else if ( query == kSolar )
        {
            lblQuery1[0]->setText( kMinSolar );
            placeAndShow( lblQuery1[0], kWideLabelLeft, 240, kWideLabelWidth, 255 );
            lblQuery1[1]->setText( kMaxSolar );
            placeAndShow( lblQuery1[1], kWideLabelLeft, 600, kWideLabelWidth, 255 );
            lblQuery1[4]->setText( kChooseSolar );
            placeAndShow( lblQuery1[4], kWideLabelLeft, 1680, kWideLabelWidth, 255 );

            SetQueryListbox();

            placeAndShow( cboQueryDropDown, 2300, 180, 650, 315 );
            placeAndShow( cboQueryDropDown2, 2300, 540, 650, 315 );
            placeAndShow( cboQueryDropDown3, 120, 1890, 2775, 315 );
        }

        if ( mParts.UpdateInterface )
            mParts.UpdateInterface();
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_functions.SetQueryInputControls()" ), 48 );
    }
}

void QueryController::SetQueryListbox()
{
    using namespace querynames;
    try
    {
        const QString query = mParts.cboSelectQuery->currentText();
        if ( query == kWindByPowerDensity || query == kWindMinusProtected || query == kWindRoads
             || query == kWindTransmission )
        {
            FillWindDensityDropDowns();
        }
        else if ( query == kWindLandUse || query == kWindAll )
        {
            FillWindDensityDropDowns();
            FillLandUseDropDown();
        }
        else if ( query == kSolar )
        {
            {
                const QSignalBlocker blocker( cboQueryDropDown3 );
                cboQueryDropDown3->clear();
                cboQueryDropDown3->addItems( kSolarAlwaysOffered );
            }
            QString message;
            const bool tilt10Loaded = md_query_functions2::isLayerExist( *mParts.Map1, QStringLiteral( "16_solar_tilt.shp" ), message );
            const bool glo40Loaded = md_query_functions2::isLayerExist( *mParts.Map1, QStringLiteral( "15_solar_glo.shp" ), message );
            if ( tilt10Loaded || glo40Loaded )
            {
                const QSignalBlocker blocker( cboQueryDropDown3 );
                cboQueryDropDown3->addItems( kSolarOfferedWithLayers );
            }

            cboQueryDropDown->clear();
            cboQueryDropDown2->clear();

            int found = -1;
            for ( int i = 0; i < cboQueryDropDown3->count() && found < 0; ++i )
            {
                QString discarded;
                if ( md_query_functions2::isQueryPossible( *mParts.Map1, cboQueryDropDown3->itemText( i ), discarded ) )
                    found = i;
            }

            if ( found >= 0 )
            {
                const int layerId = GetSolarResourceLayerID( cboQueryDropDown3->itemText( found ) );
                const gis::ClassBreaksRenderer &renderer = classBreaks( *mParts.Map1->layer( layerId ) );
                for ( int i = 0; i < renderer.breakCount(); ++i )
                {
                    // One decimal: the renderer's 1.9999999999 is offered as 2.
                    const QString text = querynumbers::numberText( std::nearbyint( renderer.breakValue( i ) * 10.0 ) / 10.0 );
                    cboQueryDropDown->addItem( text );
                    cboQueryDropDown2->addItem( text );
                }
                cboQueryDropDown->setCurrentIndex( 3 );
                cboQueryDropDown2->setCurrentIndex( cboQueryDropDown2->count() - 1 );
            }

            selectSolarResourceByCode( 0 );

            if ( found < 0 )
            {
                for ( int step = 4; step <= 18; ++step )
                {
                    const QString text = querynumbers::numberText( step / 2.0 );
                    cboQueryDropDown->addItem( text );
                    cboQueryDropDown2->addItem( text );
                }
                cboQueryDropDown->setCurrentIndex( 3 );
                cboQueryDropDown2->setCurrentIndex( cboQueryDropDown2->count() - 1 );
            }
        }
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_functions.SetQueryListbox()" ), 48 );
    }
}

// Qt raises no signal when code selects the entry that is already current, so
// the selection by code does not wait for one: it runs the click handler itself,
// exactly once, and the flag is cleared before this returns.
void QueryController::selectSolarResourceByCode( int index )
{
    md_functions::bSolarListByCode = true;
    {
        const QSignalBlocker blocker( cboQueryDropDown3 );
        cboQueryDropDown3->setCurrentIndex( index );
    }
    cboQueryDropDown3_Click();
    md_functions::bSolarListByCode = false;
}

void QueryController::FillWindDensityDropDowns()
{
    try
    {
        cboQueryDropDown->clear();
        cboQueryDropDown2->clear();
        const gis::LayerPtr layer = mParts.Map1->layer( md_functions::cLayerIndex.item( kWindFile ) );
        const gis::ClassBreaksRenderer &renderer = classBreaks( *layer );
        for ( int i = 0; i < renderer.breakCount(); ++i )
        {
            const QString text = querynumbers::numberText( renderer.breakValue( i ) );
            cboQueryDropDown->addItem( text );
            cboQueryDropDown2->addItem( text );
        }
        cboQueryDropDown->setCurrentIndex( 3 );
        cboQueryDropDown2->addItem( kMax );
        cboQueryDropDown2->setCurrentIndex( cboQueryDropDown2->count() - 2 );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_functions.FillWindDensityDropDowns()" ), 48 );
    }
}

void QueryController::FillLandUseDropDown()
{
    try
    {
        lstQuery1->clear();
        const gis::LayerPtr layer = mParts.Map1->layer( md_functions::cLayerIndex.item( kLandUseFile ) );
        gis::Recordset records = layer->searchExpression( QStringLiteral( "FeatureID > -1" ) );
        gis::StringCollection landUses;
        for ( ; !records.eof(); records.moveNext() )
            landUses.add( records.value( QStringLiteral( "LAND_USE" ) ).toString() );
        for ( const QString &landUse : landUses )
            lstQuery1->addItem( landUse );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_functions.FillLandUseDropDown()" ), 48 );
    }
}

int QueryController::GetSolarResourceLayerID( const QString &name )
{
    try
    {
        for ( int i = 0; i < mParts.Map1->layerCount(); ++i )
        {
            if ( mParts.Map1->layer( i )->name == name )
                return i;
        }
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error Source:md_functions.GetSolarResourceLayerID()" ), 48 );
    }
    return 0;
}

// --- input check, run and cancel ---

QueryInputs QueryController::FreezeInputs() const
{
    QueryInputs inputs;
    inputs.queryName = mParts.cboSelectQuery->currentText();
    inputs.minText = cboQueryDropDown->currentText();
    inputs.maxText = cboQueryDropDown2->currentText();
    inputs.solarResource = cboQueryDropDown3->currentText();
    inputs.distance1Text = txtQuery1[1]->text();
    inputs.distance2Text = txtQuery1[2]->text();
    inputs.landUseItemCount = lstQuery1->count();
    for ( int i = 0; i < lstQuery1->count(); ++i )
    {
        if ( lstQuery1->item( i )->isSelected() )
            inputs.selectedLandUses << lstQuery1->item( i )->text();
    }
    inputs.removeProtectedAreas = chkProtectedAreas->isChecked();
    inputs.captureMap( *mParts.Map1 );
    return inputs;
}

bool QueryController::CheckInputs( const QueryInputs &inputs )
{
    using Focus = md_query_functions2::InputCheck::Focus;
    const md_query_functions2::InputCheck check = md_query_functions2::CheckInputs( inputs );
    if ( check.ok )
        return true;
    if ( !check.message.isEmpty() )
        DisplayError( check.message );
    if ( check.focus == Focus::Distance1 )
        txtQuery1[1]->setFocus();
    else if ( check.focus == Focus::Distance2 )
        txtQuery1[2]->setFocus();
    return false;
}

void QueryController::DisplayError( const QString &message )
{
    md_query_functions2::DisplayError( mParts.lblWorking, message );
}

void QueryController::ControlEnable( bool enable )
{
    try
    {
        mParts.Map1->setMousePointer( enable ? 0 : 11 );
        cmdUpdateMap->setText( enable ? kUpdateMap : kCancel );
        mParts.lblWorking->setVisible( !enable );
        mParts.cboSelectQuery->setEnabled( enable );
        mParts.cmdChangeLayers->setEnabled( enable );
        // Everything else that could start, feed or undercut a second run waits for this one.
        fraEditQueryParameters->setEnabled( enable );
        if ( mParts.setMenusEnabled )
            mParts.setMenusEnabled( enable );
        mParts.window->repaint();
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while trying to control the enable/disbale status of controls. "
                                      "Error Source:frmMain.ControlEnable()" ),
                      48 );
    }
}

void QueryController::setWorkingColour( const QColor &colour )
{
    QPalette palette = mParts.lblWorking->palette();
    palette.setColor( QPalette::WindowText, colour );
    mParts.lblWorking->setPalette( palette );
}

QueryCallbacks QueryController::windowCallbacks()
{
    return makeWindowQueryCallbacks( mParts.lblWorking, mParts.window, mParts.Map1 );
}

void QueryController::cmdUpdateMap_Click()
{
    // During a run this button is "Cancel" and does nothing else.
    if ( mRunning )
    {
        Constants::bCancelQuery = true;
        return;
    }

    // Whatever fails, the window leaves the busy state with the run.
    struct RunGuard
    {
        QueryController *controller;
        ~RunGuard()
        {
            if ( controller->mRunning )
            {
                controller->mRunning = false;
                controller->ControlEnable( true );
            }
        }
    };

    try
    {
        Constants::bResultsDrawn = false;

        if ( mParts.cboSelectQuery->currentText() == querynames::kSolar )
        {
            QString message;
            if ( !md_query_functions2::isQueryPossible( *mParts.Map1, cboQueryDropDown3->currentText(), message ) )
            {
                DisplayError( message );
                return;
            }
        }

        cmdShowData->hide();

        if ( cmdUpdateMap->text() == kUpdateMap )
        {
            Constants::bCancelQuery = false;
            const QueryInputs inputs = FreezeInputs();
            if ( !CheckInputs( inputs ) )
                return;

            setWorkingColour( QColor( 0, 0, 255 ) );
            mRunning = true;
            mCloseAfterRun = false;
            {
                RunGuard guard { this };
                ControlEnable( false );
                mParts.window->repaint();

                md_query_functions2::fill_cShapes_collection( inputs, mCallbacksOverride ? *mCallbacksOverride
                                                                                       : windowCallbacks() );

                cmdShowData->setVisible( md_query_functions2::QueryResults() );
                mParts.legend->clear();
                mParts.legend->loadLegend();
                mRunning = false;
                ControlEnable( true );
            }

            Constants::bResultsDrawn = false;
            mParts.Map1->refresh();
            mParts.window->repaint();
            Constants::bResultsDrawn = false;
        }
        else
        {
            Constants::bCancelQuery = true;
        }
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while trying to run the query and updata map. "
                                      "Error Source:frmMain.cmdUpdateMap_Click()" ),
                      48 );
    }

    if ( mCloseAfterRun && !mRunning )
    {
        mCloseAfterRun = false;
        QTimer::singleShot( 0, mParts.window, &QWidget::close );
    }
}

void QueryController::cmdShowData_Click()
{
    try
    {
        frmShowQueryData::showFor( mParts.window, mParts.UpdateInterface );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while trying to show results query. Error Source:frmMain.cmdShowData_Click()" ),
                      48 );
    }
}
