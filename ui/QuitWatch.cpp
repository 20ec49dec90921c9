#include "ui/QuitWatch.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

namespace {
bool quitting = false;

class TQuitFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit && !quitting) {
            quitting = true;
            // Still running afterwards: the quit was refused somewhere.
            QTimer::singleShot(0, QCoreApplication::instance(), [] { quitting = false; });
        }
        return false;
    }
};

TQuitFilter* filter = nullptr;
} // namespace

void WatchApplicationQuit() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || filter)
        return;
    filter = new TQuitFilter(app);
    app->installEventFilter(filter);
    QObject::connect(filter, &QObject::destroyed, [] { filter = nullptr; });
    QObject::connect(app, &QCoreApplication::aboutToQuit, filter, [] { quitting = false; });
}

bool ApplicationQuitting() {
    return quitting;
}
