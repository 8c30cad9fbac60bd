#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <array>

class QAction;
class QButtonGroup;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class LegendControl;
class QueryController;

namespace gis
{
class MapWidget;
}

/**
 * The main window: the query list and left panel, the map frame with its
 * navigation controls, the menus, and the handlers of the map's and the
 * legend's events.
 *
 * There is one instance, made and loaded on the first call of instance() and
 * dropped when the window closes (closing it closes every other window of the
 * program). The window stays hidden until the start window shows it.
 *
 * It sits above the workspace, the queries, Info and printing: it hands
 * each of them the controls and callbacks it needs, and none of them looks
 * the window up. Controls carry their usual names and are public for the
 * tests; Qt owns them through the window. Every handler reports a failure
 * through ErrorMessage and returns: no exception leaves it.
 *
 * Positions are designed in twips (1440 per logical inch). Mouse positions
 * of the map are widget pixels, as gis::MapWidget reports them; giX(), giY()
 * and the click-zoom threshold are in those units.
 */
class frmMain : public QMainWindow
{
    Q_OBJECT

  public:
    //! The one instance, created and loaded on first use.
    static frmMain *instance();
    //! The instance if it exists, without creating one.
    static frmMain *existingInstance();

    ~frmMain() override;

    // --- state of the window ---
    int iMapTool = 1;    //!< 0 Pan, 1 Zoom, 2 Info: index of the checked optPanZoom button
    int iZoomFactor = 2; //!< zoom-button and click-zoom factor
    bool bStartUpImage = true; //!< the start-up picture still covers the left panel
    bool bFormLoaded = false;  //!< set as the last step of the load; enables resizing
    //! Margins kept by resizing, in twips: window size minus map frame / map size.
    int iFrameWidthMargin = 0;
    int iFrameHeightMargin = 0;
    int iMapWidthMargin = 0;
    int iMapHeightMargin = 0;
    //! The application help-file setting made at load (kept, read nowhere).
    QString sHelpFile;

    //! Last mouse-down position on the map, rounded half to even.
    int giX() const { return mGiX; }
    int giY() const { return mGiY; }

    // --- controls ---
    QWidget *Toolbar1 = nullptr;
    QLabel *lblSelectQuery = nullptr;
    QComboBox *cboSelectQuery = nullptr;
    QFrame *fraStartUpImage = nullptr;
    QLabel *Image1 = nullptr;
    QFrame *fraEditLegend = nullptr;
    std::array<QRadioButton *, 2> optEditLegend {};
    QFrame *fraEdit = nullptr;      //!< the query editor; the parameter panel and its buttons go here
    QPushButton *cmdChangeLayers = nullptr;
    QLabel *lblWorking = nullptr;
    QLabel *lblLayersHeading = nullptr;
    QLabel *lblLayersCurrentlyDisplayed = nullptr;
    QFrame *fraLegend = nullptr;
    LegendControl *legend = nullptr;
    QFrame *fraMapHolder = nullptr;
    QPushButton *cmdOriginalMap = nullptr;
    std::array<QRadioButton *, 3> optPanZoom {};
    QButtonGroup *grpPanZoom = nullptr;
    QPushButton *cmdZoomIn = nullptr;
    QComboBox *cboScale = nullptr;
    QPushButton *cmdZoomOut = nullptr;
    gis::MapWidget *Map1 = nullptr;
    QLabel *lblMapNote = nullptr;

    QMenu *mnuFile = nullptr;
    QAction *mnuOpen = nullptr;
    QAction *mnuSave = nullptr;
    QAction *mnuPrint = nullptr;
    QAction *mnuExit = nullptr;
    QAction *mnuHelp = nullptr;

    //! The query side of the window: the query list's handler, the parameter panel and its buttons.
    QueryController *queries = nullptr;

    // --- published procedures ---
    //! Refreshes the scale list, the visible-layer label and the navigation controls.
    void UpdateInterface();
    void EnablePanZoomControls( bool bEnable );
    void FillScaleComboBox();
    void Fill_lblLayersCurrentlyDisplayed();

    //! Full path of the user guide the Help menu opens.
    static QString helpDocumentPath();

  public slots:
    // --- start-up, layout, menus ---
    void Form_Resize();
    void mnuOpen_Click();
    void mnuPrint_Click();
    void mnuExit_Click();
    void mnuHelp_Click();
    void cmdChangeLayers_Click();
    void mnuSave_Click();

    // --- map tools and events ---
    void optPanZoom_Click( int index );
    void cmdZoomIn_Click();
    void cmdZoomOut_Click();
    void cmdOriginalMap_Click();
    void Map1_MouseDown( int button, int shift, double x, double y );
    void Map1_MouseMove( int button, int shift, double x, double y );
    void Map1_MouseUp( int button, int shift, double x, double y );
    void Map1_BeforeLayerDraw( int index );
    void Map1_BeforeTrackingLayerDraw();
    void Map1_AfterTrackingLayerDraw();
    void legend_AfterSetLayerVisible( int index );

  protected:
    void resizeEvent( QResizeEvent *event ) override;
    void closeEvent( QCloseEvent *event ) override;

  private:
    frmMain();

    void createControls();
    void createMenus();
    void connectEvents();
    void createQueryPanel();
    void Form_Load();
    void Form_Unload();
    void showInfoWindow();
    void showLayersDialog();

    int mGiX = 0;
    int mGiY = 0;

    static QPointer<frmMain> sInstance;
};
