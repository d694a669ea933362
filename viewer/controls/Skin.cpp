#include "Skin.h"

#include "ControlGeometry.h"

#include <QHash>
#include <QLinearGradient>
#include <QMutex>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <functional>

namespace drivora {
namespace {

// --- Palette ---------------------------------------------------------------
const QColor kAccent(46, 196, 182);     // teal
const QColor kAccentDark(14, 94, 88);
const QColor kFace(28, 28, 28);
const QColor kFaceBorder(48, 48, 48);
const QColor kIcon(200, 200, 200);
const QColor kIconDisabled(70, 70, 70);

enum State { Normal, Pressed, Hover, Disabled, Checked };

QFont skinFont(double pixelSize, bool bold = true)
{
    QFont f(QStringLiteral("Noto Sans CJK KR"));
    f.setPixelSize(int(std::lround(pixelSize)));
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QColor iconColour(State s)
{
    switch (s) {
    case Disabled:
        return kIconDisabled;
    case Hover:
    case Pressed:
    case Checked:
        return Qt::white;
    default:
        return kIcon;
    }
}

// A button face: a rounded plate whose colour and border tell the state.
void face(QPainter &p, const QRectF &r, State s, double radius = 5, bool danger = false)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    QColor top, bottom, border;
    switch (s) {
    case Normal:
        top = QColor(38, 38, 38), bottom = QColor(22, 22, 22), border = kFaceBorder;
        break;
    case Hover:
        top = danger ? QColor(196, 43, 28) : QColor(40, 62, 64);
        bottom = danger ? QColor(150, 30, 20) : QColor(26, 40, 42);
        border = danger ? QColor(230, 80, 60) : kAccent;
        break;
    case Pressed:
        top = danger ? QColor(130, 25, 15) : kAccentDark.darker(130);
        bottom = danger ? QColor(160, 35, 22) : kAccentDark;
        border = danger ? QColor(200, 60, 45) : kAccent.darker(120);
        break;
    case Disabled:
        top = QColor(20, 20, 20), bottom = QColor(16, 16, 16), border = QColor(30, 30, 30);
        break;
    case Checked:
        top = QColor(20, 150, 140), bottom = kAccentDark, border = kAccent;
        break;
    }
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setPen(QPen(border, 1));
    p.setBrush(g);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

// --- Icons (drawn in a box, in one colour) ----------------------------------
using Icon = std::function<void(QPainter &, const QRectF &, const QColor &)>;

void stroke(QPainter &p, const QColor &c, double width)
{
    p.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
}

void fill(QPainter &p, const QColor &c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
}

QPolygonF triangle(double x, double y, double w, double h, bool right)
{
    if (right)
        return QPolygonF({QPointF(x, y), QPointF(x + w, y + h / 2), QPointF(x, y + h)});
    return QPolygonF({QPointF(x + w, y), QPointF(x, y + h / 2), QPointF(x + w, y + h)});
}

void iconFolder(QPainter &p, const QRectF &b, const QColor &c)
{
    QPainterPath path;
    const double x = b.left(), y = b.top() + b.height() * 0.15, w = b.width(), h = b.height() * 0.72;
    path.moveTo(x, y + h);
    path.lineTo(x, y);
    path.lineTo(x + w * 0.38, y);
    path.lineTo(x + w * 0.48, y + h * 0.16);
    path.lineTo(x + w, y + h * 0.16);
    path.lineTo(x + w, y + h);
    path.closeSubpath();
    stroke(p, c, 1.6);
    p.drawPath(path);
    p.drawLine(QPointF(x, y + h * 0.36), QPointF(x + w, y + h * 0.36));
}

void iconCamera(QPainter &p, const QRectF &b, const QColor &c)
{
    stroke(p, c, 1.6);
    const QRectF body(b.left(), b.top() + b.height() * 0.25, b.width(), b.height() * 0.62);
    p.drawRoundedRect(body, 2, 2);
    p.drawLine(QPointF(b.left() + b.width() * 0.32, body.top()), QPointF(b.left() + b.width() * 0.4, b.top() + 1));
    p.drawLine(QPointF(b.left() + b.width() * 0.4, b.top() + 1), QPointF(b.left() + b.width() * 0.6, b.top() + 1));
    p.drawLine(QPointF(b.left() + b.width() * 0.6, b.top() + 1), QPointF(b.left() + b.width() * 0.68, body.top()));
    p.drawEllipse(body.center(), body.height() * 0.3, body.height() * 0.3);
}

void iconPrinter(QPainter &p, const QRectF &b, const QColor &c)
{
    stroke(p, c, 1.6);
    const double x = b.left(), y = b.top(), w = b.width(), h = b.height();
    p.drawRect(QRectF(x + w * 0.22, y, w * 0.56, h * 0.3));
    p.drawRoundedRect(QRectF(x, y + h * 0.3, w, h * 0.42), 2, 2);
    p.drawRect(QRectF(x + w * 0.22, y + h * 0.58, w * 0.56, h * 0.42));
    p.drawLine(QPointF(x + w * 0.34, y + h * 0.74), QPointF(x + w * 0.66, y + h * 0.74));
    p.drawLine(QPointF(x + w * 0.34, y + h * 0.87), QPointF(x + w * 0.6, y + h * 0.87));
}

void iconGear(QPainter &p, const QRectF &b, const QColor &c)
{
    const QPointF o = b.center();
    const double r1 = b.width() * 0.5, r2 = b.width() * 0.36;
    QPainterPath path;
    for (int i = 0; i < 16; ++i) {
        const double a0 = i * M_PI / 8;
        const double r = (i % 2 == 0) ? r1 : r2;
        const QPointF a(o.x() + r * std::cos(a0 - 0.17), o.y() + r * std::sin(a0 - 0.17));
        const QPointF bb(o.x() + r * std::cos(a0 + 0.17), o.y() + r * std::sin(a0 + 0.17));
        if (i == 0)
            path.moveTo(a);
        else
            path.lineTo(a);
        path.lineTo(bb);
    }
    path.closeSubpath();
    path.addEllipse(o, b.width() * 0.15, b.width() * 0.15);
    path.setFillRule(Qt::OddEvenFill);
    fill(p, c);
    p.drawPath(path);
}

void iconMagnifier(QPainter &p, const QRectF &b, const QColor &c)
{
    stroke(p, c, 2.0);
    const double r = b.width() * 0.32;
    const QPointF o(b.left() + r + 1, b.top() + r + 1);
    p.drawEllipse(o, r, r);
    p.drawLine(QPointF(o.x() + r * 0.72, o.y() + r * 0.72), b.bottomRight() - QPointF(1, 1));
    stroke(p, c, 1.4);
    p.drawLine(QPointF(o.x() - r * 0.45, o.y()), QPointF(o.x() + r * 0.45, o.y()));
    p.drawLine(QPointF(o.x(), o.y() - r * 0.45), QPointF(o.x(), o.y() + r * 0.45));
}

void iconInfo(QPainter &p, const QRectF &b, const QColor &c)
{
    stroke(p, c, 1.6);
    p.drawEllipse(b.center(), b.width() / 2 - 1, b.height() / 2 - 1);
    fill(p, c);
    p.drawEllipse(QPointF(b.center().x(), b.top() + b.height() * 0.27), 1.4, 1.4);
    p.drawRoundedRect(QRectF(b.center().x() - 1.1, b.top() + b.height() * 0.42, 2.2, b.height() * 0.36), 1, 1);
}

void iconMinimise(QPainter &p, const QRectF &b, const QColor &c)
{
    stroke(p, c, 1.6);
    p.drawLine(QPointF(b.left(), b.center().y() + 3), QPointF(b.right(), b.center().y() + 3));
}

void iconMaximise(QPainter &p, const QRectF &b, const QColor &c)
{
    stroke(p, c, 1.4);
    p.drawRect(b.adjusted(0.5, 0.5, -0.5, -0.5));
    p.drawLine(QPointF(b.left(), b.top() + 2), QPointF(b.right(), b.top() + 2));
}

void iconClose(QPainter &p, const QRectF &b, const QColor &c)
{
    stroke(p, c, 1.7);
    p.drawLine(b.topLeft(), b.bottomRight());
    p.drawLine(b.topRight(), b.bottomLeft());
}

void iconPlay(QPainter &p, const QRectF &b, const QColor &c)
{
    fill(p, c);
    p.drawPolygon(triangle(b.left() + b.width() * 0.18, b.top(), b.width() * 0.8, b.height(), true));
}

void iconPause(QPainter &p, const QRectF &b, const QColor &c)
{
    fill(p, c);
    p.drawRoundedRect(QRectF(b.left() + b.width() * 0.12, b.top(), b.width() * 0.28, b.height()), 1, 1);
    p.drawRoundedRect(QRectF(b.left() + b.width() * 0.6, b.top(), b.width() * 0.28, b.height()), 1, 1);
}

void iconDouble(QPainter &p, const QRectF &b, const QColor &c, bool right)
{
    fill(p, c);
    const double w = b.width() / 2;
    p.drawPolygon(triangle(b.left(), b.top(), w, b.height(), right));
    p.drawPolygon(triangle(b.left() + w, b.top(), w, b.height(), right));
}

void iconSkip(QPainter &p, const QRectF &b, const QColor &c, bool next)
{
    fill(p, c);
    const double bar = b.width() * 0.16;
    if (next) {
        p.drawPolygon(triangle(b.left(), b.top(), b.width() - bar - 1, b.height(), true));
        p.drawRect(QRectF(b.right() - bar, b.top(), bar, b.height()));
    } else {
        p.drawRect(QRectF(b.left(), b.top(), bar, b.height()));
        p.drawPolygon(triangle(b.left() + bar + 1, b.top(), b.width() - bar - 1, b.height(), false));
    }
}

void iconSpeed(QPainter &p, const QRectF &b, const QColor &c)
{
    stroke(p, c, 1.5);
    const QRectF arc(b.left(), b.top() + 1, b.width(), b.height() * 1.4);
    p.drawArc(arc, 20 * 16, 140 * 16);
    p.drawLine(QPointF(b.center().x(), b.top() + b.height() * 0.72), QPointF(b.right() - 2, b.top() + 3));
    fill(p, c);
    p.drawEllipse(QPointF(b.center().x(), b.top() + b.height() * 0.72), 1.6, 1.6);
}

void iconSun(QPainter &p, const QRectF &b, const QColor &c)
{
    const QPointF o = b.center();
    fill(p, c);
    p.drawEllipse(o, b.width() * 0.2, b.width() * 0.2);
    stroke(p, c, 1.3);
    for (int i = 0; i < 8; ++i) {
        const double a = i * M_PI / 4;
        p.drawLine(QPointF(o.x() + std::cos(a) * b.width() * 0.32, o.y() + std::sin(a) * b.width() * 0.32),
                   QPointF(o.x() + std::cos(a) * b.width() * 0.48, o.y() + std::sin(a) * b.width() * 0.48));
    }
}

void iconSpeaker(QPainter &p, const QRectF &b, const QColor &c, bool muted)
{
    fill(p, c);
    const double x = b.left(), y = b.top(), h = b.height();
    QPolygonF body({QPointF(x, y + h * 0.34), QPointF(x + h * 0.24, y + h * 0.34), QPointF(x + h * 0.52, y + h * 0.08),
                    QPointF(x + h * 0.52, y + h * 0.92), QPointF(x + h * 0.24, y + h * 0.66),
                    QPointF(x, y + h * 0.66)});
    p.drawPolygon(body);
    stroke(p, muted ? QColor(230, 80, 60) : c, 1.4);
    if (muted) {
        p.drawLine(QPointF(x + h * 0.66, y + h * 0.32), QPointF(x + h * 0.98, y + h * 0.68));
        p.drawLine(QPointF(x + h * 0.98, y + h * 0.32), QPointF(x + h * 0.66, y + h * 0.68));
    } else {
        p.drawArc(QRectF(x + h * 0.3, y + h * 0.28, h * 0.44, h * 0.44), -50 * 16, 100 * 16);
        p.drawArc(QRectF(x + h * 0.2, y + h * 0.1, h * 0.8, h * 0.8), -50 * 16, 100 * 16);
    }
}

void iconPin(QPainter &p, const QRectF &b, const QColor &c)
{
    QPainterPath path;
    const double r = b.width() * 0.34;
    const QPointF o(b.center().x(), b.top() + r + 1);
    path.moveTo(o.x(), b.bottom());
    path.arcTo(QRectF(o.x() - r, o.y() - r, 2 * r, 2 * r), 225, -270);
    path.closeSubpath();
    path.addEllipse(o, r * 0.4, r * 0.4);
    path.setFillRule(Qt::OddEvenFill);
    fill(p, c);
    p.drawPath(path);
}

QImage blank(QSize size, bool alpha)
{
    QImage image(size, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    image.fill(alpha ? Qt::transparent : kSkinBackground);
    return image;
}

// A button image: the face for its state and the icon in the middle.
QImage buttonImage(QSize size, State s, const Icon &icon, double iconSize, bool danger = false, double radius = 6,
                   bool alpha = false)
{
    QImage image = blank(size, alpha);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    face(p, QRectF(QPointF(0, 0), QSizeF(size)), s, radius, danger);
    const QPointF centre(size.width() / 2.0 + (s == Pressed ? 0.5 : 0), size.height() / 2.0 + (s == Pressed ? 0.5 : 0));
    icon(p, QRectF(centre.x() - iconSize / 2, centre.y() - iconSize / 2, iconSize, iconSize), iconColour(s));
    return image;
}

// A caption button (kind and channel buttons): text on a plate, with alpha.
QImage captionImage(QSize size, State s, const QString &caption)
{
    QImage image = blank(size, true);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    face(p, QRectF(QPointF(0, 0), QSizeF(size)), s, size.height() / 2.0);
    p.setFont(skinFont(size.height() * 0.5));
    p.setPen(iconColour(s));
    p.drawText(QRectF(QPointF(0, 0), QSizeF(size)), Qt::AlignCenter, caption);
    return image;
}

QImage digitImage(int digit)
{
    // Seven segments in teal on white, the colour the gauge leaves out.
    QImage image(QSize(10, 18), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    static const int segments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
    const int m = digit >= 0 ? segments[digit] : 0;
    const QColor on(60, 230, 210);
    auto seg = [&](int bit, QRect r) {
        if (m & (1 << bit))
            p.fillRect(r, on);
    };
    seg(0, QRect(2, 1, 6, 2));   // top
    seg(1, QRect(7, 2, 2, 6));   // upper right
    seg(2, QRect(7, 10, 2, 6));  // lower right
    seg(3, QRect(2, 15, 6, 2));  // bottom
    seg(4, QRect(1, 10, 2, 6));  // lower left
    seg(5, QRect(1, 2, 2, 6));   // upper left
    seg(6, QRect(2, 8, 6, 2));   // middle
    return image;
}

QImage gaugeBackground(const char *unit)
{
    QImage image = blank(QSize(124, 38), false);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 38);
    g.setColorAt(0, QColor(30, 30, 30));
    g.setColorAt(1, QColor(14, 14, 14));
    p.setBrush(g);
    p.setPen(QPen(QColor(52, 52, 52), 1));
    p.drawRoundedRect(QRectF(0.5, 0.5, 123, 37), 6, 6);
    p.setBrush(Qt::black);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.drawRoundedRect(QRectF(16.5, 8.5, 58, 22), 3, 3);
    p.setPen(QColor(150, 150, 150));
    p.setFont(skinFont(11));
    p.drawText(QRectF(78, 8, 44, 22), Qt::AlignCenter, QString::fromLatin1(unit));
    return image;
}

QImage volumeImage(bool filled)
{
    QImage image = blank(QSize(70, 21), false);
    QPainter p(&image);
    // Ten bars rising to the right, one per level.
    for (int i = 0; i < 10; ++i) {
        const int h = 5 + i * 14 / 9;
        const QColor c = filled ? QColor::fromHsv(174, 200, 140 + i * 11) : QColor(48, 48, 48);
        p.fillRect(QRect(i * 7 + 1, 20 - h, 5, h), c);
    }
    return image;
}

QImage panelPicture(bool globe, const QString &caption)
{
    QImage image = blank(QSize(128, 158), true);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor line(150, 150, 150);
    const QPointF o(64, 58);
    stroke(p, line, 3);
    if (globe) {
        p.drawEllipse(o, 38, 38);
        p.drawEllipse(o, 16, 38);
        p.drawLine(QPointF(o.x() - 38, o.y()), QPointF(o.x() + 38, o.y()));
        p.drawArc(QRectF(o.x() - 35, o.y() - 34, 70, 26), 0, 180 * 16);
        p.drawArc(QRectF(o.x() - 35, o.y() + 8, 70, 26), 180 * 16, 180 * 16);
    } else {
        for (int i = 0; i < 3; ++i) {
            const double y = 28 + i * 22;
            p.drawEllipse(QRectF(28, y, 72, 18));
        }
        p.drawLine(QPointF(28, 37), QPointF(28, 81));
        p.drawLine(QPointF(100, 37), QPointF(100, 81));
    }
    stroke(p, QColor(220, 70, 55), 6);
    p.drawLine(QPointF(22, 100), QPointF(106, 16));
    p.setPen(QColor(200, 200, 200));
    p.setFont(skinFont(13));
    p.drawText(QRectF(0, 112, 128, 40), Qt::AlignCenter | Qt::TextWordWrap, caption);
    return image;
}

QImage titleImage()
{
    QImage image = blank(QSize(163, 33), false);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 33);
    g.setColorAt(0, QColor(26, 26, 26));
    g.setColorAt(1, QColor(16, 16, 16));
    p.fillRect(image.rect(), g);
    p.setPen(kAccent);
    p.setFont(skinFont(15));
    p.drawText(QRectF(4, 0, 80, 33), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("KVR-2650"));
    p.setPen(QColor(200, 200, 200));
    p.setFont(skinFont(13, false));
    p.drawText(QRectF(90, 0, 72, 33), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Viewer"));
    return image;
}

QImage topBar()
{
    QImage image = blank(QSize(100, 33), false);
    QPainter p(&image);
    QLinearGradient g(0, 0, 0, 33);
    g.setColorAt(0, QColor(26, 26, 26));
    g.setColorAt(1, QColor(16, 16, 16));
    p.fillRect(image.rect(), g);
    p.fillRect(QRect(0, 32, 100, 1), QColor(40, 40, 40));
    return image;
}

QImage idlePicture()
{
    QImage image = blank(QSize(720, 421), false);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(360, 190), 420);
    g.setColorAt(0, QColor(28, 34, 36));
    g.setColorAt(1, QColor(8, 8, 8));
    p.fillRect(image.rect(), g);
    // A dashboard camera: body and lens.
    stroke(p, QColor(90, 90, 90), 4);
    p.drawRoundedRect(QRectF(280, 110, 160, 110), 18, 18);
    p.drawEllipse(QPointF(360, 165), 38, 38);
    stroke(p, kAccent, 4);
    p.drawEllipse(QPointF(360, 165), 20, 20);
    p.setPen(QColor(200, 200, 200));
    p.setFont(skinFont(34));
    p.drawText(QRectF(0, 240, 720, 50), Qt::AlignCenter, QStringLiteral("KVR-2650"));
    p.setPen(QColor(140, 140, 140));
    p.setFont(skinFont(17, false));
    p.drawText(QRectF(0, 292, 720, 36), Qt::AlignCenter, QStringLiteral("재생할 녹화 영상을 목록에서 선택하세요"));
    return image;
}

QImage appIcon()
{
    QImage image = blank(QSize(64, 64), true);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(24, 24, 24));
    p.setPen(QPen(kAccent, 3));
    p.drawRoundedRect(QRectF(4, 12, 56, 40), 10, 10);
    p.setBrush(QColor(10, 10, 10));
    p.setPen(QPen(QColor(200, 200, 200), 3));
    p.drawEllipse(QPointF(32, 32), 13, 13);
    p.setBrush(kAccent);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(32, 32), 5, 5);
    p.setBrush(QColor(230, 70, 55));
    p.drawEllipse(QPointF(51, 20), 3, 3);
    return image;
}

QImage aboutBanner()
{
    QImage image = blank(QSize(250, 26), false);
    QPainter p(&image);
    QLinearGradient g(0, 0, 250, 0);
    g.setColorAt(0, kAccentDark);
    g.setColorAt(1, QColor(16, 16, 16));
    p.fillRect(image.rect(), g);
    p.setPen(Qt::white);
    p.setFont(skinFont(13));
    p.drawText(QRectF(10, 0, 240, 26), Qt::AlignVCenter, QStringLiteral("KVR-2650 Viewer"));
    return image;
}

QImage sliderPart(int id)
{
    switch (id) {
    case 1034: { // timeline channel: left cap 0-9, tile 10-19, right cap 537-546
        QImage image = blank(QSize(547, 12), false);
        QPainter p(&image);
        p.fillRect(QRect(0, 0, 547, 12), kSkinBackground);
        p.fillRect(QRect(0, 1, 547, 7), QColor(40, 40, 40));
        p.fillRect(QRect(0, 1, 547, 1), QColor(24, 24, 24));
        p.fillRect(QRect(0, 1, 2, 7), kSkinBackground);
        p.fillRect(QRect(545, 1, 2, 7), kSkinBackground);
        return image;
    }
    case 1055: { // progress fill tile
        QImage image = blank(QSize(3, 7), false);
        QPainter p(&image);
        QLinearGradient g(0, 0, 0, 7);
        g.setColorAt(0, kAccent.lighter(120));
        g.setColorAt(1, kAccentDark);
        p.fillRect(image.rect(), g);
        return image;
    }
    case 1036: { // timeline thumb
        QImage image = blank(QSize(11, 22), false);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(220, 220, 220));
        p.setPen(QPen(kAccent, 1));
        p.drawRoundedRect(QRectF(1.5, 1.5, 8, 19), 3, 3);
        return image;
    }
    case 1040: { // small slider channel
        QImage image = blank(QSize(66, 9), false);
        QPainter p(&image);
        p.fillRect(QRect(1, 3, 64, 3), QColor(60, 60, 60));
        p.fillRect(QRect(32, 1, 1, 7), QColor(110, 110, 110)); // the neutral middle
        return image;
    }
    case 1042: { // small slider thumb, drawn from source x 1
        QImage image = blank(QSize(12, 13), false);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(220, 220, 220));
        p.setPen(QPen(kAccent, 1));
        p.drawRoundedRect(QRectF(1.5, 0.5, 10, 12), 3, 3);
        return image;
    }
    default:
        return {};
    }
}

