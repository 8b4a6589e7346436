#pragma once

#include "monitor/MeasSample.h"

#include <QAbstractTableModel>

#include <vector>

namespace vmx::monitor {

// The measurement table: 32002 rows (row 0 the headings, row r store item r - 1) and 16
// columns, held as compact rows rather than half a million cell strings, so a reset is a fill.
class MeasTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kRows = 32002;
    static constexpr int kColumns = 16;

    explicit MeasTableModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // The headings of row 0 as column headers too, so a view can keep them in sight.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The text of one cell as the grid shows it (row 0: headings).
    QString Cell(int row, int col) const;
    QStringList Row(int row) const;

    // Empties every row (the headings stay).
    void Clear();
    void ClearRow(int row);
    // A full row from a sample, or only its first four columns.
    void SetSampleRow(int row, const MeasSample& s, bool shortRow = false);
    // Row texts as an import reads them; missing cells are empty, extra ones dropped.
    void SetTextRow(int row, const QStringList& cells);
    void SetCell(int row, int col, const QString& text);
    // An imported row given as its cells joined by tabs (cells past the 16th are dropped).
    void SetJoinedRow(int row, QString joined);

    // Whether a row's first cell ("Ix") holds text; cheap, for counting the samples.
    bool HasIndex(int row) const;
    // The stored form of a row, so the exporters need not build 16 strings per row: the
    // sample of a sample row (nullptr otherwise; `shortRow` tells the four-column form), or
    // the cells of an imported row joined by tabs.
    const MeasSample* SampleOf(int row, bool& shortRow) const;
    QStringView TextOf(int row) const;

private:
    enum Kind : quint8 { Empty = 0, Full = 1, Short = 2, Text = 3 };
    void Changed(int row);
    std::vector<quint8> kind_;
    std::vector<MeasSample> samples_;
    // Imported rows, cells joined by tabs (a cell cannot hold one), all in one string: clearing
    // 32000 imported rows is one release, not 32000.
    struct Span {
        qsizetype at = 0;
        qsizetype size = 0;
    };
    void PutText(int row, QStringView text);
    QString arena_;
    std::vector<Span> text_;
};

} // namespace vmx::monitor
