#include "TestFiles.h"
#include "app/UiStringLibrary.h"
#include "catalogue/AppPaths.h"
#include "catalogue/NativePath.h"
#include "catalogue/RecordingCatalogue.h"
#include "catalogue/RecordingListModel.h"

#include <QSet>
#include <gtest/gtest.h>

#include <cmath>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace drivora;

namespace {

class Catalogue : public ::testing::Test {
protected:
    void SetUp() override
    {
        UiStringLibrary::setSearchDirectory({}); // the catalogue beside the test program
        ClearCatalogue();
    }
    void TearDown() override
    {
        UiStringLibrary::setSearchDirectory({});
        ClearCatalogue();
    }

    static QStringList names(const std::vector<RecordingEntry> &entries)
    {
        QStringList out;
        for (const RecordingEntry &e : entries)
            out << e.fileName;
        return out;
    }
};

} // namespace

TEST_F(Catalogue, KindsAndLabels)
{
    struct Case {
        const char *name;
        bool added;
        int kind;
        const char *label;
    } cases[] = {
        {"REC_20230405_121314_0.AVI", true, KindNormal, "상시"},
        {"EVT_20230405_121314_0.AVI", true, KindEvent, "이벤트"},
        {"PRK_20230405_121314_0.AVI", true, KindParking, "주차상시"},
        {"MDI_20230405_121314_0.AVI", true, KindParking, "주차모션"},
        {"REC_20230405_121314_0.avi", true, KindNormal, "상시"}, // extension in any case
        {"REC_20230405_121314_0_lpstart.avi", true, KindNormal, "상시"},
        {"rec_20230405_121314_0.AVI", false, 0, ""}, // passes the grammar, no kind
        {"Evt_20230405_121314_0.AVI", false, 0, ""},
        {"REC_20230405_121314_0.MOV", false, 0, ""},
    };
    for (const Case &c : cases) {
        ClearCatalogue();
        const QString name = QString::fromUtf8(c.name);
        EXPECT_EQ(AddRecording(QStringLiteral("/card/"), name), c.added) << c.name;
        ASSERT_EQ(RecordingCatalogue::instance().count(), c.added ? 1 : 0) << c.name;
        if (!c.added)
            continue;
        const RecordingEntry &e = RecordingCatalogue::instance().at(0);
        EXPECT_EQ(e.kind, c.kind) << c.name;
        EXPECT_EQ(e.kindLabel, QString::fromUtf8(c.label)) << c.name;
        EXPECT_EQ(e.fileName, name);
        EXPECT_EQ(e.fullPath, QStringLiteral("/card/") + name);
        EXPECT_EQ(e.dateText, QStringLiteral("2023-04-05"));
        EXPECT_EQ(e.timeText, QStringLiteral("12:13:14"));
    }
}

TEST_F(Catalogue, NothingIsCataloguedWithoutTheInterfaceTexts)
{
    QTemporaryDir empty;
    UiStringLibrary::setSearchDirectory(empty.path());
    CardFolder card;
    card.addAll({"REC_20230405_121314_0.AVI", "EVT_20230405_121314_0.AVI"});
    EXPECT_FALSE(AddRecording(card.path(), QStringLiteral("REC_20230405_121314_0.AVI")));
    EXPECT_TRUE(AddRecordingPath(card.path()));
    EXPECT_EQ(RecordingCatalogue::instance().count(), 0);
    EXPECT_TRUE(LoadUiString(133).isEmpty());

    RecordingListModel list;
    FillRecordingList(list, KindAll);
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_FALSE(list.verticalScrollEnabled());
}

TEST_F(Catalogue, ScansNestedFoldersAndSkipsOtherFiles)
{
    CardFolder card;
    card.addAll({"DCIM/REC_20230405_121314_0.AVI", "DCIM/EVENT/EVT_20230405_121400_0.AVI",
                 "DCIM/deep/er/PRK_20230406_010203_0.AVI", "setup.cfg", "DCIM/REC_20230405_121314_0.jpg",
                 "DCIM/notes.txt", "MDI_20230405_121314_0_LPSTOP.AVI"});
    QDir(card.path()).mkpath(QStringLiteral("empty/folder"));

    EXPECT_TRUE(AddRecordingPath(card.path()));
    const RecordingCatalogue &catalogue = RecordingCatalogue::instance();
    ASSERT_EQ(catalogue.count(), 4);
    QStringList paths;
    for (const RecordingEntry &e : catalogue.entries())
        paths << e.fullPath;
    EXPECT_TRUE(paths.contains(card.path() + QStringLiteral("DCIM/deep/er/PRK_20230406_010203_0.AVI")));
    EXPECT_TRUE(paths.contains(card.path() + QStringLiteral("MDI_20230405_121314_0_LPSTOP.AVI")));
    EXPECT_EQ(CountKind(KindNormal), 1);
    EXPECT_EQ(CountKind(KindEvent), 1);
    EXPECT_EQ(CountKind(KindParking), 2);
    EXPECT_EQ(CountKind(KindAll), 0) << "no entry is stored with the filter code";
}

