#include "notes/TDBNavigator.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace {
enum class TArrow { First, Prior, Next, Last };

// A black triangle, with a bar for first and last.
QIcon ArrowIcon(TArrow arrow) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    const bool left = arrow == TArrow::First || arrow == TArrow::Prior;
    QPainterPath triangle;
    if (left) {
        triangle.moveTo(11, 3);
        triangle.lineTo(11, 13);
        triangle.lineTo(5, 8);
    } else {
        triangle.moveTo(5, 3);
        triangle.lineTo(5, 13);
        triangle.lineTo(11, 8);
    }
    triangle.closeSubpath();
    p.drawPath(triangle);
    if (arrow == TArrow::First)
        p.drawRect(3, 3, 2, 10);
    if (arrow == TArrow::Last)
        p.drawRect(11, 3, 2, 10);
    return QIcon(pixmap);
}

QToolButton* MakeButton(QWidget* parent, TArrow arrow, const char* name, const QString& hint) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(ArrowIcon(arrow));
    button->setToolTip(hint);
    button->setFocusPolicy(Qt::NoFocus);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    button->setAutoRaise(false);
    return button;
}
} // namespace

TDBNavigator::TDBNavigator(QWidget* parent) : QWidget(parent) {
    setObjectName("DBNavigator");
    setToolTip(QStringLiteral("Datensatznavigation"));
    setFixedHeight(25);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    BtnFirst = MakeButton(this, TArrow::First, "NavFirst", QStringLiteral("First record"));
    BtnPrior = MakeButton(this, TArrow::Prior, "NavPrior", QStringLiteral("Prior record"));
    BtnNext = MakeButton(this, TArrow::Next, "NavNext", QStringLiteral("Next record"));
    BtnLast = MakeButton(this, TArrow::Last, "NavLast", QStringLiteral("Last record"));
    for (QToolButton* b : {BtnFirst, BtnPrior, BtnNext, BtnLast})
        row->addWidget(b);
    connect(BtnFirst, &QToolButton::clicked, this, &TDBNavigator::FirstClicked);
    connect(BtnPrior, &QToolButton::clicked, this, &TDBNavigator::PriorClicked);
    connect(BtnNext, &QToolButton::clicked, this, &TDBNavigator::NextClicked);
    connect(BtnLast, &QToolButton::clicked, this, &TDBNavigator::LastClicked);
    UpdateButtons(false, true, true);
}

void TDBNavigator::UpdateButtons(bool hasRows, bool bof, bool eof) {
    BtnFirst->setEnabled(hasRows && !bof);
    BtnPrior->setEnabled(hasRows && !bof);
    BtnNext->setEnabled(hasRows && !eof);
    BtnLast->setEnabled(hasRows && !eof);
}
