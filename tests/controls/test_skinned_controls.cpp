#include "app/ViewerIds.h"
#include "controls/ControlGeometry.h"
#include "controls/Skin.h"
#include "controls/SkinnedControls.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace drivora;

namespace {

// The part of an image as a separate image.
QImage part(const QImage &image, QRect r)
{
    return image.copy(r).convertToFormat(QImage::Format_RGB32);
}

// A glyph drawn with white left out, over the gauge background.
QImage expectedGlyph(int id, QPoint at)
{
    QImage background = Skin::image(20011).copy(QRect(at, Skin::size(id))).convertToFormat(QImage::Format_RGB32);
    const QImage glyph = Skin::image(id);
    for (int y = 0; y < glyph.height(); ++y)
        for (int x = 0; x < glyph.width(); ++x)
            if ((glyph.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF)
                background.setPixel(x, y, glyph.pixel(x, y));
    return background;
}

} // namespace

TEST(SkinImages, EveryIdHasItsSizeAndKind)
{
    struct Case {
        int id;
        QSize size;
        SkinKind kind;
    } cases[] = {
        {18101, {30, 24}, SkinKind::Bitmap}, {18123, {30, 24}, SkinKind::Bitmap}, {19101, {32, 31}, SkinKind::Bitmap},
        {19114, {32, 31}, SkinKind::Bitmap}, {19198, {32, 32}, SkinKind::Bitmap}, {19214, {32, 32}, SkinKind::Bitmap},
        {19222, {24, 24}, SkinKind::Png},    {19244, {24, 24}, SkinKind::Png},    {19253, {32, 32}, SkinKind::Bitmap},
        {19293, {43, 23}, SkinKind::Png},    {20052, {43, 19}, SkinKind::Png},    {20011, {124, 38}, SkinKind::Bitmap},
        {20012, {6, 18}, SkinKind::Bitmap},  {20023, {10, 18}, SkinKind::Bitmap}, {20001, {70, 21}, SkinKind::Bitmap},
        {1036, {11, 22}, SkinKind::Bitmap},  {1040, {66, 9}, SkinKind::Bitmap},   {1055, {3, 7}, SkinKind::Bitmap},
        {1057, {100, 33}, SkinKind::Bitmap}, {153, {163, 33}, SkinKind::Bitmap},  {152, {720, 421}, SkinKind::Bitmap},
        {155, {128, 158}, SkinKind::Png},    {148, {128, 158}, SkinKind::Png},    {151, {64, 64}, SkinKind::Png},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Skin::kind(c.id), c.kind) << c.id;
        EXPECT_EQ(Skin::image(c.id).size(), c.size) << c.id;
    }
    EXPECT_EQ(Skin::kind(12345), SkinKind::None);
    EXPECT_TRUE(Skin::image(12345).isNull());
    EXPECT_EQ(Skin::idsDefinedTwice(), QList<int>()) << "one image an id";
    for (int id : Skin::ids()) {
        EXPECT_EQ(Skin::image(id).size(), Skin::size(id)) << id;
        if (Skin::kind(id) == SkinKind::Png) {
            EXPECT_TRUE(Skin::image(id).hasAlphaChannel()) << id;
        }
    }
    // Normal, pressed, hover, disabled and checked faces differ.
    for (int base : {19101, 19191, 19211}) {
        for (int i = 1; i < 4; ++i) {
            EXPECT_NE(Skin::image(base), Skin::image(base + i)) << base << "+" << i;
        }
    }
    EXPECT_NE(Skin::image(19261), Skin::image(19262));

    // An id that names nothing gives only the background fill.
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter p(&image);
    EXPECT_FALSE(DrawSkinImage(p, image.rect(), 12345));
    p.end();
    EXPECT_EQ(image.pixelColor(5, 5), QColor(10, 10, 10));
}

// The main window's button table and the skin agree: every image a button
// names exists, and its size covers the button.
TEST(SkinImages, EveryMainButtonImageExists)
{
    for (const ids::ButtonRow &b : ids::kMainButtons) {
        for (int image : b.images) {
            if (image == 0)
                continue;
            // Each face is drawn at its button's size (an id taken by
            // another image shows here as another size).
            EXPECT_NE(Skin::kind(image), SkinKind::None) << b.caption << " image " << image;
            EXPECT_EQ(Skin::size(image), b.size) << b.caption << " image " << image;
        }
    }
}

TEST(SpeedGauge, MilesShowTheConvertedSpeedAndTheirUnit)
{
    CDvSpeedCtrl kmh, mph;
    kmh.setSpeed(62.137119); // 100 km/h in miles
    mph.setMiles(true);
    mph.setSpeed(100.0);
    const QImage a = kmh.render(), b = mph.render();
    EXPECT_EQ(a.copy(0, 0, 76, a.height()), b.copy(0, 0, 76, b.height())) << "the same digits";
    EXPECT_NE(a.copy(76, 0, a.width() - 76, a.height()), b.copy(76, 0, b.width() - 76, b.height())) << "another unit";
}

