#pragma once

class QComboBox;

/**
 * The query list of the main window.
 */

//! Clears \a list, adds the eight query names in their fixed order and selects
//! the first, "No Query (Base Map)"; the selection always raises the list's
//! currentIndexChanged, so its handler runs once. Reports failures through ErrorMessage.
void FillcboSelectQuery( QComboBox *list );
