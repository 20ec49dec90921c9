#include "ui/ImageListMain.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <array>
#include <functional>

namespace {

// Every picture is drawn on a 16 x 16 grid; the painter is scaled for larger sizes.
using Draw = void (*)(QPainter&);

const QColor kOutline(40, 40, 40);

void pen(QPainter& p, const QColor& c, qreal w = 1.0) {
    p.setPen(QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void floppy(QPainter& p, const QRectF& r) {
    // Body, metal shutter, white label; r is the outer box.
    const qreal s = r.width() / 14.0;
    p.setPen(QPen(QColor(10, 30, 90), 0.8 * s));
    p.setBrush(QColor(30, 80, 200));
    QPainterPath body;
    body.moveTo(r.left(), r.top());
    body.lineTo(r.right() - 2 * s, r.top());
    body.lineTo(r.right(), r.top() + 2 * s);
    body.lineTo(r.right(), r.bottom());
    body.lineTo(r.left(), r.bottom());
    body.closeSubpath();
    p.drawPath(body);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 205, 215));
    p.drawRect(QRectF(r.left() + 3 * s, r.top(), 7 * s, 5 * s));
    p.setBrush(QColor(30, 80, 200));
    p.drawRect(QRectF(r.left() + 7.5 * s, r.top() + 1 * s, 1.5 * s, 3 * s));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(r.left() + 2 * s, r.top() + 7.5 * s, 10 * s, 6.5 * s));
    p.setPen(QPen(QColor(120, 140, 200), 0.6 * s));
    p.drawLine(QPointF(r.left() + 3 * s, r.top() + 9.5 * s), QPointF(r.left() + 11 * s, r.top() + 9.5 * s));
    p.drawLine(QPointF(r.left() + 3 * s, r.top() + 11.5 * s), QPointF(r.left() + 11 * s, r.top() + 11.5 * s));
}

void drawSave(QPainter& p) {
    floppy(p, QRectF(1, 1, 14, 14));
}

void drawAbout(QPainter& p) {
    pen(p, QColor(10, 40, 120));
    p.setBrush(QColor(40, 100, 220));
    p.drawPolygon(QPolygonF({{8, 0.5}, {15.5, 8}, {8, 15.5}, {0.5, 8}}));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 4.6), 1.3, 1.3);
    p.drawRect(QRectF(6.9, 6.6, 2.2, 6));
}

void drawNewNote(QPainter& p) {
    pen(p, QColor(120, 0, 0));
    p.setBrush(QColor(220, 30, 30));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.8, 3.5, 2.4, 9));
    p.drawRect(QRectF(3.5, 6.8, 9, 2.4));
}

void drawSearchMenu(QPainter& p) {
    // Binoculars: two yellow barrels, a bridge, dark lenses below.
    pen(p, QColor(110, 80, 0), 0.8);
    p.setBrush(QColor(245, 200, 20));
    p.drawRoundedRect(QRectF(1, 3, 6, 9), 1.5, 1.5);
    p.drawRoundedRect(QRectF(9, 3, 6, 9), 1.5, 1.5);
    p.drawRect(QRectF(6.5, 5, 3, 3.5));
    p.setBrush(QColor(30, 30, 60));
    p.drawEllipse(QRectF(0.8, 9.5, 6.4, 5.5));
    p.drawEllipse(QRectF(8.8, 9.5, 6.4, 5.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 160, 230));
    p.drawEllipse(QRectF(2.5, 11, 2, 2));
    p.drawEllipse(QRectF(10.5, 11, 2, 2));
}

void drawQuit(QPainter& p) {
    // Door frame with a landscape behind it and the door swung open to the left.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 190, 250));
    p.drawRect(QRectF(5, 1.5, 9, 13));
    p.setBrush(QColor(60, 170, 60));
    QPainterPath hill;
    hill.moveTo(5, 10);
    hill.quadTo(9, 7, 14, 9.5);
    hill.lineTo(14, 14.5);
    hill.lineTo(5, 14.5);
    hill.closeSubpath();
    p.drawPath(hill);
    p.setBrush(QColor(255, 220, 0));
    p.drawEllipse(QPointF(11.5, 4.5), 1.3, 1.3);
    pen(p, QColor(90, 50, 20), 1.2);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(5, 1.5, 9, 13));
    pen(p, QColor(70, 35, 10), 0.8);
    p.setBrush(QColor(160, 90, 40));
    p.drawPolygon(QPolygonF({{5, 1.5}, {1.5, 3.5}, {1.5, 15.5}, {5, 14.5}}));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 220, 120));
    p.drawEllipse(QPointF(3.8, 9), 0.7, 0.7);
}

