#pragma once
// Finds text that does not fit its widget, and widgets that overlap, in a shown window.
#include <QString>
#include <QStringList>

class QWidget;

// One line per fault, each naming the window and the widget: a label, button, check box,
// radio button or group-box title whose text needs more room than the widget's contents
// rectangle (font metrics; rich text by its document), a text widget reaching out of its
// parent, a widget in a group box lying on the group's title or frame, or two siblings
// that overlap.
QStringList LookFaults(const QWidget* window);

// The visible texts and hints of a window, for wording checks.
QStringList VisibleTexts(const QWidget* window);