// --- The table of images ------------------------------------------------------
struct Entry {
    SkinKind kind;
    QSize size;
    std::function<QImage()> draw;
};

// Ids the table below gives more than one image (the later one wins).
QList<int> &definedTwice()
{
    static QList<int> ids;
    return ids;
}

QHash<int, Entry> buildTable()
{
    QHash<int, Entry> t;
    auto add = [&t](int id, Entry entry) {
        if (t.contains(id))
            definedTwice().append(id);
        t.insert(id, std::move(entry));
    };
    auto bitmap = [&add](int id, QSize size, std::function<QImage()> draw) { add(id, {SkinKind::Bitmap, size, draw}); };
    auto png = [&add](int id, QSize size, std::function<QImage()> draw) { add(id, {SkinKind::Png, size, draw}); };

    // Window buttons: normal, pressed, hover.
    const QSize win(30, 24);
    const std::pair<int, Icon> windowButtons[] = {{18101, iconMinimise}, {18111, iconMaximise}, {18121, iconClose}};
    for (const auto &[base, icon] : windowButtons) {
        const bool danger = base == 18121;
        const State states[] = {Normal, Pressed, Hover};
        for (int i = 0; i < 3; ++i)
            bitmap(base + i, win, [=] { return buttonImage(win, states[i], icon, 10, danger, 4); });
    }
    // Top row and transport: normal, pressed, hover, disabled.
    const QSize top(32, 31), transport(32, 32);
    const std::tuple<int, QSize, Icon, double> fourStates[] = {
        {19101, top, iconFolder, 16},
        {19111, top, iconCamera, 17},
        {19131, top, iconPrinter, 16},
        {19141, top, iconGear, 17},
        {19151, top, iconMagnifier, 16},
        {19161, top, iconInfo, 16},
        {19171, transport, [](QPainter &p, const QRectF &b, const QColor &c) { iconSkip(p, b, c, false); }, 13},
        {19181, transport, [](QPainter &p, const QRectF &b, const QColor &c) { iconDouble(p, b, c, false); }, 14},
        {19191, transport, iconPlay, 14},
        {19195, transport, iconPause, 13},
        {19201, transport, [](QPainter &p, const QRectF &b, const QColor &c) { iconDouble(p, b, c, true); }, 14},
        {19211, transport, [](QPainter &p, const QRectF &b, const QColor &c) { iconSkip(p, b, c, true); }, 13},
    };
    for (const auto &[base, size, icon, iconSize] : fourStates) {
        const State states[] = {Normal, Pressed, Hover, Disabled};
        const double radius = size == transport ? 16 : 6; // round transport buttons
        for (int i = 0; i < 4; ++i)
            bitmap(base + i, size, [=, size = size, icon = icon, iconSize = iconSize] {
                return buttonImage(size, states[i], icon, iconSize, false, radius);
            });
    }
    // Speed and brightness reset: normal, pressed.
    const QSize small(24, 24);
    for (const auto &[base, icon] : {std::pair<int, Icon>{19221, iconSpeed}, std::pair<int, Icon>{19231, iconSun}}) {
        png(base, small, [=] { return buttonImage(small, Normal, icon, 13, false, 12, true); });
        png(base + 1, small, [=] { return buttonImage(small, Pressed, icon, 13, false, 12, true); });
    }
    // Mute: muted 19241/19242, sound on 19243/19244 (normal, pressed).
    for (int i = 0; i < 4; ++i) {
        const bool muted = i < 2;
        const State s = i % 2 == 0 ? Normal : Pressed;
        png(19241 + i, small, [=] {
            return buttonImage(small, s, [muted](QPainter &p, const QRectF &b, const QColor &c) { iconSpeaker(p, b, c, muted); },
                               14, false, 12, true);
        });
    }
    // Map: normal, pressed, disabled.
    const State mapStates[] = {Normal, Pressed, Disabled};
    for (int i = 0; i < 3; ++i)
        bitmap(19251 + i, transport, [=] { return buttonImage(transport, mapStates[i], iconPin, 15, false, 6); });
    // Kind buttons: normal, checked, disabled.
    const QSize kind(43, 23);
    const std::pair<int, const char *> kinds[] = {{19261, "전체"}, {19271, "상시"}, {19281, "이벤트"}, {19291, "주차"}};
    for (const auto &[base, caption] : kinds) {
        const State states[] = {Normal, Checked, Disabled};
        for (int i = 0; i < 3; ++i)
            png(base + i, kind, [=, caption = caption] { return captionImage(kind, states[i], QString::fromUtf8(caption)); });
    }
    // Channel buttons: normal, checked.
    const QSize channel(43, 19);
    const std::pair<int, const char *> channels[] = {{20031, "전방"}, {20041, "후방"}, {20051, "동시"}};
    for (const auto &[base, caption] : channels) {
        png(base, channel, [=, caption = caption] { return captionImage(channel, Normal, QString::fromUtf8(caption)); });
        png(base + 1, channel,
            [=, caption = caption] { return captionImage(channel, Checked, QString::fromUtf8(caption)); });
    }
    // Speed gauge and volume.
    bitmap(kGaugeBackground, QSize(124, 38), [] { return gaugeBackground("km/h"); });
    bitmap(kGaugeBackgroundMiles, QSize(124, 38), [] { return gaugeBackground("mph"); });
    bitmap(20012, QSize(6, 18), [] {
        QImage image(QSize(6, 18), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.fillRect(QRect(2, 15, 2, 2), QColor(60, 230, 210));
        return image;
    });
    for (int d = 0; d < 10; ++d)
        bitmap(20014 + d, QSize(10, 18), [d] { return digitImage(d); });
    bitmap(20001, QSize(70, 21), [] { return volumeImage(false); });
    bitmap(20002, QSize(70, 21), [] { return volumeImage(true); });
    // Sliders.
    for (int id : {1034, 1055, 1036, 1040, 1042})
        bitmap(id, sliderPart(id).size(), [id] { return sliderPart(id); });
    // Window furniture.
    bitmap(1057, QSize(100, 33), topBar);
    bitmap(153, QSize(163, 33), titleImage);
    bitmap(152, QSize(720, 421), idlePicture);
    bitmap(1092, QSize(250, 26), aboutBanner);
    bitmap(1094, QSize(75, 36), [] {
        QImage image = buttonImage(QSize(75, 36), Normal, [](QPainter &, const QRectF &, const QColor &) {}, 0);
        QPainter p(&image);
        p.setPen(kIcon);
        p.setFont(skinFont(14));
        p.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("확인"));
        return image;
    });
    bitmap(1095, QSize(75, 36), [] {
        QImage image = buttonImage(QSize(75, 36), Pressed, [](QPainter &, const QRectF &, const QColor &) {}, 0);
        QPainter p(&image);
        p.setPen(Qt::white);
        p.setFont(skinFont(14));
        p.drawText(image.rect().translated(1, 1), Qt::AlignCenter, QStringLiteral("확인"));
        return image;
    });
    png(151, QSize(64, 64), appIcon);
    png(155, QSize(128, 158), [] { return panelPicture(true, QStringLiteral("인터넷 연결 안됨")); });
    png(148, QSize(128, 158), [] { return panelPicture(false, QStringLiteral("GPS 데이터 없음")); });
    return t;
}

