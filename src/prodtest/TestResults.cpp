#include "prodtest/TestResults.h"

#include "app/SafeSave.h"
#include "app/Session.h"
#include "app/TextHelpers.h"
#include "prodtest/StepPrograms.h"
#include "prodtest/TestDefinitions.h"
#include "testmodule/ModuleRecord.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <xlsxwriter.h>

#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace vmx::prodtest {

using app::CommentColour;

namespace {

const char* const kRecordTitle = "Protokoll für Sensoren QVR05 / QVR06 / QVR07 (temporär)";
constexpr int kLastRow = ResultGrid::kRows - 1;
constexpr int kLastColumn = ResultGrid::kColumns - 1;

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// "$%3x" and "$%4x" with upper-case digits; an unknown value (-1) shows as "?".
QString Hex(int value, int width)
{
    if (value < 0) return QStringLiteral("?");
    return QStringLiteral("%1").arg(value, width, 16, QLatin1Char(' ')).toUpper();
}

QString Num4(int value)
{
    return QString::asprintf("%4.4d", value);
}

bool Tested(int result)
{
    return result == 0 || result == 1;
}

// A cell of the record file: right-aligned and cut to the width class of its column.
QString FixedCell(const QString& text, int pixels)
{
    int chars = 15;
    if (pixels >= 1 && pixels <= 50)
        chars = 8;
    else if (pixels >= 51 && pixels <= 80)
        chars = 10;
    else if (pixels >= 81 && pixels <= 99)
        chars = 15;
    else if (pixels >= 100 && pixels <= 200)
        chars = 25;
    // One line: a line break or tab in a text (a comment) would break the record's rows.
    QString one = text;
    for (QChar& ch : one)
        if (ch.category() == QChar::Other_Control || ch == QChar::LineSeparator ||
            ch == QChar::ParagraphSeparator)
            ch = QLatin1Char(' ');
    // A text longer than its column is cut one short, so that it never meets the column before.
    if (one.size() > chars) one = one.left(chars - 1);
    return one.rightJustified(chars, QLatin1Char(' '));
}

QString GridFullText()
{
    return QStringLiteral("Tabelle voll und nicht gespeichert: erst SPEICHERN, dann weiter");
}

bool SyncToDisk(QFile& f)
{
    if (!f.flush()) return false;
#ifdef Q_OS_WIN
    return _commit(f.handle()) == 0;
#else
    return ::fsync(f.handle()) == 0;
#endif
}

} // namespace

// ---- the grid ----

void ResultGrid::Clear()
{
    for (auto& row : cells)
        for (QString& c : row)
            c.clear();
    for (auto& row : results)
        row.fill(-1);
    widths.fill(kDefaultWidth);
    nextRow = 1;
}

int ResultGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ResultGrid::kRows - 1;
}

int ResultGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ResultGrid::kColumns;
}

QVariant ResultGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid()) return QVariant();
    const int row = index.row() + 1;
    const QString& text = grid_.Cell(row, index.column());
    if (text.isEmpty()) return QVariant();
    const int result = grid_.Result(row, index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: // the whole text where the column is too narrow for it
        return text;
    case Qt::BackgroundRole:
        // A failure stands out at a glance; the verdict shows either way.
        if (result == 0) return QColor(0xFF, 0x9C, 0x9C);
        if (result == 1 && grid_.Cell(0, index.column()) == QLatin1String("Bewertung"))
            return QColor(0xA8, 0xE6, 0xA8);
        return QVariant();
    case Qt::ForegroundRole:
        return result == 0 ? QVariant(QColor(0x80, 0, 0)) : QVariant();
    default:
        return QVariant();
    }
}

QVariant ResultGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || section < 0) return QVariant();
    if (orientation == Qt::Vertical) return section + 1;
    if (section >= ResultGrid::kColumns) return QVariant();
    return grid_.Cell(0, section);
}

void ResultGridModel::Changed(int row)
{
    if (row < 1) {
        beginResetModel();
        endResetModel();
        return;
    }
    Q_EMIT dataChanged(index(row - 1, 0), index(row - 1, ResultGrid::kColumns - 1));
    if (row == 1) Q_EMIT headerDataChanged(Qt::Horizontal, 0, ResultGrid::kColumns - 1);
}

// ---- the record of one unit ----

