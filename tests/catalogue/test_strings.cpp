#include "app/UiStringLibrary.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace drivora;

namespace {

class Strings : public ::testing::Test {
protected:
    void TearDown() override { UiStringLibrary::setSearchDirectory({}); }

    void writeCatalogue(const QByteArray &content)
    {
        QFile file(m_dir.filePath(QString::fromLatin1(UiStringLibrary::kFileName)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        UiStringLibrary::setSearchDirectory(m_dir.path());
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(Strings, EveryIdInUseHasAText)
{
    const int ids[] = {101, 102, 103, 105, 106, 107, 108, 110, 111, 112, 113, 114, 115, 116, 117, 118, 119, 120,
                       121, 122, 123, 124, 125, 126, 128, 129, 130, 131, 132, 133, 134, 135, 136, 137, 138, 143,
                       145, 148, 149, 150, 151, 152, 153, 154, 155, 156, 157, 158, 159, 160, 161, 163, 164, 165,
                       166, 167, 168, 169, 170, 171, 172, 173, 174, 175, 176, 177, 179, 180, 181, 182, 183, 184,
                       185, 186, 187, 188, 189, 190, 191, 192, 193, 194, 195, 196, 198, 208, 209, 210};
    UiStringLibrary strings;
    ASSERT_TRUE(strings.load()) << qPrintable(UiStringLibrary::catalogueFilePath());
    for (int id : ids)
        EXPECT_FALSE(strings.text(id).isEmpty()) << "string " << id;
    EXPECT_EQ(strings.text(133), QStringLiteral("상시")); // also the category caption of kind 2
    EXPECT_EQ(strings.text(185), QStringLiteral("트    럭(24V)"));
}

TEST_F(Strings, FileFormat)
{
    writeCatalogue("# comment\r\n"
                   "1\tone\r\n"
                   "2\ttwo\\nlines\\tand a \\\\ backslash\n"
                   "\n"
                   "x\tnot an id\n"
                   "3\t\n"
                   "4 no tab\n"
                   "5\t 공백 앞뒤 \n");
    UiStringLibrary strings;
    ASSERT_TRUE(strings.load());
    EXPECT_EQ(strings.text(1), QStringLiteral("one"));
    EXPECT_EQ(strings.text(2), QStringLiteral("two\nlines\tand a \\ backslash"));
    EXPECT_EQ(strings.text(3), QString());
    EXPECT_EQ(strings.text(4), QString());
    EXPECT_EQ(strings.text(5), QStringLiteral(" 공백 앞뒤 "));
    EXPECT_EQ(strings.text(99), QString());
}

TEST_F(Strings, TextsAreCutToTheBufferAtACharacterBoundary)
{
    // 1022 ASCII bytes, then a three-byte syllable: it does not fit in 1023.
    const QByteArray longText = QByteArray(1022, 'a') + "가나";
    writeCatalogue("7\t" + longText + "\n8\t" + QByteArray(1023, 'b') + "\n9\t" + QByteArray(1024, 'c') + "\n");
    UiStringLibrary strings;
    ASSERT_TRUE(strings.load());
    char buffer[UiStringLibrary::kBufferSize];
    struct Case {
        int id;
        int bytes;
    } cases[] = {{7, 1022}, {8, 1023}, {9, 1023}};
    for (const Case &c : cases) {
        std::memset(buffer, 'z', sizeof buffer);
        EXPECT_EQ(strings.loadString(c.id, buffer, sizeof buffer), c.bytes) << c.id;
        EXPECT_EQ(std::strlen(buffer), size_t(c.bytes)) << c.id;
    }
    char small[5];
    EXPECT_EQ(strings.loadString(7, small, sizeof small), 4);
    EXPECT_STREQ(small, "aaaa");
    EXPECT_EQ(strings.loadString(7, small, 0), 0);
}

TEST_F(Strings, EachLoadLooksForTheFileAgain)
{
    writeCatalogue("1\tfirst\n");
    EXPECT_EQ(LoadUiString(1), QStringLiteral("first"));
    writeCatalogue("1\tsecond text\n");
    EXPECT_EQ(LoadUiString(1), QStringLiteral("second text"));
    QFile::remove(UiStringLibrary::catalogueFilePath());
    UiStringLibrary strings;
    EXPECT_FALSE(strings.load());
    EXPECT_FALSE(strings.isLoaded());
    char buffer[16] = "junk";
    EXPECT_EQ(strings.loadString(1, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
}

// The texts are read only from a regular file of sane size: a FIFO would
// block the viewer, a link to a device would never end.
TEST_F(Strings, OnlyARegularFileOfSaneSizeIsRead)
{
    writeCatalogue("1\tfirst\n");
    const QByteArray path = QFile::encodeName(UiStringLibrary::catalogueFilePath());
    struct Case {
        const char *what;
        std::function<bool()> make;
    } cases[] = {
        {"a FIFO", [&] { return ::mkfifo(path.constData(), 0600) == 0; }},
        {"a link to /dev/zero", [&] { return ::symlink("/dev/zero", path.constData()) == 0; }},
        {"a file of 64 MiB",
         [&] {
             writeCatalogue("1\tfirst\n");
             return ::truncate(path.constData(), 64 << 20) == 0;
         }},
    };
    for (const Case &c : cases) {
        QFile::remove(UiStringLibrary::catalogueFilePath());
        ASSERT_TRUE(c.make()) << c.what;
        UiStringLibrary strings;
        EXPECT_FALSE(strings.load()) << c.what;
    }
}

TEST_F(Strings, ALoadWhileHeldOnlyCountsAReference)
{
    writeCatalogue("1\theld\n");
    UiStringLibrary held;
    ASSERT_TRUE(held.load());
    QFile::remove(UiStringLibrary::catalogueFilePath());
    {
        UiStringLibrary inner;
        ASSERT_TRUE(inner.load()); // as a library already in memory
        EXPECT_EQ(inner.text(1), QStringLiteral("held"));
    }
    held.release();
    EXPECT_TRUE(LoadUiString(1).isEmpty());
}

// Qt's own buttons and dialogs speak the interface's language.
TEST(QtTexts, InKorean)
{
    ASSERT_TRUE(InstallQtKoreanTexts()) << "the system's Qt translations (qt6-translations-l10n)";
    EXPECT_TRUE(InstallQtKoreanTexts()) << "a second call keeps the first";
    struct Case {
        const char *context, *text, *korean;
    } cases[] = {
        {"QPlatformTheme", "OK", "확인"},
        {"QPlatformTheme", "Cancel", "취소"},
        {"QPlatformTheme", "&Yes", "예(&Y)"},
        {"QPlatformTheme", "&No", "아니요(&N)"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(QCoreApplication::translate(c.context, c.text).toStdString(), c.korean) << c.text;
}
