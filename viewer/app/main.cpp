// DrivoraViewer: lists the recordings of a memory card and plays them.
//
//   DrivoraViewer [PATH...]   folders and files to open, as a drop on the list
// Options for automation:
//   --open FOLDER             the same as a PATH (kept for scripts)
//   --screenshot FILE         save a picture of the window to FILE and quit

#include "CDrivoraViewerDlg.h"
#include "InstanceGuard.h"
#include "settings/ViewerOptions.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

using namespace drivora;

int main(int argc, char *argv[])
{
    // One copy at a time: a second start ends at once, silently.
    InstanceGuard guard;
    if (!guard.take())
        return 0;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("DrivoraViewer"));
    QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK KR"), 9));

    QCommandLineParser parser;
    QCommandLineOption openOption(QStringLiteral("open"), QStringLiteral("Folder to open at start."),
                                  QStringLiteral("folder"));
    QCommandLineOption shotOption(QStringLiteral("screenshot"),
                                  QStringLiteral("Save a picture of the window to the file and quit."),
                                  QStringLiteral("file"));
    parser.addOptions({openOption, shotOption});
    parser.addPositionalArgument(QStringLiteral("path"), QStringLiteral("Folders and files to open."),
                                 QStringLiteral("[PATH...]"));
    parser.addHelpOption();
    parser.process(app);

    BuildOptionFilePath();
    CDrivoraViewerDlg window;
    window.show();
    QStringList paths = parser.positionalArguments();
    if (parser.isSet(openOption))
        paths.prepend(parser.value(openOption));
    if (!paths.isEmpty())
        window.openPaths(paths);

    if (parser.isSet(shotOption)) {
        const QString file = parser.value(shotOption);
        // Long enough for the first pictures and a few ticks of the timeline.
        QTimer::singleShot(2500, &window, [&window, file] {
            window.grab().save(file);
            window.close();
        });
    }
    return app.exec();
}
