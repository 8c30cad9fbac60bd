#pragma once

#include <QString>
#include <QStringList>

class QComboBox;
class QLineEdit;
class QWidget;

namespace testsupport
{

/**
 * Texts that a person could not read whole where they stand, among the
 * controls under \a root that are shown (root included): labels (every line,
 * wrapped or not, inside the label and not covered by a control stacked over
 * it), the captions of buttons, check boxes and radio buttons, the text of
 * line edits and editable combo boxes (no scrolling needed) and the chosen
 * item of drop-down lists. Measured with the widgets' own fonts and style.
 * One entry per clipped control: "name: text".
 */
QStringList clippedTexts( const QWidget *root );

//! The item texts of \a box in order.
QStringList itemTexts( const QComboBox *box );

//! Whether \a edit shows \a text whole, without scrolling it.
bool lineEditShows( const QLineEdit *edit, const QString &text );

} // namespace testsupport
