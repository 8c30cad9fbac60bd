#pragma once

#include "QueryCallbacks.h"
#include "QueryPanel.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class LegendControl;
class QColor;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;
struct QueryInputs;

namespace gis
{
class MapWidget;
}

/**
 * The parts of the main window the query side works with. The window keeps
 * ownership of every widget; the controller only uses them.
 */
struct MainWindowParts
{
    QWidget *window;                 // frmMain (repaint target, owner of boxes)
    gis::MapWidget *Map1;
    LegendControl *legend;
    QComboBox *cboSelectQuery;
    QLabel *lblWorking;
    QWidget *fraEdit;                // the query editor frame: the panel is built inside it
    QWidget *fraStartUpImage;
    QWidget *fraEditLegend;
    QWidget *fraLegend;
    QRadioButton *optEditLegend[2];
    QPushButton *cmdChangeLayers;
    std::function<void()> UpdateInterface;
    std::function<void( bool )> setMenusEnabled; // Open / Save Result / Print during a run
    //! The window's own start-up picture flag, when it keeps one; otherwise the controller keeps it.
    bool *bStartUpImage = nullptr;
};

/**
 * The query side of the main window: the query list's handler, the
 * parameter panel (built into fraEdit on construction, its controls public
 * under their usual names), the "Update Map" / "Cancel" button and the
 * "Results Table" button.
 *
 * What callers may rely on:
 * - every handler reports its own failures through ErrorMessage and never throws;
 * - a choice in the query list runs its handler once, whether the user made
 *   it or code changed the current entry;
 * - while a query runs (isRunning()) the query list, the panel and the
 *   Open / Save Result / Print menus stay disabled, "Cancel" only asks the
 *   run to stop, and closing the window stops the run first and closes the
 *   window once the run has returned;
 * - the run works on a copy of the inputs taken when it starts.
 */
class QueryController : public QObject, public QueryPanel
{
    Q_OBJECT

  public:
    explicit QueryController( const MainWindowParts &parts );
    ~QueryController() override;

    bool isRunning() const { return mRunning; }
    //! Asks the running query to stop; with \a closeWindowAfterRun the window is closed once it has.
    void cancelRun( bool closeWindowAfterRun = false );

    bool startUpImage() const;

    // --- query list and editor/legend switch ---
    void cboSelectQuery_Click();
    void cboQueryDropDown3_Click();
    void optEditLegend_Click( int index );
    void EditOrLegend( int index );
    void HandleQuerySelect();

    // --- panel layout and value lists ---
    void SetQueryInputControls();
    void SetQueryListbox();
    void FillWindDensityDropDowns();
    void FillLandUseDropDown();
    //! Index of the first layer of the map whose legend name is \a name exactly; 0 when none is.
    int GetSolarResourceLayerID( const QString &name );

    // --- input check, run and cancel ---
    void cmdUpdateMap_Click();
    void cmdShowData_Click();
    //! The panel's inputs and the map's layers as they are now.
    QueryInputs FreezeInputs() const;
    bool CheckInputs( const QueryInputs &inputs );
    void DisplayError( const QString &message );
    void ControlEnable( bool enable );

    //! The callbacks a run gets from the window: working label, throttled event pumping, Dialogs.
    QueryCallbacks windowCallbacks();
    //! Replaces the window callbacks of the next runs (tests); nullopt restores them.
    void setQueryCallbacks( std::optional<QueryCallbacks> callbacks ) { mCallbacksOverride = std::move( callbacks ); }

  protected:
    bool eventFilter( QObject *watched, QEvent *event ) override;

  private:
    void connectEvents();
    void onSelectQueryIndexChanged( int index );
    void onSelectQueryActivated( int index );
    void selectSolarResourceByCode( int index );
    void setWorkingColour( const QColor &colour );
    void setStartUpImage( bool value );

    MainWindowParts mParts;
    bool mStartUpImage = true;
    bool mRunning = false;
    bool mCloseAfterRun = false;
    //! Set while a code or user change of the query list has been handled and its activation may still follow.
    int mHandledChangeIndex = -1;
    std::optional<QueryCallbacks> mCallbacksOverride;
};
