// skin-gallery: every skin image and every skinned control in one window.
//   skin-gallery [--screenshot FILE]
#include "catalogue/Telemetry.h"
#include "catalogue/RecordingCatalogue.h"
#include "controls/CDvGsensorCtrl.h"
#include "controls/CDvListCtrl.h"
#include "controls/CDvScreenCtrl.h"
#include "controls/Skin.h"
#include "controls/SkinnedControls.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <cmath>
#include <string>

#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <cstring>

using namespace drivora;

namespace {

class SkinSheet : public QWidget {
public:
    SkinSheet()
    {
        setFixedSize(1180, 720);
        setAutoFillBackground(false);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(10, 10, 10));
        QFont small(QStringLiteral("Noto Sans CJK KR"));
        small.setPixelSize(9);
        p.setFont(small);
        int x = 10, y = 10, rowHeight = 0;
        for (int id : Skin::ids()) {
            if (id == 152 || id == 1034)
                continue; // the large ones go below
            const QImage image = Skin::image(id);
            const int w = std::max(image.width(), 40) + 10;
            if (x + w > width() - 10) {
                x = 10;
                y += rowHeight + 18;
                rowHeight = 0;
            }
            p.fillRect(QRect(x - 2, y - 2, image.width() + 4, image.height() + 4), QColor(60, 20, 60)); // frame shows alpha
            p.drawImage(x, y, image);
            p.setPen(QColor(140, 140, 140));
            p.drawText(x, y + image.height() + 11, QString::number(id) +
                                                      (Skin::kind(id) == SkinKind::Png ? QStringLiteral("p") : QString()));
            x += w;
            rowHeight = std::max(rowHeight, image.height());
        }
        y += rowHeight + 24;
        p.drawImage(10, y, Skin::image(1034));
        p.drawText(10, y + 24, QStringLiteral("1034"));
        DrawIdlePicture(p, 10, y + 34, 360, 210);
        p.drawText(10, y + 256, QStringLiteral("152 (half size)"));
    }
};

// Every control, in a few of its states.
QWidget *controlsSheet()
{
    auto *sheet = new QWidget;
    sheet->setFixedSize(1180, 330);
    sheet->setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(10, 10, 10));
    sheet->setPalette(palette);

    struct ButtonRow {
        int normal, pressed, hover, disabled, checkedImage;
        bool enabled, checked;
        QSize size;
    } buttons[] = {
        {19101, 19102, 19103, 0, 0, true, false, {32, 31}},     {19111, 19112, 19113, 19114, 0, false, false, {32, 31}},
        {19131, 19132, 19133, 19134, 0, true, false, {32, 31}}, {19141, 19142, 19143, 0, 0, true, false, {32, 31}},
        {19171, 19172, 19173, 19174, 0, true, false, {32, 32}}, {19181, 19182, 19183, 19184, 0, true, false, {32, 32}},
        {19191, 19192, 19193, 19194, 0, true, false, {32, 32}}, {19201, 19202, 19203, 19204, 0, false, false, {32, 32}},
        {19211, 19212, 19213, 19214, 0, true, false, {32, 32}}, {19261, 0, 0, 19263, 19262, true, true, {43, 23}},
        {19271, 0, 0, 19273, 19272, true, false, {43, 23}},     {19281, 0, 0, 19283, 19282, false, false, {43, 23}},
        {20031, 0, 0, 0, 20032, true, true, {43, 19}},          {20041, 0, 0, 0, 20042, true, false, {43, 19}},
        {18101, 18102, 18103, 0, 0, true, false, {30, 24}},     {18121, 18122, 18123, 0, 0, true, false, {30, 24}},
    };
    int x = 10;
    for (const ButtonRow &b : buttons) {
        auto *button = new CDvButtonCtrl(sheet);
        button->setImages(b.normal, b.pressed, b.hover, b.disabled, b.checkedImage);
        button->setEnabledState(b.enabled);
        button->setChecked(b.checked);
        button->setGeometry(QRect(QPoint(x, 10), b.size));
        x += b.size.width() + 8;
    }
    auto *timeline = new CDvSliderCtrl(sheet);
    timeline->setRange(0, 1000);
    timeline->setValue(420);
    timeline->setGeometry(10, 52, 560, 40);
    auto *speed = new CDvSimpleSliderCtrl(sheet);
    speed->setRange(0, 100);
    speed->setValue(50);
    speed->setGeometry(590, 56, 95, 30);
    auto *bright = new CDvSimpleSliderCtrl(sheet);
    bright->setRange(0, 100);
    bright->setValue(80);
    bright->setGeometry(690, 56, 95, 30);
    auto *gauge = new CDvSpeedCtrl(sheet);
    gauge->setSpeed(123.45);
    gauge->move(800, 52);
    auto *volume = new CDvVolumeCtrl(sheet);
    volume->setLevel(7);
    volume->move(940, 60);

    for (int kind = 1; kind <= 9; ++kind) {
        auto *text = new CDvTextCtrl(kind, sheet);
        text->durationMs = 60000;
        text->positionMs = 23400;
        text->gx = 0.032f, text->gy = -0.004f, text->gz = 0.031f, text->gValid = true;
        text->setGeometry(kind <= 5 ? 10 : 330, 100 + ((kind - 1) % 5) * 22, 320, 20);
    }
    auto *graph = new CDvGsensorCtrl(sheet);
    graph->setGeometry(660, 100, 510, 100);
    auto *list = new CDvListCtrl(sheet);
    list->setup();
    list->setGeometry(10, 215, 380, 105);
    list->fill(KindAll);
    list->setCurrentRow(1);
    auto *panel = new CDvPanelCtrl(sheet);
    panel->setGeometry(400, 215, 80, 105);
    auto *mapPanel = new CDvMapPanelCtrl(sheet);
    mapPanel->setGeometry(490, 215, 80, 105);
    auto *screen = new CDvScreenCtrl(sheet);
    screen->setGeometry(580, 215, 180, 105);
    for (auto [id, left] : {std::pair{155, 770}, std::pair{148, 900}}) {
        auto *label = new QLabel(sheet);
        label->setPixmap(QPixmap::fromImage(Skin::image(id)).scaledToHeight(105, Qt::SmoothTransformation));
        label->setGeometry(left, 215, 128, 105);
    }
    return sheet;
}

void sampleData()
{
    for (int i = 0; i < 600; ++i) {
        const double t = i / 10.0;
        const double impact = std::exp(-std::pow((t - 40) * 3, 2));
        auto byte = [](double g) { return char(uint8_t(128 - int(std::lround(g * 32)))); };
        std::string record = "M";
        record += byte(0.1 * std::sin(t / 3) + 2.4 * impact);
        record += byte(0.05 * std::cos(t / 2) - 1.1 * impact);
        record += byte(1.0 + 0.6 * impact);
        AddTelemetryRecord(record, uint32_t(i * 100));
    }
    for (int i = 0; i < 4; ++i)
        AddRecording(QStringLiteral("/card/"), QStringLiteral("REC_20240315_08") + QString::number(i) + QStringLiteral("500_0.AVI"));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    sampleData();
    QWidget window;
    window.setWindowTitle(QStringLiteral("Skin gallery"));
    auto *layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(controlsSheet());
    layout->addWidget(new SkinSheet);
    QWidget &sheet = window;
    sheet.show();
    if (argc == 3 && std::strcmp(argv[1], "--screenshot") == 0) {
        const QString file = QString::fromLocal8Bit(argv[2]);
        QTimer::singleShot(300, &sheet, [&sheet, file] {
            sheet.grab().save(file);
            QApplication::quit();
        });
    }
    return app.exec();
}
