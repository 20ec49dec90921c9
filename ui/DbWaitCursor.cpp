#include "ui/DbWaitCursor.h"

#include <QCursor>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

int activeGuards = 0;

// Hourglass over the letters "SQL", 32 x 32, hot spot in the middle of the glass.
QCursor makeDbWaitCursor() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5, 0.5, 13, 2.5));
    p.drawRect(QRectF(6.5, 19, 13, 2.5));
    QPainterPath glass;
    glass.moveTo(8, 3);
    glass.lineTo(18, 3);
    glass.cubicTo(18, 8, 14, 10, 14, 11);
    glass.cubicTo(14, 12, 18, 14, 18, 19);
    glass.lineTo(8, 19);
    glass.cubicTo(8, 14, 12, 12, 12, 11);
    glass.cubicTo(12, 10, 8, 8, 8, 3);
    p.drawPath(glass);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawPolygon(QPolygonF({{9.5, 5}, {16.5, 5}, {13, 9.5}}));
    p.drawPolygon(QPolygonF({{13, 15}, {16.8, 18.5}, {9.2, 18.5}}));
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(9);
    f.setBold(true);
    p.setFont(f);
    const QRectF textBox(0, 22, 26, 10);
    // White halo so the letters read on any background.
    p.setPen(Qt::white);
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
            p.drawText(textBox.translated(dx, dy), Qt::AlignCenter, QStringLiteral("SQL"));
    p.setPen(Qt::black);
    p.drawText(textBox, Qt::AlignCenter, QStringLiteral("SQL"));
    p.end();
    return QCursor(pm, 13, 11);
}

} // namespace

TDbWaitCursor::TDbWaitCursor() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        static const QCursor cursor = makeDbWaitCursor();
        QGuiApplication::setOverrideCursor(cursor);
        pushed_ = true;
    }
    ++activeGuards;
}

TDbWaitCursor::~TDbWaitCursor() {
    --activeGuards;
    if (pushed_)
        QGuiApplication::restoreOverrideCursor();
}

bool TDbWaitCursor::Active() {
    return activeGuards > 0;
}

QPixmap TDbWaitCursor::Picture() {
    return makeDbWaitCursor().pixmap();
}
