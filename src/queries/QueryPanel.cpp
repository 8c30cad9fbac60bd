#include "QueryPanel.h"

#include "common/Controls.h"
#include "common/Twips.h"
#include "common/WrappingControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace
{
// Design geometry: left, top, width, height in twips.
struct Box
{
    int left, top, width, height;
};

constexpr Box kFrame { 150, 240, 3015, 2835 };
constexpr std::array<Box, 4> kTxtQuery1 { { { 90, 180, 500, 285 }, { 90, 540, 500, 285 }, { 90, 900, 500, 285 }, { 90, 1260, 500, 285 } } };
constexpr std::array<Box, 6> kLblQuery1 { { { 600, 240, 2250, 255 },
                                            { 570, 600, 2400, 255 },
                                            { 570, 960, 2400, 255 },
                                            { 570, 1320, 2400, 255 },
                                            { 120, 1680, 2400, 255 },
                                            { 1770, 1260, 1170, 465 } } };
constexpr Box kCboMin { 90, 540, 1365, 315 };
constexpr Box kCboMax { 1620, 540, 1275, 315 };
constexpr Box kCboSolar { 120, 1890, 2775, 315 };
constexpr Box kLstLandUse { 90, 1890, 2805, 840 };
constexpr Box kChkProtected { 2130, 1290, 225, 195 };
// The two buttons stand in the editor frame, under the parameter frame.
constexpr Box kCmdUpdateMap { 150, 3180, 1455, 375 };
constexpr Box kCmdShowData { 1710, 3180, 1455, 375 };

void place( QWidget *w, const Box &b )
{
    twips::place( w, b.left, b.top, b.width, b.height );
}
} // namespace

QueryPanel::QueryPanel( QWidget *fraEdit )
{
    fraEditQueryParameters = new QGroupBox( fraEdit );
    fraEditQueryParameters->setObjectName( QStringLiteral( "fraEditQueryParameters" ) );
    place( fraEditQueryParameters, kFrame );
    QWidget *frame = fraEditQueryParameters;

    // Labels first, so that the windowed controls standing over them are drawn on top.
    for ( int i = 0; i < static_cast<int>( lblQuery1.size() ); ++i )
    {
        lblQuery1[i] = new QLabel( QStringLiteral( "lblQuery1" ), frame );
        lblQuery1[i]->setObjectName( QStringLiteral( "lblQuery1_%1" ).arg( i ) );
        lblQuery1[i]->setAlignment( Qt::AlignLeft | Qt::AlignTop );
        place( lblQuery1[i], kLblQuery1[i] );
        lblQuery1[i]->setVisible( i == 0 );
    }
    lblQuery1[5]->setText( QStringLiteral( "remove protected areas " ) );
    // Right-aligned and centred, the caption's first line stands beside the check box in
    // its left part, and the second starts below the box.
    lblQuery1[5]->setAlignment( Qt::AlignRight | Qt::AlignVCenter );
    lblQuery1[5]->setWordWrap( true );

    for ( int i = 0; i < static_cast<int>( txtQuery1.size() ); ++i )
    {
        txtQuery1[i] = new QLineEdit( QStringLiteral( "5" ), frame );
        txtQuery1[i]->setObjectName( QStringLiteral( "txtQuery1_%1" ).arg( i ) );
        place( txtQuery1[i], kTxtQuery1[i] );
        txtQuery1[i]->setVisible( i == 0 );
    }

    // The bounds boxes offer the class breaks but take any typed text, exactly as
    // typed. The solar layout makes them narrow: a slim button leaves room for "Max".
    const auto boundBox = [frame]( const QString &name, const Box &box ) {
        auto *combo = new QComboBox( frame );
        combo->setObjectName( name );
        controls::makeEditableAsTyped( combo );
        controls::useSlimDropDownButton( combo );
        place( combo, box );
        combo->hide();
        return combo;
    };
    cboQueryDropDown = boundBox( QStringLiteral( "cboQueryDropDown" ), kCboMin );
    cboQueryDropDown2 = boundBox( QStringLiteral( "cboQueryDropDown2" ), kCboMax );

    // The resource names are far wider than the list: it shows the chosen one on two lines.
    cboQueryDropDown3 = new WrappingComboBox( frame );
    cboQueryDropDown3->setObjectName( QStringLiteral( "cboQueryDropDown3" ) );
    place( cboQueryDropDown3, kCboSolar );
    cboQueryDropDown3->hide();

    lstQuery1 = new QListWidget( frame );
    lstQuery1->setObjectName( QStringLiteral( "lstQuery1" ) );
    lstQuery1->setSelectionMode( QAbstractItemView::ExtendedSelection );
    lstQuery1->setSortingEnabled( false );
    place( lstQuery1, kLstLandUse );
    lstQuery1->hide();

    chkProtectedAreas = new QCheckBox( frame );
    chkProtectedAreas->setObjectName( QStringLiteral( "chkProtectedAreas" ) );
    chkProtectedAreas->setChecked( true );
    place( chkProtectedAreas, kChkProtected );
    chkProtectedAreas->hide();

    QWidget::setTabOrder( txtQuery1[0], txtQuery1[1] );
    QWidget::setTabOrder( txtQuery1[1], txtQuery1[2] );
    QWidget::setTabOrder( txtQuery1[2], txtQuery1[3] );
    QWidget::setTabOrder( txtQuery1[3], lstQuery1 );
    QWidget::setTabOrder( lstQuery1, cboQueryDropDown );
    QWidget::setTabOrder( cboQueryDropDown, cboQueryDropDown2 );
    QWidget::setTabOrder( cboQueryDropDown2, cboQueryDropDown3 );
    QWidget::setTabOrder( cboQueryDropDown3, chkProtectedAreas );

    cmdUpdateMap = new QPushButton( QStringLiteral( "Update Map" ), fraEdit );
    cmdUpdateMap->setObjectName( QStringLiteral( "cmdUpdateMap" ) );
    place( cmdUpdateMap, kCmdUpdateMap );

    cmdShowData = new QPushButton( QStringLiteral( "Results Table" ), fraEdit );
    cmdShowData->setObjectName( QStringLiteral( "cmdShowData" ) );
    place( cmdShowData, kCmdShowData );
    cmdShowData->hide();
}

void QueryPanel::resetLayout()
{
    for ( QLineEdit *t : txtQuery1 )
        t->hide();
    for ( QLabel *l : lblQuery1 )
    {
        l->hide();
        const QRect g = l->geometry();
        l->setGeometry( twips::toPxX( kLabelLeft, l ), g.y(), twips::toPxX( kLabelWidth, l ), g.height() );
    }
    lstQuery1->hide();
    chkProtectedAreas->hide();

    // The rows that "Best wind (all)" moves down.
    const auto moveTop = []( QWidget *w, int top ) { w->move( w->x(), twips::toPxY( top, w ) ); };
    moveTop( txtQuery1[1], 540 );
    moveTop( txtQuery1[2], 900 );
    moveTop( lblQuery1[1], 600 );
    moveTop( lblQuery1[2], 960 );

    cboQueryDropDown->hide();
    cboQueryDropDown2->hide();
    cboQueryDropDown3->hide();
}

void QueryPanel::placeAndShow( QWidget *w, int left, int top, int width, int height )
{
    twips::place( w, left, top, width, height );
    w->show();
}
