#pragma once
// The statistics' tables as files: CSV for scripts, one .xlsx workbook with a sheet per table
// for the spreadsheet. Each file is saved beside and renamed into place.

#include <QString>
#include <QStringList>

#include <vector>

namespace vmx::charts {

struct Table {
    QString name; // the sheet's name
    QStringList heads;
    std::vector<QStringList> rows;
};

// Comma-separated, a cell quoted when it holds a comma, a quote or a line break.
QByteArray TableCsv(const Table& table);
bool SaveCsv(const Table& table, const QString& file, QString* why);
// One sheet per table; a cell that reads as a number is written as one.
bool SaveWorkbook(const std::vector<Table>& tables, const QString& file, QString* why);

} // namespace vmx::charts