TestResults::TestResults(app::Session& session, TestDefinitions& definitions,
                         testmodule::ModuleRecord& record, Hooks& hooks)
    : session_(session), defs_(definitions), record_(record), hooks_(hooks), model_(grid)
{
}

bool TestResults::HasSerialRange() const
{
    return defs_.items.SerialNo.Low != -1 && defs_.items.SerialNo.High != -1;
}

void TestResults::AutoAdvance()
{
    if (steps) steps->AutoAdvance();
}

void TestResults::ResetMV()
{
    auto clear = [](TMeasItem& item) {
        item.Result = -1;
        item.Measured = -1;
        item.MeasuredText.clear();
    };
    MeasItems& it = defs_.items;
    auto clearAll = [&](auto& items) {
        for (TMeasItem& i : items)
            clear(i);
    };
    clearAll(it.Ampl);
    clearAll(it.Bubble);
    clearAll(it.TestVersion);
    clearAll(it.ParFile);
    clearAll(it.BootVersion);
    clearAll(it.SwitchOut);
    clearAll(it.Variant);
    for (TMeasItem* i :
         {&it.SerialNo, &it.ManuYear, &it.Tester, &it.BatchNo, &it.BatchComment, &it.TechIndex})
        clear(*i);
    defs_.data = TMeasuringData{};
    record_.testHardware = -1;
    record_.picOscCal = record_.picConfig = -1;
    record_.picResult = record_.siLabResult = record_.tk33ProgResult = -1;
    record_.checkResult = -1;
    stepFailed.clear();
}

QStringList TestResults::ResultLines() const
{
    const MeasItems& it = defs_.items;
    const TMeasuringData& d = defs_.data;
    QStringList l;
    l << defs_.cond.SensorType;
    // One line for a tested outcome: the failure text or the success text.
    auto add = [&l](int result, const QString& failed, const QString& passed) {
        if (result == 0)
            l << failed;
        else if (result == 1)
            l << passed;
    };
    auto okay = [&](int result, const char* what) {
        add(result, U(what) + QStringLiteral(": FEHLER"), U(what) + QStringLiteral(": okay"));
    };
    add(it.SerialNo.Result, QStringLiteral("FEHLER: SN: ") + it.SerialNo.MeasuredText,
        QStringLiteral("SN: ") + Num4(it.SerialNo.Measured));
    add(it.ManuYear.Result, QStringLiteral("FEHLER: Jahr ") + it.ManuYear.MeasuredText,
        QStringLiteral("Jahr: %1").arg(it.ManuYear.Measured));
    okay(d.ShieldResult, "Prüfung Schirmung");
    okay(d.BridgeResult, "Prüfung Brücke im Kabel");
    const QString osc =
        QStringLiteral("OSC=$%1 CFG=$%2").arg(Hex(record_.picOscCal, 3), Hex(record_.picConfig, 3));
    add(record_.picResult, QStringLiteral("Programierung PIC: FEHLER: ") + osc,
        QStringLiteral("Programierung PIC: ") + osc);
    add(record_.siLabResult, QStringLiteral("Programierung SiL: FEHLER"),
        QStringLiteral("Programmierung SiL: okay"));
    okay(record_.tk33ProgResult, "Programmierung TK33");
    for (int n = 1; n <= 3; ++n) {
        const TMeasItem& v = it.TestVersion[size_t(n)];
        add(v.Result, QStringLiteral("Kontrolle Firmware %1: FEHLER: FW=%2").arg(n).arg(v.Measured),
            QStringLiteral("Kontrolle Firmware %1: FW=%2").arg(n).arg(v.Measured));
    }
    for (int n = 1; n <= 2; ++n) {
        const TMeasItem& v = it.BootVersion[size_t(n)];
        add(v.Result, QStringLiteral("Kontrolle Boot %1: FEHLER: Boot=%2").arg(n).arg(v.Measured),
            QStringLiteral("Kontrolle Boot %1: Boot=%2").arg(n).arg(v.Measured));
    }
    okay(d.DownloadResult, "Download");
    for (int n = 1; n <= 4; ++n) {
        const TMeasItem& p = it.ParFile[size_t(n)];
        add(p.Result, QStringLiteral("Progr. Parameter %1: FEHLER: %2").arg(n).arg(p.MeasuredText),
            QStringLiteral("Progr. Parameter %1: %2 | CRC=$%3")
                .arg(n)
                .arg(p.MeasuredText, Hex(p.Measured, 4)));
    }
    for (int n = 1; n <= 6; ++n) {
        const TMeasItem& s = it.SwitchOut[size_t(n)];
        add(s.Result, QStringLiteral("Schaltausgang Test %1: FEHLER: %2").arg(n).arg(s.MeasuredText),
            QStringLiteral("Schaltausgang Test %1: okay: %2").arg(n).arg(s.MeasuredText));
    }
    for (int n = 1; n <= 2; ++n) {
        const TMeasItem& v = it.Variant[size_t(n)];
        add(v.Result, QStringLiteral("Set Ident %1: FEHLER: Var=%2").arg(n).arg(v.Measured),
            QStringLiteral("Set Ident %1: okay: Var=%2").arg(n).arg(v.Measured));
    }
    okay(d.CalResult, "Set Cal");
    auto value = [&](int result, const char* what, int v) {
        add(result, QStringLiteral("%1: FEHLER: %2").arg(U(what)).arg(v),
            QStringLiteral("%1: %2").arg(U(what)).arg(v));
    };
    value(d.NoTubeResult, "ohne Schlauch", d.NoTubeValue);
    value(d.EmptyTubeResult, "leerer Schlauch", d.EmptyTubeValue);
    value(d.FullTubeResult, "voller Schlauch", d.FullTubeValue);
    for (int n = 1; n <= 8; ++n) {
        const TMeasItem& a = it.Ampl[size_t(n)];
        value(a.Result, QStringLiteral("Ampl Test %1").arg(n).toUtf8().constData(), a.Measured);
    }
    for (int n = 1; n <= 4; ++n) {
        const TMeasItem& b = it.Bubble[size_t(n)];
        value(b.Result, QStringLiteral("Blasentest %1").arg(n).toUtf8().constData(), b.Measured);
    }
    okay(d.HighOutputResult, "Schaltausgang H");
    okay(d.LowOutputResult, "Schaltausgang L");
    if (!d.ResultComment.isEmpty()) l << QStringLiteral("Bewertung/ Kommentar: ") + d.ResultComment;
    return l;
}

