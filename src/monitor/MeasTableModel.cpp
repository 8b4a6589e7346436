#include "monitor/MeasTableModel.h"

#include <algorithm>

namespace vmx::monitor {

MeasTableModel::MeasTableModel(QObject* parent)
    : QAbstractTableModel(parent), kind_(kRows, Empty), samples_(kRows, EmptySample()), text_(kRows)
{
}

void MeasTableModel::PutText(int row, QStringView text)
{
    // A row written again leaves its old text behind until the next Clear.
    text_[size_t(row)] = Span{arena_.size(), text.size()};
    arena_.append(text);
}

int MeasTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kRows;
}
int MeasTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant MeasTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    return Cell(index.row(), index.column());
}

QVariant MeasTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < kColumns)
        return TableHeadings()[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

QString MeasTableModel::Cell(int row, int col) const
{
    if (row < 0 || row >= kRows || col < 0 || col >= kColumns) return {};
    if (row == 0) return TableHeadings()[col];
    switch (kind_[size_t(row)]) {
    case Full:
        return RowTexts(samples_[size_t(row)])[col];
    case Short:
        return col < 4 ? ShortRowTexts(samples_[size_t(row)])[col] : QString();
    case Text: {
        const QStringView t = TextOf(row);
        qsizetype from = 0;
        for (int k = 0; k < col && from >= 0; ++k) {
            from = t.indexOf(QLatin1Char('\t'), from);
            if (from >= 0) ++from;
        }
        if (from < 0) return {};
        const qsizetype to = t.indexOf(QLatin1Char('\t'), from);
        return (to < 0 ? t.mid(from) : t.mid(from, to - from)).toString();
    }
    default:
        return {};
    }
}

QStringList MeasTableModel::Row(int row) const
{
    if (row > 0 && row < kRows && kind_[size_t(row)] == Full) return RowTexts(samples_[size_t(row)]);
    QStringList r;
    for (int c = 0; c < kColumns; ++c)
        r << Cell(row, c);
    return r;
}

void MeasTableModel::Clear()
{
    beginResetModel();
    std::fill(kind_.begin(), kind_.end(), Empty);
    arena_ = QString();
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
    Changed(row);
}

void MeasTableModel::SetSampleRow(int row, const MeasSample& s, bool shortRow)
{
    if (row <= 0 || row >= kRows) return;
    samples_[size_t(row)] = s;
    kind_[size_t(row)] = shortRow ? Short : Full;
    Changed(row);
}

void MeasTableModel::SetTextRow(int row, const QStringList& cells)
{
    if (row <= 0 || row >= kRows) return;
    QString joined;
    for (int i = 0; i < kColumns; ++i) {
        if (i) joined += QLatin1Char('\t');
        if (i < cells.size()) joined += QString(cells[i]).replace(QLatin1Char('\t'), QLatin1Char(' '));
    }
    PutText(row, joined);
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

void MeasTableModel::SetJoinedRow(int row, QString joined)
{
    if (row <= 0 || row >= kRows) return;
    int tabs = 0;
    for (qsizetype i = 0; i < joined.size(); ++i) {
        if (joined[i] != QLatin1Char('\t')) continue;
        if (++tabs == kColumns) {
            joined.truncate(i);
            --tabs;
            break;
        }
    }
    if (tabs < kColumns - 1) joined.append(QString(kColumns - 1 - tabs, QLatin1Char('\t')));
    PutText(row, joined);
    kind_[size_t(row)] = Text;
    Changed(row);
}

bool MeasTableModel::HasIndex(int row) const
{
    if (row <= 0 || row >= kRows) return false;
    switch (kind_[size_t(row)]) {
    case Full:
    case Short:
        return true;
    case Text: {
        const QStringView t = TextOf(row);
        return !t.isEmpty() && t[0] != QLatin1Char('\t');
    }
    default:
        return false;
    }
}

const MeasSample* MeasTableModel::SampleOf(int row, bool& shortRow) const
{
    if (row <= 0 || row >= kRows) return nullptr;
    const quint8 k = kind_[size_t(row)];
    if (k != Full && k != Short) return nullptr;
    shortRow = k == Short;
    return &samples_[size_t(row)];
}

QStringView MeasTableModel::TextOf(int row) const
{
    if (row <= 0 || row >= kRows || kind_[size_t(row)] != Text) return {};
    const Span& sp = text_[size_t(row)];
    return QStringView(arena_).mid(sp.at, sp.size);
}

} // namespace vmx::monitor
