// The printed report to a PDF file, read back with poppler's tools: the
// texts, where the pictures land, the map only with a fix, one channel, the
// line that names the recording by its SHA-256.
#include "report/ReportPrinter.h"
#include "support/Process.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QWidget>
#include <gtest/gtest.h>

using namespace drivora;

namespace {

class ToFile : public IPrinterChoice {
public:
    explicit ToFile(QString path, bool answer = true) : m_path(std::move(path)), m_answer(answer) {}
    bool choose(QPrinter &printer, QWidget *) override
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_path);
        printer.setPageSize(QPageSize(QPageSize::A4));
        return m_answer;
    }

private:
    QString m_path;
    bool m_answer;
};

QImage Solid(QColor colour)
{
    QImage i(320, 180, QImage::Format_RGB32);
    i.fill(colour);
    return i;
}

// A widget that shows one colour, standing in for the map view.
class Plain : public QWidget {
public:
    explicit Plain(QColor c) : m_c(c) { resize(274, 203); }

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), m_c); }

private:
    QColor m_c;
};

struct Printed {
    std::string text;
    QImage page1, page2;
};

Printed Print(const QString &pdf, int channels, double lat, double lon, QWidget *map, const QString &source = {})
{
    ReportPrinter r;
    ToFile choice(pdf);
    EXPECT_EQ(r.ChoosePrinter(choice, nullptr), 0);
    r.channelCount = channels;
    r.picture1 = Solid(QColor(220, 30, 30));
    if (channels == 2)
        r.picture2 = Solid(QColor(30, 30, 220));
    r.latitude = lat;
    r.longitude = lon;
    r.gx = -0.0625f;
    r.gy = 0.03125f;
    r.gz = 1.0f;
    r.speedKmh = 100.0;
    r.speedInMiles = channels == 1;
    r.mapWindow = map;
    r.printedAt = QDateTime(QDate(2024, 3, 15), QTime(8, 15, 30), QTimeZone(9 * 3600));
    if (!source.isEmpty())
        r.evidence = ReportPrinter::EvidenceLine(source, DigestFile(source), r.printedAt);
    EXPECT_TRUE(r.StartDocument());
    r.PrintPage1();
    r.PrintPage2();
    EXPECT_TRUE(r.EndDocument());
    Printed out;
    const std::string file = testsupport::Quote(pdf.toStdString());
    out.text = testsupport::Shell("pdftotext -layout " + file + " -").output;
    const std::string prefix = pdf.toStdString() + "-page";
    testsupport::Shell("pdftoppm -r 40 -png " + file + " " + testsupport::Quote(prefix));
    out.page1 = QImage(QString::fromStdString(prefix + "-1.png"));
    out.page2 = QImage(QString::fromStdString(prefix + "-2.png"));
    return out;
}

// The share of a rectangle (fractions of the page) in one colour family.
double Share(const QImage &page, QRectF fraction, std::function<bool(QColor)> is)
{
    const QRect r(int(page.width() * fraction.x()), int(page.height() * fraction.y()),
                  int(page.width() * fraction.width()), int(page.height() * fraction.height()));
    int hits = 0, all = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x, ++all)
            hits += is(page.pixelColor(x, y));
    return all ? double(hits) / all : 0;
}
bool Red(QColor c) { return c.red() > 180 && c.green() < 90 && c.blue() < 90; }
bool Blue(QColor c) { return c.blue() > 180 && c.red() < 90 && c.green() < 90; }
bool Green(QColor c) { return c.green() > 150 && c.red() < 90 && c.blue() < 90; }
bool White(QColor c) { return c.red() > 245 && c.green() > 245 && c.blue() > 245; }

} // namespace

TEST(Report, TwoPagesWithTheirTextsAndPictures)
{
    QTemporaryDir dir;
    Plain map(QColor(20, 200, 60));
    const Printed p = Print(dir.filePath("report.pdf"), 2, 37.56653595, 126.97796631, &map);
    for (const char *text : {"KVR-2650 Viewer Report", "1. 촬영정보", "-촬영이미지", "-채널1", "-채널2", "2. 위치정보",
                             "위도 : 37.56653595", "경도 : 126.97796631", "지도", "3. 충격 정보", "충격 센서값",
                             "충격센서 : X = -0.06 g, Y = 0.03 g, Z = 1.00 g", "Page 1 of 2",
                             "Page 2 of 2", "2024-03-15 08:15:30", "KVR-2650 Viewer", "속도 : 100.0 km/h"})
        EXPECT_NE(p.text.find(text), std::string::npos) << text << "\n" << p.text;
    ASSERT_FALSE(p.page1.isNull());
    ASSERT_FALSE(p.page2.isNull());
    // Picture 1 fills (20 %, 24 %) 60 % x 26 %; picture 2 (20 %, 60 %).
    EXPECT_GT(Share(p.page1, {0.22, 0.26, 0.56, 0.22}, Red), 0.97);
    EXPECT_GT(Share(p.page1, {0.22, 0.62, 0.56, 0.22}, Blue), 0.97);
    EXPECT_GT(Share(p.page1, {0.02, 0.30, 0.15, 0.20}, White), 0.99) << "nothing left of the pictures";
    // The map picture at (20 %, 25 %), 40 % x 20 % of page 2.
    EXPECT_GT(Share(p.page2, {0.22, 0.27, 0.36, 0.16}, Green), 0.97);
    EXPECT_FALSE(QFile::exists(dir.filePath("report.pdf.partial")));
}