void TestResults::ShowLMV()
{
    if (panel) panel->ShowResultList(ResultLines());
}

QString TestResults::Verdict() const
{
    const MeasItems& it = defs_.items;
    const TMeasuringData& d = defs_.data;
    const int outcomes[] = {it.SerialNo.Result,  it.ManuYear.Result,     record_.picResult,
                            record_.siLabResult, record_.tk33ProgResult, d.DownloadResult,
                            d.NoTubeResult,      d.EmptyTubeResult,      d.FullTubeResult,
                            d.LowOutputResult,   d.HighOutputResult,     d.CalResult,
                            d.ShieldResult,      d.BridgeResult};
    bool failed = false;
    for (int r : outcomes)
        failed |= r == 0;
    auto anyFailed = [&failed](const auto& items, size_t from, size_t to) {
        for (size_t n = from; n <= to; ++n)
            failed |= items[n].Result == 0;
    };
    anyFailed(it.Ampl, 1, 8);
    anyFailed(it.Bubble, 1, 4);
    anyFailed(it.TestVersion, 1, 3);
    anyFailed(it.ParFile, 1, 4);
    anyFailed(it.SwitchOut, 1, 6);
    anyFailed(it.Variant, 1, 2);
    // A boot check the definition asked for counts like any other, and so does every step
    // that halted on a failure by its last run.
    anyFailed(it.BootVersion, 1, 2);
    for (const auto& [step, stepFailedLast] : stepFailed)
        failed |= stepFailedLast;
    return failed ? QStringLiteral("FEHLER") : QStringLiteral("okay");
}

QString TestResults::LimitsOf(const QString& name) const
{
    const MeasItems& it = defs_.items;
    const TMeasuringCond& c = defs_.cond;
    auto range = [](int low, int high) {
        if (low == -1) return QString();
        return high == -1 ? QStringLiteral(">= %1").arg(low) : QStringLiteral("%1..%2").arg(low).arg(high);
    };
    const int n = name.section(QLatin1Char(' '), 1, 1).toInt();
    if (name.startsWith(QLatin1String("Ampl ")) && n >= 1 && n <= 8)
        return range(it.Ampl[size_t(n)].Low, it.Ampl[size_t(n)].High);
    if (name.startsWith(QLatin1String("Blase ")) && n >= 1 && n <= 4)
        return range(it.Bubble[size_t(n)].Low, it.Bubble[size_t(n)].High);
    if (name == QLatin1String("ohne") && c.NoTubeMax != -1) return range(0, c.NoTubeMax);
    if (name == QLatin1String("leer") && c.EmptyTubeMax != -1) return range(0, c.EmptyTubeMax);
    if (name == QLatin1String("voll")) return range(c.FullTubeMin, c.FullTubeMax);
    if (name == QLatin1String("SN")) return range(it.SerialNo.Low, it.SerialNo.High);
    return QString();
}

