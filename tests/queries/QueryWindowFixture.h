#pragma once

#include "QueryFixture.h"

#include "legend/LegendControl.h"
#include "queries/QueryController.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include <memory>

/**
 * The parts of a main window the query side needs, without the main window:
 * the query list filled as the program fills it, the left panel frames, the
 * working label, the layer button and the fixture's map. Counts the calls of
 * UpdateInterface and records the menus' enabled state.
 */
class QueryWindowFixture : public QueryFixture
{
  public:
    QueryWindowFixture()
    {
        window.resize( 900, 700 );
        cboSelectQuery = new QComboBox( &window );
        fraStartUpImage = new QFrame( &window );
        fraEditLegend = new QFrame( &window );
        fraEditLegend->setGeometry( 0, 60, 240, 640 );
        fraEditLegend->hide();
        optEditLegend[0] = new QRadioButton( QStringLiteral( "Edit Map" ), fraEditLegend );
        optEditLegend[1] = new QRadioButton( QStringLiteral( "Show Map legend" ), fraEditLegend );
        optEditLegend[0]->setChecked( true );
        fraEdit = new QFrame( fraEditLegend );
        fraEdit->setGeometry( 0, 20, 240, 600 );
        cmdChangeLayers = new QPushButton( QStringLiteral( "Change Layers..." ), fraEdit );
        lblWorking = new QLabel( QStringLiteral( "Creating Map..." ), fraEdit );
        lblWorking->hide();
        fraLegend = new QFrame( fraEditLegend );
        fraLegend->hide();
        legend = new LegendControl( fraLegend );
        legend->setMapSource( &map );
        map.resize( 400, 300 );

        MainWindowParts parts { &window, &map, legend, cboSelectQuery, lblWorking, fraEdit, fraStartUpImage,
                                fraEditLegend, fraLegend, { optEditLegend[0], optEditLegend[1] }, cmdChangeLayers,
                                [this]() { ++updateInterfaceCalls; },
                                [this]( bool enabled ) { menusEnabled = enabled; }, &bStartUpImage };
        controller = new QueryController( parts );

        // As the program's load does: the list is filled and its first entry selected by code.
        const QSignalBlocker blocker( cboSelectQuery );
        cboSelectQuery->addItems( { QStringLiteral( "No Query (Base Map)" ), QStringLiteral( "Wind by Power Density" ),
                                    QStringLiteral( "Best wind - protected areas" ),
                                    QStringLiteral( "Best wind + land use" ), QStringLiteral( "Best wind + roads" ),
                                    QStringLiteral( "Best wind + transmission" ), QStringLiteral( "Best wind (all)" ),
                                    QStringLiteral( "Best Solar X kWh/m2/day" ) } );
        cboSelectQuery->setCurrentIndex( -1 );
    }

    //! Selects \a name by code, which runs the list's handler.
    void choose( const QString &name )
    {
        cboSelectQuery->setCurrentIndex( cboSelectQuery->findText( name ) );
        QCoreApplication::processEvents();
    }

    QWidget window;
    QComboBox *cboSelectQuery = nullptr;
    QFrame *fraStartUpImage = nullptr;
    QFrame *fraEditLegend = nullptr;
    QRadioButton *optEditLegend[2] = {};
    QFrame *fraEdit = nullptr;
    QPushButton *cmdChangeLayers = nullptr;
    QLabel *lblWorking = nullptr;
    QFrame *fraLegend = nullptr;
    LegendControl *legend = nullptr;
    QueryController *controller = nullptr; //!< owned by the window

    bool bStartUpImage = true;
    int updateInterfaceCalls = 0;
    bool menusEnabled = true;
    testsupport::RecordingDialogs dialogs;
};
