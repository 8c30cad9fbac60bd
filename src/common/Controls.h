#pragma once

#include <Qt>

class QComboBox;

/**
 * How the program's windows set up their controls, wherever the toolkit's
 * defaults would change what the user typed or hide part of a text.
 */
namespace controls
{
//! A dialog window with a title and a close button, and no minimise or maximise button.
inline constexpr Qt::WindowFlags kDialogFlags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                                                | Qt::WindowCloseButtonHint;
//! The same for a dialog of fixed size.
inline constexpr Qt::WindowFlags kFixedDialogFlags = kDialogFlags | Qt::MSWindowsFixedSizeDialogHint;

/**
 * Sets the program's font, "MS Sans Serif" 8 pt, for every window, with the
 * installed stand-ins of the Windows families. The twip layouts are sized
 * for it; call once, after the application object exists.
 */
void installProgramFont();

/**
 * Makes \a box an editable combo box whose text stays exactly as typed:
 * nothing completes it, and Enter never adds the text as an item (it only
 * selects an item of exactly that text, letter case included).
 */
void makeEditableAsTyped( QComboBox *box );

/**
 * Gives \a box a drop-down button narrower than the style's, so that a
 * narrow box has room for its text. The style is shared by every box given
 * and lives as long as the application object.
 */
void useSlimDropDownButton( QComboBox *box );

//! Width in pixels of the slim drop-down button.
inline constexpr int kSlimDropDownWidth = 12;
} // namespace controls
