#include "ui/WindowLook.h"

#include <QActionEvent>
#include <QFontDatabase>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>

namespace {

QString firstInstalled(const QStringList& wanted) {
    const QStringList have = QFontDatabase::families();
    for (const QString& w : wanted)
        if (have.contains(w, Qt::CaseInsensitive))
            return w;
    return QFont().defaultFamily();
}

// The nearest installed faces to MS Sans Serif and Tahoma.
QString classicFamily() {
    static const QString family = firstInstalled(
        {"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arimo", "Nimbus Sans", "DejaVu Sans"});
    return family;
}

QString menuFamily() {
    static const QString family =
        firstInstalled({"Tahoma", "Verdana", "DejaVu Sans", "Liberation Sans", "Nimbus Sans"});
    return family;
}

constexpr int kStripHeight = 43;

// Keeps every tool button at 24 x 24 as actions are added, and the strip 43 pixels high:
// a main window lays its tool bars out by their size hints and gives up a fixed height.
class TToolBarStrip : public QToolBar {
public:
    using QToolBar::QToolBar;

    QSize sizeHint() const override { return Strip(QToolBar::sizeHint()); }
    QSize minimumSizeHint() const override { return Strip(QToolBar::minimumSizeHint()); }

protected:
    void actionEvent(QActionEvent* e) override {
        QToolBar::actionEvent(e);
        if (e->type() == QEvent::ActionAdded)
            if (auto* b = qobject_cast<QToolButton*>(widgetForAction(e->action())))
                b->setFixedSize(24, 24);
    }

private:
    QSize Strip(QSize s) const {
        if (orientation() == Qt::Horizontal)
            s.setHeight(kStripHeight);
        return s;
    }
};

} // namespace

QFont ClassicFont() {
    QFont f(classicFamily());
    f.setPointSize(8);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

QFont MenuFont() {
    QFont f(menuFamily());
    f.setPointSize(8);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

void ApplyWindowLook(QWidget* window) {
    QPalette pal = window->palette();
    pal.setColor(QPalette::Window, kSkyBlue);
    window->setPalette(pal);
    window->setAutoFillBackground(true);
    window->setFont(ClassicFont());
    // A dialog stays a dialog; anything else becomes a top-level window.
    const Qt::WindowFlags type =
        (window->windowFlags() & Qt::WindowType_Mask) == Qt::Dialog ? Qt::Dialog : Qt::Window;
    window->setWindowFlags(type | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    window->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

QToolBar* MakeToolBar(QWidget* parent, const QString& floatingCaption) {
    auto* bar = new TToolBarStrip(floatingCaption, parent);
    bar->setObjectName(QStringLiteral("ToolBar"));
    bar->setFixedHeight(kStripHeight);
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    bar->setMovable(true);
    bar->setFloatable(true);
    bar->setAllowedAreas(Qt::TopToolBarArea);
    return bar;
}
