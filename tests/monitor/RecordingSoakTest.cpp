// Recording on the virtual clock through the station: hours of short stream from the simulated
// sensor rotated into files, every sample in exactly one of them; a trigger; the recording
// replayed through the live path; a full disk, and a writer that stalls.
#include "AcquisitionRig.h"

#include "lang/RecordingTexts.h"
#include "monitor/EventSearch.h"
#include "monitor/MeasArray.h"
#include "monitor/MeasFiles.h"
#include "monitor/Replay.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSemaphore>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace vmx;
using monitor::EventSearch;

namespace {

// The writer thread runs an event loop, which needs the application object.
void App()
{
    if (QCoreApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_monitor";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
}

// AddressSanitizer keeps freed memory in quarantine (up to 256 MB), so the resident size there
// says nothing about whether the program's own memory grows.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kRssMeaningful = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kRssMeaningful = false;
#else
constexpr bool kRssMeaningful = true;
#endif
#else
constexpr bool kRssMeaningful = true;
#endif

long RssPages()
{
    long size = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &size, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident;
}

// The rig with what the station tells of every stored sample.
struct RecordRig : test::AcquisitionRig {
    // OUT of every sample by absolute index; allocated and touched at the start, so that the
    // memory measured is the program's.
    std::vector<quint8> outs = std::vector<quint8>(size_t(7300) * 240, 0);
    qint64 count = 0;
    std::vector<monitor::MeasSample> first; // the first samples as stored
    qint64 nextIndex = 0;
    qint64 gaps = 0;
    std::vector<qint64> marked;
    EventSearch::Scanner liveEvents{EventSearch::Criterion::QVROut, 10, 200};
    int linkOps = 0;

    RecordRig() : AcquisitionRig(QStringLiteral("stream=short"))
    {
        App();
        station->settings.overflow = app::DataOverflow::RollOver;
    }
    void SampleRecorded(qint64 index, const monitor::MeasSample& s, bool) override
    {
        if (index != nextIndex) ++gaps;
        nextIndex = index + 1;
        if (index == count && size_t(count) < outs.size()) outs[size_t(count++)] = s.OUT;
        if (first.size() < 32000) first.push_back(s);
        monitor::MeasSample abs = s;
        abs.Index = qint32(index);
        liveEvents.Feed(int(index), abs);
    }
    void TriggerMarked(qint64 index) override { marked.push_back(index); }
    void LinkIo(char, int) override { ++linkOps; }

    // The most blocks one tick of the last RunFor read.
    qint64 maxBlocks = 0;
    void RunFor(qint64 seconds)
    {
        maxBlocks = 0;
        const qint64 until = clock.NowUs() + seconds * 1000000;
        while (clock.NowUs() < until) {
            const qint64 before = acq->counters().blocks;
            Tick();
            maxBlocks = std::max(maxBlocks, acq->counters().blocks - before);
        }
    }
};

// The rows of a recording's files: index column and OUT, file by file.
struct FileRows {
    std::vector<std::vector<std::pair<qint64, int>>> files;
    qint64 bad = 0;
};

FileRows ReadRows(const QStringList& files)
{
    FileRows r;
    for (const QString& f : files) {
        monitor::Replay one;
        EXPECT_TRUE(one.Open({f}, monitor::Replay::Max, 0)) << f.toStdString();
        r.files.emplace_back();
        monitor::Replay::Row row;
        while (one.Next(0, row))
            r.files.back().emplace_back(row.index, row.sample.OUT);
        r.bad += one.badRows() + (one.readFailed() ? 1 : 0);
    }
    return r;
}

bool SameHits(const std::vector<EventSearch::Hit>& a, const std::vector<EventSearch::Hit>& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].Position != b[i].Position || a[i].Index != b[i].Index || a[i].Out != b[i].Out ||
            a[i].BAvg != b[i].BAvg)
            return false;
    return true;
}

} // namespace

