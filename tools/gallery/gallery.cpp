// skin-gallery: every skin image and every skinned control in one window.
//   skin-gallery [--screenshot FILE]
#include "catalogue/Telemetry.h"
#include "controls/CDvGsensorCtrl.h"
#include "controls/Skin.h"

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
        setFixedSize(1180, 1000);
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

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    SkinSheet sheet;
    sheet.setWindowTitle(QStringLiteral("Skin gallery"));
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