void drawRunSearch(QPainter& p) {
    pen(p, QColor(130, 90, 0), 0.8);
    p.setBrush(QColor(255, 215, 0));
    p.drawPolygon(QPolygonF({{10, 0.5}, {3, 9}, {7.5, 9}, {5, 15.5}, {13, 6}, {8.5, 6}, {11.5, 0.5}}));
}

void drawConnected(QPainter& p) {
    // Orange cable from the lower left into a green plug with two prongs.
    p.setBrush(Qt::NoBrush);
    pen(p, QColor(150, 70, 0), 3);
    QPainterPath cable;
    cable.moveTo(0.5, 15.5);
    cable.cubicTo(1.5, 10, 5, 13, 6, 9.5);
    p.drawPath(cable);
    pen(p, QColor(250, 140, 20), 1.8);
    p.drawPath(cable);
    p.save();
    p.translate(9.5, 6.5);
    p.rotate(-45);
    pen(p, QColor(0, 80, 0), 0.8);
    p.setBrush(QColor(40, 180, 40));
    p.drawRoundedRect(QRectF(-3, -3.5, 6, 6.5), 1, 1);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 150, 150));
    p.drawRect(QRectF(-2.2, -6.5, 1.3, 3));
    p.drawRect(QRectF(0.9, -6.5, 1.3, 3));
    p.restore();
}

void page(QPainter& p) {
    pen(p, QColor(110, 110, 110), 0.8);
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({{2.5, 0.5}, {10, 0.5}, {13.5, 4}, {13.5, 15.5}, {2.5, 15.5}}));
    p.setBrush(QColor(210, 210, 210));
    p.drawPolygon(QPolygonF({{10, 0.5}, {10, 4}, {13.5, 4}}));
}

void arrowArc(QPainter& p, const QPointF& c, qreal r, qreal startDeg, qreal spanDeg, const QColor& col) {
    // An arc with an arrow head at its end (angles counter-clockwise, 0 = east).
    pen(p, col, 1.6);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), int(startDeg * 16), int(spanDeg * 16));
    const qreal end = qDegreesToRadians(startDeg + spanDeg);
    const QPointF tip(c.x() + r * std::cos(end), c.y() - r * std::sin(end));
    const qreal dir = spanDeg > 0 ? 1 : -1;
    const QPointF tangent(-std::sin(end) * dir, -std::cos(end) * dir);
    const QPointF normal(tangent.y(), -tangent.x());
    p.setPen(Qt::NoPen);
    p.setBrush(col);
    p.drawPolygon(QPolygonF({tip + tangent * 2.2, tip + normal * 2.0, tip - normal * 2.0}));
}

void drawListAll(QPainter& p) {
    page(p);
    const QColor green(20, 150, 40);
    arrowArc(p, {8, 9.5}, 3.8, 100, 150, green);
    arrowArc(p, {8, 9.5}, 3.8, 280, 150, green);
}

void drawDelete(QPainter& p) {
    pen(p, QColor(60, 60, 60), 0.8);
    p.setBrush(QColor(160, 160, 165));
    p.drawPolygon(QPolygonF({{3.5, 4.5}, {12.5, 4.5}, {11.5, 15.5}, {4.5, 15.5}}));
    p.setBrush(QColor(130, 130, 135));
    p.drawRect(QRectF(2, 2.5, 12, 2));
    p.drawRect(QRectF(6, 0.8, 4, 1.7));
    pen(p, QColor(90, 90, 95), 0.9);
    p.drawLine(QPointF(6, 6.5), QPointF(6.3, 14));
    p.drawLine(QPointF(8, 6.5), QPointF(8, 14));
    p.drawLine(QPointF(10, 6.5), QPointF(9.7, 14));
}

void drawCancel(QPainter& p) {
    pen(p, QColor(150, 60, 0));
    p.setBrush(QColor(245, 130, 20));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    pen(p, Qt::white, 2.2);
    p.drawLine(QPointF(5, 5), QPointF(11, 11));
    p.drawLine(QPointF(11, 5), QPointF(5, 11));
}

