#pragma once

#include "ResultModel.h"

#include "common/ActivationGuard.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <utility>
#include <vector>

class QLabel;

/**
 * The results table "Query Results": one row per class colour of the last
 * run's result polygons, with the colour swatch, the summed area in square
 * kilometres and the class's value range. Modeless and owned by the main
 * window; one instance at a time, made on first showing and dropped when it
 * is closed. It is filled again every time it becomes the active window, and
 * calls the owner's interface refresh when it closes.
 */
class frmShowQueryData : public QDialog
{
    Q_OBJECT

  public:
    //! The colour swatch of a row: a rectangle with a solid fill and a border.
    class Swatch : public QWidget
    {
      public:
        explicit Swatch( QWidget *parent );
        int fillColor() const { return mFillColor; } //!< component colour r + 256 g + 65536 b
        void setFillColor( int color );
        int borderWidth() const { return mBorderWidth; }
        void setBorderWidth( int width );

      protected:
        void paintEvent( QPaintEvent *event ) override;

      private:
        int mFillColor;
        int mBorderWidth = 1;
    };

    static constexpr int kRowCount = 14;

    /**
     * Shows the window over \a owner, creating it first when needed, and
     * activates it. \a updateInterface, when given, refreshes the owner's
     * controls once the window closes; a window already open keeps the one
     * it was made with.
     */
    static frmShowQueryData *showFor( QWidget *owner, std::function<void()> updateInterface = {} );
    //! The open window, or nullptr.
    static frmShowQueryData *existingInstance() { return sInstance; }

    std::vector<Swatch *> shpLayerColor;
    std::vector<QLabel *> lblArea;
    std::vector<QLabel *> lblDescription;

    //! Fills the rows again (what activation does). Safe against re-entry.
    void Form_Activate();

  protected:
    bool event( QEvent *e ) override;
    void closeEvent( QCloseEvent *e ) override;

  private:
    frmShowQueryData( QWidget *owner, std::function<void()> updateInterface );
    void Form_Unload();

    ActivationGuard mActivation;
    std::function<void()> mUpdateInterface;

    static QPointer<frmShowQueryData> sInstance;
};

namespace md_query_functions2
{
/**
 * Fills \a form's rows from the result model: rows hidden, areas summed per
 * class colour in order of first appearance, a message when there are more
 * colours than rows, then one row per colour. A step that fails is skipped.
 * Returns true when it showed the message.
 */
bool UpdateQueryDataForm( frmShowQueryData &form );
//! Area in square kilometres per symbol colour, in order of first appearance; unreadable records are left out.
std::vector<std::pair<int, double>> SumAreasByColour( const ResultModel &model );
//! Text of the value range of class colour \a colour for the run \a run, empty when none is found.
QString CreateAreaDescription( int colour, const ResultModel::Run &run );
} // namespace md_query_functions2