TEST(RecordingSoak, TwoHoursRotatedEverySampleOnceReplayedTheSame)
{
    QTemporaryDir dir;
    RecordRig rig;
    rig.first.reserve(32000);
    // Bubbles now and then, so that the trigger and the event search find something.
    rig.bench().sensor().BubbleTrain(rig.clock.NowUs() + 5000000, 7300000, 300000);
    monitor::Trigger::Settings trig;
    trig.enabled = true;
    trig.value = monitor::Trigger::Value::QVR;
    trig.threshold = 240;
    trig.before = 20;
    trig.after = 30;
    rig.station->SetTrigger(trig);
    monitor::RecordingOptions opt;
    opt.folder = dir.path();
    opt.rotateMinutes = 20;
    ASSERT_TRUE(rig.station->StartRecording(opt));
    rig.station->Start();
    ASSERT_FALSE(rig.acq->Stopped());
    rig.RunFor(3600);
    const long rssHour = RssPages();
    rig.RunFor(3600 - 2);
    const long rssEnd = RssPages();
    ASSERT_TRUE(rig.station->StopRecording()) << rig.station->recording().FailureText().toStdString();
    rig.station->UserStop();
    const auto liveStore = EventSearch::Search(rig.store, EventSearch::Criterion::QVROut, 10, 200);

    const qint64 n = rig.station->recording().Samples();
    EXPECT_NEAR(double(n), 7200.0 * 240, 240 * 3);
    EXPECT_EQ(rig.gaps, 0);
    ASSERT_EQ(rig.count, n);
    if (kRssMeaningful) {
        EXPECT_NEAR(double(rssEnd), double(rssHour), 0.1 * double(rssHour));
    }

    // Six files of 20 minutes, named to sort in time order, the index going on across them.
    const QStringList files = rig.station->recording().Files();
    ASSERT_EQ(files.size(), 6);
    EXPECT_EQ(monitor::Recording::FilesOf(files[0]), files);
    const FileRows rows = ReadRows(files);
    EXPECT_EQ(rows.bad, 0);
    qint64 expect = 0, wrong = 0;
    for (const auto& f : rows.files) {
        EXPECT_NEAR(double(f.size()), 1200.0 * 240, 240 * 2);
        for (const auto& [index, out] : f) {
            if (index != expect || out != rig.outs[size_t(index)]) ++wrong;
            expect = index + 1;
        }
    }
    EXPECT_EQ(expect, n);
    EXPECT_EQ(wrong, 0);

    // The first file imports as an export: its first 32,000 rows, the table's own cells.
    monitor::MeasFiles importer(rig.session, rig.store, rig.table, rig.station->measFileEvents());
    ASSERT_TRUE(importer.ImportText(files[0]));
    EXPECT_FALSE(importer.ImportError());
    EXPECT_EQ(monitor::GetMaxItem(rig.table), monitor::MeasurementStore::kSlots);
    for (int i : {0, 1, 4711, 31999}) {
        QStringList want = monitor::ShortRowTexts(rig.first[size_t(i)]);
        want[0] = QString::number(i);
        QStringList got = rig.table.Row(i + 1).mid(0, 4);
        for (QString& c : got)
            c = c.trimmed();
        want[3] = want[3].trimmed();
        EXPECT_EQ(got.join(' ').toStdString(), want.join(' ').toStdString()) << i;
    }

    // The trigger marked every rise of OUT to 240, and kept a snippet of each.
    std::vector<qint64> rises;
    for (size_t i = 1; i < size_t(n); ++i)
        if (rig.outs[i] >= 240 && rig.outs[i - 1] < 240) rises.push_back(qint64(i));
    ASSERT_GT(rises.size(), 900u);
    EXPECT_EQ(rig.marked, rises);
    EXPECT_EQ(rig.station->TriggerMarks(), rises);
    const auto& mark = rig.station->trigger().marks()[3];
    const FileRows snippet = ReadRows({mark.snippet});
    ASSERT_EQ(snippet.files[0].size(), 51u);
    EXPECT_EQ(snippet.files[0].front().first, mark.index - 20);
    EXPECT_EQ(snippet.files[0].back().first, mark.index + 30);

    // Replay at full speed: the same store, the same events, the same marks; no byte to the
    // sensor, the port not even purged.
    rig.liveEvents.Finish();
    std::vector<EventSearch::Hit> fileHits;
    ASSERT_TRUE(EventSearch::SearchFiles(files, EventSearch::Criterion::QVROut, 10, 200, fileHits));
    EXPECT_TRUE(SameHits(fileHits, rig.liveEvents.hits))
        << fileHits.size() << " vs " << rig.liveEvents.hits.size();
    EXPECT_GT(fileHits.size(), 900u);

    // Only the replay's own marks from here on.
    rig.station->trigger().ClearMarks();
    rig.marked.clear();
    rig.linkOps = 0;
    rig.nextIndex = 0;
    ASSERT_TRUE(rig.station->StartReplay(files, monitor::Replay::Max));
    while (rig.station->Replaying())
        rig.station->Tick();
    EXPECT_EQ(rig.linkOps, 0);
    EXPECT_EQ(rig.gaps, 0);
    EXPECT_EQ(rig.nextIndex, n);
    EXPECT_EQ(rig.marked, rises);
    ASSERT_EQ(rig.store.index(), int(n % monitor::MeasurementStore::kSlots));
    EXPECT_TRUE(SameHits(EventSearch::Search(rig.store, EventSearch::Criterion::QVROut, 10, 200), liveStore));
}

