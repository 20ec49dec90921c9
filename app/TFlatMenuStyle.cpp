#include "app/TFlatMenuStyle.h"

#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>

namespace {
const QColor kHotFill(0xC6, 0xD3, 0xEF);
const QColor kHotFrame(0x31, 0x69, 0xC6);
const QColor kSeparator(0x8A, 0x86, 0x7A);
const QColor kFrame(0x80, 0x80, 0x80);
} // namespace

TFlatMenuStyle::TFlatMenuStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

void TFlatMenuStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* p,
                                 const QWidget* widget) const {
    const auto* mi = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element != CE_MenuItem || !mi) {
        QProxyStyle::drawControl(element, option, p, widget);
        return;
    }
    const QRect r = mi->rect;
    const QPalette& pal = mi->palette;
    p->save();
    p->fillRect(r, pal.color(QPalette::Base));
    p->fillRect(QRect(r.left(), r.top(), kIconColumn, r.height()), pal.color(QPalette::Button));

    if (mi->menuItemType == QStyleOptionMenuItem::Separator) {
        p->setPen(kSeparator);
        const int y = r.center().y();
        p->drawLine(r.left() + kIconColumn + 4, y, r.right(), y);
        p->restore();
        return;
    }

    const bool enabled = mi->state & State_Enabled;
    if ((mi->state & State_Selected) && enabled) {
        p->fillRect(r.adjusted(0, 0, -1, -1), kHotFill);
        p->setPen(kHotFrame);
        p->setBrush(Qt::NoBrush);
        p->drawRect(r.adjusted(0, 0, -1, -1));
    }
    if (!mi->icon.isNull()) {
        const QPixmap pm = mi->icon.pixmap(QSize(16, 16), enabled ? QIcon::Normal : QIcon::Disabled);
        p->drawPixmap(r.left() + (kIconColumn - 16) / 2, r.top() + (r.height() - 16) / 2, pm);
    }
    QFont font = mi->font;
    if (mi->menuItemType == QStyleOptionMenuItem::DefaultItem)
        font.setBold(true);
    p->setFont(font);
    p->setPen(enabled ? pal.color(QPalette::Text) : pal.color(QPalette::Disabled, QPalette::Text));
    QString text = mi->text;
    QString shortcut;
    if (const int tab = text.indexOf('\t'); tab >= 0) {
        shortcut = text.mid(tab + 1);
        text.truncate(tab);
    }
    const QRect textRect(r.left() + kIconColumn + 8, r.top(), r.width() - kIconColumn - 16, r.height());
    p->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextShowMnemonic, text);
    if (!shortcut.isEmpty())
        p->drawText(textRect, Qt::AlignVCenter | Qt::AlignRight, shortcut);
    p->restore();
}

void TFlatMenuStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* p,
                                   const QWidget* widget) const {
    if (element == PE_FrameMenu) {
        p->save();
        p->setPen(kFrame);
        p->setBrush(Qt::NoBrush);
        p->drawRect(option->rect.adjusted(0, 0, -1, -1));
        p->restore();
        return;
    }
    if (element == PE_PanelMenu) {
        p->fillRect(option->rect, option->palette.color(QPalette::Base));
        drawPrimitive(PE_FrameMenu, option, p, widget);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, p, widget);
}

QSize TFlatMenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                       const QWidget* widget) const {
    const auto* mi = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (type != CT_MenuItem || !mi)
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    if (mi->menuItemType == QStyleOptionMenuItem::Separator)
        return {size.width(), kSeparatorHeight};
    QFont font = mi->font;
    font.setBold(true); // room for the default item
    const QFontMetrics fm(font);
    const int textWidth = fm.horizontalAdvance(QString(mi->text).remove('&'));
    return {kIconColumn + 8 + textWidth + 24, kItemHeight};
}

int TFlatMenuStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
    switch (metric) {
    case PM_MenuPanelWidth:
        return 1;
    case PM_MenuHMargin:
    case PM_MenuVMargin:
        return 0;
    case PM_SmallIconSize:
        return 16;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}
