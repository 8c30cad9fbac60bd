#include "frmShowLayersDialog.h"

#include "common/Constants.h"
#include "common/Controls.h"
#include "common/ErrorMessage.h"
#include "common/Twips.h"
#include "common/WrappingControls.h"
#include "gis/MapWidget.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

namespace
{
constexpr int kRowsPerColumn = 14;
constexpr double kLeftColumn = 240;
constexpr double kRightColumn = 4200;
constexpr double kFirstTop = 360;
constexpr double kRowStep = 360;
} // namespace

frmShowLayersDialog *frmShowLayersDialog::instance()
{
    static QPointer<frmShowLayersDialog> sInstance;
    if ( !sInstance )
        sInstance = new frmShowLayersDialog();
    return sInstance;
}

frmShowLayersDialog::frmShowLayersDialog( QWidget *parent )
    : QDialog( parent, controls::kFixedDialogFlags )
{
    setObjectName( QStringLiteral( "frmShowLayersDialog" ) );
    setWindowTitle( QStringLiteral( "Change Layers" ) );
    setFixedSize( twips::toPxX( 8145, this ), twips::toPxY( 6120, this ) );

    Label1 = new QLabel( QStringLiteral( "Click each layer you wish to display on the map, then click Update Map." ), this );
    Label1->setObjectName( QStringLiteral( "Label1" ) );
    twips::place( Label1, 120, 120, 7335, 255 );

    // Two columns of fourteen: the last box (the bottom layer of a full data
    // set) sits under the right column. The long solar names take two lines.
    for ( int i = 0; i < kBoxCount; ++i )
    {
        QCheckBox *box = new WrappingCheckBox( QStringLiteral( "Check1" ), this );
        box->setObjectName( QStringLiteral( "chkShowLayers_%1" ).arg( i ) );
        const double left = i < kRowsPerColumn ? kLeftColumn : kRightColumn;
        const int row = i % kRowsPerColumn;
        twips::place( box, left, kFirstTop + kRowStep * row, 3495, 375 );
        chkShowLayers[i] = box;
    }

    OKButton = new QPushButton( QStringLiteral( "Update Map" ), this );
    OKButton->setObjectName( QStringLiteral( "OKButton" ) );
    twips::place( OKButton, 3360, 5640, 1215, 375 );
    OKButton->setAutoDefault( false );
    CancelButton = new QPushButton( QStringLiteral( "Cancel" ), this );
    CancelButton->setObjectName( QStringLiteral( "CancelButton" ) );
    twips::place( CancelButton, 4920, 5640, 1215, 375 );
    CancelButton->setAutoDefault( false );

    connect( OKButton, &QPushButton::clicked, this, &frmShowLayersDialog::OKButton_Click );
    connect( CancelButton, &QPushButton::clicked, this, &frmShowLayersDialog::CancelButton_Click );
}

void frmShowLayersDialog::setOwner( QWidget *owner )
{
    setParent( owner, windowFlags() );
}

void frmShowLayersDialog::showEvent( QShowEvent *event )
{
    QDialog::showEvent( event );
    // Refill only when shown by the program: message boxes and restoring
    // from minimised re-activate the dialog and must not undo the user's ticks.
    if ( !event->spontaneous() )
        Form_Activate();
}

void frmShowLayersDialog::hideEvent( QHideEvent *event )
{
    QDialog::hideEvent( event );
    Form_Deactivate();
}

void frmShowLayersDialog::Form_Activate()
{
    try
    {
        const int count = mMap ? mMap->layerCount() : 0;
        for ( int i = 0; i < kBoxCount; ++i )
        {
            QCheckBox *box = chkShowLayers[i];
            box->setVisible( i < count );
            if ( i < count )
            {
                const gis::LayerPtr &layer = mMap->layer( i );
                QString caption = layer->name;
                box->setText( caption.replace( QLatin1Char( '&' ), QLatin1String( "&&" ) ) );
                box->setAccessibleName( layer->name );
                box->setChecked( layer->visible );
            }
        }
    }
    catch ( ... )
    {
        ErrorMessage( QStringLiteral( " Error while activating layer list form. Error Source:frmShowLayersDialog.Form_Activate()" ), 48 );
    }
}

void frmShowLayersDialog::OKButton_Click()
{
    try
    {
        Constants::bResultsDrawn = false;
        for ( int i = 0; i < kBoxCount; ++i )
        {
            if ( !chkShowLayers[i]->isHidden() && mMap && i < mMap->layerCount() )
                mMap->layer( i )->visible = chkShowLayers[i]->isChecked();
        }
        if ( mMap )
            mMap->refresh();
        accept();
    }
    catch ( ... )
    {
        ErrorMessage( QStringLiteral( " Error while accepting new set of layer list. Error Source:frmShowLayersDialog.OKButton_Click()" ), 48 );
    }
}

void frmShowLayersDialog::CancelButton_Click()
{
    try
    {
        reject();
    }
    catch ( ... )
    {
        ErrorMessage( QStringLiteral( " Error while cancelling the layer list form. Error Source:frmShowLayersDialog.CancelButton_Click()" ), 48 );
    }
}

void frmShowLayersDialog::Form_Deactivate()
{
    try
    {
        if ( mUpdateInterface )
            mUpdateInterface();
    }
    catch ( ... )
    {
        ErrorMessage( QStringLiteral( " Error while deactivating layer list form. Error Source:frmShowLayersDialog.Form_Deactivate()" ), 48 );
    }
}
