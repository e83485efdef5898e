#pragma once

class QComboBox;
class QLabel;

// Widgets that show changing state (a time, a version, a status line, the
// chosen camera) and carry an accessible name of their own. Qt reads a
// label's text, and on Linux a combo box's current row, as the name, and a
// set name then hides that state. These keep the name for what the widget
// is and expose the shown state as the accessible value.
namespace AccessibleState {

void nameLabel(QLabel* label, const char* name);
void nameComboBox(QComboBox* box, const char* name);
// A label that opens something on a click or on Space: a pressable link,
// named by its text.
void nameLink(QLabel* label);

} // namespace AccessibleState