TEST(SpeedGauge, DigitsAtTheirPlaces)
{
    struct Case {
        double speed;
        std::vector<int> drawnAt; // x of the digits drawn
    } cases[] = {{0.05, {44, 60}}, {7.25, {44, 60}}, {123.45, {20, 32, 44, 60}}, {100.0, {20, 32, 44, 60}}};
    for (const Case &c : cases) {
        CDvSpeedCtrl gauge;
        gauge.setSpeed(c.speed);
        const QImage shot = gauge.render();
        for (const Glyph &g : SpeedGaugeGlyphs(c.speed)) {
            const QRect r(g.at, Skin::size(g.bitmapId));
            EXPECT_EQ(part(shot, r), expectedGlyph(g.bitmapId, g.at)) << c.speed << " glyph at " << g.at.x();
        }
        for (int x : {20, 32, 44, 60}) {
            if (std::find(c.drawnAt.begin(), c.drawnAt.end(), x) == c.drawnAt.end()) {
                EXPECT_EQ(part(shot, QRect(x, 11, 10, 18)), part(Skin::image(20011), QRect(x, 11, 10, 18)))
                    << c.speed << ": nothing at " << x;
            }
        }
    }
    // 100.0 draws its inner zeros.
    EXPECT_EQ(SpeedGaugeGlyphs(100.0)[2].bitmapId, kGaugeDigitZero);
}

TEST(VolumeControl, FillAndClicks)
{
    CDvVolumeCtrl volume;
    volume.setLevel(0);
    EXPECT_EQ(volume.render(), Skin::image(20001).convertToFormat(QImage::Format_RGB32)) << "only the background";
    volume.setLevel(10);
    EXPECT_EQ(volume.render(), Skin::image(20002).convertToFormat(QImage::Format_RGB32)) << "70 pixels filled";

    QSignalSpy chosen(&volume, &CDvVolumeCtrl::levelChosen);
    volume.show();
    QTest::mouseClick(&volume, Qt::LeftButton, {}, QPoint(5, 10));
    QTest::mouseClick(&volume, Qt::LeftButton, {}, QPoint(69, 10));
    ASSERT_EQ(chosen.count(), 2);
    EXPECT_EQ(chosen.at(0).at(0).toInt(), 0);
    EXPECT_EQ(chosen.at(1).at(0).toInt(), 10);
}

TEST(PictureButton, StatesAndClicks)
{
    CDvButtonCtrl button;
    button.resize(32, 31);
    button.setImages(19111, 19112, 19113, 19114);
    button.show();
    QSignalSpy clicks(&button, &QAbstractButton::clicked);

    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);

    // The button's own flag off, the window still enabled: disabled picture, no click.
    button.setEnabledState(false);
    button.redrawNow();
    EXPECT_EQ(button.shownImage(), 19114);
    EXPECT_EQ(button.grab().toImage().convertToFormat(QImage::Format_RGB32),
              Skin::image(19114).convertToFormat(QImage::Format_RGB32));
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);

    // Checked: the checked picture at rest.
    button.setEnabledState(true);
    button.setImages(19261, 0, 0, 19263, 19262);
    button.setChecked(true);
    button.redrawNow();
    EXPECT_EQ(button.shownImage(), 19262);

    // Hover: shown once until the owner clears the flag.
    button.setImages(19101, 19102, 19103, 0);
    button.setChecked(false);
    QTest::mouseMove(&button, QPoint(10, 10));
    EXPECT_TRUE(button.hovering());
    EXPECT_TRUE(button.trackingRequested());
    EXPECT_EQ(button.shownImage(), 19103);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_EQ(button.shownImage(), 19101);
    EXPECT_TRUE(button.hovering()) << "the owner clears it";
    QTest::mouseMove(&button, QPoint(12, 12));
    EXPECT_EQ(button.shownImage(), 19101) << "no hover picture until cleared";
    button.clearHover();
    QTest::mouseMove(&button, QPoint(14, 14));
    EXPECT_EQ(button.shownImage(), 19103);

    // No hover picture: no tracking at all.
    CDvButtonCtrl plain;
    plain.setImages(19221, 19222, 0, 0);
    plain.resize(24, 24);
    plain.show();
    QTest::mouseMove(&plain, QPoint(5, 5));
    EXPECT_FALSE(plain.trackingRequested());
    EXPECT_FALSE(plain.hovering());
}

TEST(TextPanel, GSensorDashesWhenNotValid)
{
    CDvTextCtrl valid(2), invalid(2);
    valid.resize(320, 20);
    invalid.resize(320, 20);
    valid.gx = invalid.gx = 0.5f;
    valid.gValid = true;
    EXPECT_NE(valid.render(), invalid.render());
    CDvTextCtrl dashes(2);
    dashes.resize(320, 20);
    dashes.gx = 12.0f; // ignored while not valid
    EXPECT_EQ(dashes.render(), invalid.render());
    CDvTextCtrl other(42);
    other.resize(100, 20);
    const QImage blank = other.render();
    EXPECT_EQ(blank.pixelColor(50, 10), QColor(10, 10, 10)) << "an unknown kind draws only the background";
}