void drawEdit(QPainter& p) {
    page(p);
    pen(p, QColor(170, 170, 170), 0.7);
    for (qreal y : {6.0, 8.5, 11.0})
        p.drawLine(QPointF(4, y), QPointF(9, y));
    // Pencil lying diagonally across the page.
    p.save();
    p.translate(9.5, 9.5);
    p.rotate(45);
    pen(p, QColor(90, 60, 0), 0.7);
    p.setBrush(QColor(250, 200, 30));
    p.drawRect(QRectF(-1.6, -7.5, 3.2, 9));
    p.setBrush(QColor(240, 120, 120));
    p.drawRect(QRectF(-1.6, -9, 3.2, 1.5));
    p.setBrush(QColor(240, 215, 170));
    p.drawPolygon(QPolygonF({{-1.6, 1.5}, {1.6, 1.5}, {0, 5}}));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 30, 30));
    p.drawPolygon(QPolygonF({{-0.6, 3.7}, {0.6, 3.7}, {0, 5}}));
    p.restore();
}

void gear(QPainter& p, const QPointF& c, qreal rOuter, qreal rInner, int teeth, const QColor& fill) {
    QPolygonF poly;
    for (int i = 0; i < teeth * 4; ++i) {
        const qreal a = 2 * M_PI * (i - 0.5) / (teeth * 4);
        const qreal r = (i % 4 == 0 || i % 4 == 1) ? rOuter : rInner;
        poly << QPointF(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
    }
    pen(p, fill.darker(180), 0.7);
    p.setBrush(fill);
    p.drawPolygon(poly);
    p.setBrush(Qt::white);
    p.drawEllipse(c, rInner * 0.4, rInner * 0.4);
}

void drawAdmin(QPainter& p) {
    gear(p, {8, 8}, 6.2, 4.4, 8, QColor(215, 165, 20));
    const QColor green(20, 150, 40);
    arrowArc(p, {8, 8}, 7.2, 60, 70, green);
    arrowArc(p, {8, 8}, 7.2, 240, 70, green);
}

void database(QPainter& p, const QRectF& r) {
    const qreal e = r.height() * 0.25;
    pen(p, QColor(70, 70, 75), 0.8);
    p.setBrush(QColor(175, 175, 180));
    QPainterPath body;
    body.moveTo(r.left(), r.top() + e / 2);
    body.lineTo(r.left(), r.bottom() - e / 2);
    body.arcTo(QRectF(r.left(), r.bottom() - e, r.width(), e), 180, 180);
    body.lineTo(r.right(), r.top() + e / 2);
    body.closeSubpath();
    p.drawPath(body);
    p.setBrush(QColor(215, 215, 220));
    p.drawEllipse(QRectF(r.left(), r.top(), r.width(), e));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(r.left(), r.top() + r.height() * 0.33, r.width(), e), 180 * 16, 180 * 16);
}

void drawRestore(QPainter& p) {
    database(p, QRectF(1, 1, 10, 14));
    // Green arrow pointing into the database from the right.
    pen(p, QColor(0, 90, 0), 0.7);
    p.setBrush(QColor(30, 180, 40));
    p.drawPolygon(QPolygonF({{15.5, 7}, {11, 7}, {11, 4.5}, {6.5, 9}, {11, 13.5}, {11, 11}, {15.5, 11}}));
}

void drawBackup(QPainter& p) {
    database(p, QRectF(0.5, 0.5, 10, 13));
    floppy(p, QRectF(7.5, 7.5, 8, 8));
}

void drawUpdate(QPainter& p) {
    // Globe with meridians and green land, a small computer in front of it.
    pen(p, QColor(10, 50, 120), 0.8);
    p.setBrush(QColor(60, 130, 230));
    p.drawEllipse(QRectF(0.5, 0.5, 11, 11));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 170, 60));
    p.drawEllipse(QRectF(2.5, 2, 4, 3.5));
    p.drawEllipse(QRectF(6, 5.5, 3.5, 3.5));
    pen(p, QColor(180, 210, 255), 0.5);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(3.5, 0.5, 5, 11));
    p.drawLine(QPointF(0.5, 6), QPointF(11.5, 6));
    pen(p, QColor(40, 40, 40), 0.8);
    p.setBrush(QColor(220, 220, 215));
    p.drawRect(QRectF(7.5, 7.5, 8, 6));
    p.setBrush(QColor(40, 90, 160));
    p.drawRect(QRectF(8.7, 8.7, 5.6, 3.6));
    p.setBrush(QColor(190, 190, 185));
    p.drawRect(QRectF(9.5, 13.5, 4, 1.8));
}

