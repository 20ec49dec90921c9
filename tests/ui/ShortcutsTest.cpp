// Hints that name shortcuts the way German keyboards label the keys.
#include "ui/Shortcuts.h"

#include <QAction>
#include <gtest/gtest.h>

TEST(ShortcutHints, GermanKeyNames) {
    EXPECT_EQ(ShortcutText(QKeySequence(Qt::CTRL | Qt::Key_S)), "Strg+S");
    EXPECT_EQ(ShortcutText(QKeySequence(Qt::Key_F5)), "F5");
    EXPECT_EQ(ShortcutText(QKeySequence(Qt::Key_Escape)), "Esc");
    EXPECT_EQ(ShortcutText(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Delete)), "Strg+Umschalt+Entf");
    EXPECT_EQ(HintWithShortcut("Notiz sichern", QKeySequence(Qt::CTRL | Qt::Key_S)),
              "Notiz sichern (Strg+S)");

    QAction action;
    SetShortcut(&action, QKeySequence(Qt::CTRL | Qt::Key_F), "Suchen");
    EXPECT_EQ(action.shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
    EXPECT_EQ(action.shortcutContext(), Qt::WindowShortcut);
    EXPECT_EQ(action.toolTip(), "Suchen (Strg+F)");
}
