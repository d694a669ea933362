// The magnifier on a real X screen (a virtual one): a known picture placed on
// the screen comes out three times larger, and the magnifier's own area grey.
#include "app/CZoomDlg.h"
#include "app/ZoomGeometry.h"
#include "support/Wait.h"

#include <QApplication>
#include <QCursor>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

using namespace drivora;
using testsupport::WaitFor;

namespace {

const QColor kGround(200, 30, 30);
const QColor kSquare(20, 210, 40);

// A red window at (100, 100), 300 x 300, with a green 30 x 30 square at
// (240, 240) on the screen.
class Pattern : public QWidget {
public:
    Pattern() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint)
    {
        setGeometry(100, 100, 300, 300);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), kGround);
        p.fillRect(140, 140, 30, 30, kSquare);
    }
};

// The bounding box of the pixels of one colour.
QRect Where(const QImage &image, const QColor &colour)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

TEST(Magnifier, ShowsTheScreenThreeTimesLargerAndItselfGrey)
{
    ASSERT_EQ(QGuiApplication::platformName(), QLatin1String("xcb")) << "runs on an X screen";
    Pattern pattern;
    pattern.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pattern));
    QWidget owner;
    CZoomDlg zoom(&owner);
    EXPECT_TRUE(zoom.isHidden()) << "hidden at start";
    zoom.toggle();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&zoom));
    ASSERT_EQ(zoom.size(), kZoomWindowStart.size());

    // Pointer on the square's middle (255, 255): the source is 141 x 110 at
    // (185, 200); the square (240..269) lands at 3 x (55, 40), 90 x 90 wide.
    QCursor::setPos(255, 255);
    QImage shown;
    QRect square;
    EXPECT_TRUE(WaitFor([&] {
        shown = zoom.grab().toImage().convertToFormat(QImage::Format_RGB32);
        square = Where(shown, kSquare);
        return !square.isEmpty();
    }, 5000)) << "the timer magnifies while shown";
    const double sx = 425.0 / 141, sy = 330.0 / 110;
    EXPECT_NEAR(square.left(), 55 * sx, 2);
    EXPECT_NEAR(square.top(), 40 * sy, 2);
    EXPECT_NEAR(square.width(), 30 * sx, 2);
    EXPECT_NEAR(square.height(), 30 * sy, 2);
    EXPECT_EQ(shown.pixelColor(10, 10), kGround);

    // Copying only the source gives the picture that copying the whole screen gives.
    const QImage part = zoom.magnify({255, 255});
    zoom.setWholeScreenCopy(true);
    const QImage whole = zoom.magnify({255, 255});
    zoom.setWholeScreenCopy(false);
    EXPECT_EQ(part, whole);

    // Over itself: grey where its own client area lies.
    const QPoint middle = zoom.mapToGlobal(QPoint(zoom.width() / 2, zoom.height() / 2));
    const QImage self = zoom.magnify(middle);
    EXPECT_EQ(Where(self, QColor::fromRgb(kZoomOwnAreaGrey)), self.rect());
    // Half over itself, half over the screen beside it.
    const QImage edge = zoom.magnify(zoom.mapToGlobal(QPoint(0, zoom.height() / 2)));
    const QRect grey = Where(edge, QColor::fromRgb(kZoomOwnAreaGrey));
    EXPECT_NEAR(grey.left(), edge.width() / 2, 3);
    EXPECT_EQ(grey.right(), edge.width() - 1);

    // In a corner of the screen nothing fails; a tiny client has no source.
    EXPECT_EQ(zoom.magnify({0, 0}).size(), zoom.size());
    const QSize screen = QGuiApplication::primaryScreen()->size();
    EXPECT_EQ(zoom.magnify({screen.width() - 1, screen.height() - 1}).size(), zoom.size());
    zoom.resize(2, 2);
    EXPECT_TRUE(zoom.magnify({500, 500}).isNull());
    zoom.resize(kZoomWindowStart.size());
}

TEST(Magnifier, ClosingOnlyHidesAndTheButtonBringsItBackInPlace)
{
    QWidget owner;
    CZoomDlg zoom(&owner);
    zoom.toggle();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&zoom));
    zoom.setGeometry(600, 300, 500, 400);
    QTest::qWait(50);
    const QRect placed = zoom.geometry();
    EXPECT_FALSE(zoom.close()) << "close is refused: it hides";
    EXPECT_TRUE(zoom.isHidden());
    EXPECT_FALSE(zoom.isMagnifying());
    zoom.toggle();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&zoom));
    EXPECT_TRUE(zoom.isMagnifying());
    EXPECT_EQ(zoom.geometry().size(), placed.size());
    EXPECT_EQ(zoom.geometry().topLeft(), placed.topLeft());
    zoom.toggle();
    EXPECT_TRUE(zoom.isHidden());
}
