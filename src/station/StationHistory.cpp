#include "station/StationHistory.h"

#include "app/Session.h"
#include "history/HistoryUrl.h"
#include "prodtest/OperatorPanel.h"
#include "prodtest/TestDefinitions.h"
#include "prodtest/TestResults.h"

#include <QCryptographicHash>
#include <QSysInfo>

namespace vmx::station {

using app::CommentColour;

namespace {

QString ColourName(CommentColour c)
{
    return c == CommentColour::Red ? QStringLiteral("red") : QStringLiteral("blue");
}

std::optional<double> Limit(int v)
{
    return v < 0 ? std::nullopt : std::optional<double>(v);
}

} // namespace

StationHistory::StationHistory(app::Session& session, prodtest::TestDefinitions& definitions,
                               prodtest::TestResults& results)
    : session_(session), defs_(definitions), results_(results)
{
}

bool StationHistory::Open(const QString& url, const QString& dataDir, const QString& name, QString* why)
{
    reader_.reset();
    sync_.reset();
    store_.reset();
    const QString host = QSysInfo::machineHostName();
    // With a line's server the station still writes its own store first: the sync takes it
    // from there, so an away server loses nothing.
    const bool server = history::IsServerUrl(url);
    const QString local = url.isEmpty() || server ? history::DefaultUrl(dataDir) : url;
    auto store = history::SqlHistoryStore::Open(local, dataDir, name.isEmpty() ? host : name, host,
                                                history::SqlHistoryStore::Schema::Latest, why);
    if (!store) return false;
    const int aborted = store->AbortLeftRunning(QDateTime::currentDateTimeUtc());
    if (aborted < 0) {
        if (why) *why = store->lastError();
        return false;
    }
    if (aborted > 0)
        session_.PanelText(
            1, QStringLiteral("Datenbank: %1 unterbrochene Prüfung(en) von %2 als abgebrochen markiert")
                   .arg(aborted)
                   .arg(store->station()));
    store_ = std::move(store);
    serverUrl_ = server ? url : QString();
    localUrl_ = local;
    dataDir_ = dataDir;
    runUuid_.clear();
    return true;
}

history::HistorySyncWorker* StationHistory::StartSync()
{
    if (!store_ || serverUrl_.isEmpty()) return nullptr;
    if (!sync_)
        sync_ =
            std::make_unique<history::HistorySyncWorker>(localUrl_, dataDir_, store_->station(), serverUrl_);
    return sync_.get();
}

history::HistoryReader* StationHistory::Reader()
{
    if (!store_ || serverUrl_.isEmpty()) return nullptr;
    if (!reader_)
        reader_ =
            std::make_unique<history::HistoryReader>(localUrl_, dataDir_, store_->station(), serverUrl_);
    return reader_.get();
}

QString StationHistory::SensorSerial() const
{
    const int sn = session_.sensor.SerialNo;
    return sn >= 0xFFFF ? QString() : QString::asprintf("%4.4d", sn);
}

QString StationHistory::SensorTypeKey() const
{
    return QString::number(session_.sensor.Key);
}

bool StationHistory::Record(history::ServiceEvent e)
{
    if (!store_) return true;
    e.at = QDateTime::currentDateTimeUtc();
    e.uuid = history::NewUuid(e.at);
    e.station = store_->station();
    if (store_->AddServiceEvent(e)) {
        if (sync_) sync_->Kick();
        return true;
    }
    session_.ShowLComment(CommentColour::Red,
                          QStringLiteral("Datenbank: FEHLER (%1)").arg(store_->lastError()));
    return false;
}

bool StationHistory::UnitStarted(QString* why)
{
    runUuid_.clear();
    attempts_.clear();
    if (!store_) return true;
    using Entry = prodtest::OperatorPanel::Entry;
    const prodtest::MeasItems& it = defs_.items;
    auto entry = [&](Entry e, const prodtest::TMeasItem& item) {
        return panel && !item.IniValue.isEmpty() ? panel->EntryText(e) : QString();
    };
    history::RunStart r;
    r.started = QDateTime::currentDateTimeUtc();
    r.uuid = history::NewUuid(r.started);
    // The serial number as the unit's first step takes it from the entry.
    if (panel && it.SerialNo.Low != -1 && it.SerialNo.High != -1) {
        const int sn = prodtest::TestDefinitions::Number(panel->EntryText(Entry::SerialNo).trimmed());
        if (sn >= 0) r.serial = QString::asprintf("%4.4d", sn);
    }
    r.sensorType = SensorTypeKey();
    r.label = defs_.comboText;
    r.program = defs_.cond.ProgramNo;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const auto& row : defs_.startGrid.cells)
        hash.addData((row[0] + QLatin1Char('\t') + row[1] + QLatin1Char('\n')).toUtf8());
    r.definitionHash = QString::fromLatin1(hash.result().toHex());
    r.tester = entry(Entry::Tester, it.Tester);
    r.batch = entry(Entry::BatchNo, it.BatchNo);
    r.batchComment = entry(Entry::BatchComment, it.BatchComment);
    r.techIndex = entry(Entry::TechIndex, it.TechIndex);
    r.year = entry(Entry::ManuYear, it.ManuYear);
    r.version = QLatin1String(app::kVersionText);
    if (!store_->BeginRun(r)) {
        if (why) *why = store_->lastError();
        return false;
    }
    runUuid_ = r.uuid;
    return true;
}

