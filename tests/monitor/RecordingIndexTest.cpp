// A recording of three text exports whose index runs on across the files, with a gap: the
// sparse index finds every row, reads only the asked range, and the chart's columns hold the
// extremes of exactly their samples; rows appended later are picked up; the renderer draws
// marks and the zoomed chart from it.
#include "monitor/RecordingIndex.h"
#include "MeasFileEvents.h"
#include "RecordingHost.h"
#include "app/Session.h"
#include "monitor/ChartView.h"
#include "monitor/DiagramRenderer.h"
#include "monitor/MeasFiles.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace vmx;
using namespace vmx::monitor;

namespace {

const QDateTime kStart(QDate(2026, 5, 6), QTime(7, 0, 0));

MeasSample Make(std::int64_t i)
{
    MeasSample s = EmptySample();
    s.Index = qint32(i);
    s.Valid = 1;
    s.Time = ToSampleTime(kStart.addMSecs(i * 250)); // 4 samples a second
    s.OUT = quint8((i * 37) % 251);
    s.Ampl = quint8((i * 11) % 256);
    s.AMax = quint8(255 - (i * 11) % 256);
    s.Gain = quint8(i % 6);
    s.BAvg = quint8((i / 7) % 200);
    return s;
}

// The recording's files written by the text export, as the recording writer writes them.
struct Recording {
    app::VirtualClock clock;
    test::RecordingHost host{&clock};
    app::Session session{host, clock, QString()};
    QTemporaryDir dir;
    std::vector<std::int64_t> indices; // every sample written, in order

    Recording() { session.CopyValidSensorType(0); }