// Only regular files are recordings: a FIFO, a folder or a link to a device
// named like one is never catalogued (reading a FIFO would block forever).
TEST_F(Catalogue, OnlyRegularFilesAreCatalogued)
{
    CardFolder card;
    card.addAll({"REC_20240315_081500_0.AVI"});
    const QByteArray folder = QFile::encodeName(card.path());
    ASSERT_EQ(::mkfifo(folder + "REC_20240315_081508_0.AVI", 0600), 0);
    ASSERT_EQ(::mkdir(folder + "EVT_20240315_081508_0.AVI", 0700), 0);
    ASSERT_EQ(::symlink("/dev/zero", folder + "PRK_20240315_081508_0.AVI"), 0);
    ASSERT_EQ(::symlink("REC_20240315_081500_0.AVI", folder + "REC_20240315_081600_0.AVI"), 0);

    AddRecordingPath(card.path());
    EXPECT_EQ(names(FilteredSortedEntries(KindAll)),
              QStringList({"REC_20240315_081500_0.AVI", "REC_20240315_081600_0.AVI"}))
        << "a link to a recording is one";

    // Dropped one by one: the same rule.
    for (const char *oddItem : {"REC_20240315_081508_0.AVI", "EVT_20240315_081508_0.AVI", "PRK_20240315_081508_0.AVI"}) {
        ClearCatalogue();
        AddRecordingPath(card.path() + QString::fromLatin1(oddItem));
        AddRecordingFile(card.path() + QString::fromLatin1(oddItem));
        EXPECT_EQ(RecordingCatalogue::instance().count(), 0) << oddItem;
    }
}

