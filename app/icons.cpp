#include "app/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace kw::app::icons {

namespace {

const QColor kNavy(0x1f, 0x3a, 0x6e);
const QColor kSteel(0x5a, 0x7d, 0xa8);
const QColor kPaper(0xfb, 0xfb, 0xf4);
const QColor kOlive(0x6b, 0x7a, 0x3a);
const QColor kRed(0xb8, 0x2e, 0x2e);
const QColor kGreen(0x2e, 0x8b, 0x3e);
const QColor kAmber(0xd9, 0x9a, 0x1e);

using Draw = std::function<void(QPainter &)>;

// Every picture is drawn on a 16 by 16 grid and scaled.
QIcon make(const Draw &draw)
{
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        draw(p);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QPen pen(const QColor &c, double w = 1.0)
{
    QPen pn(c, w);
    pn.setCapStyle(Qt::RoundCap);
    pn.setJoinStyle(Qt::RoundJoin);
    return pn;
}

void clipboard(QPainter &p)
{
    p.setPen(pen(kNavy));
    p.setBrush(QColor(0xb0, 0x8a, 0x5a));
    p.drawRoundedRect(QRectF(2.5, 2.0, 11, 13.5), 1, 1);
    p.setBrush(kPaper);
    p.drawRect(QRectF(4, 4, 8, 10));
    p.setBrush(kSteel);
    p.drawRoundedRect(QRectF(5.5, 1, 5, 2.5), 0.8, 0.8);
    p.setPen(pen(kNavy, 0.8));
    for (double y : {6.5, 8.5, 10.5, 12.5})
        p.drawLine(QPointF(5.5, y), QPointF(10.5, y));
}

void cabinet(QPainter &p)
{
    p.setPen(pen(kNavy));
    p.setBrush(QColor(0x9a, 0xa9, 0xb8));
    p.drawRect(QRectF(2.5, 1.5, 11, 13.5));
    p.setBrush(QColor(0xd4, 0xdc, 0xe4));
    for (double y : {2.5, 7.0, 11.5})
        p.drawRect(QRectF(3.5, y, 9, 3.5));
    p.setBrush(kNavy);
    for (double y : {4.25, 8.75, 13.25})
        p.drawRect(QRectF(7, y - 0.5, 2, 1));
}

void book(QPainter &p)
{
    p.setPen(pen(kNavy));
    p.setBrush(QColor(0x3c, 0x6e, 0x47));
    p.drawRoundedRect(QRectF(3, 1.5, 10, 13), 1, 1);
    p.setBrush(kPaper);
    p.drawRect(QRectF(4.5, 12, 8.5, 2.5));
    p.setPen(pen(QColor(0xe8, 0xd8, 0x8a), 1));
    p.drawLine(QPointF(6, 5), QPointF(11, 5));
    p.drawLine(QPointF(6, 7), QPointF(10, 7));
    p.setPen(pen(kNavy, 0.8));
    p.drawLine(QPointF(4.5, 1.8), QPointF(4.5, 12));
}

void gear(QPainter &p)
{
    p.setPen(pen(kNavy, 0.8));
    p.setBrush(kSteel);
    QPainterPath path;
    const QPointF c(8, 8);
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(c);
        p.rotate(i * 45);
        p.drawRect(QRectF(-1.5, -7.5, 3, 3));
        p.restore();
    }
    p.drawEllipse(c, 5, 5);
    p.setBrush(kPaper);
    p.drawEllipse(c, 2, 2);
}

void magnifier(QPainter &p)
{
    p.setPen(pen(kNavy, 1.2));
    p.setBrush(QColor(0xdc, 0xec, 0xfa));
    p.drawEllipse(QPointF(6.5, 6.5), 4.5, 4.5);
    p.setPen(pen(kGreen, 1.4));
    p.drawPolyline(QPolygonF({QPointF(4.3, 6.6), QPointF(6.0, 8.3), QPointF(9, 4.8)}));
    p.setPen(pen(QColor(0x6b, 0x4a, 0x2a), 2.2));
    p.drawLine(QPointF(10, 10), QPointF(14.3, 14.3));
}

void aircraft(QPainter &p)
{
    // A helicopter: rotor, cabin, tail boom.
    p.setPen(pen(kNavy, 1));
    p.drawLine(QPointF(1.5, 3.5), QPointF(13.5, 3.5));
    p.drawLine(QPointF(7.5, 3.5), QPointF(7.5, 5.5));
    p.setBrush(kOlive);
    p.drawEllipse(QRectF(3, 5.5, 8, 6));
    p.drawRect(QRectF(10.5, 7.5, 4, 1.5));
    p.drawLine(QPointF(14.5, 6), QPointF(14.5, 10));
    p.setBrush(QColor(0xbf, 0xdc, 0xf2));
    p.drawChord(QRectF(3, 5.5, 5, 5), 90 * 16, 120 * 16);
    p.drawLine(QPointF(4, 13.5), QPointF(10, 13.5));
    p.drawLine(QPointF(5.5, 11.3), QPointF(5, 13.5));
    p.drawLine(QPointF(8.5, 11.3), QPointF(9, 13.5));
}

void vest(QPainter &p)
{
    // A life preserver vest in signal orange.
    p.setPen(pen(kNavy, 0.9));
    p.setBrush(QColor(0xf0, 0x7a, 0x1e));
    QPainterPath left;
    left.moveTo(7.3, 2);
    left.lineTo(5, 2);
    left.lineTo(2.5, 5);
    left.lineTo(3, 14.5);
    left.lineTo(7.3, 14.5);
    left.closeSubpath();
    p.drawPath(left);
    QTransform mirror(-1, 0, 0, 1, 16, 0);
    p.drawPath(mirror.map(left));
    p.setPen(pen(QColor(0xe6, 0xe6, 0xe6), 1.2));
    p.drawLine(QPointF(3, 9), QPointF(7, 9));
    p.drawLine(QPointF(9, 9), QPointF(13, 9));
}

void generic(QPainter &p)
{
    p.setPen(pen(kNavy));
    p.setBrush(kPaper);
    p.drawRect(QRectF(3, 2, 10, 12));
}

void disk(QPainter &p)
{
    p.setPen(pen(kNavy));
    p.setBrush(kSteel);
    p.drawRoundedRect(QRectF(2, 2, 12, 12), 1, 1);
    p.setBrush(kPaper);
    p.drawRect(QRectF(4, 2.5, 8, 5));
    p.setBrush(QColor(0x30, 0x30, 0x30));
    p.drawRect(QRectF(5, 10, 6, 4));
}

void importArrow(QPainter &p)
{
    p.setPen(pen(kNavy));
    p.setBrush(QColor(0xe8, 0xd0, 0x8c));
    p.drawRect(QRectF(2.5, 8, 11, 6.5));
    p.setPen(pen(kGreen, 1.8));
    p.drawLine(QPointF(8, 1.5), QPointF(8, 10));
    p.drawPolyline(QPolygonF({QPointF(5, 7), QPointF(8, 10.3), QPointF(11, 7)}));
}

void printer(QPainter &p)
{
    p.setPen(pen(kNavy));
    p.setBrush(kPaper);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.setBrush(QColor(0x8c, 0x96, 0xa3));
    p.drawRoundedRect(QRectF(1.5, 6, 13, 6), 1, 1);
    p.setBrush(kPaper);
    p.drawRect(QRectF(4.5, 10, 7, 4.5));
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(QPointF(12.3, 8), 0.8, 0.8);
}

void exitDoor(QPainter &p)
{
    p.setPen(pen(kNavy));
    p.setBrush(QColor(0xa0, 0x6a, 0x3c));
    p.drawRect(QRectF(2.5, 1.5, 7, 13));
    p.setPen(pen(kRed, 1.6));
    p.drawLine(QPointF(7, 8), QPointF(14, 8));
    p.drawPolyline(QPolygonF({QPointF(11.5, 5.5), QPointF(14, 8), QPointF(11.5, 10.5)}));
}

void globe(QPainter &p)
{
    p.setPen(pen(kNavy, 0.9));
    p.setBrush(QColor(0x7f, 0xb8, 0xe6));
    p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(8, 8), 3, 6.5);
    p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
    p.drawLine(QPointF(8, 1.5), QPointF(8, 14.5));
}

