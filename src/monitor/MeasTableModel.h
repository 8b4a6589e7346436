#pragma once

#include "monitor/MeasSample.h"

#include <QAbstractTableModel>

#include <unordered_map>
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

private:
    enum Kind : quint8 { Empty = 0, Full = 1, Short = 2, Text = 3 };
    void Changed(int row);
    std::vector<quint8> kind_;
    std::vector<MeasSample> samples_;
    std::unordered_map<int, QStringList> text_;
};

} // namespace vmx::monitor
