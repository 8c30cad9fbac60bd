// Map side of the main window: tools, navigation, the map's and the legend's
// events, and the refresh of the navigation controls.

#include "frmMain.h"

#include "common/Constants.h"
#include "common/ErrorMessage.h"
#include "common/Rounding.h"
#include "gis/MapWidget.h"
#include "info/frmInfo.h"
#include "legend/LegendControl.h"
#include "queries/md_query_results.h"
#include "workspace/md_functions.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cmath>
#include <exception>

namespace
{
const int kClickTolerance = 5;

// True when \a full exceeds \a current by more than round-off: setting the
// full extent fits it to the widget, which may leave the last bits different.
bool exceeds( double full, double current )
{
    const double scale = std::max( std::fabs( full ), std::fabs( current ) );
    return full - current > scale * 1e-9;
}

void scaleExtent( gis::MapWidget &map, double factor )
{
    gis::Rect r = map.extent();
    r.scaleRectangle( factor );
    map.setExtent( r );
}

int pointerForTool( int tool )
{
    switch ( tool )
    {
        case 0:
            return 53;
        case 1:
            return 50;
        case 2:
            return 14;
        default:
            return 0;
    }
}
} // namespace

void frmMain::optPanZoom_Click( int index )
{
    try
    {
        Constants::bResultsDrawn = false;
        iMapTool = index;
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while selecting Pan/Zoom option. Error Source:frmMain.optPanZoom_Click()" ), 48 );
    }
}

void frmMain::cmdZoomIn_Click()
{
    try
    {
        Constants::bResultsDrawn = false;
        scaleExtent( *Map1, 1.0 / iZoomFactor );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while Zoom In. Error Source:frmMain.cmdZoomIn_Click()" ), 48 );
    }
}

void frmMain::cmdZoomOut_Click()
{
    try
    {
        Constants::bResultsDrawn = false;
        scaleExtent( *Map1, iZoomFactor );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while Zoom Out. Error Source:frmMain.cmdZoomOut_Click()" ), 48 );
    }
}

void frmMain::cmdOriginalMap_Click()
{
    try
    {
        Constants::bResultsDrawn = false;
        Map1->setExtent( Map1->fullExtent() );
    }
    catch ( const std::exception & )
    {
        ErrorMessage(
            QStringLiteral( " Error while trying to display orginal map. Error Source:frmMain.cmdOriginalMap_Click()" ), 48 );
    }
}

void frmMain::Map1_MouseDown( int button, int shift, double x, double y )
{
    Q_UNUSED( button )
    Q_UNUSED( shift )
    try
    {
        // Halves go to the even neighbour (10.5 -> 10, 11.5 -> 12).
        mGiX = static_cast<int>( roundHalfEven( static_cast<float>( x ) ) );
        mGiY = static_cast<int>( roundHalfEven( static_cast<float>( y ) ) );
        if ( !cmdZoomIn->isEnabled() )
            return;
        switch ( iMapTool )
        {
            case 0:
                Map1->pan();
                break;
            case 1:
            {
                const gis::Rect r = Map1->trackRectangle();
                if ( !r.isNull() )
                    Map1->setExtent( r );
                break;
            }
            case 2:
                showInfoWindow();
                break;
            default:
                break;
        }
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error in Map1_MouseDown() event. Error Source:frmMain.Map1_MouseDown()" ), 48 );
    }
}

void frmMain::Map1_MouseMove( int button, int shift, double x, double y )
{
    Q_UNUSED( button )
    Q_UNUSED( shift )
    Q_UNUSED( x )
    Q_UNUSED( y )
    try
    {
        Map1->setMousePointer( pointerForTool( iMapTool ) );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error in Map1_MouseMove() event. Error Source:frmMain.Map1_MouseMove()" ), 48 );
    }
}

void frmMain::Map1_MouseUp( int button, int shift, double x, double y )
{
    Q_UNUSED( shift )
    try
    {
        // The press was stored rounded; the release is compared as it comes.
        const float fx = static_cast<float>( x );
        const float fy = static_cast<float>( y );
        if ( iMapTool != 1 || !( std::fabs( fx - static_cast<float>( mGiX ) ) < kClickTolerance )
             || !( std::fabs( fy - static_cast<float>( mGiY ) ) < kClickTolerance ) || !cmdZoomIn->isEnabled() )
            return;

        // Scale first: the release point is then read against the new extent.
        scaleExtent( *Map1, button == 1 ? 1.0 / iZoomFactor : static_cast<double>( iZoomFactor ) );
        const gis::Point p = Map1->toMapPoint( fx, fy );
        Map1->centerAt( p.x, p.y );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error in Map1_MouseUp event. Error Source:frmMain.Map1_MouseUp()" ), 48 );
    }
}