void envelope(QPainter &p)
{
    p.setPen(pen(kNavy));
    p.setBrush(kPaper);
    p.drawRect(QRectF(1.5, 3.5, 13, 9));
    p.drawPolyline(QPolygonF({QPointF(1.5, 3.5), QPointF(8, 9), QPointF(14.5, 3.5)}));
}

void update(QPainter &p)
{
    p.setPen(pen(kGreen, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(2.5, 2.5, 11, 11), 30 * 16, 150 * 16);
    p.drawArc(QRectF(2.5, 2.5, 11, 11), 210 * 16, 150 * 16);
    p.drawPolyline(QPolygonF({QPointF(12.5, 1.8), QPointF(12.8, 5.5), QPointF(9.3, 5.2)}));
    p.drawPolyline(QPolygonF({QPointF(3.5, 14.2), QPointF(3.2, 10.5), QPointF(6.7, 10.8)}));
}

void about(QPainter &p)
{
    p.setPen(pen(kNavy));
    p.setBrush(kNavy);
    p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
    p.setPen(pen(Qt::white, 1.8));
    p.drawLine(QPointF(8, 7), QPointF(8, 11.5));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 4.6), 1.1, 1.1);
}

// --- stock categories of the bench stock tabs

void boxes(QPainter &p)
{
    // Everything: a stack of three cartons.
    p.setPen(pen(kNavy, 0.9));
    p.setBrush(QColor(0xc8, 0x9a, 0x5c));
    p.drawRect(QRectF(1.5, 8.5, 6, 6));
    p.drawRect(QRectF(8.5, 8.5, 6, 6));
    p.setBrush(QColor(0xdc, 0xb4, 0x78));
    p.drawRect(QRectF(5, 2, 6, 6.5));
    p.setPen(pen(QColor(0x8a, 0x62, 0x30), 0.8));
    for (double x : {4.5, 11.5})
        p.drawLine(QPointF(x, 8.5), QPointF(x, 10.5));
    p.drawLine(QPointF(8, 2), QPointF(8, 4));
}

