#include "SkinnedControls.h"

#include "ControlGeometry.h"
#include "Skin.h"
#include "app/UiStringLibrary.h"
#include "settings/ViewerOptions.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionSlider>

namespace drivora {
namespace {

QFont pointFont(double points)
{
    QFont f(QStringLiteral("Noto Sans CJK KR"));
    f.setPointSizeF(points);
    return f;
}

// Draws a text with its top-left corner at (x, y).
void textAt(QPainter &p, int x, int y, const QString &text)
{
    p.drawText(x, y + p.fontMetrics().ascent(), text);
}

} // namespace

// --- Picture button ----------------------------------------------------------

CDvButtonCtrl::CDvButtonCtrl(QWidget *parent) : QAbstractButton(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CDvButtonCtrl::setImages(int normal, int pressed, int hover, int disabled, int checkedImage)
{
    m_normal = normal, m_pressed = pressed, m_hover = hover, m_disabled = disabled, m_checkedImage = checkedImage;
    update();
}

int CDvButtonCtrl::restImage() const
{
    return m_enabled ? (m_checked ? m_checkedImage : m_normal) : m_disabled;
}

void CDvButtonCtrl::setChecked(bool on)
{
    m_checked = on;
}

void CDvButtonCtrl::setEnabledState(bool on)
{
    m_enabled = on;
}

void CDvButtonCtrl::redrawNow()
{
    m_shown = 0;
    repaint();
}

void CDvButtonCtrl::drawNow(int id)
{
    m_shown = id;
    repaint();
}

void CDvButtonCtrl::paintEvent(QPaintEvent *)
{
    // Off screen, then one copy.
    QImage image(size(), QImage::Format_RGB32);
    {
        QPainter p(&image);
        DrawSkinImage(p, image.rect(), shownImage());
    }
    QPainter(this).drawImage(0, 0, image);
}

void CDvButtonCtrl::mousePressEvent(QMouseEvent *event)
{
    if (!m_enabled)
        return; // no click at all
    if (event->button() == Qt::LeftButton && m_pressed)
        drawNow(m_pressed);
    QAbstractButton::mousePressEvent(event);
}

void CDvButtonCtrl::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_enabled)
        return;
    if (event->button() == Qt::LeftButton)
        drawNow(m_normal);
    QAbstractButton::mouseReleaseEvent(event);
}

void CDvButtonCtrl::mouseMoveEvent(QMouseEvent *event)
{
    if (m_enabled && !m_hovering && m_hover) {
        drawNow(m_hover);
        m_hovering = true;
        m_tracking = true; // a leave will be reported
    }
    QAbstractButton::mouseMoveEvent(event);
}

void CDvButtonCtrl::leaveEvent(QEvent *event)
{
    if (m_tracking) {
        m_tracking = false;
        drawNow(m_normal); // the owner clears the hovering flag
    }
    QAbstractButton::leaveEvent(event);
}

// --- Sliders -------------------------------------------------------------------

CDvSliderCtrl::CDvSliderCtrl(QWidget *parent) : QSlider(Qt::Horizontal, parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CDvSliderCtrl::paintEvent(QPaintEvent *)
{
    QImage image(size(), QImage::Format_RGB32);
    image.fill(background);
    QPainter p(&image);
    const int w = width() - 2 * margin, h = height() - 20;
    if (w > 0 && h > 0) {
        QImage a(w, h, QImage::Format_RGB32);
        a.fill(background);
        {
            QPainter pa(&a);
            for (int i = 0; i <= w / 10; ++i)
                DrawBitmapPart(pa, channelImage, i * 10, 0, 10, h, 10, 0);
            DrawBitmapPart(pa, channelImage, 0, 0, 10, h, 0, 0);
            DrawBitmapPart(pa, channelImage, w - 10, 0, 10, h, 537, 0);
            const int strip = TimelineStripWidth(value(), maximum(), w);
            if (strip > 0) {
                QImage b(w + 3, 7, QImage::Format_RGB32);
                QPainter pb(&b);
                for (int i = 0; i <= w / 3; ++i)
                    DrawBitmapPart(pb, fillImage, i * 3, 0, 3, 7, 0, 0);
                pb.end();
                pa.drawImage(QPoint(0, 1), b, QRect(0, 0, strip, 7));
            }
        }
        p.drawImage(margin, 10, a);
        // Impact marks: small red wedges above the channel.
        p.setRenderHint(QPainter::Antialiasing);
        for (size_t i = 0; i < marks.size(); ++i) {
            const int x = margin + TimelineStripWidth(marks[i], maximum(), w);
            const bool strongest = int(i) == strongestMark;
            const int half = strongest ? 5 : 3;
            const QPolygon wedge({QPoint(x - half, 1), QPoint(x + half, 1), QPoint(x, 2 + 2 * half)});
            p.setPen(Qt::NoPen);
            p.setBrush(strongest ? QColor(255, 70, 50) : QColor(230, 120, 60));
            p.drawPolygon(wedge);
        }
        p.setRenderHint(QPainter::Antialiasing, false);
    }
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect thumb = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    // Centred on the position, where a click puts it.
    const int thumbX = margin + TimelineStripWidth(value(), maximum(), std::max(w, 0)) - 5;
    DrawBitmapPart(p, thumbImage, thumbX, thumb.top(), 11, 22, 0, 0);
    p.end();
    QPainter(this).drawImage(0, 0, image);
}

void CDvSliderCtrl::follow(int x)
{
    const int v = TimelineValueAt(x, margin, channelWidth(), maximum());
    if (v == value())
        return;
    setValue(v);
    emit sliderMoved(v);
}

void CDvSliderCtrl::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || maximum() <= 0) {
        event->ignore();
        return;
    }
    setSliderDown(true); // emits sliderPressed
    follow(event->position().toPoint().x());
    event->accept();
}

