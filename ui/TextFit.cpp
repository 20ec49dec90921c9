#include "ui/TextFit.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QVariant>
#include <QWidget>

namespace {

// Distance kept to a moved neighbour, and between a grown child and its parent's edge.
constexpr int kGap = 8;
constexpr int kEdge = 8;
constexpr const char* kTextsProperty = "zwTextsToFit";

QStringList TextsOf(const QWidget* w, const QString& current) {
    QStringList texts = w->property(kTextsProperty).toStringList();
    texts << current;
    return texts;
}

// Label beside an optional icon as the styles draw it: 4 pixels between the two.
QSize CaptionSize(const QAbstractButton* b, const QString& text) {
    const QSize t = text.isEmpty() ? QSize() : b->fontMetrics().size(Qt::TextShowMnemonic, text);
    if (b->icon().isNull())
        return t;
    const QSize icon = b->icon().actualSize(b->iconSize());
    if (text.isEmpty())
        return icon;
    return QSize(t.width() + 4 + icon.width(), qMax(t.height(), icon.height()));
}

// The push button's bevel and the style's margin around its caption. Not sizeHint(): some
// styles give every captioned button a minimum width, which would widen designed buttons
// whose caption fits.
QSize PushButtonNeed(const QPushButton* b) {
    QStyleOptionButton opt;
    opt.initFrom(b);
    opt.icon = b->icon();
    opt.iconSize = b->iconSize();
    if (b->isDefault())
        opt.features |= QStyleOptionButton::DefaultButton;
    if (b->autoDefault())
        opt.features |= QStyleOptionButton::AutoDefaultButton;
    if (b->isFlat())
        opt.features |= QStyleOptionButton::Flat;
    QStyle* s = b->style();
    QSize need;
    for (const QString& text : TextsOf(b, b->text())) {
        if (text.isEmpty())
            continue;
        opt.text = text;
        const QSize bevel = b->size() - s->subElementRect(QStyle::SE_PushButtonContents, &opt, b).size();
        const QSize caption = CaptionSize(b, text);
        need = need.expandedTo(
            QSize(caption.width() + s->pixelMetric(QStyle::PM_ButtonMargin, &opt, b), caption.height()) +
            bevel);
    }
    return need;
}

QStyleOptionGroupBox GroupOption(const QGroupBox* g, const QString& title) {
    QStyleOptionGroupBox opt;
    opt.initFrom(g);
    opt.text = title;
    opt.lineWidth = 1;
    opt.textAlignment = Qt::Alignment(g->alignment());
    opt.subControls = QStyle::SC_GroupBoxFrame;
    if (!title.isEmpty())
        opt.subControls |= QStyle::SC_GroupBoxLabel;
    if (g->isCheckable())
        opt.subControls |= QStyle::SC_GroupBoxCheckBox;
    if (g->isFlat())
        opt.features |= QStyleOptionFrame::Flat;
    return opt;
}

// What the text of a single widget needs; an empty size when it has no text of its own.
QSize TextNeed(const QWidget* w) {
    if (auto* l = qobject_cast<const QLabel*>(w)) {
        if (l->text().isEmpty() || !l->pixmap().isNull())
            return {};
        if (l->wordWrap())
            return QSize(l->width(), l->heightForWidth(l->width()));
        return l->sizeHint();
    }
    if (auto* b = qobject_cast<const QPushButton*>(w))
        return PushButtonNeed(b);
    const bool radio = qobject_cast<const QRadioButton*>(w);
    if (radio || qobject_cast<const QCheckBox*>(w)) {
        auto* b = static_cast<const QAbstractButton*>(w);
        if (b->text().isEmpty())
            return {};
        // Across as the style measures it; in height the caption and the indicator, without
        // the extra the size hint adds (the designed 17 pixels hold both).
        const int indicator = b->style()->pixelMetric(
            radio ? QStyle::PM_ExclusiveIndicatorHeight : QStyle::PM_IndicatorHeight, nullptr, b);
        return QSize(b->sizeHint().width(), qMax(indicator, CaptionSize(b, b->text()).height()));
    }
    return {};
}

// Editors and views lay out their own insides.
bool HasOwnInsides(const QWidget* w) {
    return qobject_cast<const QAbstractScrollArea*>(w) || qobject_cast<const QLineEdit*>(w) ||
           qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractSpinBox*>(w);
}

QList<QWidget*> PlacedChildren(QWidget* parent) {
    QList<QWidget*> children;
    for (QWidget* w : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!w->isWindow() && !w->isHidden())
            children << w;
    return children;
}

QRect Bounds(const QList<QWidget*>& widgets) {
    QRect r;
    for (const QWidget* w : widgets)
        r |= w->geometry();
    return r;
}

// Keeps the children of a group box off its title and frame; returns the size the box needs.
QSize GroupNeed(QGroupBox* g, const QList<QWidget*>& children) {
    QStyle* s = g->style();
    QSize need = g->size();
    for (const QString& title : TextsOf(g, g->title())) {
        const QStyleOptionGroupBox opt = GroupOption(g, title);
        if (!title.isEmpty()) {
            const QRect label = s->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, g);
            need.setWidth(qMax(need.width(), label.right() + 1 + 2)); // room for the frame's corner
        }
    }
    if (children.isEmpty())
        return need;
    const QStyleOptionGroupBox opt = GroupOption(g, g->title());
    const QRect inside = s->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxContents, g);
    const QRect used = Bounds(children);
    const QPoint shift(qMax(0, inside.left() - used.left()), qMax(0, inside.top() - used.top()));
    if (!shift.isNull())
        for (QWidget* w : children)
            w->move(w->pos() + shift);
    const QRect moved = used.translated(shift);
    need.setWidth(qMax(need.width(), moved.right() + 1 + (g->width() - inside.right() - 1)));
    need.setHeight(qMax(need.height(), moved.bottom() + 1 + (g->height() - inside.bottom() - 1)));
    return need;
}