const QHash<int, Entry> &table()
{
    static const QHash<int, Entry> t = buildTable();
    return t;
}

} // namespace

SkinKind Skin::kind(int id)
{
    const auto it = table().constFind(id);
    return it == table().constEnd() ? SkinKind::None : it->kind;
}

QSize Skin::size(int id)
{
    const auto it = table().constFind(id);
    return it == table().constEnd() ? QSize() : it->size;
}

QImage Skin::image(int id)
{
    static QMutex mutex;
    static QHash<int, QImage> drawn;
    QMutexLocker lock(&mutex);
    const auto cached = drawn.constFind(id);
    if (cached != drawn.constEnd())
        return *cached;
    const auto it = table().constFind(id);
    if (it == table().constEnd())
        return {};
    const QImage image = it->draw();
    drawn.insert(id, image);
    return image;
}

QList<int> Skin::ids()
{
    QList<int> ids = table().keys();
    std::sort(ids.begin(), ids.end());
    return ids;
}

QList<int> Skin::idsDefinedTwice()
{
    table();
    return definedTwice();
}

void DrawSkinBitmap(QPainter &painter, int id, int x, int y, int width, int height, bool transparent, QColor key)
{
    if (Skin::kind(id) != SkinKind::Bitmap)
        return;
    QImage part = Skin::image(id).copy(0, 0, width, height);
    if (transparent) {
        part = part.convertToFormat(QImage::Format_ARGB32);
        const QRgb k = key.rgb() & 0xFFFFFF;
        for (int row = 0; row < part.height(); ++row) {
            auto *line = reinterpret_cast<QRgb *>(part.scanLine(row));
            for (int col = 0; col < part.width(); ++col)
                if ((line[col] & 0xFFFFFF) == k)
                    line[col] = 0;
        }
    }
    painter.drawImage(x, y, part);
}

void DrawSkinPng(QPainter &painter, int id, int x, int y)
{
    if (Skin::kind(id) != SkinKind::Png)
        return;
    painter.drawImage(x, y, Skin::image(id));
}

bool DrawSkinImage(QPainter &painter, const QRect &rect, int id)
{
    painter.fillRect(rect, kSkinBackground);
    switch (Skin::kind(id)) {
    case SkinKind::Bitmap:
        DrawSkinBitmap(painter, id, rect.x(), rect.y(), rect.width(), rect.height());
        return true;
    case SkinKind::Png:
        DrawSkinPng(painter, id, rect.x(), rect.y());
        return true;
    case SkinKind::None:
        return false;
    }
    return false;
}

void DrawBitmapPart(QPainter &painter, int id, int x, int y, int width, int height, int sourceX, int sourceY)
{
    if (Skin::kind(id) != SkinKind::Bitmap)
        return;
    painter.drawImage(QPoint(x, y), Skin::image(id), QRect(sourceX, sourceY, width, height));
}

void DrawIdlePicture(QPainter &painter, int x, int y, int width, int height)
{
    painter.drawImage(QRect(x, y, width, height), Skin::image(152));
}

} // namespace drivora
