#pragma once

#include "legend/LegendControl.h"
#include "queries/QueryController.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include <functional>

/**
 * The widgets of the main window's query side, without the main window: the
 * query list, the left panel frames with the editor/legend switch, the
 * working label, the layer button and the legend, laid out in the left 240
 * pixels of `window`, which owns them all and, once created, the controller.
 * Shared by the query tests and the query benchmark; the map is the caller's.
 */
class QuerySideWidgets
{
  public:
    QuerySideWidgets()
    {
        cboSelectQuery = new QComboBox( &window );
        cboSelectQuery->setGeometry( 0, 0, 240, 24 );
        fraStartUpImage = new QFrame( &window );
        fraEditLegend = new QFrame( &window );
        fraEditLegend->setGeometry( 0, 30, 240, 660 );
        fraEditLegend->hide();
        optEditLegend[0] = new QRadioButton( QStringLiteral( "Edit Map" ), fraEditLegend );
        optEditLegend[1] = new QRadioButton( QStringLiteral( "Show Map legend" ), fraEditLegend );
        optEditLegend[0]->setChecked( true );
        fraEdit = new QFrame( fraEditLegend );
        fraEdit->setGeometry( 0, 20, 240, 640 );
        cmdChangeLayers = new QPushButton( QStringLiteral( "Change Layers..." ), fraEdit );
        lblWorking = new QLabel( QStringLiteral( "Creating Map..." ), fraEdit );
        lblWorking->hide();
        fraLegend = new QFrame( fraEditLegend );
        fraLegend->hide();
        legend = new LegendControl( fraLegend );
    }

    //! Shows \a map in the legend and builds the query controller over these widgets and \a map.
    void createController( gis::MapWidget *map, std::function<void()> updateInterface,
                           std::function<void( bool )> setMenusEnabled )
    {
        legend->setMapSource( map );
        controller = new QueryController( MainWindowParts { &window, map, legend, cboSelectQuery, lblWorking, fraEdit,
                                                            fraStartUpImage, fraEditLegend, fraLegend,
                                                            { optEditLegend[0], optEditLegend[1] }, cmdChangeLayers,
                                                            std::move( updateInterface ),
                                                            std::move( setMenusEnabled ), &bStartUpImage } );
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
};
