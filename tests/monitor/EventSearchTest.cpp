// Bubble events in the store: criterion, window, skipping, the 80-row grid and its clipboard text.
#include "monitor/EventSearch.h"

#include <gtest/gtest.h>

using namespace vmx::monitor;
using C = EventSearch::Criterion;

namespace {
void Put(MeasurementStore& st, int pos, int out, int bavg = 0)
{
    MeasSample& s = st.at(pos);
    s = EmptySample();
    s.Valid = 1;
    s.Index = pos + 1000; // distinct from the position, so the grid shows which field it took
    s.OUT = quint8(out);
    s.BAvg = quint8(bavg);
}
} // namespace

TEST(EventSearch, EmptyStoreGivesOnlyTheHeadingAnd81ClipboardLines)
{
    MeasurementStore st;
    const auto hits = EventSearch::Search(st, C::QVROut, 10, 0);
    EXPECT_TRUE(hits.empty());
    const auto grid = EventSearch::Grid(hits);
    ASSERT_EQ(grid.size(), 81u);
    EXPECT_EQ(grid[0], (QStringList{"Ix", "TIx", "QVROut", "BAvg", "---", "--"}));
    for (size_t r = 1; r < grid.size(); ++r)
        EXPECT_EQ(grid[r], QStringList(6)) << r;
    const QString clip = EventSearch::ClipText(grid);
    EXPECT_TRUE(clip.startsWith("Ix\tTIx\tQVROut\tBAvg\r\n"));
    QStringList lines = clip.split("\r\n");
    ASSERT_EQ(lines.size(), 82);
    EXPECT_EQ(lines.last(), "");
    for (int i = 1; i <= 80; ++i)
        EXPECT_EQ(lines[i], "\t\t\t");
}

TEST(EventSearch, StrongestSampleOfTheWindowThenSkip)
{
    MeasurementStore st;
    for (int i = 0; i < 200; ++i)
        Put(st, i, 10, 5);
    Put(st, 50, 60);  // event start
    Put(st, 53, 90);  // strongest within 50..59
    Put(st, 57, 90);  // equal maximum later: the first one is kept
    Put(st, 59, 95);  // last sample of the window
    Put(st, 60, 200); // just outside the window, and inside the skip: not an event
    Put(st, 70, 99);  // still skipped (50 + 2*10 + 1 = 71 is the next searched)
    Put(st, 71, 55);  // next event
    auto hits = EventSearch::Search(st, C::QVROut, 10, 50);
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].Position, 59);
    EXPECT_EQ(+hits[0].Index, 1059);
    EXPECT_EQ(hits[0].Out, 95);
    EXPECT_EQ(hits[1].Position, 71);

    Put(st, 59, 10);
    hits = EventSearch::Search(st, C::QVROut, 10, 50);
    EXPECT_EQ(hits[0].Position, 53); // first of the equal maxima 53 and 57

    // By BAvg: the OUT values do not matter.
    hits = EventSearch::Search(st, C::BubbleAvg, 10, 50);
    EXPECT_TRUE(hits.empty());
    Put(st, 120, 0, 77);
    hits = EventSearch::Search(st, C::BubbleAvg, 10, 50);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].BAvg, 77);
    const auto grid = EventSearch::Grid(hits);
    EXPECT_EQ(grid[1], (QStringList{"1", "1120", "0", "77", "", ""}));
}

TEST(EventSearch, ThresholdZeroEveryValidRecordStartsAnEvent)
{
    MeasurementStore st;
    for (int i = 0; i < 100; ++i)
        Put(st, i, 0);
    const auto hits = EventSearch::Search(st, C::QVROut, 10, 0);
    ASSERT_EQ(hits.size(), 5u); // 0, 21, 42, 63, 84
    for (size_t k = 0; k < hits.size(); ++k) {
        // All values 0: the event reports its own start, not store slot 0.
        EXPECT_EQ(hits[k].Position, int(k) * 21);
        EXPECT_EQ(+hits[k].Index, 1000 + int(k) * 21);
    }
    // Empty records are passed over: a gap moves the next event to the next valid record.
    st.Clear(21);
    st.Clear(22);
    const auto gap = EventSearch::Search(st, C::QVROut, 10, 0);
    EXPECT_EQ(gap[1].Position, 23);
}

TEST(EventSearch, MoreThan80EventsShowTheFirst80)
{
    MeasurementStore st;
    for (int i = 0; i <= MeasurementStore::kLastIndex; ++i)
        Put(st, i, 100);
    const auto hits = EventSearch::Search(st, C::QVROut, 1, 50);
    EXPECT_EQ(hits.size(), size_t((32000 / 3) + 1));
    EXPECT_EQ(hits.back().Position, 31998);
    const auto grid = EventSearch::Grid(hits);
    ASSERT_EQ(grid.size(), 81u);
    EXPECT_EQ(grid[80][0], "80");
    EXPECT_EQ(grid[80][1], QString::number(1000 + 79 * 3));
    EXPECT_EQ(EventSearch::ClipText(grid).count("\r\n"), 81);
}

TEST(EventSearch, EditTextsFallBackToTheDefaults)
{
    EXPECT_EQ(EventSearch::CountFrom(""), 10);
    EXPECT_EQ(EventSearch::CountFrom("abc"), 10);
    EXPECT_EQ(EventSearch::CountFrom("4"), 4);
    EXPECT_EQ(EventSearch::CountFrom(" 7 "), 7);
    // A count below 1 would never move the scan forward.
    EXPECT_EQ(EventSearch::CountFrom("0"), 10);
    EXPECT_EQ(EventSearch::CountFrom("-3"), 10);
    EXPECT_EQ(EventSearch::CountFrom("99999999"), 32001);
    EXPECT_EQ(EventSearch::ThresholdFrom(""), 50);
    EXPECT_EQ(EventSearch::ThresholdFrom("x1"), 50);
    EXPECT_EQ(EventSearch::ThresholdFrom("240"), 240);

    // The largest count still ends the scan.
    MeasurementStore st;
    Put(st, 32000, 250);
    const auto hits = EventSearch::Search(st, C::QVROut, EventSearch::CountFrom("99999999"), 50);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].Position, 32000);
}
