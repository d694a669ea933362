// DrivoraViewer: lists the recordings of a memory card.
//
// Options for automation (the viewer itself takes no command line):
//   --open FOLDER       list the recordings under FOLDER at start
//   --screenshot FILE   save a picture of the window to FILE and quit

#include "UiStringLibrary.h"
#include "catalogue/FolderPicker.h"
#include "catalogue/RecordingCatalogue.h"
#include "catalogue/RecordingListModel.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

using namespace drivora;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("DrivoraViewer"));
    QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK KR"), 10));

    QCommandLineParser parser;
    QCommandLineOption openOption(QStringLiteral("open"), QStringLiteral("Folder to list at start."),
                                  QStringLiteral("folder"));
    QCommandLineOption shotOption(QStringLiteral("screenshot"), QStringLiteral("Save a screenshot and quit."),
                                  QStringLiteral("file"));
    parser.addOptions({openOption, shotOption});
    parser.addHelpOption();
    parser.process(app);

    QWidget window;
    window.setWindowTitle(QStringLiteral("KVR-2650 Viewer"));
    window.setStyleSheet(QStringLiteral("background: #0a0a0a; color: #b4b4b4;"));
    auto *layout = new QVBoxLayout(&window);
    auto *caption = new QLabel(LoadUiString(130), &window);
    auto *open = new QPushButton(LoadUiString(101).isEmpty() ? QStringLiteral("Open") : LoadUiString(101), &window);
    auto *view = new QTableView(&window);
    auto *model = new RecordingListModel(&window);
    {
        UiStringLibrary strings;
        if (strings.load())
            model->setHeaders({strings.text(135), strings.text(136), strings.text(137), strings.text(138),
                               QStringLiteral("    "), QString()});
    }
    view->setModel(model);
    view->verticalHeader()->hide();
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setStyleSheet(QStringLiteral("QTableView { background: #0a0a0a; }"
                                       "QHeaderView::section { background: #1e1e1e; color: white; }"));
    layout->addWidget(caption);
    layout->addWidget(open);
    layout->addWidget(view);

    auto fill = [&](const QString &folder) {
        ClearCatalogue();
        AddRecordingPath(folder);
        FillRecordingList(*model, KindAll);
        if (model->columnCount() == RecordingListModel::ColumnCount) {
            const int widths[] = {40, 80, 80, 150, 0, 0};
            for (int c = 0; c < RecordingListModel::ColumnCount; ++c)
                view->setColumnWidth(c, widths[c]);
            view->setColumnHidden(RecordingListModel::PathColumn, true);
            view->setColumnHidden(RecordingListModel::FileNameColumn, true);
        }
    };
    QObject::connect(open, &QPushButton::clicked, &window, [&] {
        QString folder;
        if (BrowseForFolder(QString(), &window, folder))
            fill(folder);
    });

    if (parser.isSet(openOption)) {
        QString folder = QFileInfo(parser.value(openOption)).absoluteFilePath();
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        fill(folder);
    }

    window.resize(420, 742);
    window.show();

    if (parser.isSet(shotOption)) {
        const QString file = parser.value(shotOption);
        QTimer::singleShot(1500, &window, [&window, file] {
            window.grab().save(file);
            QApplication::quit();
        });
    }
    return app.exec();
}