// Names whose bytes are not UTF-8 (cards written by other systems) keep
// their bytes: two folders that differ only in such bytes stay two, and each
// path leads back to its file.
TEST_F(Catalogue, NamesKeepTheirBytes)
{
    CardFolder card;
    const QByteArray root = QFile::encodeName(card.path());
    for (const QByteArray &folder : {QByteArray("\xff"), QByteArray("\xfe"), QByteArray("caf\xc3\xa9")}) {
        ASSERT_EQ(::mkdir(root + folder, 0700), 0);
        const int fd = ::creat(root + folder + "/REC_20240315_081500_0.AVI", 0600);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    AddRecordingPath(card.path());
    const RecordingCatalogue &catalogue = RecordingCatalogue::instance();
    ASSERT_EQ(catalogue.count(), 3);
    QSet<QByteArray> folders;
    for (const RecordingEntry &e : catalogue.entries()) {
        EXPECT_TRUE(IsRegularFile(e.fullPath)) << qPrintable(DisplayPath(e.fullPath));
        folders.insert(NativeFromPath(e.fullPath).mid(root.size()).chopped(26));
    }
    EXPECT_EQ(folders, QSet<QByteArray>({"\xff", "\xfe", "caf\xc3\xa9"}));

    // The text form: valid UTF-8 decodes as usual, other bytes come back exactly.
    struct Case {
        QByteArray bytes;
        QString shown;
    } cases[] = {
        {"plain", QStringLiteral("plain")},
        {"caf\xc3\xa9", QStringLiteral("café")},
        {"\xff\xfe", QStringLiteral("\uFFFD\uFFFD")},
        {"a\xc3", QStringLiteral("a\uFFFD")},                 // cut sequence
        {"\xed\xb2\x80", QStringLiteral("\uFFFD\uFFFD\uFFFD")}, // an encoded surrogate is no UTF-8
        {"\xf0\x9f\x9a\x97", QStringLiteral("\U0001F697")},
    };
    for (const Case &c : cases) {
        const QString path = PathFromNative(c.bytes);
        EXPECT_EQ(NativeFromPath(path), c.bytes) << c.bytes.toHex().constData();
        EXPECT_EQ(DisplayPath(path), c.shown) << c.bytes.toHex().constData();
    }
}

TEST_F(Catalogue, DuplicatePathsAreSkipped)
{
    CardFolder card;
    card.addAll({"REC_20230405_121314_0.AVI", "sub/EVT_20230405_121314_0.AVI"});
    AddRecordingPath(card.path());
    AddRecordingPath(card.path());
    EXPECT_EQ(RecordingCatalogue::instance().count(), 2) << "the same folder scanned twice";

    EXPECT_FALSE(AddRecordingFile(card.path() + QStringLiteral("REC_20230405_121314_0.AVI")));
    EXPECT_EQ(RecordingCatalogue::instance().count(), 2);

    // The comparison is exact: another spelling of the folder is another path.
    QString noSlash = card.path();
    noSlash.chop(1);
    AddRecordingPath(noSlash);
    EXPECT_EQ(RecordingCatalogue::instance().count(), 2) << "a folder path gains its separator";
}

TEST_F(Catalogue, SingleFilesAndPathsWithoutAFolder)
{
    CardFolder card;
    const QString file = card.add(QStringLiteral("EVT_20230405_121314_0.AVI"));
    struct Case {
        QString path;
        bool result;
        int count;
    } cases[] = {
        {QStringLiteral("EVT_20230405_121314_0.AVI"), true, 0},  // no separator
        {QStringLiteral("/EVT_20230405_121314_0.AVI"), true, 0}, // separator at position 0
        {card.path() + QStringLiteral("notes.txt"), true, 0},
        {file, true, 1},
    };
    for (const Case &c : cases) {
        ClearCatalogue();
        EXPECT_EQ(AddRecordingPath(c.path), c.result) << qPrintable(c.path);
        EXPECT_EQ(RecordingCatalogue::instance().count(), c.count) << qPrintable(c.path);
        ClearCatalogue();
        if (!c.path.endsWith(QStringLiteral("notes.txt"))) {
            AddRecordingFile(c.path);
            EXPECT_EQ(RecordingCatalogue::instance().count(), c.count) << qPrintable(c.path);
        }
    }
    // A file that is not on disk is still catalogued by its name.
    ClearCatalogue();
    EXPECT_TRUE(AddRecordingFile(QStringLiteral("/gone/REC_20230405_121314_0.AVI")));
}

TEST_F(Catalogue, ListIsSortedStablyAcrossDaysAndFiltered)
{
    const char *inOrderFound[] = {
        "REC_20230406_080000_0.AVI", // later day, earlier time
        "EVT_20230405_230000_0.AVI",
        "MDI_20230405_120000_0.AVI", // same moment as the next two: keeps catalogue order
        "REC_20230405_120000_0.AVI",
        "PRK_20230405_120000_0.AVI",
        "REC_20221231_235959_0.AVI",
    };
    for (const char *n : inOrderFound)
        ASSERT_TRUE(AddRecording(QStringLiteral("/card/"), QString::fromUtf8(n)));

    struct Case {
        int filter;
        QStringList expected;
    } cases[] = {
        {KindAll,
         {"REC_20221231_235959_0.AVI", "MDI_20230405_120000_0.AVI", "REC_20230405_120000_0.AVI",
          "PRK_20230405_120000_0.AVI", "EVT_20230405_230000_0.AVI", "REC_20230406_080000_0.AVI"}},
        {KindNormal, {"REC_20221231_235959_0.AVI", "REC_20230405_120000_0.AVI", "REC_20230406_080000_0.AVI"}},
        {KindEvent, {"EVT_20230405_230000_0.AVI"}},
        {KindParking, {"MDI_20230405_120000_0.AVI", "PRK_20230405_120000_0.AVI"}},
        {7, {}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(names(FilteredSortedEntries(c.filter)), c.expected) << "filter " << c.filter;
        RecordingListModel list;
        list.setHeaders({"a", "b", "c", "d", "e", "f"});
        EXPECT_TRUE(FillRecordingList(list, c.filter));
        ASSERT_EQ(list.rowCount(), c.expected.size());
        for (int row = 0; row < list.rowCount(); ++row) {
            EXPECT_EQ(list.cell(row, RecordingListModel::NumberColumn), QString::number(row + 1));
            EXPECT_EQ(list.rowFileName(row), c.expected.at(row));
            EXPECT_EQ(list.rowPath(row), QStringLiteral("/card/") + c.expected.at(row));
        }
    }
    // The kind column tells the two parking kinds apart.
    RecordingListModel list;
    FillRecordingList(list, KindParking);
    EXPECT_EQ(list.cell(0, RecordingListModel::KindColumn), QStringLiteral("주차모션"));
    EXPECT_EQ(list.cell(1, RecordingListModel::KindColumn), QStringLiteral("주차상시"));
}

TEST_F(Catalogue, ListMarkerAndScrollBar)
{
    auto addRecordings = [](int n) {
        ClearCatalogue();
        for (int i = 0; i < n; ++i)
            AddRecording(QStringLiteral("/card/"),
                         QStringLiteral("REC_20230405_12%1_0.AVI").arg(i, 4, 10, QLatin1Char('0')));
    };
    struct Case {
        int rows;
        bool maximised;
        bool scrollEnabled;
    } cases[] = {
        {0, false, false}, {19, false, false}, {20, false, true},
        {20, true, false}, {30, true, false},  {31, true, true},
    };
    for (const Case &c : cases) {
        addRecordings(c.rows);
        RecordingListModel list;
        list.setParentMaximised(c.maximised);
        FillRecordingList(list, KindAll);
        EXPECT_EQ(list.verticalScrollEnabled(), c.scrollEnabled) << c.rows << " rows";
        EXPECT_EQ(list.currentRow(), c.rows > 0 ? 0 : -1) << c.rows << " rows";
    }

    addRecordings(3);
    RecordingListModel list;
    FillRecordingList(list, KindAll);
    list.setCurrentRow(2);
    EXPECT_EQ(list.currentFileName(), QStringLiteral("REC_20230405_120002_0.AVI"));
    list.setCurrentRow(7); // invalid: the old marker is cleared
    EXPECT_EQ(list.currentRow(), -1);
    EXPECT_TRUE(list.currentFileName().isEmpty());
    EXPECT_EQ(list.findRow(QStringLiteral("rec_20230405_120001_0.avi")), 1);
    EXPECT_EQ(list.findRow(QStringLiteral("nothing")), -1);
    EXPECT_TRUE(list.rowPath(5).isEmpty());

    // A refill that leaves no rows clears the marker, wherever it was.
    for (int marked : {0, 2}) {
        addRecordings(3);
        FillRecordingList(list, KindAll);
        list.setCurrentRow(marked);
        addRecordings(0);
        FillRecordingList(list, KindAll);
        EXPECT_EQ(list.currentRow(), -1) << "marked row " << marked;
        EXPECT_TRUE(list.currentFileName().isEmpty());
    }
}

TEST(ListRows, Colours)
{
    struct Case {
        int row, current;
        bool selected;
        RowColours expected;
    } cases[] = {
        {0, -1, false, {QColor(180, 180, 180), QColor(70, 70, 70)}},
        {1, -1, false, {QColor(180, 180, 180), QColor(50, 50, 50)}},
        {1, -1, true, {QColor(0, 0, 0), QColor(140, 140, 0)}},
        {2, 2, true, {QColor(255, 255, 255), QColor(0, 100, 100)}}, // the playing row wins
        {2, 2, false, {QColor(255, 255, 255), QColor(0, 100, 100)}},
    };
    // The contrast of text on its ground, as the web's accessibility
    // guidelines measure it (relative luminance of sRGB).
    auto luminance = [](const QColor &c) {
        auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    auto contrast = [&](const RowColours &r) {
        const double a = luminance(r.text) + 0.05, b = luminance(r.background) + 0.05;
        return std::max(a, b) / std::min(a, b);
    };
    for (const Case &c : cases) {
        const RowColours got = ListRowColours(c.row, c.current, c.selected);
        EXPECT_EQ(got, c.expected) << c.row;
        EXPECT_GE(contrast(got), 4.5) << c.row << " " << c.current << " " << c.selected;
    }
    EXPECT_NE(ListRowColours(1, 2, true).background, ListRowColours(2, 2, false).background)
        << "selected and playing told apart";
}

TEST(AppPaths, ProgramFolderFileSearchAndCaptureFolder)
{
    const QString appDir = GetAppDirectory();
    EXPECT_FALSE(appDir.isEmpty());
    EXPECT_FALSE(appDir.endsWith(QLatin1Char('/')));
    EXPECT_TRUE(FileExists(appDir + QStringLiteral("/Korean.strings")));

    CardFolder card;
    card.add(QStringLiteral("REC_20230405_121314_0.AVI"));
    EXPECT_TRUE(FileExists(card.path() + QStringLiteral("REC_*.AVI")));
    EXPECT_TRUE(FileExists(card.path() + QStringLiteral("REC_2023040?_121314_0.AVI")));
    EXPECT_FALSE(FileExists(card.path() + QStringLiteral("EVT_*.AVI")));
    EXPECT_FALSE(FileExists(card.path() + QStringLiteral("missing")));
    EXPECT_FALSE(FileExists(QString()));

    QTemporaryDir documents;
    SetDocumentsFolderForTesting(documents.path() + QLatin1Char('/'));
    const QString capture = GetCaptureFolder();
    SetDocumentsFolderForTesting({});
    EXPECT_EQ(capture, documents.path() + QStringLiteral("/CAM_CAPTURE"));
    EXPECT_TRUE(QFileInfo(capture).isDir());
    // An account without a documents folder yet: it is made too.
    SetDocumentsFolderForTesting(documents.path() + QStringLiteral("/new/Documents"));
    const QString fresh = GetCaptureFolder();
    SetDocumentsFolderForTesting({});
    EXPECT_TRUE(QFileInfo(fresh).isDir()) << fresh.toStdString();
}
