#include "look/LookCheck.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOption>
#include <QTextDocument>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QWidget>
#include <cmath>

namespace {

QString SizeText(const QSize& s) {
    return QStringLiteral("%1×%2").arg(s.width()).arg(s.height());
}

QString PlainText(QString text) {
    text.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    text.replace(QStringLiteral("&nbsp;"), QStringLiteral(" "));
    text.replace(u'\n', u' ');
    return text;
}

QString Shorten(const QString& text) {
    const QString plain = PlainText(text);
    return plain.size() > 60 ? plain.left(57) + QStringLiteral("...") : plain;
}

QString Name(const QWidget* w) {
    QString name = w->objectName();
    if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
        name = QString::fromLatin1(w->metaObject()->className());
    return name;
}

QString WindowName(const QWidget* window) {
    return Name(window) + QStringLiteral(" \"") + window->windowTitle() + u'"';
}

// Widgets whose area is their own: two of them must not share pixels.
bool IsSolid(const QWidget* w) {
    return qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractButton*>(w) ||
           qobject_cast<const QGroupBox*>(w) || qobject_cast<const QLineEdit*>(w) ||
           qobject_cast<const QAbstractScrollArea*>(w) || qobject_cast<const QProgressBar*>(w) ||
           qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QToolBar*>(w) || qobject_cast<const QStatusBar*>(w);
}

// Editors and views draw their own insides.
bool LooksInside(const QWidget* w) {
    return !(qobject_cast<const QAbstractScrollArea*>(w) || qobject_cast<const QLineEdit*>(w) ||
             qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractSpinBox*>(w));
}

QSize Ceil(const QSizeF& s) {
    return QSize(int(std::ceil(s.width() - 0.01)), int(std::ceil(s.height() - 0.01)));
}

// Room a label's text needs, and the room it has.
void CheckLabel(const QLabel* label, QStringList& faults, const QString& where) {
    const QString text = label->text();
    if (text.isEmpty() || !label->pixmap().isNull())
        return;
    QRect room = label->contentsRect();
    const int m = label->margin();
    room.adjust(m, m, -m, -m);
    const bool rich = label->textFormat() == Qt::RichText ||
                      (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text));
    QSize need;
    if (rich) {
        QTextDocument doc;
        doc.setDefaultFont(label->font());
        doc.setDocumentMargin(0);
        doc.setHtml(text);
        if (label->wordWrap()) {
            doc.setTextWidth(room.width());
            need = Ceil(QSizeF(doc.idealWidth(), doc.size().height()));
        } else {
            need = Ceil(doc.size());
        }
    } else {
        int flags = label->buddy() ? int(Qt::TextShowMnemonic) : 0;
        const QFontMetrics fm(label->font());
        if (label->wordWrap())
            need = fm.boundingRect(QRect(0, 0, room.width(), 100000), flags | Qt::TextWordWrap, text).size();
        else
            need = fm.size(flags, text);
    }
    if (need.width() > room.width() || need.height() > room.height())
        faults << where + QStringLiteral(": text \"%1\" needs %2, has %3")
                              .arg(Shorten(text), SizeText(need), SizeText(room.size()));
}

QSize IconRoom(const QAbstractButton* b) {
    if (b->icon().isNull())
        return {};
    return b->icon().actualSize(b->iconSize());
}

// Text beside an optional icon, as the styles draw button labels (4 pixels between them).
QSize ButtonLabelNeeds(const QAbstractButton* b) {
    const QSize text = b->text().isEmpty() ? QSize() : b->fontMetrics().size(Qt::TextShowMnemonic, b->text());
    const QSize icon = IconRoom(b);
    if (icon.isEmpty())
        return text;
    if (text.isEmpty())
        return icon;
    return QSize(text.width() + 4 + icon.width(), qMax(text.height(), icon.height()));
}