void drawHelp(QPainter& p) {
    pen(p, QColor(10, 40, 120));
    p.setBrush(QColor(40, 100, 220));
    p.drawEllipse(QRectF(0.7, 0.7, 14.6, 14.6));
    pen(p, Qt::white, 2.0);
    p.setBrush(Qt::NoBrush);
    QPainterPath q;
    q.moveTo(5.3, 5.8);
    q.cubicTo(5.3, 2.6, 10.8, 2.6, 10.8, 5.6);
    q.cubicTo(10.8, 7.6, 8, 7.6, 8, 10);
    p.drawPath(q);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 12.6), 1.25, 1.25);
}

constexpr std::array<Draw, ImageListMain::Count> kPictures = {
    drawSave,      drawAbout,   drawNewNote, drawSearchMenu, drawQuit, drawRunSearch,
    drawConnected, drawListAll, drawDelete,  drawCancel,     drawEdit, drawAdmin,
    drawRestore,   drawBackup,  drawUpdate,  drawHelp};

QPixmap renderWith(Draw draw, int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    draw(p);
    return pm;
}

QPixmap render(int index, int size) {
    if (index < 0 || index >= ImageListMain::Count) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        return pm;
    }
    return renderWith(kPictures[std::size_t(index)], size);
}

void drawTray(QPainter& p) {
    // 32 x 32 grid: a yellow note sheet, slightly turned, held by a teal push-pin.
    p.save();
    p.translate(16, 17);
    p.rotate(-4);
    pen(p, QColor(150, 120, 0), 1);
    p.setBrush(QColor(255, 236, 90));
    QPainterPath sheet;
    sheet.moveTo(-12, -12);
    sheet.lineTo(12, -12);
    sheet.lineTo(12, 8);
    sheet.lineTo(7, 13);
    sheet.lineTo(-12, 13);
    sheet.closeSubpath();
    p.drawPath(sheet);
    p.setBrush(QColor(225, 195, 40));
    p.drawPolygon(QPolygonF({{12, 8}, {7, 8}, {7, 13}}));
    pen(p, QColor(170, 140, 60), 1);
    for (int y : {-2, 2, 6})
        p.drawLine(QPointF(-8, y), QPointF(y == 6 ? 4 : 8, y));
    p.restore();
    // Pin: needle, then the round head with a highlight.
    pen(p, QColor(90, 90, 90), 1.5);
    p.drawLine(QPointF(16, 9), QPointF(13.5, 14));
    pen(p, QColor(0, 80, 80), 1);
    QRadialGradient g(QPointF(14.5, 4.5), 7);
    g.setColorAt(0, QColor(120, 230, 220));
    g.setColorAt(1, QColor(0, 128, 128));
    p.setBrush(g);
    p.drawEllipse(QPointF(16.5, 7), 5.5, 5.5);
}

// The waste bin with a green arrow turning out of it: what was deleted comes back.
void drawTrash(QPainter& p) {
    p.save();
    p.translate(0, 3);
    p.scale(0.8, 0.8);
    drawDelete(p);
    p.restore();
    arrowArc(p, {10.5, 5.5}, 4, 200, -230, QColor(20, 150, 40));
}

} // namespace

namespace ImageListMain {

QIcon TrashIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48})
        icon.addPixmap(renderWith(drawTrash, size));
    return icon;
}

QPixmap Pixmap(int index) {
    static std::array<QPixmap, Count> cache;
    if (index < 0 || index >= Count)
        return render(index, 16);
    QPixmap& pm = cache[std::size_t(index)];
    if (pm.isNull())
        pm = render(index, 16);
    return pm;
}

QPixmap Pixmap(int index, int size) {
    return size == 16 ? Pixmap(index) : render(index, size);
}

QIcon Icon(int index) {
    QIcon icon;
    icon.addPixmap(Pixmap(index));
    for (int size : {24, 32, 48})
        icon.addPixmap(render(index, size));
    return icon;
}

QPixmap TrayPixmap(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    drawTray(p);
    return pm;
}

QIcon TrayIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(TrayPixmap(size));
    return icon;
}

} // namespace ImageListMain