TEST(Report, OneChannelAndNoFix)
{
    QTemporaryDir dir;
    Plain map(QColor(20, 200, 60));
    const Printed p = Print(dir.filePath("one.pdf"), 1, 0, 0, &map);
    EXPECT_EQ(p.text.find("-채널2"), std::string::npos);
    EXPECT_NE(p.text.find("속도 : 62.1 mph"), std::string::npos) << "in the viewer's unit";
    EXPECT_NE(p.text.find("위도 : 0.00000000"), std::string::npos);
    EXPECT_NE(p.text.find("경도 : 0.00000000"), std::string::npos);
    EXPECT_GT(Share(p.page1, {0.22, 0.26, 0.56, 0.22}, Red), 0.97);
    EXPECT_GT(Share(p.page1, {0.0, 0.52, 1.0, 0.40}, White), 0.999) << "the lower half stays empty";
    EXPECT_GT(Share(p.page2, {0.15, 0.24, 0.50, 0.22}, White), 0.999) << "no map without a fix";
}

TEST(Report, APdfNamesTheRecordingByItsHash)
{
    QTemporaryDir dir;
    const QString recording = dir.filePath("REC_20240315_081500_0.AVI");
    {
        QFile f(recording);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (int i = 0; i < 70000; ++i)
            f.write(QByteArray::number(i * 7919));
    }
    const Printed p = Print(dir.filePath("evidence.pdf"), 1, 0, 0, nullptr, recording);
    const std::string sum = testsupport::Shell("sha256sum " + testsupport::Quote(recording.toStdString())).output.substr(0, 64);
    const std::string size = std::to_string(QFileInfo(recording).size());
    // Printed at 08:15:30 in Seoul: 23:15:30 the day before in UTC.
    const std::string line = "REC_20240315_081500_0.AVI · " + size + " bytes · SHA-256 " + sum +
                             " · 2024-03-14 23:15:30 UTC · DrivoraViewer ";
    const size_t first = p.text.find(line);
    ASSERT_NE(first, std::string::npos) << p.text;
    EXPECT_NE(p.text.find(line, first + 1), std::string::npos) << "on both pages";
    EXPECT_NE(p.text.find("DrivoraViewer 0."), std::string::npos);
    // A recording that could not be read: no line.
    EXPECT_EQ(ReportPrinter::EvidenceLine(dir.filePath("missing.AVI"), DigestFile(dir.filePath("missing.AVI")),
                                          QDateTime::currentDateTime()),
              QString());
}

TEST(Report, LayoutInDevicePixelsAndErrors)
{
    // On a printer 4800 x 6600 pixels the title starts at (1440, 660), 200 pixels high.
    EXPECT_EQ(Percent(4800, 30), 1440);
    EXPECT_EQ(Percent(6600, 10), 660);
    EXPECT_EQ(40 * kReportFontUnits, 200);
    EXPECT_EQ(Percent(4799, 5), 239) << "truncated";

    ReportPrinter r;
    EXPECT_EQ(r.PrintBitmap(QImage(), 0, 0, 10, 10), -1);
    EXPECT_EQ(r.lastError(), ReportPrinter::BadPicture);
    EXPECT_EQ(r.PrintBitmap(Solid(Qt::red), 0, 0, 10, 10), -1) << "no document";
    EXPECT_EQ(r.lastError(), ReportPrinter::NoSurface);

    ToFile cancel(QStringLiteral("/nonexistent/x.pdf"), false);
    EXPECT_EQ(r.ChoosePrinter(cancel, nullptr), -1);

    // A file that cannot be written: StartDocument says so, nothing is left.
    QTemporaryDir dir;
    const QString inFolder = dir.filePath("folder.pdf");
    QDir().mkpath(inFolder);
    ReportPrinter blocked;
    ToFile choice(inFolder + QStringLiteral("/no/such/place.pdf"));
    blocked.ChoosePrinter(choice, nullptr);
    EXPECT_FALSE(blocked.StartDocument());
}
