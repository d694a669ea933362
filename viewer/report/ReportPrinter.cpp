#include "ReportPrinter.h"

#include "catalogue/NativePath.h"
#include "controls/ControlGeometry.h"
#include "settings/ViewerOptions.h"

#include <QFile>
#include <QFileInfo>
#include <QPrintDialog>
#include <QWidget>

namespace drivora {

bool PrinterDialogChoice::choose(QPrinter &printer, QWidget *owner)
{
    QPrintDialog dialog(&printer, owner);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    return dialog.exec() == QDialog::Accepted;
}

ReportPrinter::ReportPrinter()
{
    m_printer.setResolution(kReportResolution);
    m_printer.setDocName(QString()); // the application-title resource is empty
}

ReportPrinter::~ReportPrinter()
{
    if (m_painter && m_painter->isActive())
        m_painter->end();
}

int ReportPrinter::ChoosePrinter(IPrinterChoice &choice, QWidget *owner)
{
    return choice.choose(m_printer, owner) ? 0 : -1;
}

bool ReportPrinter::StartDocument()
{
    // A file is written beside its place and renamed over it only when whole.
    m_finalFile = m_printer.outputFileName();
    if (!m_finalFile.isEmpty()) {
        m_printer.setOutputFormat(QPrinter::PdfFormat);
        m_printer.setOutputFileName(m_finalFile + QStringLiteral(".partial"));
    }
    m_painter = std::make_unique<QPainter>();
    if (!m_painter->begin(&m_printer)) {
        if (!m_finalFile.isEmpty()) {
            QFile::remove(m_printer.outputFileName());
            m_printer.setOutputFileName(m_finalFile);
        }
        return false;
    }
    const QRect area = m_printer.pageLayout().paintRectPixels(m_printer.resolution());
    m_width = area.width();
    m_height = area.height();
    m_firstPage = true;
    return true;
}

void ReportPrinter::PrintText(int size, int x, int y, const QString &text)
{
    if (!m_painter || !m_painter->isActive())
        return;
    // Arial's metrics (Liberation Sans where Arial is not installed), Hangul
    // from Noto Sans CJK.
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Noto Sans CJK KR")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(size * kReportFontUnits);
    font.setWeight(QFont::Normal);
    const QFont previous = m_painter->font();
    m_painter->setFont(font);
    m_painter->setPen(Qt::black);
    m_painter->drawText(QRect(x, y, std::max(1, m_width * 2), size * kReportFontUnits * 2),
                        Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    m_painter->setFont(previous);
}

int ReportPrinter::PrintBitmap(const QImage &picture, int x, int y, int width, int height)
{
    if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0) {
        m_lastError = BadPicture;
        return -1;
    }
    if (!m_painter || !m_painter->isActive() || width <= 0 || height <= 0) {
        m_lastError = NoSurface;
        return -1;
    }
    m_painter->drawImage(QRect(x, y, width, height), picture);
    return 0;
}

void ReportPrinter::header(int page)
{
    if (!m_firstPage)
        m_printer.newPage();
    m_firstPage = false;
    const int W = m_width, H = m_height;
    PrintText(20, Percent(W, 5), Percent(H, 5), QString::fromLatin1(kReportHeader));
    const QDateTime t = printedAt;
    PrintText(20, Percent(W, 80), Percent(H, 5),
              QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", t.date().year(), t.date().month(), t.date().day(),
                                t.time().hour(), t.time().minute(), t.time().second()));
    Q_UNUSED(page);
}

void ReportPrinter::PrintPage1()
{
    const int W = m_width, H = m_height;
    header(1);
    PrintText(40, Percent(W, 30), Percent(H, 10), QString::fromLatin1(kReportTitle));
    PrintText(25, Percent(W, 5), Percent(H, 15), QStringLiteral("1. 촬영정보"));
    PrintText(20, Percent(W, 8), Percent(H, 18), QStringLiteral("-촬영이미지"));
    PrintText(20, Percent(W, 10), Percent(H, 20), QStringLiteral("-채널1"));
    PrintBitmap(picture1, Percent(W, 20), Percent(H, 24), Percent(W, 60), Percent(H, 26));
    if (channelCount == 2) {
        PrintText(20, Percent(W, 10), Percent(H, 56), QStringLiteral("-채널2"));
        PrintBitmap(picture2, Percent(W, 20), Percent(H, 60), Percent(W, 60), Percent(H, 26));
    }
    footer(1);
}

