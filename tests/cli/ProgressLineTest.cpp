#include "cli/ProgressLine.h"

#include <QTextStream>

#include <gtest/gtest.h>

TEST(ProgressLine, TellsDoneFailedAndRateAndOnceTheTotalIsKnownWhatRemains)
{
    const struct
    {
        RunCounts counts;
        int total;
        double seconds;
        const char *expected;
    } cases[] = {
        {{0, 0, 0, 0}, -1, 0, "0 done, 0 failed, 0.0 files/s"},
        {{90, 10, 3, 0}, -1, 20, "100 done, 10 failed, 5.0 files/s"},
        {{40, 0, 0, 10}, 350, 10, "50 done, 0 failed, 5.0 files/s, 300 to go, about 1 min left"},
        {{1, 0, 0, 0}, 11, 2, "1 done, 0 failed, 0.5 files/s, 10 to go, about 20 s left"},
        {{10, 0, 0, 0}, 10, 5, "10 done, 0 failed, 2.0 files/s, 0 to go"},
        {{0, 0, 0, 0}, 5, 3, "0 done, 0 failed, 0.0 files/s, 5 to go"},
        {{12, 0, 0, 0}, 10, 5, "12 done, 0 failed, 2.4 files/s, 0 to go"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(batch::ProgressLine::text(c.counts, c.total, c.seconds), QLatin1String(c.expected));
}

TEST(ProgressLine, DurationsRoundToWhatAPersonReads)
{
    const struct
    {
        double seconds;
        const char *expected;
    } cases[] = {
        {0, "about 1 s"},           {0.4, "about 1 s"},
        {42.4, "about 42 s"},       {59.4, "about 59 s"},
        {60, "about 1 min"},        {89, "about 1 min"},
        {91, "about 2 min"},        {3569, "about 59 min"},
        {3600, "about 1 h 00 min"}, {3 * 3600 + 5 * 60, "about 3 h 05 min"},
        {-5, "about 1 s"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(batch::ProgressLine::duration(c.seconds), QLatin1String(c.expected)) << c.seconds;
}

TEST(ProgressLine, RewritesItselfAndStepsAsideOnlyForLinesOnItsTerminal)
{
    for (const bool shares : {true, false}) {
        QString written;
        QTextStream err(&written);
        batch::ProgressLine line(err, shares);
        line.update({1, 0, 0, 0});
        EXPECT_TRUE(written.startsWith("\r\x1b[K1 done, 0 failed, ")) << qPrintable(written);
        EXPECT_FALSE(written.contains('\n')) << "never a line of its own";
        written.clear();
        line.makeRoomForLine();
        EXPECT_EQ(written, shares ? QString("\r\x1b[K") : QString()) << shares;
        written.clear();
        line.setTotal(3);
        EXPECT_TRUE(written.contains(", 2 to go")) << qPrintable(written);
        written.clear();
        line.hide();
        EXPECT_EQ(written, "\r\x1b[K");
        written.clear();
        line.hide();
        EXPECT_EQ(written, "") << "hidden once";
    }
}
