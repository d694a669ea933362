// The printed report of a moment: page 1 the pictures of both channels, page
// 2 the position with a picture of the map and the G-sensor values, laid out
// in fractions of the printable area.
#pragma once

#include "report/ReportFiles.h"

#include <QDateTime>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QString>

#include <memory>

class QWidget;

namespace drivora {

// Picks the printer (a dialog; in tests a seam that sets a PDF file). False
// when the user cancels.
class IPrinterChoice {
public:
    virtual ~IPrinterChoice() = default;
    virtual bool choose(QPrinter &printer, QWidget *owner) = 0;
};

// The system's printer dialog, with printing to a PDF file offered (on many
// desktops the only printer); a file already set on the printer is its
// preset.
class PrinterDialogChoice final : public IPrinterChoice {
public:
    bool choose(QPrinter &printer, QWidget *owner) override;
};

inline constexpr const char *kReportTitle = "KVR-2650 Viewer Report";
inline constexpr const char *kReportHeader = "KVR-2650 Viewer";
inline constexpr int kReportResolution = 600; // device pixels per inch
inline constexpr int kReportFontUnits = 5;    // font pixel size = size x 5

// W x p / 100 in whole device pixels.
constexpr int Percent(int extent, int p)
{
    return extent * p / 100;
}

class ReportPrinter {
public:
    enum Error { NoError = 0, BadPicture = 3, NoSurface = 4 };

    ReportPrinter();
    ~ReportPrinter();

    // 0 when a printer was chosen, -1 when cancelled.
    int ChoosePrinter(IPrinterChoice &choice, QWidget *owner);
    // Starts the document and reads the printable area; false when the
    // output cannot be opened (a file that cannot be written).
    bool StartDocument();
    void PrintText(int size, int x, int y, const QString &text);
    int PrintBitmap(const QImage &picture, int x, int y, int width, int height);
    void PrintPage1();
    void PrintPage2();
    // Ends the document; false when it could not be written whole.
    bool EndDocument();

    QPrinter &printer() { return m_printer; }
    int pageWidth() const { return m_width; }
    int pageHeight() const { return m_height; }
    int lastError() const { return m_lastError; }

    // The moment handed over.
    int channelCount = 2;
    QImage picture1, picture2;
    QWidget *mapWindow = nullptr;
    double latitude = 0, longitude = 0;
    double gx = 0, gy = 0, gz = 0;
    // The speed at the moment (< 0: none), printed under the G-sensor values
    // in the viewer's unit.
    double speedKmh = -1;
    bool speedInMiles = false;
    QDateTime printedAt = QDateTime::currentDateTime();
    // Printed to a PDF file, a line under the footer ties the report to the
    // recording shown (empty: none).
    QString evidence;

    // True when the printer chosen writes a file (a PDF).
    bool toFile() const { return m_printer.outputFormat() == QPrinter::PdfFormat || !m_printer.outputFileName().isEmpty(); }
    // That line: the recording's name, size and SHA-256, the time in UTC and
    // the viewer's version.
    static QString EvidenceLine(const QString &sourceFile, const FileDigest &digest, const QDateTime &printedAt);

private:
    void header(int page);
    void footer(int page);

    QPrinter m_printer{QPrinter::HighResolution};
    std::unique_ptr<QPainter> m_painter;
    int m_width = 0, m_height = 0;
    int m_lastError = NoError;
    bool m_firstPage = true;
    QString m_finalFile; // the file chosen, while its partial copy is written
};

} // namespace drivora
