#pragma once

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

/**
 * The controls of the query parameter panel in their design state: the frame
 * fraEditQueryParameters with its fixed set of inputs, and the buttons
 * "Update Map" and "Results Table" beside it in the query editor frame.
 *
 * Every control is created once, owned by its Qt parent and never destroyed
 * before the editor frame; callers caption, move, show and fill them.
 * Positions are in twips relative to the parent, as everywhere in the window.
 */
class QueryPanel
{
  public:
    //! Builds the panel inside \a fraEdit.
    explicit QueryPanel( QWidget *fraEdit );

    //! The reset every layout starts with: everything hidden, the moved rows back in place.
    void resetLayout();

    //! Places \a w at left, top, width x height in twips and shows it.
    static void placeAndShow( QWidget *w, int left, int top, int width, int height );

    QGroupBox *fraEditQueryParameters = nullptr;
    std::array<QLineEdit *, 4> txtQuery1 {};
    std::array<QLabel *, 6> lblQuery1 {};
    QComboBox *cboQueryDropDown = nullptr;  //!< minimum, editable
    QComboBox *cboQueryDropDown2 = nullptr; //!< maximum, editable
    QComboBox *cboQueryDropDown3 = nullptr; //!< solar resource, choice from the list only; as tall as the chosen name needs
    QListWidget *lstQuery1 = nullptr;       //!< land uses, extended selection
    QCheckBox *chkProtectedAreas = nullptr;
    QPushButton *cmdUpdateMap = nullptr;
    QPushButton *cmdShowData = nullptr;

    static constexpr int kLabelLeft = 570;
    static constexpr int kLabelWidth = 2400;
    static constexpr int kWideLabelLeft = 90;
    static constexpr int kWideLabelWidth = 2805;
};