void partsBin(QPainter &p)
{
    // Bench stock: an open parts bin with a bolt standing in it.
    p.setPen(pen(QColor(0x5c, 0x5c, 0x64), 1.4));
    p.drawLine(QPointF(9.5, 2), QPointF(9.5, 8));
    p.setPen(pen(kNavy, 0.9));
    p.setBrush(QColor(0x9a, 0xa9, 0xb8));
    p.drawRect(QRectF(7.5, 1.5, 4, 1.8));
    p.setBrush(kSteel);
    p.drawPolygon(QPolygonF({QPointF(1.5, 7), QPointF(14.5, 7), QPointF(13.5, 14.5), QPointF(2.5, 14.5)}));
    p.setBrush(kPaper);
    p.drawRect(QRectF(5.5, 9.5, 5, 2.5));
}

void medicalCross(QPainter &p)
{
    // Class VIII, medical supplies: a red cross on white.
    p.setPen(pen(kNavy, 0.9));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawRect(QRectF(6.2, 3.5, 3.6, 9));
    p.drawRect(QRectF(3.5, 6.2, 9, 3.6));
}

void rucksack(QPainter &p)
{
    // Operational load: what a crew takes along.
    p.setPen(pen(kNavy, 0.9));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(5, 0.8, 6, 5), 0, 180 * 16);
    p.setBrush(kOlive);
    p.drawRoundedRect(QRectF(3, 3.5, 10, 11), 2.5, 2.5);
    p.setBrush(QColor(0x86, 0x96, 0x50));
    p.drawRoundedRect(QRectF(4.8, 8.5, 6.4, 4.5), 1, 1);
    p.drawLine(QPointF(3, 7), QPointF(13, 7));
}