QStringList TestResults::FailureLines() const
{
    QStringList lines;
    for (const Outcome& o : Outcomes()) {
        if (o.result != 0) continue;
        QString line = o.name + QStringLiteral(": ");
        if (o.value.isDouble())
            line += QString::number(o.value.toInt());
        else if (o.value.isString() && !o.value.toString().isEmpty())
            line += o.value.toString();
        else
            line += o.cell;
        const QString limits = LimitsOf(o.name);
        if (!limits.isEmpty()) line += QStringLiteral(" (%1)").arg(limits);
        lines << line;
    }
    // Steps that halted without an outcome of their own (the test hardware, a step that could
    // not run) are named by their routine.
    if (lines.isEmpty()) {
        const StepProgram* p = FindProgram(defs_.cond.ProgramNo);
        for (const auto& [step, failed] : stepFailed) {
            if (!failed) continue;
            const char* routine =
                p && step >= 0 && step < int(p->steps.size()) ? p->steps[size_t(step)].routine : nullptr;
            lines << (routine ? QStringLiteral("%1: %2").arg(step).arg(QString::fromUtf8(routine))
                              : QString::number(step));
        }
    }
    return lines;
}

// ---- the steps ----

void TestResults::CommentResult()
{
    session_.ShowLComment(CommentColour::Blue, QStringLiteral("Bewertung / Kommentar"));
    hooks_.StopAcquisition();
    if (panel) {
        const QString verdict = Verdict();
        panel->ShowEntry(OperatorPanel::Entry::Comment, true);
        panel->SetEntryText(OperatorPanel::Entry::Comment, verdict);
        OperatorPanel::Verdict banner;
        banner.shown = true;
        banner.okay = verdict == QLatin1String("okay");
        banner.serialNo = defs_.items.SerialNo.MeasuredText;
        if (!banner.okay) banner.failures = FailureLines();
        panel->ShowVerdict(banner);
    }
    // The operator may change or extend the verdict; the run waits.
}

void TestResults::SubmitResult()
{
    if (!HasSerialRange()) return AutoAdvance();
    defs_.data.ResultComment = panel ? panel->EntryText(OperatorPanel::Entry::Comment) : Verdict();
    session_.ShowLComment(CommentColour::Blue, QStringLiteral("Eintrag in Tabelle ???"));
}