void CDvSliderCtrl::mouseMoveEvent(QMouseEvent *event)
{
    if (isSliderDown())
        follow(event->position().toPoint().x());
    event->accept();
}

void CDvSliderCtrl::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && isSliderDown()) {
        follow(event->position().toPoint().x());
        setSliderDown(false); // emits sliderReleased
    }
    event->accept();
}

CDvSimpleSliderCtrl::CDvSimpleSliderCtrl(QWidget *parent) : QSlider(Qt::Horizontal, parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CDvSimpleSliderCtrl::paintEvent(QPaintEvent *)
{
    QImage image(size(), QImage::Format_RGB32);
    image.fill(background);
    QPainter p(&image);
    DrawBitmapPart(p, channelImage, margin, (height() - 9) / 2, 66, 9, 0, 0);
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect thumb = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    DrawBitmapPart(p, thumbImage, thumb.left(), height() / 2 - 7, 11, 13, 1, 0);
    p.end();
    QPainter(this).drawImage(0, 0, image);
}

// --- Speed gauge -----------------------------------------------------------------

CDvSpeedCtrl::CDvSpeedCtrl(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("DvSpeedWnd"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(124, 38);
}

void CDvSpeedCtrl::setSpeed(double speed)
{
    m_speed = speed;
    update();
}

void CDvSpeedCtrl::setMiles(bool on)
{
    m_miles = on;
    update();
}

QImage CDvSpeedCtrl::render() const
{
    QImage image(size(), QImage::Format_RGB32);
    image.fill(kSkinBackground);
    QPainter p(&image);
    DrawSkinBitmap(p, m_miles ? kGaugeBackgroundMiles : kGaugeBackground, 0, 0, width(), height());
    for (const Glyph &g : SpeedGaugeGlyphs(m_miles ? KmhToMph(m_speed) : m_speed)) {
        const QSize s = Skin::size(g.bitmapId);
        DrawSkinBitmap(p, g.bitmapId, g.at.x(), g.at.y(), s.width(), s.height(), true, Qt::white);
    }
    return image;
}

void CDvSpeedCtrl::paintEvent(QPaintEvent *)
{
    QPainter(this).drawImage(0, 0, render());
}

// --- Volume --------------------------------------------------------------------------

CDvVolumeCtrl::CDvVolumeCtrl(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("DvVolumeWnd"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(70, 21);
}

void CDvVolumeCtrl::setLevel(int level)
{
    m_level = std::clamp(level, 0, 10);
    update();
}

QImage CDvVolumeCtrl::render() const
{
    QImage image(size(), QImage::Format_RGB32);
    image.fill(kSkinBackground);
    QPainter p(&image);
    DrawSkinBitmap(p, 20001, 0, 0, width(), height());
    DrawSkinBitmap(p, 20002, 0, 0, VolumeFillWidth(m_level, width()), height());
    return image;
}

void CDvVolumeCtrl::paintEvent(QPaintEvent *)
{
    QPainter(this).drawImage(0, 0, render());
}

void CDvVolumeCtrl::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_level = VolumeLevelAt(int(event->position().x()), width());
    repaint();
    emit levelChosen(m_level);
}

// --- Text panel ---------------------------------------------------------------------------

CDvTextCtrl::CDvTextCtrl(int kind, QWidget *parent) : QWidget(parent), textKind(kind)
{
    setObjectName(QStringLiteral("DvTextWnd"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QImage CDvTextCtrl::render() const
{
    QImage image(size(), QImage::Format_RGB32);
    image.fill(background);
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    UiStringLibrary strings;
    const bool texts = strings.load();
    switch (textKind) {
    case 1:
        if (!texts)
            break;
        p.setFont(pointFont(9));
        p.setPen(Qt::white);
        textAt(p, 10, 2, strings.text(110) + TimeText(positionMs, durationMs));
        textAt(p, 230, 2, strings.text(111) + RateText(rate));
        if (clock.isValid()) {
            const QString text = clock.toString(QStringLiteral("yyyy-MM-dd  HH:mm:ss"));
            p.setPen(QColor(95, 199, 199));
            textAt(p, std::max(330, width() - 6 - p.fontMetrics().horizontalAdvance(text)), 2, text);
        }
        break;
    case 2: {
        p.setFont(pointFont(8));
        const QColor colours[3] = {QColor(255, 100, 0), QColor(255, 255, 0), QColor(0, 255, 0)};
        const char *names[3] = {"X", "Y", "Z"};
        const float values[3] = {gx, gy, gz};
        for (int i = 0; i < 3; ++i) {
            p.setPen(colours[i]);
            const QString value = gValid ? GText(values[i]) : QStringLiteral("-");
            textAt(p, 10 + 100 * i, 3, QStringLiteral("%1:  %2").arg(QLatin1String(names[i]), value));
        }
        break;
    }
    case 3:
    case 5:
        if (!texts)
            break;
        p.setFont(pointFont(10));
        p.setPen(Qt::white);
        textAt(p, 10, 3, strings.text(126));
        break;
    case 4:
    case 6:
        if (!texts)
            break;
        p.setFont(pointFont(9));
        p.setPen(QColor(200, 200, 200));
        {
            auto degrees = [this](float v) {
                return positionValid ? QString::number(double(v), 'f', 6) : QStringLiteral("-");
            };
            textAt(p, 10, 3,
                   strings.text(128) + QStringLiteral(":  %1    ").arg(degrees(latitude)) + strings.text(129) +
                       QStringLiteral(":  %1").arg(degrees(longitude)));
        }
        break;
    case 7:
        if (!texts)
            break;
        p.setFont(pointFont(9));
        p.setPen(Qt::white);
        textAt(p, 10, 3, strings.text(130));
        break;
    case 8:
        p.setFont(pointFont(9));
        p.setPen(Qt::white);
        textAt(p, 10, 3, QStringLiteral("KVR-2650 Viewer"));
        break;
    case 9:
        p.setFont(pointFont(9));
        p.setPen(Qt::white);
        textAt(p, 10, 3, QStringLiteral("Version 1.2(Build 1389)"));
        break;
    default:
        break;
    }
    return image;
}

void CDvTextCtrl::paintEvent(QPaintEvent *)
{
    QPainter(this).drawImage(0, 0, render());
}

// --- Panels -----------------------------------------------------------------------------------

CDvPanelCtrl::CDvPanelCtrl(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CDvPanelCtrl::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), Qt::black);
}

CDvMapPanelCtrl::CDvMapPanelCtrl(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("DvMapPanelCtrl"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CDvMapPanelCtrl::setHostedWindow(QWidget *window)
{
    m_hosted = window;
    if (m_hosted)
        m_hosted->setGeometry(0, 0, width(), height());
}

void CDvMapPanelCtrl::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), QColor(20, 20, 20));
}

void CDvMapPanelCtrl::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_hosted)
        m_hosted->setGeometry(0, 0, width(), height());
}

// --- About box ------------------------------------------------------------------------------------

CAboutDlg::CAboutDlg(QWidget *parent) : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog)
{
    setFixedSize(250, 160); // 166 x 99 dialog units
    m_ok = new CDvButtonCtrl(this);
    m_ok->setGeometry(147, 112, 75, 36); // (98, 66, 50, 24) dialog units
    m_ok->setImages(1094, 1095, 0, 0);
    m_ok->setText(QStringLiteral("확인"));
    m_ok->clearHover();
    connect(m_ok, &QAbstractButton::clicked, this, &QDialog::accept);
    const std::pair<int, QPoint> panels[] = {{8, QPoint(80, 50)}, {9, QPoint(80, 80)}};
    for (const auto &[kind, at] : panels) {
        auto *text = new CDvTextCtrl(kind, this);
        text->setGeometry(QRect(at, QSize(200, 20)));
    }
}

void CAboutDlg::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), kSkinBackground);
    DrawSkinBitmap(p, 1092, 0, 0, 250, 26);
}

} // namespace drivora
