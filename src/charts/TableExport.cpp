#include "charts/TableExport.h"

#include "app/SafeSave.h"

#include <QFile>

#include <xlsxwriter.h>

namespace vmx::charts {

namespace {

QString Cell(QString c)
{
    if (c.contains(QLatin1Char(',')) || c.contains(QLatin1Char('"')) || c.contains(QLatin1Char('\n')))
        c = QLatin1Char('"') + c.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return c;
}

QString Line(const QStringList& cells)
{
    QStringList out;
    for (const QString& c : cells)
        out << Cell(c);
    return out.join(QLatin1Char(','));
}

bool Saved(app::SaveStatus status, const QString& file, QString* why)
{
    if (status == app::SaveStatus::Ok) return true;
    if (why)
        *why = status == app::SaveStatus::FolderMissing ? QStringLiteral("%1: no such folder").arg(file)
               : status == app::SaveStatus::WriteProtected
                   ? QStringLiteral("%1: write-protected").arg(file)
                   : QStringLiteral("%1: cannot be written").arg(file);
    return false;
}

} // namespace

QByteArray TableCsv(const Table& table)
{
    QStringList lines{Line(table.heads)};
    for (const QStringList& row : table.rows)
        lines << Line(row);
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

bool SaveCsv(const Table& table, const QString& file, QString* why)
{
    return Saved(app::SafeSave::Save(file, TableCsv(table)), file, why);
}

bool SaveWorkbook(const std::vector<Table>& tables, const QString& file, QString* why)
{
    app::SafeSave save(file);
    if (!Saved(save.Open(), file, why)) return false;
    save.CloseTemp();
    const QByteArray temp = QFile::encodeName(save.TempPath());
    lxw_workbook* wb = workbook_new(temp.constData());
    if (!wb) return Saved(app::SaveStatus::WriteFailed, file, why);
    lxw_format* bold = workbook_add_format(wb);
    format_set_bold(bold);
    bool ok = true;
    for (const Table& t : tables) {
        const QByteArray name = t.name.left(31).toUtf8();
        lxw_worksheet* ws = workbook_add_worksheet(wb, name.constData());
        if (!ws) {
            ok = false;
            break;
        }
        auto put = [&](int row, int column, const QString& text, lxw_format* f) {
            bool number = false;
            const double v = text.toDouble(&number);
            const QByteArray u = text.toUtf8();
            ok &= (number ? worksheet_write_number(ws, lxw_row_t(row), lxw_col_t(column), v, f)
                          : worksheet_write_string(ws, lxw_row_t(row), lxw_col_t(column), u.constData(),
                                                   f)) == LXW_NO_ERROR;
        };
        for (int c = 0; c < t.heads.size(); ++c)
            put(0, c, t.heads[c], bold);
        for (size_t r = 0; r < t.rows.size(); ++r)
            for (int c = 0; c < t.rows[r].size(); ++c)
                put(int(r) + 1, c, t.rows[r][c], nullptr);
    }
    ok &= workbook_close(wb) == LXW_NO_ERROR;
    if (!ok) return Saved(app::SaveStatus::WriteFailed, file, why);
    return Saved(save.Commit(), file, why);
}

} // namespace vmx::charts