std::pair<std::optional<double>, std::optional<double>> StationHistory::Limits(const QString& item) const
{
    const prodtest::MeasItems& it = defs_.items;
    const prodtest::TMeasuringCond& c = defs_.cond;
    auto numbered = [&](const char* prefix, const auto& items) -> std::optional<size_t> {
        const QString p = QLatin1String(prefix);
        if (!item.startsWith(p)) return std::nullopt;
        bool ok = false;
        const int n = item.mid(p.size()).toInt(&ok);
        if (!ok || n < 1 || size_t(n) >= items.size()) return std::nullopt;
        return size_t(n);
    };
    if (item == QLatin1String("SN")) return {Limit(it.SerialNo.Low), Limit(it.SerialNo.High)};
    if (item == QLatin1String("ohne")) return {std::nullopt, Limit(c.NoTubeMax)};
    if (item == QLatin1String("leer")) return {std::nullopt, Limit(c.EmptyTubeMax)};
    if (item == QLatin1String("voll")) return {Limit(c.FullTubeMin), Limit(c.FullTubeMax)};
    if (auto n = numbered("Ampl ", it.Ampl)) return {Limit(it.Ampl[*n].Low), Limit(it.Ampl[*n].High)};
    if (auto n = numbered("Blase ", it.Bubble)) return {Limit(it.Bubble[*n].Low), Limit(it.Bubble[*n].High)};
    return {std::nullopt, std::nullopt};
}

bool StationHistory::StepEnded(const prodtest::StepReport& s, QString* why)
{
    if (!store_ || runUuid_.isEmpty()) return true;
    history::StepAttempt a;
    a.runUuid = runUuid_;
    a.step = s.step;
    a.attempt = ++attempts_[s.step];
    a.routine = s.routine;
    for (const auto& [colour, text] : s.texts)
        a.texts.push_back({ColourName(colour), text});
    a.outcome = s.failed ? 0 : 1;
    a.started = s.started;
    a.durationMs = s.durationMs;
    for (const prodtest::Outcome& o : s.outcomes) {
        if (o.result == -1) continue;
        history::Measurement m;
        m.item = o.name;
        m.value = o.cell;
        if (o.value.isDouble()) m.number = o.value.toDouble();
        std::tie(m.low, m.high) = Limits(o.name);
        m.outcome = o.result;
        a.measurements.push_back(std::move(m));
    }
    if (store_->AddStepAttempt(a)) return true;
    if (why) *why = store_->lastError();
    return false;
}

bool StationHistory::UnitEnded(bool aborted, QString* why)
{
    if (!store_ || runUuid_.isEmpty()) return true;
    history::RunEnd e;
    e.runUuid = std::exchange(runUuid_, QString());
    e.state = aborted ? history::RunState::Aborted : history::RunState::Done;
    e.verdict = aborted ? QStringLiteral("FEHLER") : results_.Verdict();
    e.comment = defs_.data.ResultComment;
    e.ended = QDateTime::currentDateTimeUtc();
    if (store_->EndRun(e)) {
        if (sync_) sync_->Kick();
        return true;
    }
    if (why) *why = store_->lastError();
    return false;
}

} // namespace vmx::station