// Entries of a tree (the help's contents) must show whole, without scrolling across.
void CheckTree(const QTreeView* tree, QStringList& faults, const QString& where) {
    const QAbstractItemModel* model = tree->model();
    if (!model)
        return;
    const int room = tree->viewport()->width();
    QList<QModelIndex> pending{QModelIndex()};
    while (!pending.isEmpty()) {
        const QModelIndex parent = pending.takeLast();
        for (int row = 0; row < model->rowCount(parent); ++row) {
            const QModelIndex index = model->index(row, 0, parent);
            if (tree->isExpanded(index))
                pending << index;
            const QRect shown = tree->visualRect(index);
            if (shown.isEmpty())
                continue;
            QStyleOptionViewItem opt;
            opt.initFrom(tree);
            opt.font = tree->font();
            opt.decorationSize = tree->iconSize().isValid() ? tree->iconSize() : QSize(16, 16);
            opt.features = QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
            const int need = tree->itemDelegateForIndex(index)->sizeHint(opt, index).width();
            if (shown.width() < need || shown.x() + need > room)
                faults << where +
                              QStringLiteral(": entry \"%1\" needs %2 pixels from x %3, the view shows %4")
                                  .arg(Shorten(index.data().toString()))
                                  .arg(need)
                                  .arg(shown.x())
                                  .arg(room);
        }
    }
}

void CheckPushButton(const QPushButton* b, QStringList& faults, const QString& where) {
    if (b->text().isEmpty())
        return;
    QStyleOptionButton opt;
    opt.initFrom(b);
    opt.text = b->text();
    opt.icon = b->icon();
    opt.iconSize = b->iconSize();
    if (b->isDefault())
        opt.features |= QStyleOptionButton::DefaultButton;
    if (b->autoDefault())
        opt.features |= QStyleOptionButton::AutoDefaultButton;
    if (b->isFlat())
        opt.features |= QStyleOptionButton::Flat;
    const QRect room = b->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, b);
    QSize need = ButtonLabelNeeds(b);
    // The style's own margin between label and bevel, across.
    need.rwidth() += b->style()->pixelMetric(QStyle::PM_ButtonMargin, &opt, b);
    if (need.width() > room.width() || need.height() > room.height())
        faults << where + QStringLiteral(": caption \"%1\" needs %2, has %3")
                              .arg(Shorten(b->text()), SizeText(need), SizeText(room.size()));
}

void CheckChoice(const QAbstractButton* b, bool radio, QStringList& faults, const QString& where) {
    QStyleOptionButton opt;
    opt.initFrom(b);
    opt.text = b->text();
    opt.icon = b->icon();
    opt.iconSize = b->iconSize();
    QStyle* s = b->style();
    const QRect indicator =
        s->subElementRect(radio ? QStyle::SE_RadioButtonIndicator : QStyle::SE_CheckBoxIndicator, &opt, b);
    if (!b->rect().contains(indicator))
        faults << where + QStringLiteral(": indicator %1 does not fit in %2")
                              .arg(SizeText(indicator.size()), SizeText(b->size()));
    if (b->text().isEmpty())
        return;
    const QRect room =
        s->subElementRect(radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents, &opt, b);
    const QSize need = ButtonLabelNeeds(b);
    if (need.width() > room.width() || need.height() > room.height())
        faults << where + QStringLiteral(": caption \"%1\" needs %2 beside its indicator, has %3")
                              .arg(Shorten(b->text()), SizeText(need), SizeText(room.size()));
}

QStyleOptionGroupBox GroupOption(const QGroupBox* g) {
    QStyleOptionGroupBox opt;
    opt.initFrom(g);
    opt.text = g->title();
    opt.lineWidth = 1;
    opt.midLineWidth = 0;
    opt.textAlignment = Qt::Alignment(g->alignment());
    opt.subControls = QStyle::SC_GroupBoxFrame;
    if (!g->title().isEmpty())
        opt.subControls |= QStyle::SC_GroupBoxLabel;
    if (g->isCheckable())
        opt.subControls |= QStyle::SC_GroupBoxCheckBox;
    if (g->isFlat())
        opt.features |= QStyleOptionFrame::Flat;
    return opt;
}