void Grow(QWidget* w, const QSize& need) {
    if (need.width() <= w->width() && need.height() <= w->height())
        return;
    const QSize size = w->size().expandedTo(need);
    const bool fixed = w->minimumSize() == w->maximumSize();
    if (fixed)
        w->setFixedSize(size);
    else if (w->isWindow() || (w->parentWidget() && w->parentWidget()->layout()))
        w->setMinimumSize(w->minimumSize().expandedTo(size)); // a layout would shrink it back
    w->resize(size);
}

void FitChildren(QWidget* parent) {
    const QList<QWidget*> children = PlacedChildren(parent);
    QList<QRect> designed;
    // A child never resized takes its size hint when it is shown.
    for (const QWidget* w : children)
        designed << (w->testAttribute(Qt::WA_Resized)
                         ? w->geometry()
                         : QRect(w->pos(), w->sizeHint().expandedTo(QSize(1, 1))));
    for (QWidget* w : children)
        if (!HasOwnInsides(w))
            FitChildren(w);
    if (parent->layout())
        return;

    QList<QSize> needed;
    for (qsizetype i = 0; i < children.size(); ++i) {
        const QWidget* w = children[i];
        // A child holding children may have grown in the pass above.
        const QSize now = w->testAttribute(Qt::WA_Resized) ? w->size() : QSize();
        needed << TextNeed(w).expandedTo(designed[i].size()).expandedTo(now);
    }
    const QList<QRect> placed = MakeRoom(designed, needed, kGap);
    QSize need = parent->size();
    for (qsizetype i = 0; i < children.size(); ++i) {
        if (placed[i] == designed[i])
            continue;
        children[i]->setGeometry(placed[i]);
        // A child that moved or grew past the parent's edge gets a margin there.
        if (placed[i].right() >= parent->width())
            need.setWidth(qMax(need.width(), placed[i].right() + 1 + kEdge));
        if (placed[i].bottom() >= parent->height())
            need.setHeight(qMax(need.height(), placed[i].bottom() + 1 + kEdge));
    }
    if (auto* g = qobject_cast<QGroupBox*>(parent))
        need = need.expandedTo(GroupNeed(g, children));
    Grow(parent, need);
}

} // namespace

QList<QRect> MakeRoom(const QList<QRect>& designed, const QList<QSize>& needed, int gap) {
    const qsizetype n = designed.size();
    QList<QRect> r;
    for (qsizetype i = 0; i < n; ++i)
        r << QRect(designed[i].topLeft(), designed[i].size().expandedTo(needed.value(i)));
    const auto across = [](const QRect& a, const QRect& b) {
        return a.top() <= b.bottom() && b.top() <= a.bottom();
    };
    const auto along = [](const QRect& a, const QRect& b) {
        return a.left() <= b.right() && b.left() <= a.right();
    };
    // Moves only go right or down, one step of the designed order at a time: n * n rounds end it.
    for (qsizetype round = 0; round <= n * n; ++round) {
        bool moved = false;
        for (qsizetype i = 0; i < n; ++i)
            for (qsizetype j = 0; j < n; ++j) {
                const QRect& a = designed[i];
                const QRect& b = designed[j];
                if (i == j || a.intersects(b))
                    continue;
                // How far j must move to keep its designed distance to i, up to gap.
                int dx = 0, dy = 0;
                if (b.left() > a.right() && across(r[i], r[j]))
                    dx = qMax(0, r[i].right() + 1 + qMin(b.left() - a.right() - 1, gap) - r[j].left());
                if (b.top() > a.bottom() && along(r[i], r[j]))
                    dy = qMax(0, r[i].bottom() + 1 + qMin(b.top() - a.bottom() - 1, gap) - r[j].top());
                if (dx == 0 && dy == 0)
                    continue;
                if (dy == 0 || (dx > 0 && dx <= dy))
                    r[j].translate(dx, 0);
                else
                    r[j].translate(0, dy);
                moved = true;
            }
        if (!moved)
            break;
    }
    return r;
}

void FitText(QWidget* window) {
    if (!window)
        return;
    // The central widget of a main window gets its real size from the window's layout.
    if (window->layout())
        window->layout()->activate();
    FitChildren(window);
    if (window->layout())
        window->resize(window->size().expandedTo(window->minimumSizeHint()));
}

void SetTextsToFit(QWidget* widget, const QStringList& texts) {
    widget->setProperty(kTextsProperty, texts);
}