void ReportPrinter::PrintPage2()
{
    const int W = m_width, H = m_height;
    header(2);
    PrintText(25, Percent(W, 5), Percent(H, 15), QStringLiteral("2. 위치정보"));
    PrintText(20, Percent(W, 8), Percent(H, 18), QStringLiteral("위도 : ") + QString::asprintf("%.08f", latitude));
    PrintText(20, Percent(W, 8), Percent(H, 20), QStringLiteral("경도 : ") + QString::asprintf("%.08f", longitude));
    PrintText(20, Percent(W, 8), Percent(H, 22), QStringLiteral("지도"));
    if (mapWindow && latitude != 0 && longitude != 0) {
        // The map as it shows, stretched to 40 % x 20 % of the page.
        const QImage map = mapWindow->grab().toImage();
        const QImage stretched = map.isNull() ? QImage()
                                              : map.scaled(Percent(W, 40), Percent(H, 20), Qt::IgnoreAspectRatio,
                                                           Qt::SmoothTransformation);
        PrintBitmap(stretched, Percent(W, 20), Percent(H, 25), Percent(W, 40), Percent(H, 20));
    }
    PrintText(25, Percent(W, 5), Percent(H, 50), QStringLiteral("3. 충격 정보"));
    PrintText(20, Percent(W, 8), Percent(H, 53), QStringLiteral("충격 센서값"));
    PrintText(20, Percent(W, 8), Percent(H, 56),
              QStringLiteral("충격센서 : ") + QStringLiteral("X = %1, Y = %2, Z = %3").arg(GText(gx), GText(gy), GText(gz)));
    if (speedKmh >= 0)
        PrintText(20, Percent(W, 8), Percent(H, 59),
                  QStringLiteral("속도 : ") + QString::asprintf("%.1f %s", speedInMiles ? KmhToMph(speedKmh) : speedKmh,
                                                                speedInMiles ? "mph" : "km/h"));
    footer(2);
}

void ReportPrinter::footer(int page)
{
    const int W = m_width, H = m_height;
    PrintText(20, Percent(W, 5), Percent(H, 95), QString::fromLatin1(kReportHeader));
    PrintText(20, Percent(W, 80), Percent(H, 95), QString::asprintf("Page %d of 2", page));
    if (!evidence.isEmpty() && m_printer.outputFormat() == QPrinter::PdfFormat)
        PrintText(9, Percent(W, 5), Percent(H, 95) + 20 * kReportFontUnits * 13 / 10, evidence);
}

QString ReportPrinter::EvidenceLine(const QString &sourceFile, const FileDigest &digest, const QDateTime &printedAt)
{
    if (!digest.ok)
        return {};
    return QStringLiteral("%1 · %2 bytes · SHA-256 %3 · %4 UTC · DrivoraViewer %5")
        .arg(DisplayPath(sourceFile.section(QLatin1Char('/'), -1)))
        .arg(digest.size)
        .arg(digest.hex())
        .arg(printedAt.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
        .arg(QStringLiteral(DRIVORA_VERSION));
}

bool ReportPrinter::EndDocument()
{
    if (!m_painter || !m_painter->isActive())
        return false;
    const bool ended = m_painter->end();
    if (m_finalFile.isEmpty())
        return ended;
    const QString partial = m_printer.outputFileName();
    m_printer.setOutputFileName(m_finalFile);
    QFile written(partial);
    // Whole: ended, and the file closes with the PDF trailer.
    bool whole = ended && written.open(QIODevice::ReadOnly) && written.size() > 0;
    if (whole) {
        written.seek(std::max<qint64>(0, written.size() - 64));
        whole = written.read(64).contains("%%EOF");
        written.close();
    }
    if (!whole) {
        QFile::remove(partial);
        return false;
    }
    QFile::remove(m_finalFile);
    return QFile::rename(partial, m_finalFile);
}

} // namespace drivora
