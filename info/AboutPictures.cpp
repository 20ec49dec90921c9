#include "info/AboutPictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

QPixmap MakerPhotograph() {
    QPixmap pix(92, 105);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient back(0, 0, 0, 105);
    back.setColorAt(0, QColor(120, 150, 180));
    back.setColorAt(1, QColor(60, 80, 110));
    p.fillRect(pix.rect(), back);
    // Shoulders in a dark jacket with a light collar.
    QPainterPath body;
    body.moveTo(6, 105);
    body.cubicTo(8, 78, 26, 70, 46, 70);
    body.cubicTo(66, 70, 84, 78, 86, 105);
    body.closeSubpath();
    p.fillPath(body, QColor(45, 50, 62));
    QPainterPath collar;
    collar.moveTo(38, 71);
    collar.lineTo(46, 88);
    collar.lineTo(54, 71);
    collar.closeSubpath();
    p.fillPath(collar, QColor(235, 235, 240));
    // Neck, face, hair.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(222, 180, 150));
    p.drawRect(40, 56, 12, 16);
    QRadialGradient face(44, 38, 22);
    face.setColorAt(0, QColor(245, 210, 180));
    face.setColorAt(1, QColor(215, 170, 140));
    p.setBrush(face);
    p.drawEllipse(QRectF(29, 20, 34, 42));
    p.setBrush(QColor(90, 60, 40));
    QPainterPath hair;
    hair.moveTo(28, 38);
    hair.cubicTo(26, 14, 66, 12, 64, 38);
    hair.cubicTo(60, 26, 36, 24, 28, 38);
    p.drawPath(hair);
    // Eyes and a smile.
    p.setBrush(QColor(50, 50, 60));
    p.drawEllipse(QPointF(39, 40), 2, 2);
    p.drawEllipse(QPointF(53, 40), 2, 2);
    p.setPen(QPen(QColor(150, 80, 70), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(39, 44, 14, 9), 200 * 16, 140 * 16);
    p.setPen(QPen(QColor(30, 40, 60), 1));
    p.drawRect(pix.rect().adjusted(0, 0, -1, -1));
    return pix;
}

QPixmap ProgramLogo() {
    QPixmap pix(114, 41);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    // A yellow note sheet with a folded corner and a teal pin.
    QPainterPath sheet;
    sheet.moveTo(3, 5);
    sheet.lineTo(27, 5);
    sheet.lineTo(33, 11);
    sheet.lineTo(33, 37);
    sheet.lineTo(3, 37);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(160, 130, 20), 1));
    p.setBrush(QColor(255, 230, 90));
    p.drawPath(sheet);
    p.setPen(QPen(QColor(180, 150, 60), 1));
    for (int y = 16; y <= 32; y += 5)
        p.drawLine(8, y, 28, y);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 128, 128));
    p.drawEllipse(QPointF(18, 7), 4, 4);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(14);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(26, 60, 110));
    p.drawText(QRect(37, 4, 77, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Zettel"));
    p.setPen(QColor(0, 128, 128));
    p.drawText(QRect(37, 19, 77, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("werk"));
    return pix;
}

QPixmap FirebirdLogo() {
    QPixmap pix(120, 40);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath frame;
    frame.addRoundedRect(QRectF(0.5, 0.5, 119, 39), 5, 5);
    p.fillPath(frame, QColor(30, 30, 36));
    // A flame-coloured bird rising from the left.
    QPainterPath bird;
    bird.moveTo(6, 32);
    bird.cubicTo(10, 18, 20, 10, 32, 6);
    bird.cubicTo(26, 14, 26, 20, 30, 24);
    bird.cubicTo(24, 24, 16, 27, 6, 32);
    QLinearGradient flame(6, 32, 32, 6);
    flame.setColorAt(0, QColor(200, 40, 20));
    flame.setColorAt(0.6, QColor(245, 130, 20));
    flame.setColorAt(1, QColor(255, 215, 60));
    p.fillPath(bird, flame);
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(8);
    p.setFont(small);
    p.setPen(QColor(210, 210, 210));
    p.drawText(QRect(36, 4, 80, 10), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("powered by"));
    QFont big(QStringLiteral("DejaVu Sans"));
    big.setPixelSize(15);
    big.setBold(true);
    p.setFont(big);
    p.setPen(QColor(250, 150, 30));
    p.drawText(QRect(36, 15, 82, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Firebird"));
    return pix;
}
