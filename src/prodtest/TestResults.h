#pragma once
// The results of the production test: the list of measured values on the measuring page, the
// verdict, one row per unit in the result grid, the temporary record file that receives every
// row as it is written, and the report workbook. The grid is data here; the window shows it
// through ResultGridModel.

#include "prodtest/OperatorPanel.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <map>
#include <vector>

namespace vmx::app {
class Session;
}
namespace vmx::testmodule {
struct ModuleRecord;
class StepSignal;
} // namespace vmx::testmodule

namespace vmx::prodtest {

class TestDefinitions;

// StGMV: row 0 the headings, rows 1..200 the units, columns 0..40.
struct ResultGrid {
    static constexpr int kRows = 201;
    static constexpr int kColumns = 41;
    static constexpr int kDefaultWidth = 40;
    std::array<std::array<QString, kColumns>, kRows> cells;
    // Each cell's outcome (-1 none, 0 failed, 1 passed); the verdict column holds the verdict's.
    std::array<std::array<qint8, kColumns>, kRows> results;
    std::array<int, kColumns> widths;
    int nextRow = 1; // the grid's tag: the row written next

    ResultGrid() { Clear(); }
    void Clear();
    const QString& Cell(int row, int column) const { return cells[size_t(row)][size_t(column)]; }
    int Result(int row, int column) const { return results[size_t(row)][size_t(column)]; }
};

// The grid's units (rows 1..200) as a table; the headings of row 0 are its column headers.
class ResultGridModel final : public QAbstractTableModel {
public:
    explicit ResultGridModel(const ResultGrid& grid) : grid_(grid) {}
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Grid row `row` (1..200) changed; -1: everything.
    void Changed(int row);

private:
    const ResultGrid& grid_;
};

// One outcome of the unit by its short name (the grid's heading), with its grid cell.
struct Outcome {
    QString name;
    int width;        // the grid column's pixels
    int result;       // -1 not tested, 0 failed, 1 passed
    QString cell;     // what the grid shows for this result
    QJsonValue value; // the measured value (null when the outcome has none)
};

class TestResults {
public:
    // What the results ask of the rest of the program; the station implements it.
    class Hooks {
    public:
        virtual ~Hooks() = default;
        // The STOP action of the acquisition.
        virtual void StopAcquisition() = 0;
        // The date and time a row is stamped with.
        virtual QDateTime Now() = 0;
    };

    TestResults(app::Session& session, TestDefinitions& definitions, testmodule::ModuleRecord& record,
                Hooks& hooks);

    OperatorPanel* panel = nullptr;
    testmodule::StepSignal* steps = nullptr;

    ResultGrid grid;
    // The steps of the unit that halted on a failure (step number -> failed), each by its last
    // run: a step that ZURÜCK repeated counts as it ended then.
    std::map<int, bool> stepFailed;
    ResultGridModel& model() { return model_; }
    bool TempFileOpen = false;
    // The record file chosen at start (valid while TempFileOpen).
    QString tempFileName;
    // The report workbook written last (empty before any).
    QString reportFileName;
    // The name the next save proposes: after a full grid was saved, its next page's file.
    QString nextReportName;

    // Every outcome and measured number -1, every measured text empty (the definition's
    // values stay).
    void ResetMV();
    // The lines of LBxMV: the sensor type, then one line per tested outcome.
    QStringList ResultLines() const;
    void ShowLMV();
    // "okay" when no outcome that counts failed, else "FEHLER".
    QString Verdict() const;
    // The failing outcomes as "name: value (limits)", then the failed steps that no outcome
    // names; empty for a unit without failures.
    QStringList FailureLines() const;
    // Every outcome of the unit in the grid's column order, tested or not.
    std::vector<Outcome> Outcomes() const;
    // The unit as one object: definition, program, serial number, every tested outcome and its
    // value by short name, verdict, comment, date and time.
    QJsonObject UnitRecord(const QString& comment) const;

    // Steps.
    void CommentResult();
    void SubmitResult();
    void WriteResult();

    void DeleteStGMV();
    // The highest grid row whose column 0 holds text; -1 when there is none.
    int TestGetMaxItem() const;

    // Asks for the record file (preset with `configuredName`) and creates it with its three
    // header lines. True also when the operator cancelled (no file then).
    bool OpenTempFile(const QString& configuredName);
    // Appends grid row `row` (with the headings and the rule first when it is row 1). The
    // line is on disk when this returns true; otherwise none of it is, and the lines wait
    // (RecordLost) for the next try.
    bool AppendTempFile(int row);
    // A row that did not reach the record file (why: recordError).
    bool RecordLost() const { return !recordPending_.isEmpty(); }
    QString recordError;
    // Row 200 was written and the grid not saved since: no row may be written.
    bool GridFull() const { return grid.nextRow >= ResultGrid::kRows; }
    // Whether a new unit may start: not while the record file could not be opened or a row is
    // missing from it (both tried again here), nor while the full grid is unsaved; says why in
    // red otherwise.
    bool MayStartUnit();
    // The lines AppendTempFile writes for `row`, without line ends.
    QStringList TempFileLines(int row) const;

    // Asks for the workbook's name and writes it; true when written.
    bool TestExportExcel();
    // The workbook under ReportFileName(`fileName`); true when written.
    bool WriteReport(const QString& fileName);
    // The file a typed report name is written to: the workbook is .xlsx, so ".xls" at the end
    // becomes ".xlsx" and a name without ".xls" gets ".xlsx".
    static QString ReportFileName(const QString& typed);
    // Page `page` (2, 3, ...) of the report `fileName`: the units after the first full grid.
    static QString ReportPageName(const QString& fileName, int page);
    // SPEICHERN: the workbook, then the data count as saved (also after a cancel or failure).
    void SaveReport();
    // LÖSCHEN on the report page: the grid emptied, the data count as saved.
    void DiscardResults();

private:
    bool HasSerialRange() const;
    void AutoAdvance();
    // The limits of an outcome by its short name ("350..450"); empty where it has none.
    QString LimitsOf(const QString& name) const;
    // The full grid went to a report: it starts again empty, its next page named.
    void NextReportPage();

    QByteArray recordPending_;
    bool recordOpenFailed_ = false;
    QString recordConfigured_;
    int reportPage_ = 1;
    QString reportFirstPage_;

    app::Session& session_;
    TestDefinitions& defs_;
    testmodule::ModuleRecord& record_;
    Hooks& hooks_;
    ResultGridModel model_;
};

} // namespace vmx::prodtest