std::vector<Outcome> TestResults::Outcomes() const
{
    const MeasItems& it = defs_.items;
    const TMeasuringData& d = defs_.data;
    std::vector<Outcome> o;
    auto add = [&o](const QString& name, int width, int result, const QString& failed, const QString& passed,
                    const QJsonValue& value = QJsonValue()) {
        o.push_back(Outcome{name, width, result, result == 0 ? failed : passed, value});
    };
    auto okay = [&](const char* name, int result) {
        add(U(name), 44, result, QStringLiteral("FEHL"), QStringLiteral("okay"));
    };
    auto number = [&](const QString& name, int result, int v) {
        add(name, 44, result, QStringLiteral("F(%1)").arg(v), QString::number(v), v);
    };
    const TMeasItem& sn = it.SerialNo;
    add(QStringLiteral("SN"), 66, sn.Result, QStringLiteral("????"), Num4(sn.Measured), sn.MeasuredText);
    okay("TK33", record_.tk33ProgResult);
    const QString osc = QStringLiteral("OSC=$") + Hex(record_.picOscCal, 3);
    add(QStringLiteral("PIC"), 44, record_.picResult, QStringLiteral("F(%1)").arg(osc), osc,
        record_.picOscCal);
    okay("SiLab", record_.siLabResult);
    okay("Schirm", d.ShieldResult);
    okay("Brücke", d.BridgeResult);
    for (int n = 1; n <= 2; ++n)
        number(QStringLiteral("Boot %1").arg(n), it.BootVersion[size_t(n)].Result,
               it.BootVersion[size_t(n)].Measured);
    for (int n = 1; n <= 3; ++n)
        number(QStringLiteral("FW %1").arg(n), it.TestVersion[size_t(n)].Result,
               it.TestVersion[size_t(n)].Measured);
    for (int n = 1; n <= 4; ++n) {
        const TMeasItem& p = it.ParFile[size_t(n)];
        add(QStringLiteral("Par %1").arg(n), 66, p.Result, QStringLiteral("FEHL"),
            QStringLiteral("%1|$%2").arg(p.MeasuredText, Hex(p.Measured, 4)),
            QJsonObject{{QStringLiteral("tag"), p.MeasuredText}, {QStringLiteral("crc"), p.Measured}});
    }
    for (int n = 1; n <= 2; ++n) {
        const TMeasItem& v = it.Variant[size_t(n)];
        add(QStringLiteral("Model %1").arg(n), 66, v.Result, QStringLiteral("F(%1)").arg(v.MeasuredText),
            QStringLiteral("Var=%1").arg(v.Measured), v.Measured);
    }
    const TMeasItem& year = it.ManuYear;
    add(QStringLiteral("Jahr"), 44, year.Result, QStringLiteral("F(%1)").arg(year.MeasuredText),
        QString::number(year.Measured),
        year.Result == 1 ? QJsonValue(year.Measured) : QJsonValue(year.MeasuredText));
    okay("Cal", d.CalResult);
    okay("Down.", d.DownloadResult);
    number(QStringLiteral("ohne"), d.NoTubeResult, d.NoTubeValue);
    number(QStringLiteral("leer"), d.EmptyTubeResult, d.EmptyTubeValue);
    number(QStringLiteral("voll"), d.FullTubeResult, d.FullTubeValue);
    for (int n = 1; n <= 8; ++n)
        number(QStringLiteral("Ampl %1").arg(n), it.Ampl[size_t(n)].Result, it.Ampl[size_t(n)].Measured);
    for (int n = 1; n <= 4; ++n)
        number(QStringLiteral("Blase %1").arg(n), it.Bubble[size_t(n)].Result, it.Bubble[size_t(n)].Measured);
    for (int n = 1; n <= 6; ++n) {
        const TMeasItem& s = it.SwitchOut[size_t(n)];
        add(QStringLiteral("Sw %1").arg(n), 44, s.Result, QStringLiteral("F(%1)").arg(s.MeasuredText),
            s.MeasuredText, s.MeasuredText);
    }
    okay("Sw H", d.HighOutputResult);
    okay("Sw L", d.LowOutputResult);
    return o;
}

QJsonObject TestResults::UnitRecord(const QString& comment) const
{
    QJsonObject outcomes;
    for (const Outcome& o : Outcomes())
        if (Tested(o.result))
            outcomes.insert(o.name, QJsonObject{{QStringLiteral("result"), o.result},
                                                {QStringLiteral("value"), o.value}});
    const QDateTime stamp = hooks_.Now();
    return QJsonObject{
        {QStringLiteral("definition"), defs_.comboText},
        {QStringLiteral("sensorType"), defs_.cond.SensorType},
        {QStringLiteral("program"), defs_.cond.ProgramNo},
        {QStringLiteral("serialNumber"), defs_.items.SerialNo.MeasuredText},
        {QStringLiteral("outcomes"), outcomes},
        {QStringLiteral("verdict"), Verdict()},
        {QStringLiteral("comment"), comment},
        {QStringLiteral("date"), stamp.toString(QStringLiteral("dd.MM.yyyy"))},
        {QStringLiteral("time"), stamp.toString(QStringLiteral("hh:mm:ss"))},
    };
}