    void File(const char* name, std::int64_t from, std::int64_t to)
    {
        MeasurementStore store;
        MeasTableModel table;
        test::MeasFileEvents events{store, table};
        MeasFiles files{session, store, table, events};
        int row = 1;
        for (std::int64_t i = from; i < to; ++i, ++row) {
            table.SetSampleRow(row, Make(i));
            indices.push_back(i);
        }
        ASSERT_TRUE(files.ExportText(dir.filePath(QLatin1String(name))));
    }
    // The NAME.info the recording writer puts beside a file of recording `id`.
    void Info(const char* name, const char* id, const char* start)
    {
        QString path = dir.filePath(QLatin1String(name));
        path.chop(4);
        QFile f(path + QStringLiteral(".info"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("recording=") + id + "\nfile=" + name + "\nrecording_start=" + start + "\n");
    }
};

CurveRange Brute(const std::vector<std::int64_t>& all, double from, double to)
{
    CurveRange r;
    for (const std::int64_t i : all)
        if (double(i) >= from && double(i) < to) r.Add(Make(i));
    return r;
}

} // namespace

TEST(RecordingIndex, IndexesReadsAndDecimatesAcrossFiles)
{
    Recording rec;
    rec.File("SN4711_20260506-070000.txt", 0, 20000);
    rec.File("SN4711_20260506-072320.txt", 20000, 31000);
    // A gap of 500 samples, then a last short file.
    rec.File("SN4711_20260506-080000.txt", 31500, 31507);
    // Something else in the folder that is not the recording's text is passed over.
    QFile other(rec.dir.filePath(QStringLiteral("notes.info")));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("x");
    other.close();

    RecordingIndex ix;
    ASSERT_TRUE(ix.Open(rec.dir.path())) << qPrintable(ix.error());
    EXPECT_EQ(ix.files().size(), 3);
    EXPECT_EQ(ix.rows(), std::int64_t(rec.indices.size()));
    EXPECT_EQ(ix.badRows(), 0);
    EXPECT_EQ(ix.firstIndex(), 0);
    EXPECT_EQ(ix.lastIndex(), 31506);

    // Ranges: inside a file, across a file's end, across the gap, before and after it all.
    struct RangeCase {
        std::int64_t from, to;
    };
    for (const RangeCase rc : std::initializer_list<RangeCase>{
             {0, 1}, {17, 33}, {19990, 20010}, {30990, 31505}, {31000, 31500}, {-50, 3}, {31506, 40000}}) {
        std::vector<std::int64_t> got, want;
        ix.Rows(rc.from, rc.to, [&](const RecordedSample& s, const QByteArray& line) {
            got.push_back(s.index);
            EXPECT_EQ(s.sample.OUT, Make(s.index).OUT) << s.index;
            EXPECT_TRUE(line.startsWith(QByteArray::number(s.index) + '\t'));
        });
        for (const std::int64_t i : rec.indices)
            if (i >= rc.from && i < rc.to) want.push_back(i);
        EXPECT_EQ(got, want) << rc.from << ".." << rc.to;
    }

    // Narrow columns hold exactly their samples' extremes; wide ones whole blocks, so together
    // they still hold every sample's and the gap stays empty.
    struct ColumnCase {
        double from, per;
    };
    for (const ColumnCase cc : std::initializer_list<ColumnCase>{
             {0, 1}, {19700.5, 1}, {31300, 0.5}, {100, 3}, {30900, 2}, {0, 64}, {-1000, 100}, {25000, 16}}) {
        std::vector<CurveRange> cols(ChartView::kColumns);
        ix.Columns(cc.from, cc.per, cols);
        CurveRange all;
        for (const CurveRange& c : cols)
            all.Add(c);
        const double to = cc.from + cc.per * ChartView::kColumns;
        if (cc.per < RecordingIndex::kBlockRows) {
            for (int c = 0; c < ChartView::kColumns; ++c) {
                const CurveRange want = Brute(rec.indices, cc.from + c * cc.per, cc.from + (c + 1) * cc.per);
                ASSERT_EQ(cols[size_t(c)].any, want.any) << cc.from << "/" << cc.per << " col " << c;
                if (want.any) {
                    EXPECT_EQ(cols[size_t(c)].lo, want.lo) << cc.from << "/" << cc.per << " col " << c;
                    EXPECT_EQ(cols[size_t(c)].hi, want.hi) << cc.from << "/" << cc.per << " col " << c;
                }
            }
        } else {
            // Blocks start at multiples of 16 rows from a file's start: widen by one block.
            const CurveRange outer = Brute(rec.indices, cc.from - 16, to + 16);
            const CurveRange inner = Brute(rec.indices, cc.from + 16, to - 16);
            for (size_t k = 0; k < 5; ++k) {
                EXPECT_LE(all.lo[k], inner.lo[k]);
                EXPECT_GE(all.hi[k], inner.hi[k]);
                EXPECT_GE(all.lo[k], outer.lo[k]);
                EXPECT_LE(all.hi[k], outer.hi[k]);
            }
            for (int c = 0; c < ChartView::kColumns; ++c) {
                const double a = cc.from + c * cc.per, b = a + cc.per;
                if (a >= 31000 + 16 && b <= 31500) {
                    EXPECT_FALSE(cols[size_t(c)].any) << c;
                }
            }
        }
    }

    // Time of day from the rows' date and time cells (the export writes whole seconds).
    EXPECT_EQ(FromSampleTime(ix.TimeAt(4 * 3600 + 7)).toString(QStringLiteral("hh:mm:ss")),
              kStart.addSecs(3600 + 1).toString(QStringLiteral("hh:mm:ss")));
    EXPECT_EQ(ix.TimeAt(-1), 0.0);

    // Rows appended to the last file, and a new file, are read by a refresh: nothing else.
    QFile last(ix.files().last());
    ASSERT_TRUE(last.open(QIODevice::Append));
    for (std::int64_t i = 31507; i < 31530; ++i) {
        QStringList cells = RowTexts(Make(i));
        last.write(cells.join(QLatin1Char('\t')).toLatin1() + "\t\r\n");
        rec.indices.push_back(i);
    }
    last.write("garbage\t\r\n31531\tnot ended"); // a broken row, and one still being written
    last.close();
    rec.File("SN4711_20260506-090000.txt", 40000, 40050);
    ix.Refresh();
    EXPECT_EQ(ix.files().size(), 4);
    EXPECT_EQ(ix.rows(), std::int64_t(rec.indices.size()));
    EXPECT_EQ(ix.badRows(), 1);
    EXPECT_EQ(ix.lastIndex(), 40049);
    std::vector<CurveRange> cols(ChartView::kColumns);
    ix.Columns(31500, 0.25, cols);
    for (int c = 0; c < ChartView::kColumns; ++c) {
        const CurveRange want = Brute(rec.indices, 31500 + c * 0.25, 31500 + (c + 1) * 0.25);
        ASSERT_EQ(cols[size_t(c)].any, want.any) << c;
        if (want.any) {
            EXPECT_EQ(cols[size_t(c)].hi, want.hi) << c;
        }
    }

    // Nothing to read is said, not taken for an empty recording.
    QTemporaryDir empty;
    RecordingIndex none;
    EXPECT_FALSE(none.Open(empty.path()));
    EXPECT_FALSE(none.error().isEmpty());
    EXPECT_FALSE(none.Open(empty.filePath(QStringLiteral("missing"))));

    // The zoomed chart from store and recording: marks in white where they fall, grey columns
    // in the gap, the state of the worst sample of a column.
    MeasurementStore store;
    for (std::int64_t i = 0; i < 100; ++i)
        store.Store(Make(40050 + i), StoreSettings{});
    if (!qGuiApp) { // fonts need a GUI application; painting goes to images only
        static int argc = 1;
        static char name[] = "test_monitor";
        static char* argv[] = {name, nullptr};
        new QGuiApplication(argc, argv);
    }
    DiagramRenderer r;
    r.DrawBitmapSchedule({});
    r.SetMarks({31400, 31000, 45000}, 40050);
    ChartView view;
    view.Pause(30900);
    view.ZoomTime(1.0, 0); // one sample a pixel, paused at 30900
    ChartSource src{&store, 40050, &ix};
    EXPECT_EQ(src.Oldest(), 0);
    EXPECT_EQ(src.Newest(), 40149);
    r.DrawColumns(view, src, {}, -1, 0);
    const QImage& img = r.image();
    EXPECT_EQ(img.pixel(50 + 100, 300), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(50 + 500, 300), qRgb(255, 255, 255));
    EXPECT_NE(img.pixel(50 + 99, 20), qRgb(128, 128, 128));
    EXPECT_EQ(img.pixel(50 + 101, 20), qRgb(128, 128, 128)); // 31001: in the gap
    view.ShowFrom(40000);
    r.DrawColumns(view, src, {}, -1, 0);
    EXPECT_NE(r.image().pixel(50 + 49, 20), qRgb(128, 128, 128));  // 40049 from the file
    EXPECT_NE(r.image().pixel(50 + 50, 20), qRgb(128, 128, 128));  // 40050 from the store
    EXPECT_EQ(r.image().pixel(50 + 150, 20), qRgb(128, 128, 128)); // 40150: none yet
}

TEST(RecordingIndex, OpensOneOfSeveralRecordingsInAFolder)
{
    // Two recordings in one folder, their files interleaved by name; the later one's names sort
    // first. A plain export beside them belongs to neither.
    Recording rec;
    const char* a = "SN4711_20260506-070000";
    const char* b = "SN0815_20260506-073000";
    struct RecFile {
        const char *name, *id, *start;
        std::int64_t from, to;
    };
    const RecFile recFiles[] = {
        {"SN4711_20260506-070000.txt", a, "2026-05-06T07:00:00.000", 0, 100},
        {"SN0815_20260506-073000.txt", b, "2026-05-06T07:30:00.000", 0, 50},
        {"SN4711_20260506-080000.txt", a, "2026-05-06T07:00:00.000", 100, 200},
        {"SN0815_20260506-083000.txt", b, "2026-05-06T07:30:00.000", 50, 80},
        {"export.txt", nullptr, nullptr, 500, 510},
    };
    for (const RecFile& f : recFiles) {
        rec.File(f.name, f.from, f.to);
        if (f.id) rec.Info(f.name, f.id, f.start);
    }
    const QString dir = rec.dir.path();
    struct Case {
        QString open;
        QStringList files;
        std::int64_t first, last, rows;
    };
    const QStringList filesA = {dir + "/SN4711_20260506-070000.txt", dir + "/SN4711_20260506-080000.txt"};
    const QStringList filesB = {dir + "/SN0815_20260506-073000.txt", dir + "/SN0815_20260506-083000.txt"};
    const Case cases[] = {
        {dir, filesB, 0, 79, 80},         // the folder: the newest recording
        {filesA[0], filesA, 0, 199, 200}, // a file: all of its recording
        {filesA[1], filesA, 0, 199, 200}, // from its last file too
        {filesB[1], filesB, 0, 79, 80},
        {dir + "/export.txt", {dir + "/export.txt"}, 500, 509, 10}, // without NAME.info: alone
    };
    for (const Case& c : cases) {
        RecordingIndex ix;
        ASSERT_TRUE(ix.Open(c.open)) << qPrintable(c.open) << qPrintable(ix.error());
        EXPECT_EQ(ix.files(), c.files) << qPrintable(c.open);
        EXPECT_EQ(ix.firstIndex(), c.first) << qPrintable(c.open);
        EXPECT_EQ(ix.lastIndex(), c.last) << qPrintable(c.open);
        EXPECT_EQ(ix.rows(), c.rows) << qPrintable(c.open);
        EXPECT_EQ(ix.badRows(), 0) << qPrintable(c.open);
    }

    // A refresh takes the recording's next file, not one of another recording nor one whose
    // NAME.info is not written yet (it comes once the NAME.info is there).
    RecordingIndex ix;
    ASSERT_TRUE(ix.Open(filesA[0]));
    rec.File("SN0815_20260506-093000.txt", 80, 90);
    rec.Info("SN0815_20260506-093000.txt", b, "2026-05-06T07:30:00.000");
    rec.File("SN4711_20260506-090000.txt", 200, 230);
    ix.Refresh();
    EXPECT_EQ(ix.files(), filesA);
    rec.Info("SN4711_20260506-090000.txt", a, "2026-05-06T07:00:00.000");
    ix.Refresh();
    EXPECT_EQ(ix.files(), filesA + QStringList{dir + "/SN4711_20260506-090000.txt"});
    EXPECT_EQ(ix.lastIndex(), 229);
    EXPECT_EQ(ix.rows(), 230);
    std::vector<std::int64_t> got;
    ix.Rows(190, 210, [&](const RecordedSample& s, const QByteArray&) { got.push_back(s.index); });
    EXPECT_EQ(got.size(), 20u);
    EXPECT_EQ(got.front(), 190);
    EXPECT_EQ(got.back(), 209);
}
