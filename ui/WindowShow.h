#pragma once
// Showing the program's windows from the tray menu and from other windows.
class QWidget;

// "Show": visible (not modal), restored if minimized, raised and activated. A window that is
// already visible is only brought to the front, so its own opening actions do not run again.
void ShowAndBringToFront(QWidget* window);

// Shows a window modally and returns when it has been closed or hidden.
void ShowModal(QWidget* window);
