#include "monitor/MeasTableModel.h"

#include <algorithm>

namespace vmx::monitor {

MeasTableModel::MeasTableModel(QObject* parent)
    : QAbstractTableModel(parent), kind_(kRows, Empty), samples_(kRows, EmptySample())
{
}

int MeasTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kRows; }
int MeasTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant MeasTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    return Cell(index.row(), index.column());
}

QString MeasTableModel::Cell(int row, int col) const
{
    if (row < 0 || row >= kRows || col < 0 || col >= kColumns) return {};
    if (row == 0) return TableHeadings()[col];
    switch (kind_[size_t(row)]) {
    case Full: return RowTexts(samples_[size_t(row)])[col];
    case Short: return col < 4 ? ShortRowTexts(samples_[size_t(row)])[col] : QString();
    case Text: {
        auto it = text_.find(row);
        return it == text_.end() ? QString() : it->second.value(col);
    }
    default: return {};
    }
}

QStringList MeasTableModel::Row(int row) const
{
    QStringList r;
    for (int c = 0; c < kColumns; ++c) r << Cell(row, c);
    return r;
}

void MeasTableModel::Clear()
{
    beginResetModel();
    std::fill(kind_.begin(), kind_.end(), Empty);
    text_.clear();
    endResetModel();
}

void MeasTableModel::Changed(int row)
{
    Q_EMIT dataChanged(index(row, 0), index(row, kColumns - 1));
}

void MeasTableModel::ClearRow(int row)
{
    if (row <= 0 || row >= kRows) return;
    if (kind_[size_t(row)] == Empty) return;
    kind_[size_t(row)] = Empty;
    text_.erase(row);
    Changed(row);
}

void MeasTableModel::SetSampleRow(int row, const MeasSample& s, bool shortRow)
{
    if (row <= 0 || row >= kRows) return;
    samples_[size_t(row)] = s;
    kind_[size_t(row)] = shortRow ? Short : Full;
    text_.erase(row);
    Changed(row);
}

void MeasTableModel::SetTextRow(int row, const QStringList& cells)
{
    if (row <= 0 || row >= kRows) return;
    QStringList c = cells.mid(0, kColumns);
    while (c.size() < kColumns) c << QString();
    text_[row] = c;
    kind_[size_t(row)] = Text;
    Changed(row);
}

void MeasTableModel::SetCell(int row, int col, const QString& text)
{
    if (row <= 0 || row >= kRows || col < 0 || col >= kColumns) return;
    QStringList cells = Row(row);
    cells[col] = text;
    SetTextRow(row, cells);
}

} // namespace vmx::monitor