void CheckGroupBox(const QGroupBox* g, QStringList& faults, const QString& where) {
    const QStyleOptionGroupBox opt = GroupOption(g);
    QStyle* s = g->style();
    if (!g->title().isEmpty()) {
        const QSize need = g->fontMetrics().size(Qt::TextShowMnemonic, g->title());
        const QRect label = s->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, g);
        // The frame's corner needs a few pixels to the right of the title.
        const QRect room = g->rect().adjusted(0, 0, -2, 0);
        if (need.width() > label.width() || !room.contains(label))
            faults << where + QStringLiteral(": title \"%1\" needs %2 from x %3, the box is %4 wide")
                                  .arg(Shorten(g->title()), SizeText(need))
                                  .arg(label.x())
                                  .arg(g->width());
    }
    const QRect contents = s->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxContents, g);
    for (const QWidget* child : g->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->isVisible() && IsSolid(child) && !contents.contains(child->geometry()))
            faults << where + QStringLiteral(" / ") + Name(child) +
                          QStringLiteral(
                              ": lies on the group's title or frame (at %1,%2 %3; inside is %4,%5 %6)")
                              .arg(child->x())
                              .arg(child->y())
                              .arg(SizeText(child->size()))
                              .arg(contents.x())
                              .arg(contents.y())
                              .arg(SizeText(contents.size()));
}

bool CarriesText(const QWidget* w) {
    if (auto* l = qobject_cast<const QLabel*>(w))
        return !l->text().isEmpty();
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return !b->text().isEmpty();
    return qobject_cast<const QGroupBox*>(w) != nullptr;
}

void Walk(const QWidget* parent, const QString& windowName, QStringList& faults) {
    QList<const QWidget*> shown;
    for (const QWidget* w : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w->isVisible() && !w->isWindow())
            shown << w;

    for (const QWidget* w : shown) {
        const QString where = windowName + QStringLiteral(": ") + Name(w);
        if (auto* l = qobject_cast<const QLabel*>(w))
            CheckLabel(l, faults, where);
        else if (auto* r = qobject_cast<const QRadioButton*>(w))
            CheckChoice(r, true, faults, where);
        else if (auto* c = qobject_cast<const QCheckBox*>(w))
            CheckChoice(c, false, faults, where);
        else if (auto* p = qobject_cast<const QPushButton*>(w))
            CheckPushButton(p, faults, where);
        else if (auto* t = qobject_cast<const QToolButton*>(w)) {
            if (t->toolButtonStyle() != Qt::ToolButtonIconOnly && !t->text().isEmpty() &&
                (t->width() < t->sizeHint().width() || t->height() < t->sizeHint().height()))
                faults << where + QStringLiteral(": caption \"%1\" needs %2, has %3")
                                      .arg(Shorten(t->text()), SizeText(t->sizeHint()), SizeText(t->size()));
        } else if (auto* g = qobject_cast<const QGroupBox*>(w))
            CheckGroupBox(g, faults, where);
        else if (auto* tree = qobject_cast<const QTreeView*>(w))
            CheckTree(tree, faults, where);

        if (CarriesText(w) && !parent->rect().contains(w->geometry()))
            faults << where + QStringLiteral(": reaches out of %1 (at %2,%3 %4 in %5)")
                                  .arg(Name(parent))
                                  .arg(w->x())
                                  .arg(w->y())
                                  .arg(SizeText(w->size()), SizeText(parent->size()));
    }

    for (qsizetype i = 0; i < shown.size(); ++i)
        for (qsizetype j = i + 1; j < shown.size(); ++j)
            if (IsSolid(shown[i]) && IsSolid(shown[j]) &&
                shown[i]->geometry().intersects(shown[j]->geometry()))
                faults << windowName + QStringLiteral(": ") + Name(shown[i]) + QStringLiteral(" overlaps ") +
                              Name(shown[j]);

    for (const QWidget* w : shown)
        if (LooksInside(w))
            Walk(w, windowName, faults);
}

void CollectTexts(const QWidget* w, QStringList& texts) {
    if (!w->toolTip().isEmpty())
        texts << w->toolTip();
    if (auto* l = qobject_cast<const QLabel*>(w))
        texts << PlainText(l->text());
    else if (auto* b = qobject_cast<const QAbstractButton*>(w))
        texts << b->text();
    else if (auto* g = qobject_cast<const QGroupBox*>(w))
        texts << g->title();
    for (const QWidget* child : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->isWindow())
            CollectTexts(child, texts);
}

} // namespace

QStringList LookFaults(const QWidget* window) {
    QStringList faults;
    Walk(window, WindowName(window), faults);
    return faults;
}

QStringList VisibleTexts(const QWidget* window) {
    QStringList texts{window->windowTitle()};
    CollectTexts(window, texts);
    for (const QAction* a : window->findChildren<QAction*>())
        if (!a->toolTip().isEmpty())
            texts << a->toolTip();
    return texts;
}