void checklist(QPainter &p)
{
    // PLL, the prescribed load list: a list with ticks.
    p.setPen(pen(kNavy, 0.9));
    p.setBrush(kPaper);
    p.drawRect(QRectF(2.5, 1.5, 11, 13));
    for (double y : {4.5, 8.0, 11.5}) {
        p.setPen(pen(kGreen, 1.1));
        p.drawPolyline(QPolygonF({QPointF(4, y), QPointF(5, y + 1), QPointF(6.6, y - 1)}));
        p.setPen(pen(kNavy, 0.8));
        p.drawLine(QPointF(8, y), QPointF(12, y));
    }
}

void shelf(QPainter &p)
{
    // Shop stock: a shelf with goods on two boards.
    p.setPen(pen(QColor(0x6b, 0x4a, 0x2a), 1.2));
    p.drawLine(QPointF(2, 1.5), QPointF(2, 15));
    p.drawLine(QPointF(14, 1.5), QPointF(14, 15));
    p.drawLine(QPointF(2, 7.5), QPointF(14, 7.5));
    p.drawLine(QPointF(2, 14), QPointF(14, 14));
    p.setPen(pen(kNavy, 0.8));
    p.setBrush(kAmber);
    p.drawRect(QRectF(3.5, 3.5, 4, 3.5));
    p.setBrush(kSteel);
    p.drawRect(QRectF(8.5, 2.5, 4, 4.5));
    p.setBrush(kGreen);
    p.drawRect(QRectF(4, 10, 3, 3.5));
    p.setBrush(kAmber);
    p.drawRect(QRectF(8, 9.5, 5, 4));
}

} // namespace

QIcon stock(int tabIndex)
{
    switch (tabIndex) {
    case 0: return make(boxes);
    case 1: return make(partsBin);
    case 2: return make(medicalCross);
    case 3: return make(rucksack);
    case 4: return make(checklist);
    case 5: return make(shelf);
    default: return make(generic);
    }
}

QIcon nav(int index)
{
    switch (index) {
    case 0: return make(clipboard);
    case 1: return make(cabinet);
    case 6: return make(book);
    case 9: return make(gear);
    case 10: return make(magnifier);
    case 11: return make(aircraft);
    case 12: return make(vest);
    default: return make(generic);
    }
}

QIcon menu(int index)
{
    switch (index) {
    case 0: return make(disk);
    case 1: return make(importArrow);
    case 2: return make(printer);
    case 3: return make(exitDoor);
    case 4: return make(globe);
    case 5: return make(envelope);
    case 6: return make(update);
    case 8: return make(about);
    default: return make(generic);
    }
}

QIcon tool(Tool t)
{
    switch (t) {
    case Tool::Insert:
        return make([](QPainter &p) {
            p.setPen(pen(kGreen, 2.2));
            p.drawLine(QPointF(8, 3), QPointF(8, 13));
            p.drawLine(QPointF(3, 8), QPointF(13, 8));
        });
    case Tool::Delete:
        return make([](QPainter &p) {
            p.setPen(pen(kRed, 2.2));
            p.drawLine(QPointF(3, 8), QPointF(13, 8));
        });
    case Tool::Post:
        return make([](QPainter &p) {
            p.setPen(pen(kNavy, 2));
            p.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
        });
    case Tool::Print:
        return make(printer);
    }
    return {};
}

} // namespace kw::app::icons
