#pragma once

// Assistive tools "toggle" a check button through its accessible action.
// Qt's own interface then flips the check state without a click, so the
// program's handlers (which act on clicks, as a mouse user gives them) never
// run: a page button looks selected but the page stays, a camera switch
// changes its look but not the camera. Installed once, before the buttons
// are made, this answers every push button and check box with an interface
// whose actions click, as a mouse or the keyboard would.
namespace AccessibleButtons {

void install();

} // namespace AccessibleButtons