void frmMain::Map1_BeforeLayerDraw( int index )
{
    try
    {
        // Once per redraw, at its first layer: the results are no layer of the map.
        draw_query_results_on_first_layer( *Map1, index );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error in BeforeMapLayerDraw function. Error Source:frmMain.Map1_BeforeLayerDraw()" ), 48 );
    }
}

void frmMain::Map1_BeforeTrackingLayerDraw()
{
    try
    {
        UpdateInterface();
    }
    catch ( const std::exception & )
    {
        ErrorMessage(
            QStringLiteral( " Error in BeforeTrackingLayerDraw function. Error Source:frmMain.Map1_BeforeTrackingLayerDraw()" ),
            48 );
    }
}

void frmMain::Map1_AfterTrackingLayerDraw()
{
    try
    {
        Constants::bResultsDrawn = false;
    }
    catch ( const std::exception & )
    {
        ErrorMessage(
            QStringLiteral( " Error while trying to draw tracking layer. Error Source:frmMain.Map1_AfterTrackingLayerDraw()" ), 48 );
    }
}

void frmMain::legend_AfterSetLayerVisible( int index )
{
    Q_UNUSED( index )
    try
    {
        Constants::bResultsDrawn = false;
        Map1->refresh();
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while changing the layer visibility from legend panel. Error "
                                      "Source:frmMain.legend_AfterSetLayerVisible()" ),
                      48 );
    }
}

void frmMain::UpdateInterface()
{
    try
    {
        // Each step reports its own failure, so the later ones still run.
        FillScaleComboBox();
        Fill_lblLayersCurrentlyDisplayed();
        EnablePanZoomControls( Map1->layerCount() >= 1 );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while updating interface. Error Source:frmMain.UpdateInterface()" ), 48 );
    }
}

void frmMain::FillScaleComboBox()
{
    try
    {
        cboScale->clear();
        cboScale->addItem( md_functions::CalculateScale( *Map1 ) );
        cboScale->setCurrentIndex( 0 );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while setting the current scale. Error Source:frmMain.FillScaleComboBox()" ), 48 );
    }
}

void frmMain::Fill_lblLayersCurrentlyDisplayed()
{
    try
    {
        const int count = Map1->layerCount();
        if ( count < 1 )
        {
            lblLayersCurrentlyDisplayed->setText( QStringLiteral( "- No layers found -" ) );
            return;
        }
        QString text;
        for ( int i = 0; i < count; ++i )
        {
            const gis::LayerPtr &layer = Map1->layer( i );
            if ( layer && layer->visible )
                text += layer->name + QStringLiteral( "; " );
        }
        lblLayersCurrentlyDisplayed->setText( text );
    }
    catch ( const std::exception & )
    {
        ErrorMessage( QStringLiteral( " Error while filling Layer list label. "
                                      "Error Source:frmMain.Fill_lblLayersCurrentlyDisplayed()" ),
                      48 );
    }
}

void frmMain::EnablePanZoomControls( bool bEnable )
{
    try
    {
        cmdZoomIn->setEnabled( bEnable );
        cmdZoomOut->setEnabled( bEnable );
        cboScale->setEnabled( bEnable );
        bool zoomedIn = false;
        if ( bEnable )
        {
            const gis::Rect full = Map1->fullExtent();
            const gis::Rect current = Map1->extent();
            zoomedIn = exceeds( full.width(), current.width() ) || exceeds( full.height(), current.height() );
        }
        cmdOriginalMap->setVisible( zoomedIn );
        for ( QRadioButton *opt : optPanZoom )
            opt->setEnabled( bEnable );
        cboSelectQuery->setEnabled( bEnable );
    }
    catch ( const std::exception & )
    {
        ErrorMessage(
            QStringLiteral( " Error while trying to enable pan/zoom controls. Error Source:frmMain.EnablePanZoomControls()" ),
            48 );
    }
}

void frmMain::showInfoWindow()
{
    // Modeless and owned by this window; it reads giX(), giY() every time it becomes active.
    frmInfo *info = frmInfo::instance( this, Map1, [this] { return QPoint( giX(), giY() ); } );
    info->show();
    info->raise();
    info->activateWindow();
}
