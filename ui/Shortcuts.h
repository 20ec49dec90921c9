#pragma once
// Keyboard shortcuts of the windows, and hints that name them as German keyboards label the keys.
#include <QKeySequence>
#include <QString>
#include <functional>

class QAction;
class QWidget;

// Ctrl+S -> "Strg+S", Shift -> "Umschalt", Del -> "Entf", Esc and F5 as they are.
QString ShortcutText(const QKeySequence& keys);
// "Notiz sichern", Ctrl+S -> "Notiz sichern (Strg+S)".
QString HintWithShortcut(const QString& hint, const QKeySequence& keys);

// The action's shortcut (active in its window, only while the action is enabled) and a hint
// naming it.
void SetShortcut(QAction* action, const QKeySequence& keys, const QString& hint);

// A shortcut of the whole window that runs handler; what it throws is shown where it arose.
QAction* AddWindowShortcut(QWidget* window, const QKeySequence& keys, std::function<void()> handler);
