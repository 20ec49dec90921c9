#pragma once
// Showing the program's windows from the tray menu and from other windows.
class QString;
class QWidget;

// "Show": visible (not modal), restored if minimized, raised and activated. A window that is
// already visible is only brought to the front, so its own opening actions do not run again.
// On Wayland a window just shown is activated once the compositor shows it.
void ShowAndBringToFront(QWidget* window);

// The Wayland activation token of the start that asked for a window (XDG_ACTIVATION_TOKEN of
// its environment), used by the next ShowAndBringToFront: the compositor then lets that window
// take the keyboard focus from another program. Dropped on other platforms.
void SetActivationToken(const QString& token);

// Shows a window modally and returns when it has been closed or hidden.
void ShowModal(QWidget* window);
