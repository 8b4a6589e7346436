// vmxctl commands of the unit history: db init|status|sync|migrate, history unit|runs|yield|stats|chart.
#include "charts/StatisticsCharts.h"
#include "cli/CliContext.h"
#include "history/HistorySync.h"
#include "history/HistoryUrl.h"
#include "history/Schema.h"
#include "history/SqlHistoryStore.h"
#include "history/Statistics.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QXmlStreamWriter>

#include <cmath>
#include <cstdio>
#include <iostream>

namespace vmx::cli {

namespace {

using history::SqlHistoryStore;

struct FilterArgs {
    std::string since, until, label, station, batch, verdict;
};

// The station's own store: the URL's, or with a line's server the default in the data folder.
QString LocalUrl(CliContext& ctx)
{
    const QString url = ctx.HistoryUrl();
    return history::IsServerUrl(url) ? history::DefaultUrl(ctx.DataDir()) : url;
}

// The history for reading or for its maintenance; null (message printed) when it is not there.
std::unique_ptr<SqlHistoryStore> OpenStore(CliContext& ctx, SqlHistoryStore::Schema schema, bool mustExist)
{
    if (!ctx.StartSession()) return nullptr;
    const QString url = LocalUrl(ctx);
    QString file, why;
    if (!history::SqliteFile(url, ctx.DataDir(), &file, &why)) {
        CliContext::Err(QStringLiteral("history: %1").arg(why));
        return nullptr;
    }
    if (mustExist && !QFileInfo::exists(file)) {
        CliContext::Err(QStringLiteral("history: %1: no history yet (vmxctl db init creates it)").arg(file));
        return nullptr;
    }
    auto store = SqlHistoryStore::Open(url, ctx.DataDir(), ctx.StationName(), QSysInfo::machineHostName(),
                                       schema, &why);
    if (!store) CliContext::Err(QStringLiteral("history: %1").arg(why));
    return store;
}

// A store to read: the line's server when there is one and it answers, so every station's runs
// are seen; else the station's own store, and the answer says so. Its schema must be the latest.
std::unique_ptr<SqlHistoryStore> OpenForReading(CliContext& ctx)
{
    if (!ctx.StartSession()) return nullptr;
    if (const QString url = ctx.HistoryUrl(); history::IsServerUrl(url)) {
        QString why;
        auto line = SqlHistoryStore::Open(url, ctx.DataDir(), ctx.StationName(), QSysInfo::machineHostName(),
                                          SqlHistoryStore::Schema::AsIs, &why);
        if (line && line->schemaVersion() == history::SchemaVersionLatest()) return line;
        if (line) why = QStringLiteral("%1 is at schema %2").arg(url, QString::number(line->schemaVersion()));
        CliContext::Err(QStringLiteral("history: the line's server is not reachable (%1): this is station "
                                       "%2's own view")
                            .arg(why, ctx.StationName()));
    }
    auto store = OpenStore(ctx, SqlHistoryStore::Schema::AsIs, true);
    if (!store) return nullptr;
    const int v = store->schemaVersion();
    if (v != history::SchemaVersionLatest()) {
        CliContext::Err(
            QStringLiteral("history: %1 is at schema %2, this program reads %3 (vmxctl db migrate)")
                .arg(store->url(), QString::number(v), QString::number(history::SchemaVersionLatest())));
        return nullptr;
    }
    return store;
}

bool ToFilter(const FilterArgs& a, history::Filter& f)
{
    auto day = [](const std::string& text, std::optional<QDate>& out, const char* option) {
        if (text.empty()) return true;
        const QDate d = QDate::fromString(QString::fromStdString(text), Qt::ISODate);
        if (!d.isValid() || text.size() != 10) {
            CliContext::Err(QStringLiteral("history: %1 %2: not a date YYYY-MM-DD")
                                .arg(QLatin1String(option), QString::fromStdString(text)));
            return false;
        }
        out = d;
        return true;
    };
    if (!day(a.since, f.since, "--since") || !day(a.until, f.until, "--until")) return false;
    f.label = QString::fromStdString(a.label);
    f.station = QString::fromStdString(a.station);
    f.batch = QString::fromStdString(a.batch);
    f.verdict = QString::fromStdString(a.verdict);
    return true;
}

void AddFilterOptions(CLI::App* cmd, FilterArgs& a)
{
    cmd->add_option("--since", a.since, "First day (YYYY-MM-DD, the station's local day)");
    cmd->add_option("--until", a.until, "Last day (YYYY-MM-DD)");
    cmd->add_option("--label", a.label, "A definition's label");
    cmd->add_option("--station", a.station, "Station name");
    cmd->add_option("--batch", a.batch, "Batch");
    cmd->add_option("--verdict", a.verdict, "okay or FEHLER")->check(CLI::IsMember({"okay", "FEHLER"}));
}

QString Local(const QDateTime& t)
{
    return t.isValid() ? t.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

QString StateOrVerdict(const history::RunRow& r)
{
    return r.state == history::RunState::Done ? r.verdict : history::StateName(r.state);
}

// A serial number typed as a number is looked up as the station writes it (four digits).
QString Serial(const std::string& text)
{
    const QString s = QString::fromStdString(text).trimmed();
    bool ok = false;
    const int n = s.toInt(&ok);
    return ok && n >= 0 ? QString::asprintf("%4.4d", n) : s;
}

QJsonValue Optional(const std::optional<double>& v)
{
    return v ? QJsonValue(*v) : QJsonValue();
}

QJsonObject RunJson(SqlHistoryStore& store, const history::RunRow& r)
{
    const history::RunStart& s = r.start;
    QJsonArray steps;
    for (const history::StepAttempt& a : store.Steps(s.uuid)) {
        QJsonArray texts, measurements;
        for (const history::StatusText& t : a.texts)
            texts << QJsonObject{{QStringLiteral("colour"), t.colour}, {QStringLiteral("text"), t.text}};
        for (const history::Measurement& m : a.measurements)
            measurements << QJsonObject{{QStringLiteral("item"), m.item},
                                        {QStringLiteral("value"), m.value},
                                        {QStringLiteral("number"), Optional(m.number)},
                                        {QStringLiteral("unit"), m.unit},
                                        {QStringLiteral("low"), Optional(m.low)},
                                        {QStringLiteral("high"), Optional(m.high)},
                                        {QStringLiteral("outcome"), m.outcome}};
        steps << QJsonObject{{QStringLiteral("step"), a.step},
                             {QStringLiteral("attempt"), a.attempt},
                             {QStringLiteral("routine"), a.routine},
                             {QStringLiteral("outcome"), a.outcome},
                             {QStringLiteral("started"), history::UtcStamp(a.started)},
                             {QStringLiteral("durationMs"), double(a.durationMs)},
                             {QStringLiteral("texts"), texts},
                             {QStringLiteral("measurements"), measurements}};
    }
    return QJsonObject{{QStringLiteral("uuid"), s.uuid},
                       {QStringLiteral("station"), r.station},
                       {QStringLiteral("serial"), s.serial},
                       {QStringLiteral("type"), s.sensorType},
                       {QStringLiteral("label"), s.label},
                       {QStringLiteral("program"), s.program},
                       {QStringLiteral("definitionHash"), s.definitionHash},
                       {QStringLiteral("tester"), s.tester},
                       {QStringLiteral("batch"), s.batch},
                       {QStringLiteral("batchComment"), s.batchComment},
                       {QStringLiteral("year"), s.year},
                       {QStringLiteral("techIndex"), s.techIndex},
                       {QStringLiteral("started"), history::UtcStamp(s.started)},
                       {QStringLiteral("ended"), r.ended.isValid() ? history::UtcStamp(r.ended) : QString()},
                       {QStringLiteral("state"), history::StateName(r.state)},
                       {QStringLiteral("verdict"), r.verdict},
                       {QStringLiteral("comment"), r.comment},
                       {QStringLiteral("version"), s.version},
                       {QStringLiteral("steps"), steps}};
}

// Every run a filter finds, a page at a time.
template <class Each> bool ForEachRun(SqlHistoryStore& store, const history::Filter& f, Each each)
{
    constexpr int kPage = 1000;
    for (int offset = 0;; offset += kPage) {
        const std::vector<history::RunRow> rows = store.Runs(f, kPage, offset);
        if (!store.lastError().isEmpty()) {
            CliContext::Err(QStringLiteral("history: %1").arg(store.lastError()));
            return false;
        }
        for (const history::RunRow& r : rows)
            each(r);
        if (int(rows.size()) < kPage) return true;
    }
}

int Db(CliContext& ctx, const std::string& op)
{
    if (!ctx.StartSession()) return kExitUsage;
    const QString url = ctx.HistoryUrl();
    const bool server = history::IsServerUrl(url);
    if (server) {
        QString why;
        if (!history::ParseServerUrl(url, nullptr, &why)) {
            CliContext::Err(QStringLiteral("history: %1").arg(why));
            return kExitUsage;
        }
    }
    if (op == "status") {
        QString file, why;
        if (!history::SqliteFile(LocalUrl(ctx), ctx.DataDir(), &file, &why)) {
            CliContext::Err(QStringLiteral("history: %1").arg(why));
            return kExitFailed;
        }
        int schema = 0, running = 0, waiting = 0;
        if (QFileInfo::exists(file)) {
            auto store = OpenStore(ctx, SqlHistoryStore::Schema::AsIs, true);
            if (!store) return kExitFailed;
            schema = store->schemaVersion();
            if (schema == history::SchemaVersionLatest()) {
                running = store->RunningCount();
                // Without a line's server the station's store is all there is: nothing waits.
                if (server) waiting = history::HistorySync(*store, url).Waiting();
            }
        }
        CliContext::Out(QStringLiteral("url=%1").arg(url));
        CliContext::Out(QStringLiteral("schema=%1").arg(schema));
        CliContext::Out(QStringLiteral("station=%1").arg(ctx.StationName()));
        CliContext::Out(QStringLiteral("running=%1").arg(running));
        CliContext::Out(QStringLiteral("waiting=%1").arg(waiting));
        return waiting < 0 ? kExitFailed : kExitOk;
    }
    if (op == "sync") {
        if (!server) {
            CliContext::Err(QStringLiteral("history: db sync needs a line's server: --db postgresql://… or "
                                           "MONITOR.INI [DATABASE] URL="));
            return kExitUsage;
        }
        auto store = OpenStore(ctx, SqlHistoryStore::Schema::Latest, false);
        if (!store) return kExitFailed;
        const history::SyncResult r = history::HistorySync(*store, url).Push();
        CliContext::Out(QStringLiteral("pushed=%1").arg(r.pushed));
        CliContext::Out(QStringLiteral("waiting=%1").arg(r.waiting));
        if (r.waiting == 0) return kExitOk;
        CliContext::Err(QStringLiteral("history: %1 wait for the server: %2").arg(r.waiting).arg(r.error));
        return kExitFailed;
    }
    // init and migrate: the schema brought to the latest version, the station registered; with a
    // line's server its schema too (the owner's URL: a station's role cannot create tables).
    auto before = OpenStore(ctx, SqlHistoryStore::Schema::AsIs, op == "migrate");
    if (!before) return kExitFailed;
    const int from = before->schemaVersion();
    before.reset();
    auto store = OpenStore(ctx, SqlHistoryStore::Schema::Latest, false);
    if (!store) return kExitFailed;
    CliContext::Out(QStringLiteral("url=%1").arg(store->url()));
    CliContext::Out(QStringLiteral("schema=%1").arg(store->schemaVersion()));
    CliContext::Err(QStringLiteral("history: schema %1 -> %2").arg(from).arg(store->schemaVersion()));
    if (!server) return kExitOk;
    QString why;
    auto line = SqlHistoryStore::Open(url, ctx.DataDir(), ctx.StationName(), QSysInfo::machineHostName(),
                                      SqlHistoryStore::Schema::Latest, &why);
    if (!line) {
        CliContext::Err(QStringLiteral("history: %1").arg(why));
        return kExitFailed;
    }
    CliContext::Out(QStringLiteral("url=%1").arg(url));
    CliContext::Out(QStringLiteral("schema=%1").arg(line->schemaVersion()));
    return kExitOk;
}

int Unit(CliContext& ctx, const std::string& sn, const std::string& type, bool json)
{
    auto store = OpenForReading(ctx);
    if (!store) return kExitFailed;
    history::Filter f;
    f.serial = Serial(sn);
    const QString key = QString::fromStdString(type);
    std::vector<history::RunRow> runs;
    if (!ForEachRun(*store, f, [&](const history::RunRow& r) {
            if (key.isEmpty() || r.start.sensorType == key) runs.push_back(r);
        }))
        return kExitFailed;
    const std::vector<history::ServiceEvent> events = store->Events(f.serial, key);
    if (json) {
        QJsonArray runArray, eventArray;
        for (const history::RunRow& r : runs)
            runArray << RunJson(*store, r);
        for (const history::ServiceEvent& e : events)
            eventArray << QJsonObject{{QStringLiteral("uuid"), e.uuid},
                                      {QStringLiteral("station"), e.station},
                                      {QStringLiteral("serial"), e.serial},
                                      {QStringLiteral("type"), e.sensorType},
                                      {QStringLiteral("at"), history::UtcStamp(e.at)},
                                      {QStringLiteral("kind"), history::KindName(e.kind)},
                                      {QStringLiteral("ok"), e.ok},
                                      {QStringLiteral("before"), QString::fromLatin1(e.before.toHex())},
                                      {QStringLiteral("after"), QString::fromLatin1(e.after.toHex())},
                                      {QStringLiteral("file"), e.fileName},
                                      {QStringLiteral("sha256"), e.fileSha256},
                                      {QStringLiteral("range"), e.range}};
        const QJsonObject all{{QStringLiteral("serial"), f.serial},
                              {QStringLiteral("runs"), runArray},
                              {QStringLiteral("events"), eventArray}};
        std::cout << QJsonDocument(all).toJson(QJsonDocument::Indented).toStdString();
        return kExitOk;
    }
    // Runs and events merged, newest first.
    size_t r = 0, e = 0;
    while (r < runs.size() || e < events.size()) {
        if (e == events.size() || (r < runs.size() && runs[r].start.started >= events[e].at)) {
            const history::RunRow& x = runs[r++];
            CliContext::Out(
                QStringList{Local(x.start.started), x.station, x.start.label, StateOrVerdict(x)}.join(
                    QLatin1Char('\t')));
        } else {
            const history::ServiceEvent& x = events[e++];
            CliContext::Out(QStringList{Local(x.at), x.station, history::KindName(x.kind),
                                        x.ok ? QStringLiteral("okay") : QStringLiteral("FEHLER")}
                                .join(QLatin1Char('\t')));
        }
    }
    return kExitOk;
}

QString Csv(QString s)
{
    if (s.contains(QLatin1Char(',')) || s.contains(QLatin1Char('"')) || s.contains(QLatin1Char('\n')))
        s = QLatin1Char('"') + s.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return s;
}

int Runs(CliContext& ctx, const FilterArgs& a, const std::string& format)
{
    history::Filter f;
    if (!ToFilter(a, f)) return kExitUsage;
    auto store = OpenForReading(ctx);
    if (!store) return kExitFailed;
    if (format == "junit") {
        QByteArray xml;
        QXmlStreamWriter w(&xml);
        w.setAutoFormatting(true);
        w.writeStartDocument();
        w.writeStartElement(QStringLiteral("testsuites"));
        const bool ok = ForEachRun(*store, f, [&](const history::RunRow& r) {
            const std::vector<history::StepAttempt> steps = store->Steps(r.start.uuid);
            int failures = 0;
            for (const history::StepAttempt& s : steps)
                failures += s.outcome == 0;
            w.writeStartElement(QStringLiteral("testsuite"));
            w.writeAttribute(QStringLiteral("name"),
                             QStringLiteral("%1 %2 %3").arg(r.start.label, r.start.serial, r.start.uuid));
            w.writeAttribute(QStringLiteral("hostname"), r.station);
            w.writeAttribute(QStringLiteral("timestamp"), r.start.started.toString(Qt::ISODate));
            w.writeAttribute(QStringLiteral("tests"), QString::number(steps.size()));
            w.writeAttribute(QStringLiteral("failures"), QString::number(failures));
            for (const history::StepAttempt& s : steps) {
                w.writeStartElement(QStringLiteral("testcase"));
                w.writeAttribute(QStringLiteral("classname"), r.start.label);
                w.writeAttribute(QStringLiteral("name"),
                                 QStringLiteral("%1 %2 #%3").arg(s.step).arg(s.routine).arg(s.attempt));
                w.writeAttribute(QStringLiteral("time"),
                                 QString::number(double(s.durationMs) / 1000.0, 'f', 3));
                QStringList texts;
                for (const history::StatusText& t : s.texts)
                    texts << QStringLiteral("[%1] %2").arg(t.colour, t.text);
                if (s.outcome == 0) {
                    w.writeStartElement(QStringLiteral("failure"));
                    w.writeAttribute(QStringLiteral("message"), texts.isEmpty() ? s.routine : texts.last());
                    w.writeCharacters(texts.join(QLatin1Char('\n')));
                    w.writeEndElement();
                } else if (!texts.isEmpty()) {
                    w.writeTextElement(QStringLiteral("system-out"), texts.join(QLatin1Char('\n')));
                }
                w.writeEndElement();
            }
            w.writeEndElement();
        });
        w.writeEndElement();
        w.writeEndDocument();
        if (!ok) return kExitFailed;
        std::cout << xml.toStdString();
        return kExitOk;
    }
    if (format == "json") {
        QJsonArray all;
        if (!ForEachRun(*store, f, [&](const history::RunRow& r) { all << RunJson(*store, r); }))
            return kExitFailed;
        std::cout << QJsonDocument(all).toJson(QJsonDocument::Indented).toStdString();
        return kExitOk;
    }
    const bool csv = format == "csv";
    const QStringList head{QStringLiteral("started"), QStringLiteral("station"), QStringLiteral("serial"),
                           QStringLiteral("type"),    QStringLiteral("label"),   QStringLiteral("batch"),
                           QStringLiteral("state"),   QStringLiteral("verdict"), QStringLiteral("uuid")};
    if (csv) CliContext::Out(head.join(QLatin1Char(',')));
    return ForEachRun(*store, f,
                      [&](const history::RunRow& r) {
                          QStringList cells{Local(r.start.started),      r.station,     r.start.serial,
                                            r.start.sensorType,          r.start.label, r.start.batch,
                                            history::StateName(r.state), r.verdict,     r.start.uuid};
                          if (csv)
                              for (QString& c : cells)
                                  c = Csv(c);
                          CliContext::Out(cells.join(csv ? QLatin1Char(',') : QLatin1Char('\t')));
                      })
               ? kExitOk
               : kExitFailed;
}

int Yield(CliContext& ctx, const FilterArgs& a, const std::string& by, bool json)
{
    history::Filter f;
    if (!ToFilter(a, f)) return kExitUsage;
    auto store = OpenForReading(ctx);
    if (!store) return kExitFailed;
    const history::GroupBy group = by == "station" ? history::GroupBy::Station
                                   : by == "label" ? history::GroupBy::Label
                                   : by == "batch" ? history::GroupBy::Batch
                                                   : history::GroupBy::Day;
    const std::vector<history::YieldRow> rows = store->Yield(group, f);
    if (!store->lastError().isEmpty()) {
        CliContext::Err(QStringLiteral("history: %1").arg(store->lastError()));
        return kExitFailed;
    }
    if (json) {
        QJsonArray all;
        for (const history::YieldRow& y : rows)
            all << QJsonObject{{QString::fromStdString(by), y.group},
                               {QStringLiteral("units"), y.units},
                               {QStringLiteral("runs"), y.runs},
                               {QStringLiteral("firstPassYield"), y.firstPassYield()},
                               {QStringLiteral("finalYield"), y.finalYield()},
                               {QStringLiteral("retests"), y.retests()}};
        std::cout << QJsonDocument(all).toJson(QJsonDocument::Indented).toStdString();
        return kExitOk;
    }
    CliContext::Out(QStringList{QString::fromStdString(by), QStringLiteral("units"), QStringLiteral("runs"),
                                QStringLiteral("first-pass"), QStringLiteral("final"),
                                QStringLiteral("retests")}
                        .join(QLatin1Char('\t')));
    auto percent = [](double v) { return QString::number(v * 100.0, 'f', 1) + QLatin1Char('%'); };
    for (const history::YieldRow& y : rows)
        CliContext::Out(QStringList{y.group, QString::number(y.units), QString::number(y.runs),
                                    percent(y.firstPassYield()), percent(y.finalYield()),
                                    QString::number(y.retests())}
                            .join(QLatin1Char('\t')));
    return kExitOk;
}

QJsonValue Json(const std::optional<double>& v)
{
    return v && std::isfinite(*v) ? QJsonValue(*v) : QJsonValue();
}

QString Percent(const std::optional<double>& v)
{
    return v ? QString::number(*v * 100.0, 'f', 1) + QLatin1Char('%') : history::UndefinedText();
}

QJsonObject ItemJson(const history::ItemStats& s)
{
    QJsonArray bins;
    for (int c : s.histogram.counts)
        bins << c;
    const history::Capability& c = s.capability;
    return QJsonObject{{QStringLiteral("item"), s.item},
                       {QStringLiteral("unit"), s.unit},
                       {QStringLiteral("n"), s.n},
                       {QStringLiteral("mean"), Json(s.mean)},
                       {QStringLiteral("sd"), Json(s.sd)},
                       {QStringLiteral("min"), Json(s.min)},
                       {QStringLiteral("max"), Json(s.max)},
                       {QStringLiteral("low"), Json(s.low)},
                       {QStringLiteral("high"), Json(s.high)},
                       {QStringLiteral("below"), s.below},
                       {QStringLiteral("above"), s.above},
                       {QStringLiteral("shareBelow"), Json(s.shareBelow())},
                       {QStringLiteral("shareAbove"), Json(s.shareAbove())},
                       {QStringLiteral("sigmaWithin"), Json(c.sigmaWithin)},
                       {QStringLiteral("cp"), Json(c.cp)},
                       {QStringLiteral("cpk"), Json(c.cpk)},
                       {QStringLiteral("pp"), Json(c.pp)},
                       {QStringLiteral("ppk"), Json(c.ppk)},
                       {QStringLiteral("histogram"), QJsonObject{{QStringLiteral("start"), s.histogram.start},
                                                                 {QStringLiteral("width"), s.histogram.width},
                                                                 {QStringLiteral("counts"), bins}}}};
}

// Yields per day and per station, the Paretos of failing steps and items, and each item's
// distribution and capability; `item` alone with its histogram's bins.
int Stats(CliContext& ctx, const FilterArgs& a, bool firstPass, const std::string& item, bool json)
{
    history::Filter f;
    if (!ToFilter(a, f)) return kExitUsage;
    f.firstPassOnly = firstPass;
    auto store = OpenForReading(ctx);
    if (!store) return kExitFailed;
    history::HistoryStatistics stats(*store);
    const QString name = QString::fromStdString(item);
    QString error;
    auto check = [&] {
        if (error.isEmpty()) error = stats.lastError();
    };
    std::vector<history::YieldRow> byDay, byStation;
    std::vector<history::ParetoRow> steps, failedItems;
    if (name.isEmpty()) {
        byDay = stats.Yield(history::GroupBy::Day, f);
        check();
        byStation = stats.Yield(history::GroupBy::Station, f);
        check();
        steps = stats.FailingSteps(f);
        check();
        failedItems = stats.FailingItems(f);
        check();
    }
    // An item asked for by name is shown even when nothing measured it, with its histogram.
    std::vector<history::ItemStats> items;
    if (name.isEmpty())
        items = stats.Items(f);
    else
        items.push_back(stats.Item(f, name));
    check();
    if (!error.isEmpty()) {
        CliContext::Err(QStringLiteral("history: %1").arg(error));
        return kExitFailed;
    }

    if (json) {
        auto yields = [](const std::vector<history::YieldRow>& rows, const char* key) {
            QJsonArray all;
            for (const history::YieldRow& y : rows)
                all << QJsonObject{{QLatin1String(key), y.group},
                                   {QStringLiteral("units"), y.units},
                                   {QStringLiteral("runs"), y.runs},
                                   {QStringLiteral("firstPassYield"), y.firstPassYield()},
                                   {QStringLiteral("finalYield"), y.finalYield()}};
            return all;
        };
        auto pareto = [](const std::vector<history::ParetoRow>& rows) {
            QJsonArray all;
            for (const history::ParetoRow& p : rows)
                all << QJsonObject{{QStringLiteral("name"), p.name},
                                   {QStringLiteral("count"), p.count},
                                   {QStringLiteral("share"), p.share},
                                   {QStringLiteral("cumulative"), p.cumulative}};
            return all;
        };
        QJsonArray itemArray;
        for (const history::ItemStats& s : items)
            itemArray << ItemJson(s);
        QJsonObject all{{QStringLiteral("items"), itemArray}};
        if (name.isEmpty()) {
            all[QStringLiteral("yieldByDay")] = yields(byDay, "day");
            all[QStringLiteral("yieldByStation")] = yields(byStation, "station");
            all[QStringLiteral("failingSteps")] = pareto(steps);
            all[QStringLiteral("failingItems")] = pareto(failedItems);
        }
        std::cout << QJsonDocument(all).toJson(QJsonDocument::Indented).toStdString();
        return kExitOk;
    }
    const QChar tab = QLatin1Char('\t');
    if (name.isEmpty()) {
        for (const auto& [title, rows] : {std::pair{"day", &byDay}, std::pair{"station", &byStation}}) {
            CliContext::Out(QStringLiteral("yield by %1").arg(QLatin1String(title)));
            CliContext::Out(QStringList{QLatin1String(title), QStringLiteral("units"), QStringLiteral("runs"),
                                        QStringLiteral("first-pass"), QStringLiteral("final")}
                                .join(tab));
            for (const history::YieldRow& y : *rows)
                CliContext::Out(QStringList{y.group, QString::number(y.units), QString::number(y.runs),
                                            Percent(y.firstPassYield()), Percent(y.finalYield())}
                                    .join(tab));
            CliContext::Out(QString());
        }
        for (const auto& [title, rows] : {std::pair{"step", &steps}, std::pair{"item", &failedItems}}) {
            CliContext::Out(QStringLiteral("failing %1s").arg(QLatin1String(title)));
            CliContext::Out(QStringList{QLatin1String(title), QStringLiteral("count"),
                                        QStringLiteral("share"), QStringLiteral("cumulative")}
                                .join(tab));
            for (const history::ParetoRow& p : *rows)
                CliContext::Out(
                    QStringList{p.name, QString::number(p.count), Percent(p.share), Percent(p.cumulative)}
                        .join(tab));
            CliContext::Out(QString());
        }
    }
    CliContext::Out(QStringLiteral("items"));
    CliContext::Out(QStringLiteral("item\tunit\tn\tmean\tsd\tmin\tmax\tlow\thigh\tbelow\tabove\tsigma "
                                   "within\tCp\tCpk\tPp\tPpk"));
    for (const history::ItemStats& s : items) {
        const history::Capability& c = s.capability;
        CliContext::Out(QStringList{
            s.item, s.unit, QString::number(s.n), history::FormatNumber(s.mean), history::FormatNumber(s.sd),
            history::FormatNumber(s.min), history::FormatNumber(s.max), history::FormatNumber(s.low),
            history::FormatNumber(s.high), Percent(s.shareBelow()), Percent(s.shareAbove()),
            history::FormatNumber(c.sigmaWithin), history::FormatNumber(c.cp, 2),
            history::FormatNumber(c.cpk, 2), history::FormatNumber(c.pp, 2), history::FormatNumber(c.ppk, 2)}
                            .join(tab));
    }
    if (!name.isEmpty()) {
        const history::Histogram& h = items.front().histogram;
        CliContext::Out(QString());
        CliContext::Out(QStringLiteral("histogram"));
        CliContext::Out(QStringLiteral("from\tto\tcount"));
        for (size_t i = 0; i < h.counts.size(); ++i)
            CliContext::Out(QStringList{history::FormatNumber(h.start + double(i) * h.width),
                                        history::FormatNumber(h.start + double(i + 1) * h.width),
                                        QString::number(h.counts[i])}
                                .join(tab));
    }
    return kExitOk;
}

// One of the statistics charts drawn headless into a PNG or SVG file, as the window shows it.
int Chart(CliContext& ctx, const FilterArgs& a, bool firstPass, const std::string& kind,
          const std::string& of, const std::string& item, const std::string& out)
{
    history::Filter f;
    if (!ToFilter(a, f)) return kExitUsage;
    f.firstPassOnly = firstPass;
    const QString name = QString::fromStdString(item), file = QString::fromStdString(out);
    const bool perItem = kind == "histogram" || kind == "run";
    if (perItem && name.isEmpty()) {
        CliContext::Err(
            QStringLiteral("history chart %1: --item NAME is needed").arg(QString::fromStdString(kind)));
        return kExitUsage;
    }
    if (!file.endsWith(QLatin1String(".png"), Qt::CaseInsensitive) &&
        !file.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        CliContext::Err(QStringLiteral("history chart: %1: the file must end in .png or .svg").arg(file));
        return kExitUsage;
    }
    auto store = OpenForReading(ctx);
    if (!store) return kExitFailed;
    history::HistoryStatistics stats(*store);
    charts::ChartRequest request;
    request.kind = kind == "yield"       ? charts::ChartKind::Yield
                   : kind == "pareto"    ? charts::ChartKind::Pareto
                   : kind == "histogram" ? charts::ChartKind::Histogram
                                         : charts::ChartKind::Run;
    request.filter = f;
    request.item = name;
    request.paretoOfItems = of == "items";
    QString why;
    if (!charts::DrawChart(stats, request, charts::ChartTexts::For(ctx.session().language() == 1), file,
                           QSize(1000, 600), &why)) {
        CliContext::Err(QStringLiteral("history chart: %1").arg(why));
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace

void AddHistoryCommands(CLI::App& app, CliContext& ctx)
{
    static std::string dbOp;
    auto* db = app.add_subcommand("db", "The unit-history database: init, status, sync, migrate");
    db->add_option("OP", dbOp, "init, status or migrate")
        ->required()
        ->check(CLI::IsMember({"init", "status", "sync", "migrate"}));
    db->callback([&ctx] { ctx.run = [&ctx] { return Db(ctx, dbOp); }; });

    auto* hist = app.add_subcommand("history", "The unit history: a unit, runs, yields, statistics");
    hist->require_subcommand(1);
    static std::string sn, type;
    static bool unitJson = false;
    auto* unit = hist->add_subcommand("unit", "Every run and service event of one unit, newest first");
    unit->add_option("SN", sn, "Serial number")->required();
    unit->add_option("--type", type, "Sensor-type key");
    unit->add_flag("--json", unitJson, "One object per run with its step attempts and measurements");
    unit->callback([&ctx] { ctx.run = [&ctx] { return Unit(ctx, sn, type, unitJson); }; });

    static FilterArgs runFilter;
    static bool runJson = false, runCsv = false, runJunit = false;
    auto* runs = hist->add_subcommand("runs", "The runs a filter finds, newest first");
    AddFilterOptions(runs, runFilter);
    auto* j = runs->add_flag("--json", runJson, "JSON: one object per run with its steps");
    auto* c = runs->add_flag("--csv", runCsv, "Comma-separated values with a header");
    auto* x = runs->add_flag("--junit", runJunit, "JUnit XML: one test case per step attempt");
    j->excludes(c)->excludes(x);
    c->excludes(x);
    runs->callback([&ctx] {
        ctx.run = [&ctx] {
            return Runs(ctx, runFilter, runJson ? "json" : runCsv ? "csv" : runJunit ? "junit" : "text");
        };
    });

    static FilterArgs yieldFilter;
    static std::string by = "day";
    static bool yieldJson = false;
    auto* yield = hist->add_subcommand("yield", "Units, runs, first-pass and final yield, retests per group");
    AddFilterOptions(yield, yieldFilter);
    yield->add_option("--by", by, "day, station, label or batch")
        ->check(CLI::IsMember({"day", "station", "label", "batch"}));
    yield->add_flag("--json", yieldJson, "JSON");
    yield->callback([&ctx] { ctx.run = [&ctx] { return Yield(ctx, yieldFilter, by, yieldJson); }; });

    static FilterArgs statsFilter;
    static std::string statsItem;
    static bool statsFirstPass = false, statsJson = false;
    auto* st = hist->add_subcommand(
        "stats", "Yields, Paretos of failing steps and items, each item's distribution and Cp/Cpk, Pp/Ppk");
    AddFilterOptions(st, statsFilter);
    st->add_option("--item", statsItem, "One measured item, with its histogram");
    st->add_flag("--first-pass", statsFirstPass, "Each unit's first finished run of a definition only");
    st->add_flag("--json", statsJson, "JSON; an undefined number is null");
    st->callback([&ctx] {
        ctx.run = [&ctx] { return Stats(ctx, statsFilter, statsFirstPass, statsItem, statsJson); };
    });

    static FilterArgs chartFilter;
    static std::string chartKind, chartOf = "steps", chartItem, chartOut;
    static bool chartFirstPass = false;
    auto* ch = hist->add_subcommand("chart", "One statistics chart drawn into a PNG or SVG file");
    ch->add_option("KIND", chartKind, "yield, pareto, histogram or run")
        ->required()
        ->check(CLI::IsMember({"yield", "pareto", "histogram", "run"}));
    AddFilterOptions(ch, chartFilter);
    ch->add_option("--item", chartItem, "The measured item (histogram, run)");
    ch->add_option("--of", chartOf, "pareto: failing steps or items")
        ->check(CLI::IsMember({"steps", "items"}));
    ch->add_flag("--first-pass", chartFirstPass, "Each unit's first finished run of a definition only");
    ch->add_option("--out", chartOut, "FILE.png or FILE.svg")->required();
    ch->callback([&ctx] {
        ctx.run = [&ctx] {
            return Chart(ctx, chartFilter, chartFirstPass, chartKind, chartOf, chartItem, chartOut);
        };
    });
}

} // namespace vmx::cli
