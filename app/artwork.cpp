#include "app/artwork.h"

#include <QBitmap>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace kw::app::artwork {

static const QColor navy(kNavy);
static const QColor steel(0x4A, 0x6F, 0xA5);
static const QColor pale(0xDC, 0xE6, 0xF4);

static QImage blank()
{
    QImage img(443, 269, QImage::Format_ARGB32);
    img.fill(kTransparent);
    return img;
}

// The card inside the outline: gradient, navy border, thin inner rule.
static void card(QPainter &p, const QPainterPath &shape)
{
    p.setRenderHint(QPainter::Antialiasing, false);
    QLinearGradient g(0, 0, 0, 269);
    g.setColorAt(0, QColor(0xFA, 0xFB, 0xFE));
    g.setColorAt(1, QColor(0xE2, 0xEA, 0xF6));
    p.fillPath(shape, g);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setClipPath(shape);
    p.strokePath(shape, QPen(navy, 6));
    p.setClipping(false);
}

// A parachute canopy with its lines and a small pack, centred on (cx, top).
static void emblem(QPainter &p, qreal cx, qreal top, qreal w)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const qreal h = w * 0.42;
    QPainterPath canopy;
    canopy.moveTo(cx - w / 2, top + h);
    canopy.cubicTo(cx - w / 2, top - h * 0.15, cx + w / 2, top - h * 0.15, cx + w / 2, top + h);
    // Scalloped hem, four gores.
    const int gores = 4;
    for (int i = gores; i > 0; --i) {
        const qreal x1 = cx - w / 2 + w * i / gores, x0 = cx - w / 2 + w * (i - 1) / gores;
        canopy.quadTo((x0 + x1) / 2, top + h - w * 0.09, x0, top + h);
    }
    canopy.closeSubpath();
    p.fillPath(canopy, pale);
    p.strokePath(canopy, QPen(navy, 1.6));
    const QPointF pack(cx, top + h + w * 0.55);
    p.setPen(QPen(steel, 1.1));
    for (int i = 0; i <= gores; ++i)
        p.drawLine(QPointF(cx - w / 2 + w * i / gores, top + h), pack);
    p.setPen(QPen(navy, 1.6));
    p.setBrush(navy);
    p.drawRoundedRect(QRectF(pack.x() - w * 0.07, pack.y() - 1, w * 0.14, w * 0.12), 2, 2);
    p.restore();
}

// A thin ornament rule with a diamond in the middle.
static void rule(QPainter &p, qreal y, qreal x0, qreal x1)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(steel, 1));
    const qreal mid = (x0 + x1) / 2;
    p.drawLine(QPointF(x0, y), QPointF(mid - 7, y));
    p.drawLine(QPointF(mid + 7, y), QPointF(x1, y));
    QPainterPath d;
    d.moveTo(mid, y - 4);
    d.lineTo(mid + 4, y);
    d.lineTo(mid, y + 4);
    d.lineTo(mid - 4, y);
    d.closeSubpath();
    p.fillPath(d, navy);
    p.restore();
}

// The close mark where the captionless close button lies.
static void closeMark(QPainter &p, const QRectF &r)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(steel, 1));
    p.setBrush(QColor(0xF4, 0xF7, 0xFC));
    p.drawRoundedRect(r.adjusted(1.5, 1.5, -1.5, -1.5), 4, 4);
    const qreal m = r.width() * 0.32;
    p.setPen(QPen(navy, r.width() > 28 ? 2.6 : 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(r.topLeft() + QPointF(m, m), r.bottomRight() - QPointF(m, m));
    p.drawLine(r.topRight() + QPointF(-m, m), r.bottomLeft() + QPointF(m, -m));
    p.restore();
}

QImage splashPicture()
{
    QImage img = blank();
    QPainter p(&img);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, 443, 269), 22, 22);
    card(p, shape);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(steel, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(9.5, 9.5, 424, 250), 15, 15);
    rule(p, 75, 110, 333);
    emblem(p, 221.5, 163, 64);
    closeMark(p, QRectF(412, 9, 23, 22));
    return img;
}

QImage aboutPicture()
{
    QImage img = blank();
    QPainter p(&img);
    const qreal c = 12;  // chamfered corners
    QPainterPath shape;
    shape.moveTo(c, 0);
    shape.lineTo(443 - c, 0);
    shape.lineTo(443, c);
    shape.lineTo(443, 269 - c);
    shape.lineTo(443 - c, 269);
    shape.lineTo(c, 269);
    shape.lineTo(0, 269 - c);
    shape.lineTo(0, c);
    shape.closeSubpath();
    card(p, shape);
    p.setRenderHint(QPainter::Antialiasing, true);
    // Navy band behind the links, so the silver lists sit on a frame.
    p.setPen(QPen(steel, 1));
    p.setBrush(QColor(0xC0, 0xC0, 0xC0));
    p.drawRoundedRect(QRectF(76.5, 135.5, 290, 86), 6, 6);
    rule(p, 54, 120, 323);
    emblem(p, 40, 142, 44);
    emblem(p, 403, 142, 44);
    closeMark(p, QRectF(405, 8, 33, 33));
    return img;
}

QImage linkImage(int index)
{
    QImage img(24, 24, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPen pen(navy, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::white);
    switch (index) {
    case 0: {  // web page: a globe
        p.drawEllipse(QRectF(3, 3, 18, 18));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(8, 3, 8, 18));
        p.drawLine(QPointF(3, 12), QPointF(21, 12));
        p.drawLine(QPointF(5, 7.5), QPointF(19, 7.5));
        p.drawLine(QPointF(5, 16.5), QPointF(19, 16.5));
        break;
    }
    case 1: {  // e-mail: an envelope
        p.drawRect(QRectF(2.5, 5.5, 19, 13));
        p.drawPolyline(QPolygonF({QPointF(2.5, 5.5), QPointF(12, 13), QPointF(21.5, 5.5)}));
        break;
    }
    case 2: {  // questions: a speech bubble with a question mark
        p.drawRoundedRect(QRectF(2.5, 2.5, 19, 15), 4, 4);
        p.drawPolygon(QPolygonF({QPointF(7, 17), QPointF(6, 22), QPointF(11, 17)}));
        QFont f;
        f.setPixelSize(13);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRectF(2.5, 2.5, 19, 15), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    default: {  // download: an arrow into a tray
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(3, 15), QPointF(3, 21), QPointF(21, 21), QPointF(21, 15)}));
        p.drawLine(QPointF(12, 3), QPointF(12, 16));
        p.drawPolyline(QPolygonF({QPointF(7, 11), QPointF(12, 16), QPointF(17, 11)}));
        break;
    }
    }
    return img;
}

QRegion outline(const QImage &picture)
{
    // MaskInColor marks the transparent colour 0, which QRegion leaves out.
    const QImage mask = picture.createMaskFromColor(kTransparent, Qt::MaskInColor);
    return QRegion(QBitmap::fromImage(mask));
}

} // namespace kw::app::artwork
