// The list that follows its folders: which folders are followed, one refresh
// for a burst of changes, and the rows after a refresh.
#include "catalogue/FolderWatch.h"
#include "catalogue/RecordingListModel.h"
#include "support/Wait.h"
#include "TestFiles.h"

#include <QThread>

#include <gtest/gtest.h>

using namespace drivora;
using testsupport::WaitFor;

TEST(FolderWatch, FollowsTheOpenedFoldersAndTheirRecordingFolders)
{
    CardFolder card, other;
    card.addAll({"DRIVE/REC_20240315_081500_0.AVI", "event/EVT_20240315_081612_0.AVI", "Parking/x", "MISC/y",
                 "DRIVE/NESTED/z"});
    const QString root = card.path().chopped(1);
    const QString file = other.add(QStringLiteral("REC_20240315_081500_0.AVI"));
    QStringList folders = WatchedFolders({root + QLatin1Char('/'), file, QStringLiteral("/nonexistent/card")});
    folders.sort();
    EXPECT_EQ(folders, QStringList({root, root + QStringLiteral("/DRIVE"), root + QStringLiteral("/Parking"),
                                    root + QStringLiteral("/event")}))
        << "the recording folders in any case, once; no file, nothing that is not there";
    EXPECT_TRUE(WatchedFolders({}).isEmpty());
}

// A camera writing many files gives one refresh once it has settled; a
// recording folder made later is followed from then on.
TEST(FolderWatch, ABurstOfChangesGivesOneRefresh)
{
    CardFolder card;
    card.add(QStringLiteral("DRIVE/REC_20240315_081500_0.AVI"));
    FolderWatch watch(300);
    watch.follow({card.path()});
    int refreshes = 0;
    QObject::connect(&watch, &FolderWatch::changed, [&refreshes] { ++refreshes; });
    for (int i = 0; i < 20; ++i) {
        card.add(QStringLiteral("DRIVE/REC_20240315_0816%1_0.AVI").arg(i, 2, 10, QLatin1Char('0')));
        QThread::msleep(10);
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(WaitFor([&] { return refreshes >= 1; }, 10000));
    QThread::msleep(600);
    QCoreApplication::processEvents();
    EXPECT_EQ(refreshes, 1) << "one refresh for the burst";

    card.add(QStringLiteral("EVENT/EVT_20240315_081612_0.AVI")); // a new folder in the card's root
    ASSERT_TRUE(WaitFor([&] { return refreshes >= 2; }, 10000));
    EXPECT_TRUE(watch.folders().contains(card.path() + QStringLiteral("EVENT")));
    card.add(QStringLiteral("EVENT/EVT_20240315_081700_0.AVI"));
    EXPECT_TRUE(WaitFor([&] { return refreshes >= 3; }, 10000)) << "a file in the new folder is seen";

    watch.follow({});
    EXPECT_TRUE(watch.folders().isEmpty());
    card.add(QStringLiteral("DRIVE/REC_20240315_090000_0.AVI"));
    QThread::msleep(600);
    QCoreApplication::processEvents();
    EXPECT_EQ(refreshes, 3) << "nothing followed any more";
}

TEST(ListRows, AfterTheFoldersChanged)
{
    auto entry = [](const char *name, const char *time) {
        RecordingEntry e;
        e.fileName = QString::fromLatin1(name);
        e.fullPath = QStringLiteral("/card/DRIVE/") + e.fileName;
        e.dateText = QStringLiteral("2024-03-15");
        e.timeText = QString::fromLatin1(time);
        return e;
    };
    const RecordingEntry a = entry("A.AVI", "08:15:00"), b = entry("B.AVI", "08:15:30"), c = entry("C.AVI", "08:16:00");
    struct Case {
        const char *what;
        std::vector<RecordingEntry> fresh;
        const RecordingEntry *marked;
        bool plays;
        std::vector<QString> rows;
        int currentRow;
        bool kept;
    } cases[] = {
        {"a new recording before the marked one: the marker follows it", {a, b, c}, &b, true, {"A.AVI", "B.AVI", "C.AVI"}, 1, false},
        {"the marked one is still there, not playing", {a, b}, &b, false, {"A.AVI", "B.AVI"}, 1, false},
        {"the playing one has gone: kept at its place", {a, c}, &b, true, {"A.AVI", "B.AVI", "C.AVI"}, 1, true},
        {"the playing one has gone, the last of all", {a}, &c, true, {"A.AVI", "C.AVI"}, 1, true},
        {"the playing one has gone with all others", {}, &b, true, {"B.AVI"}, 0, true},
        {"a marked one that has gone and does not play: dropped", {a, c}, &b, false, {"A.AVI", "C.AVI"}, -1, false},
        {"nothing marked", {a, c}, nullptr, false, {"A.AVI", "C.AVI"}, -1, false},
    };
    for (const Case &k : cases) {
        const ListRefresh r = RefreshedRows(k.fresh, k.marked, k.plays);
        std::vector<QString> names;
        for (const RecordingEntry &e : r.rows)
            names.push_back(e.fileName);
        EXPECT_EQ(names, k.rows) << k.what;
        EXPECT_EQ(r.currentRow, k.currentRow) << k.what;
        EXPECT_EQ(r.keptVanished, k.kept) << k.what;
    }
}