// A file that may not grow (the process's file-size limit, as a full disk answers a write):
// the recording stops with its text, the acquisition goes on; what was written imports.
TEST(RecordingSoak, AFullDiskStopsTheRecordingNotTheMonitoring)
{
    QTemporaryDir dir;
    RecordRig rig;
    monitor::RecordingOptions opt;
    opt.folder = dir.path();
    ASSERT_TRUE(rig.station->StartRecording(opt));
    rig.station->Start();
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{200000, old.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    rig.RunFor(30);
    // The writer has written what it was handed before the limit goes.
    QMetaObject::invokeMethod(
        rig.station->recording().WriterContext(), [] {}, Qt::BlockingQueuedConnection);
    setrlimit(RLIMIT_FSIZE, &old);
    rig.Tick();
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(rig.station->recording().Failed());
    EXPECT_FALSE(rig.station->recording().Active());
    EXPECT_TRUE(rig.host.panel1Log.join('\n').contains(QStringLiteral("Schreibfehler")))
        << rig.host.panel1Log.join('\n').toStdString();
    EXPECT_FALSE(rig.station->StopRecording());
    EXPECT_FALSE(rig.acq->Stopped());
    EXPECT_NEAR(double(rig.acq->counters().stored), 30.0 * 240, 240);
    const FileRows rows = ReadRows(rig.station->recording().Files());
    ASSERT_EQ(rows.files.size(), 1u);
    EXPECT_GT(rows.files[0].size(), 1000u);
    for (size_t i = 0; i < rows.files[0].size(); ++i)
        ASSERT_EQ(rows.files[0][i].first, qint64(i));
}

// A writer held up for a minute: the acquisition keeps the line's pace and the samples wait
// in memory; once it goes on every sample reaches the file. Held up beyond the bounded
// backlog, the recording stops instead, and the acquisition still goes on.
TEST(RecordingSoak, AStalledWriterNeverHoldsUpTheAcquisition)
{
    for (const bool bounded : {false, true}) {
        SCOPED_TRACE(bounded ? "backlog beyond the bound" : "backlog within the bound");
        QTemporaryDir dir;
        RecordRig rig;
        monitor::RecordingOptions opt;
        opt.folder = dir.path();
        if (bounded) opt.maxBacklogBytes = 100000;
        ASSERT_TRUE(rig.station->StartRecording(opt));
        rig.station->Start();
        rig.RunFor(2);
        QSemaphore stalled, release;
        QMetaObject::invokeMethod(rig.station->recording().WriterContext(), [&] {
            stalled.release();
            release.acquire();
        });
        stalled.acquire();
        const qint64 before = rig.acq->counters().stored;
        rig.RunFor(60);
        EXPECT_NEAR(double(rig.acq->counters().stored - before), 60.0 * 240, 10);
        EXPECT_EQ(rig.bench().overrunBytes(), 0);
        // 2.4 blocks come in 10 ms: the ticks keep pace, no backlog builds up in the link.
        EXPECT_LE(rig.maxBlocks, 3);
        EXPECT_EQ(rig.station->recording().Failed(), bounded);
        release.release();
        rig.RunFor(2);
        EXPECT_EQ(rig.station->StopRecording(), !bounded);
        EXPECT_FALSE(rig.acq->Stopped());
        if (!bounded) {
            const FileRows rows = ReadRows(rig.station->recording().Files());
            EXPECT_EQ(qint64(rows.files[0].size()), rig.station->recording().Samples());
        }
    }
}

// Under "Stopp" the store's last slot ends the acquisition, and the recording with it: the
// recording holds exactly the stored samples, and the status says why it ended.
TEST(RecordingSoak, AFullStoreUnderStopEndsTheRecording)
{
    QTemporaryDir dir;
    RecordRig rig;
    rig.station->settings.overflow = app::DataOverflow::Stop;
    monitor::RecordingOptions opt;
    opt.folder = dir.path();
    ASSERT_TRUE(rig.station->StartRecording(opt));
    rig.station->Start();
    rig.RunFor(200);
    EXPECT_TRUE(rig.acq->Stopped());
    EXPECT_FALSE(rig.station->recording().Active());
    EXPECT_FALSE(rig.station->recording().Failed());
    EXPECT_EQ(rig.station->recording().Samples(), monitor::MeasurementStore::kSlots);
    EXPECT_TRUE(rig.host.panel1Log.contains(
        lang::RecordingTextOf(lang::RecordingText::StoreFullEnded, rig.session.language())));
    const FileRows rows = ReadRows(rig.station->recording().Files());
    ASSERT_EQ(rows.files.size(), 1u);
    EXPECT_EQ(qint64(rows.files[0].size()), monitor::MeasurementStore::kSlots);
    EXPECT_EQ(rows.files[0].back().first, monitor::MeasurementStore::kLastIndex);
}

// A value that crosses the threshold every other sample, for hours: the trigger keeps its latest
// marks for the chart and no more, and every crossing still reaches the events file, the one
// whose snippet collected while older marks were dropped included.
TEST(RecordingSoak, ATriggerFiringWithoutEndKeepsItsLatestMarks)
{
    QTemporaryDir dir;
    app::VirtualClock clock;
    test::RecordingHost host(&clock);
    app::Session session(host, clock, QString());
    monitor::Trigger trigger(session);
    monitor::Trigger::Settings s;
    s.enabled = true;
    s.before = 2;
    s.after = 50000;
    const QString events = dir.filePath(QStringLiteral("rec_events.txt"));
    trigger.Configure(s, dir.path(), events);
    constexpr qint64 kSamples = 100000; // rises at 1, 3, …, 99999
    monitor::MeasSample sample = monitor::EmptySample();
    int written = 0;
    for (qint64 i = 0; i < kSamples; ++i) {
        sample.OUT = i % 2 ? 255 : 0;
        bool stop = false;
        written += trigger.Feed(i, sample, false, stop) == monitor::Trigger::Outcome::SnippetWritten;
    }
    const auto& marks = trigger.marks();
    ASSERT_GE(marks.size(), monitor::Trigger::kKeptMarks);
    ASSERT_LE(marks.size(), 2 * monitor::Trigger::kKeptMarks);
    EXPECT_EQ(marks.back().index, kSamples - 1);
    EXPECT_EQ(marks.front().index, kSamples - 1 - 2 * qint64(marks.size() - 1));
    EXPECT_EQ(written, 1);
    const QStringList snippets = QDir(dir.path()).entryList({QStringLiteral("*trigger_*.txt")});
    ASSERT_EQ(snippets, QStringList{QStringLiteral("rec_events_trigger_1.txt")});
    // Every crossing but the one whose snippet is still collecting (50003).
    QFile f(events);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    EXPECT_EQ(lines.size() - 1, kSamples / 2 - 1);
    EXPECT_TRUE(lines.contains("1\tQVR\t255\trec_events_trigger_1.txt"));

    // The disk full from here on: the open snippet and the marks on the way are not saved, and
    // the panel says so rather than the events file going short without a word.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit full{rlim_t(f.size()), old.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
    int failed = 0;
    for (qint64 i = kSamples; i <= 50003 + s.after; ++i) {
        sample.OUT = i % 2 ? 255 : 0;
        bool stop = false;
        failed += trigger.Feed(i, sample, false, stop) == monitor::Trigger::Outcome::WriteFailed;
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(failed, 2); // the crossings at 100001 and 100003, the latter ending 50003's snippet
    EXPECT_EQ(host.panel1Log.last(), QStringLiteral("Trigger bei Ix 50003 nicht gespeichert: %1")
                                         .arg(QDir::toNativeSeparators(dir.path())));
    EXPECT_EQ(QFileInfo(events).size(), f.size());
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*trigger_*.txt")}), snippets);
}
