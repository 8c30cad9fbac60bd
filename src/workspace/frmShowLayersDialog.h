#pragma once

#include "gis/MapWidget.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;

/**
 * The layer dialog "Change Layers": one check box per layer of the main map
 * (box i stands for layer i, 0 the topmost), captioned with the layer's
 * legend name. Every time the dialog is shown it reads the layers anew;
 * "Update Map" writes the visibility of the shown boxes back, redraws and
 * hides; "Cancel" only hides. Whenever the dialog hides it calls the
 * interface-update callback. Keeps no state of its own besides the map it
 * reads. Handlers report failures through ErrorMessage and never throw.
 */
class frmShowLayersDialog : public QDialog
{
    Q_OBJECT

  public:
    static constexpr int kBoxCount = 28;

    //! The one instance, created on first use (without a parent).
    static frmShowLayersDialog *instance();

    explicit frmShowLayersDialog( QWidget *parent = nullptr );

    void setMap( gis::MapWidget *map ) { mMap = map; }
    gis::MapWidget *map() const { return mMap; }
    //! Called whenever the dialog loses the active state by hiding (the main window's UpdateInterface).
    void setUpdateInterface( std::function<void()> callback ) { mUpdateInterface = std::move( callback ); }
    //! Makes \a owner the dialog's owner window, keeping the dialog's window flags.
    void setOwner( QWidget *owner );

    QLabel *Label1 = nullptr;
    std::array<QCheckBox *, kBoxCount> chkShowLayers {};
    QPushButton *OKButton = nullptr;
    QPushButton *CancelButton = nullptr;

  public slots:
    void OKButton_Click();
    void CancelButton_Click();

  protected:
    void showEvent( QShowEvent *event ) override;
    void hideEvent( QHideEvent *event ) override;

  private:
    void Form_Activate();
    void Form_Deactivate();

    QPointer<gis::MapWidget> mMap;
    std::function<void()> mUpdateInterface;
};