void TestResults::WriteResult()
{
    if (!HasSerialRange()) return AutoAdvance();
    if (GridFull()) {
        // Row 200 is kept: a unit is never written over another.
        session_.host().ShowLComment(CommentColour::Red, GridFullText());
        return;
    }
    defs_.TestDataSaved = false;
    const int r = std::clamp(grid.nextRow, 1, kLastRow);
    int c = 0;
    auto cell = [&](const QString& header, int width, const QString& text, int result = -1) {
        if (r == 1) {
            grid.cells[0][size_t(c)] = header;
            grid.widths[size_t(c)] = width;
        }
        grid.cells[size_t(r)][size_t(c)] = text;
        grid.results[size_t(r)][size_t(c)] = qint8(result);
        // The columns end at 40: further cells overwrite the last one.
        if (c < kLastColumn) ++c;
    };
    const QDateTime stamp = hooks_.Now();
    for (QString& old : grid.cells[size_t(r)])
        old.clear();
    grid.results[size_t(r)].fill(-1);
    cell(QStringLiteral("Pos"), 44, QString::number(r));
    cell(QStringLiteral("Typ"), 88, defs_.cond.SensorType);
    for (const Outcome& o : Outcomes())
        if (Tested(o.result)) cell(o.name, o.width, o.cell, o.result);
    // Coloured by the program's verdict, whatever the operator wrote beside it.
    cell(QStringLiteral("Bewertung"), 120, defs_.data.ResultComment,
         Verdict() == QLatin1String("okay") ? 1 : 0);
    cell(QStringLiteral("Datum"), 88, stamp.toString(QStringLiteral("dd.MM.yyyy")));
    cell(QStringLiteral("Zeit"), 88, stamp.toString(QStringLiteral("hh:mm:ss")));
    model_.Changed(r);

    // The row is on disk before the operator is told it is written.
    if (TempFileOpen && !AppendTempFile(r)) {
        session_.ShowLComment(CommentColour::Red,
                              QStringLiteral("in Tabelle eingeschrieben, Temp-Datei: FEHLER"));
    } else {
        session_.ShowLComment(CommentColour::Blue, QStringLiteral("in Tabelle eingeschrieben"));
    }
    if (panel) panel->ResultGridChanged(r);
    grid.nextRow = r + 1;
    if (r < kLastRow) return;
    // The grid is full: saved at once, and on an empty grid the run goes on.
    SaveReport();
    if (GridFull()) session_.host().ShowLComment(CommentColour::Red, GridFullText());
}

void TestResults::NextReportPage()
{
    if (reportPage_ == 1) reportFirstPage_ = reportFileName;
    nextReportName = ReportPageName(reportFirstPage_, ++reportPage_);
    DeleteStGMV();
    session_.PanelText(1,
                       QStringLiteral("Tabelle gespeichert in %1, weitere Einheiten in %2")
                           .arg(QFileInfo(reportFileName).fileName(), QFileInfo(nextReportName).fileName()));
}

bool TestResults::MayStartUnit()
{
    if (recordOpenFailed_ && !OpenTempFile(recordConfigured_)) {
        session_.host().ShowLComment(CommentColour::Red,
                                     QStringLiteral("Temp-Datei: FEHLER, keine Prüfung ohne Protokoll"));
        return false;
    }
    if (RecordLost()) {
        QString why;
        if (!app::AppendWhole(tempFileName, recordPending_, &why)) {
            recordError = why;
            session_.host().ShowLComment(
                CommentColour::Red,
                QStringLiteral("Temp-Datei: FEHLER (%1), keine weitere Prüfung").arg(why));
            return false;
        }
        recordPending_.clear();
        recordError.clear();
    }
    if (GridFull()) {
        session_.host().ShowLComment(CommentColour::Red, GridFullText());
        return false;
    }
    return true;
}

void TestResults::DeleteStGMV()
{
    grid.Clear();
    model_.Changed(-1);
    if (panel) panel->ResultGridChanged(-1);
}

int TestResults::TestGetMaxItem() const
{
    for (int r = kLastRow; r >= 0; --r)
        if (!grid.Cell(r, 0).isEmpty()) return r;
    return -1;
}

// ---- the record file ----

bool TestResults::OpenTempFile(const QString& configuredName)
{
    // Until a record file is open (or the operator chose none), no unit starts: its result
    // could not be kept. The next unit asks again.
    recordConfigured_ = configuredName;
    recordOpenFailed_ = true;
    QString name = configuredName;
    if (!panel || !panel->AskRecordFile(name) || name.isEmpty()) {
        recordOpenFailed_ = false;
        return true;
    }
    session_.PanelText(1, QStringLiteral("Öffne temporäre Datei: ") + name);
    QFile f(name);
    if (f.exists() && !f.remove()) {
        session_.PanelText(1, QStringLiteral("Kann Datei nicht beschreiben!!"));
        return false;
    }
    if (!f.open(QIODevice::WriteOnly)) {
        session_.PanelText(1, QStringLiteral("Irgend ein Fehler beim Schreiben aufgetreten!"));
        return false;
    }
    const QByteArray head =
        app::EncodeWindows1252(U(kRecordTitle) + QStringLiteral("\r\n") + QString(55, QLatin1Char('=')) +
                               QStringLiteral("\r\n\r\n"));
    if (!app::WriteAll(f, head) || !SyncToDisk(f)) {
        f.close();
        f.remove();
        session_.PanelText(1, QStringLiteral("Kann Temp-Datei nicht beschreiben!!"));
        return false;
    }
    f.close();
    tempFileName = name;
    TempFileOpen = true;
    recordPending_.clear();
    recordOpenFailed_ = false;
    session_.PanelText(1, QStringLiteral("Temporäres File geschlossen"));
    return true;
}

