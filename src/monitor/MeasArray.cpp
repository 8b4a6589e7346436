#include "monitor/MeasArray.h"

#include "app/TextHelpers.h"

#include <algorithm>
#include <limits>

namespace vmx::monitor {

int GetMaxItem(const MeasTableModel& table)
{
    for (int row = MeasTableModel::kRows - 1; row >= 1; --row)
        if (table.HasIndex(row)) return row;
    return 0;
}

int FileVersion(const QString& versionText)
{
    const int p = versionText.indexOf(QStringLiteral("1."));
    if (p < 0) return 0;
    // Delete up to and including "1.", then everything from the found position + 3 on.
    QString rest = versionText.mid(p + 2);
    rest.truncate(p + 2);
    int n = 0;
    if (!app::ParseDecimal(rest.trimmed(), n)) return 0;
    return n + 100;
}

bool IsOldLayout(int v)
{
    return v == 100 || v == 101 || v == 110 || v == 111 || v == 120 || v == 121;
}

int CellValue(const QString& text, bool& error)
{
    int v = 0;
    if (!app::ParseDecimal(app::RemoveBlanks(text), v)) {
        error = true;
        return 0;
    }
    return v;
}

namespace {

// An 8-bit field from a cell; values the field cannot hold count as failed conversions
// rather than being cut to 8 bits.
quint8 ByteValue(const QString& text, bool& error)
{
    const int v = CellValue(text, error);
    if (v < 0 || v > 255) {
        error = true;
        return 0;
    }
    return quint8(v);
}

void Rearrange(MeasTableModel& table, int row, bool& error)
{
    const QStringList old = table.Row(row);
    QStringList n = old;
    n[12] = old[11];
    n[11] = old[10];
    // BAvg was on a 0..80 scale. Scaled in 64 bits: a damaged file may hold any int here, and
    // what does not fit a byte then fails as a cell of its own.
    n[10] =
        old[9].trimmed().isEmpty() ? QString() : QString::number(qint64(CellValue(old[9], error)) * 256 / 80);
    n[9] = old[6];
    n[8] = old[5];
    n[7] = old[4];
    n[6] = old[3];
    n[5] = old[2];
    n[4] = old[1];
    n[3] = old[8];
    n[1].clear();
    n[2].clear();
    table.SetTextRow(row, n);
}

} // namespace

int SetMeasArray(MeasTableModel& table, MeasurementStore& store, int fileVersion, bool& error)
{
    const int last = GetMaxItem(table);
    if (IsOldLayout(fileVersion))
        for (int row = 1; row <= last; ++row)
            Rearrange(table, row, error);
    QStringList cells;
    for (int row = 1; row <= last; ++row) {
        if (!table.HasIndex(row)) continue;
        cells.clear();
        const QStringView text = table.TextOf(row);
        if (!text.isNull()) {
            for (QStringView c : text.tokenize(u'\t'))
                cells << c.toString();
            while (cells.size() < MeasTableModel::kColumns)
                cells << QString();
        } else {
            cells = table.Row(row);
        }
        MeasSample& s = store.at(row - 1);
        s.Valid = 1;
        s.Index = CellValue(cells[0], error);
        s.OUT = ByteValue(cells[3], error);
        if (!cells[7].isEmpty()) {
            s.Ampl = ByteValue(cells[7], error);
            s.AMax = ByteValue(cells[8], error);
            s.Gain = ByteValue(cells[9], error);
            s.BAvg = ByteValue(cells[10], error);
        }
    }
    const int index = std::max(0, last - 1);
    store.setIndex(index);
    return index;
}

} // namespace vmx::monitor
