#include "platform/AniCursor.h"

#include <QCursor>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <vector>

namespace {

constexpr int kDefaultCursorSize = 32;

struct TLoadedCursor {
    QList<QCursor> frames;
    QList<int> steps;
    QList<int> rates;
    int step = 0;
    std::unique_ptr<QTimer> timer;
    QCursor Current() const { return frames.value(steps.value(step)); }
};

// Plays each registered cursor with a timer and gives its current frame to the windows
// and to the application-wide pointer that show its number.
class TLinuxAniCursors : public TAniCursorFacility {
public:
    bool LoadCursorFromFile(int number, const QString& path) override {
        DestroyCursor(number);
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        const auto data = ReadAniCursor(f.readAll());
        if (!data)
            return false;
        auto c = std::make_unique<TLoadedCursor>();
        for (const TAniFrame& fr : data->frames) {
            QImage img = fr.image;
            QPoint hot = fr.hotspot;
            if (img.size() != QSize(kDefaultCursorSize, kDefaultCursorSize)) {
                hot = QPoint(hot.x() * kDefaultCursorSize / img.width(),
                             hot.y() * kDefaultCursorSize / img.height());
                img = img.scaled(kDefaultCursorSize, kDefaultCursorSize);
            }
            c->frames << QCursor(QPixmap::fromImage(img), hot.x(), hot.y());
        }
        c->steps = data->steps;
        c->rates = data->rates;
        c->timer = std::make_unique<QTimer>();
        c->timer->setSingleShot(true);
        TLoadedCursor* raw = c.get();
        QObject::connect(c->timer.get(), &QTimer::timeout, [this, raw, number] { Tick(number, *raw); });
        c->timer->start(c->rates.value(0, 1) * 1000 / 60);
        cursors_.insert(number, std::shared_ptr<TLoadedCursor>(std::move(c)));
        Refresh(number);
        return true;
    }

    void DestroyCursor(int number) override {
        if (cursors_.remove(number))
            Refresh(number);
    }

    void SetWindowCursor(QWidget* window, int number) override {
        if (!window)
            return;
        bool found = false;
        for (auto& [w, n] : windows_) {
            if (w == window) {
                n = number;
                found = true;
            }
        }
        if (!found)
            windows_.push_back({QPointer<QWidget>(window), number});
        Apply(window, number);
    }

    void SetApplicationCursor(int number) override {
        appNumber_ = number;
        ApplyApplication();
    }

private:
    void Tick(int number, TLoadedCursor& c) {
        c.step = (c.step + 1) % qMax<qsizetype>(1, c.steps.size());
        Refresh(number);
        c.timer->start(c.rates.value(c.step, 1) * 1000 / 60);
    }

    void Refresh(int number) {
        std::erase_if(windows_, [](const auto& entry) { return entry.first.isNull(); });
        for (auto& [w, n] : windows_) {
            if (n == number)
                Apply(w, number);
        }
        if (appNumber_ == number)
            ApplyApplication();
    }

    void Apply(QWidget* w, int number) {
        auto it = cursors_.find(number);
        if (number == 0 || it == cursors_.end())
            w->unsetCursor();
        else
            w->setCursor((*it)->Current());
    }

    void ApplyApplication() {
        auto it = cursors_.find(appNumber_);
        if (appNumber_ == 0 || it == cursors_.end()) {
            if (overridden_)
                QGuiApplication::restoreOverrideCursor();
            overridden_ = false;
            return;
        }
        if (overridden_)
            QGuiApplication::changeOverrideCursor((*it)->Current());
        else
            QGuiApplication::setOverrideCursor((*it)->Current());
        overridden_ = true;
    }

    QHash<int, std::shared_ptr<TLoadedCursor>> cursors_;
    std::vector<std::pair<QPointer<QWidget>, int>> windows_;
    int appNumber_ = 0;
    bool overridden_ = false;
};

TAniCursorFacility* g_installed = nullptr;

} // namespace

TAniCursorFacility& SystemAniCursors() {
    static TLinuxAniCursors cursors;
    return cursors;
}

TAniCursorFacility& AniCursors() {
    return g_installed ? *g_installed : SystemAniCursors();
}

void SetAniCursors(TAniCursorFacility* facility) {
    g_installed = facility;
}