QStringList TestResults::TempFileLines(int row) const
{
    auto line = [this](int r) {
        QString s;
        for (int c = 0; c < ResultGrid::kColumns; ++c)
            s += FixedCell(grid.Cell(r, c), grid.widths[size_t(c)]);
        return s;
    };
    QStringList lines;
    if (row == 1) lines << line(0) << QString(178, QLatin1Char('-'));
    lines << line(row);
    return lines;
}

bool TestResults::AppendTempFile(int row)
{
    // Rows that missed the file before go first, so that it keeps the grid's order.
    const QByteArray bytes =
        recordPending_ +
        app::EncodeWindows1252(TempFileLines(row).join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    QString why;
    if (app::AppendWhole(tempFileName, bytes, &why)) {
        recordPending_.clear();
        recordError.clear();
        return true;
    }
    recordPending_ = bytes;
    recordError = why;
    session_.PanelText(1, QStringLiteral("Kann Temp-Datei nicht beschreiben!!"));
    return false;
}

// ---- the report workbook ----

bool TestResults::TestExportExcel()
{
    QString name = nextReportName.isEmpty() ? reportFileName : nextReportName;
    if (!panel || !panel->AskReportFile(name) || name.isEmpty()) return false;
    // The dialog asked about the name typed; the file written may be another one.
    const QString file = ReportFileName(name);
    if (file != name && QFileInfo::exists(file) &&
        session_.host().Ask(
            app::AskIcon::Question, app::AskButtons::YesNo,
            QStringLiteral("%1 existiert bereits.\rErsetzen?").arg(QFileInfo(file).fileName())) !=
            app::AskResult::Yes)
        return false;
    return WriteReport(name);
}

QString TestResults::ReportFileName(const QString& typed)
{
    if (typed.endsWith(QStringLiteral(".xls"), Qt::CaseInsensitive))
        return typed.chopped(4) + QStringLiteral(".xlsx");
    if (!typed.contains(QStringLiteral(".xls"), Qt::CaseInsensitive)) return typed + QStringLiteral(".xlsx");
    return typed;
}

QString TestResults::ReportPageName(const QString& fileName, int page)
{
    const QFileInfo fi(fileName);
    const QString suffix = fi.suffix();
    const QString stem = suffix.isEmpty() ? fileName : fileName.left(fileName.size() - suffix.size() - 1);
    return stem + QStringLiteral("-%1").arg(page) +
           (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
}

bool TestResults::WriteReport(const QString& typed)
{
    const QString fileName = ReportFileName(typed);
    const QString cap = QStringLiteral("Excel-Export: ");
    session_.PanelText(1, cap + QStringLiteral("Schreibe in Datei ") + fileName);
    session_.host().ProcessMessages();
    const QString shortName = QFileInfo(fileName).fileName();
    app::SafeSave save(fileName);
    if (save.Open() != app::SaveStatus::Ok) {
        session_.PanelText(1, cap + QStringLiteral("Datei schreibgeschützt ") + shortName);
        return false;
    }
    save.CloseTemp();
    auto failed = [&] {
        session_.PanelText(1, cap + QStringLiteral("Irgendein Fehler aufgetreten ") + fileName);
        return false;
    };
    const QByteArray tempPath = QFile::encodeName(save.TempPath());
    lxw_workbook* wb = workbook_new(tempPath.constData());
    if (!wb) {
        session_.PanelText(1, cap + QStringLiteral("Datei schreibgeschützt ") + shortName);
        return false;
    }
    // Colour indices 3, 5 and 13 of the spreadsheet's standard palette: red, blue, purple.
    auto format = [wb](int size, lxw_color_t colour) {
        lxw_format* f = workbook_add_format(wb);
        format_set_num_format(f, "@");
        if (size) {
            format_set_font_size(f, size);
            format_set_font_color(f, colour);
        }
        return f;
    };
    lxw_format* text = format(0, 0);
    lxw_format* title = format(20, 0xFF0000);
    lxw_format* heading = format(14, 0x0000FF);
    lxw_format* columns = format(14, 0x800080);
    bool ok = text && title && heading && columns;

    lxw_worksheet* ws = nullptr;
    // Cell (row, column) counted from 1, as the sheet shows them.
    auto put = [&](int row, int column, const QString& s, lxw_format* f = nullptr) {
        if (s.isEmpty() && !f) return;
        const QByteArray u = s.toUtf8();
        ok &= worksheet_write_string(ws, lxw_row_t(row - 1), lxw_col_t(column - 1), u.constData(),
                                     f ? f : text) == LXW_NO_ERROR;
    };
    auto sheet = [&](const char* name, const char* sheetTitle) {
        ws = workbook_add_worksheet(wb, name);
        if (!ws) {
            ok = false;
            return false;
        }
        put(1, 1, QStringLiteral("PROTOKOLL"), title);
        put(3, 1, U(sheetTitle), heading);
        return true;
    };
    const int last = TestGetMaxItem();

    if (ok && sheet("Data", "Messwerte")) {
        worksheet_set_column(ws, 0, 39, 15, text);
        for (int c = 1; c <= kLastColumn; ++c)
            put(4, c, grid.Cell(0, c), columns);
        for (int r = 1; r <= last; ++r)
            for (int c = 1; c <= kLastColumn; ++c)
                put(4 + r, c, grid.Cell(r, c));
    }
    if (ok && sheet("Condition", "Prüfbedingungen")) {
        worksheet_set_column(ws, 0, 1, 30, text);
        for (int r = 0; r < StartGrid::kRows; ++r) {
            put(4 + r, 1, defs_.startGrid.cells[size_t(r)][0]);
            put(4 + r, 2, defs_.startGrid.cells[size_t(r)][1]);
        }
    }
    if (ok && sheet("Summary", "Zusammenfassung")) {
        // Columns 1..5 of 15, then the first widened to 20 (the writer keys a range by its
        // first column, so the two are set apart).
        worksheet_set_column(ws, 0, 0, 20, text);
        worksheet_set_column(ws, 1, 4, 15, text);
        int row = 4;
        for (const auto& cells : defs_.startGrid.cells) {
            const QString& label = cells[0];
            if (label == QStringLiteral("Art der Prüfung") || label == QLatin1String("Auftrag/ Los") ||
                label == QLatin1String("Bemerkung zum Los") || label == QStringLiteral("Prüfer")) {
                put(row, 1, label);
                put(row, 2, cells[1]);
                ++row;
            }
        }
        ++row; // one empty row
        std::vector<int> picked;
        for (int c = 0; c <= kLastColumn; ++c) {
            const QString& h = grid.Cell(0, c);
            if (h == QLatin1String("Typ") || h == QLatin1String("SN") || h == QLatin1String("Bewertung") ||
                h == QLatin1String("Datum") || h == QLatin1String("Zeit"))
                picked.push_back(c);
        }
        for (int k = 0; k < kLastColumn; ++k)
            put(row, k + 1, k < int(picked.size()) ? grid.Cell(0, picked[size_t(k)]) : QString(), columns);
        for (int r = 1; r <= last; ++r) {
            ++row;
            for (size_t k = 0; k < picked.size(); ++k)
                put(row, int(k) + 1, grid.Cell(r, picked[k]));
        }
        put(row + 4, 1, QStringLiteral("Unterschrift des Prüfers: "), heading);
        put(row + 7, 1, QStringLiteral("Datum: "), heading);
        worksheet_set_selection(ws, 0, 0, 0, 0);
    }
    if (lxw_worksheet* first = workbook_get_worksheet_by_name(wb, "Data")) worksheet_activate(first);
    if (workbook_close(wb) != LXW_NO_ERROR || !ok) return failed();
    if (save.Commit() != app::SaveStatus::Ok) return failed();
    reportFileName = fileName;
    session_.PanelText(1, cap + QStringLiteral("alles okay"));
    return true;
}

void TestResults::SaveReport()
{
    const bool full = GridFull();
    const bool written = TestExportExcel();
    defs_.TestDataSaved = true;
    if (full && written) NextReportPage();
}

void TestResults::DiscardResults()
{
    DeleteStGMV();
    defs_.TestDataSaved = true;
}

} // namespace vmx::prodtest
