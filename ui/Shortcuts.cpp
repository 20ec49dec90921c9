#include "ui/Shortcuts.h"

#include "ui/ErrorDisplay.h"

#include <QAction>
#include <QWidget>

QString ShortcutText(const QKeySequence& keys) {
    static const QList<QPair<QString, QString>> german = {
        {QStringLiteral("Ctrl"), QStringLiteral("Strg")},
        {QStringLiteral("Shift"), QStringLiteral("Umschalt")},
        {QStringLiteral("Del"), QStringLiteral("Entf")},
        {QStringLiteral("Ins"), QStringLiteral("Einfg")},
        {QStringLiteral("Space"), QStringLiteral("Leertaste")},
    };
    QStringList chords;
    for (const QString& chord : keys.toString(QKeySequence::PortableText).split(QStringLiteral(", "))) {
        QStringList parts = chord.split(u'+');
        for (QString& part : parts)
            for (const auto& [english, name] : german)
                if (part == english)
                    part = name;
        chords << parts.join(u'+');
    }
    return chords.join(QStringLiteral(", "));
}

QString HintWithShortcut(const QString& hint, const QKeySequence& keys) {
    return hint + QStringLiteral(" (") + ShortcutText(keys) + u')';
}

void SetShortcut(QAction* action, const QKeySequence& keys, const QString& hint) {
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    action->setToolTip(HintWithShortcut(hint, keys));
}

QAction* AddWindowShortcut(QWidget* window, const QKeySequence& keys, std::function<void()> handler) {
    auto* action = new QAction(window);
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    window->addAction(action);
    QObject::connect(action, &QAction::triggered, window,
                     Guarded([handler = std::move(handler)] { handler(); }));
    return action;
}
