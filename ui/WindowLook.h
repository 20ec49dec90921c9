#pragma once
// Look of the note, administration and update windows.
#include <QColor>
#include <QFont>
#include <QString>

class QWidget;
class QToolBar;

inline const QColor kSkyBlue(166, 202, 240);

// MS Sans Serif 8 pt, or the nearest installed face.
QFont ClassicFont();
// Tahoma 8 pt, or the nearest installed face (menus).
QFont MenuFont();

// Sky-blue background, MS Sans Serif 8 pt (or its nearest), hints shown,
// title-bar buttons system menu and maximize.
void ApplyWindowLook(QWidget* window);

// A toolbar in the 43-pixel strip with 24 x 24 picture buttons; it may float (in a
// QMainWindow) with floatingCaption as its title.
QToolBar* MakeToolBar(QWidget* parent, const QString& floatingCaption);
