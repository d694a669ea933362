#include "catalogue/RecordingCatalogue.h"

#include <gtest/gtest.h>

using namespace drivora;

TEST(RecordingFileName, Grammar)
{
    struct Case {
        const char *name;
        bool accepted;
    } cases[] = {
        {"REC_20230405_121314_00.AVI", false}, // 26 characters
        {"REC_20230405_121314_0.AVI", true},
        {"EVT_20230405_121314_0.AVI", true},
        {"PRK_20230405_121314_0.AVI", true},
        {"MDI_20230405_121314_0.AVI", true},
        {"rec_20230405_121314_0.AVI", true},  // the grammar ignores case
        {"REC_20230405_121314_0.avi", true},
        {"REC_20230405_121314_0.MP4", false},
        {"ABC_20230405_121314_0.AVI", false},
        {"REC_2023040_121314_0.AVI", false}, // 24 characters
        {"REC_20230405_121314_LPSTOP.AVI", false}, // 31: never a recording
        {"REC_20230405_121314_0_LPSTOP.AVI", true},   // 32
        {"REC_20230405_121314_0_LPSTART.AVI", true},  // 33
        {"REC_20230405_121314_0_lpstart.avi", true},
        {"REC_20230405_121314_0_lpstop.avi", true},
        {"REC_20230405_121314_0_LPSTXP.AVI", false},  // 32, other ending
        {"REC_20230405_121314_0_ABCDEF_LPSTOP.AVI", true}, // longer with the same ending
        {"REC_20230405_121314_0123456789AB.AVI", false},   // long without a boundary ending
        {"", false},
        {"REC_", false},
        {"REC_20230405_121314_0.AV", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(IsRecordingFileName(QString::fromUtf8(c.name)), c.accepted) << c.name;
}

TEST(RecordingFileName, LengthsCountBytesOfTheName)
{
    // 25 characters but 27 bytes: the Hangul syllable takes three bytes, so the
    // name has neither the normal nor the boundary length.
    EXPECT_FALSE(IsRecordingFileName(QStringLiteral("REC_20230405_121314_가.AVI")));
}

TEST(RecordingFileName, SplitDateAndTime)
{
    struct Case {
        const char *name, *date, *time;
    } cases[] = {
        {"REC_20230405_121314_0.AVI", "2023-04-05", "12:13:14"},
        {"EVT_19991231X235959AB.AVI", "1999-12-31", "23:59:59"},
        {"PRK_ABCDEFGH_IJKLMN_0.AVI", "ABCD-EF-GH", "IJ:KL:MN"}, // copied, not checked
        {"MDI_20230405_121314_0_LPSTART.AVI", "2023-04-05", "12:13:14"},
    };
    for (const Case &c : cases) {
        const NameDateTime dt = SplitNameDateTime(QString::fromUtf8(c.name));
        EXPECT_EQ(dt.dateText, QString::fromUtf8(c.date)) << c.name;
        EXPECT_EQ(dt.timeText, QString::fromUtf8(c.time)) << c.name;
    }
}

TEST(RecordingFileName, ParseStartTime)
{
    struct Case {
        const char *name;
        uint16_t year, month, day, hour, minute, second;
    } cases[] = {
        {"REC_20230405_121314_0.AVI", 2023, 4, 5, 12, 13, 14},
        {"REC_2023X405_1a1314_0.AVI", 2023, 0, 5, 1, 13, 14}, // leading digits only
        {"REC_99991399_996199_0.AVI", 9999, 13, 99, 99, 61, 99}, // no range checks
    };
    for (const Case &c : cases) {
        CalendarTime t;
        t.dayOfWeek = 3;
        t.milliseconds = 777;
        ParseNameStartTime(QString::fromUtf8(c.name), t);
        EXPECT_EQ(t.year, c.year) << c.name;
        EXPECT_EQ(t.month, c.month) << c.name;
        EXPECT_EQ(t.day, c.day) << c.name;
        EXPECT_EQ(t.hour, c.hour) << c.name;
        EXPECT_EQ(t.minute, c.minute) << c.name;
        EXPECT_EQ(t.second, c.second) << c.name;
        EXPECT_EQ(t.dayOfWeek, 3) << "left as the caller set it";
        EXPECT_EQ(t.milliseconds, 777);
    }
}

TEST(Names, TheCamerasClockAtAPlaceInARecording)
{
    struct Case {
        const char *name;
        int64_t positionMs;
        const char *clock; // empty: none
    } cases[] = {
        {"REC_20240315_081500_0.AVI", 0, "2024-03-15 08:15:00.000"},
        {"REC_20240315_081500_0.AVI", 61250, "2024-03-15 08:16:01.250"},
        {"EVT_20241231_235959_0.AVI", 2500, "2025-01-01 00:00:01.500"}, // across midnight and the year
        {"PRK_20240228_235930_1.AVI", 45000, "2024-02-29 00:00:15.000"}, // a leap day
        {"REC_20240315_081500_0.AVI", -40, "2024-03-15 08:15:00.000"},
        {"REC_20241315_081500_0.AVI", 0, ""}, // month 13
        {"notes.txt", 0, ""},
    };
    for (const Case &c : cases) {
        const QDateTime clock = RecordingClockAt(QString::fromLatin1(c.name), c.positionMs);
        EXPECT_EQ(clock.isValid() ? clock.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) : QString(),
                  QString::fromLatin1(c.clock))
            << c.name << " " << c.positionMs;
    }
}
