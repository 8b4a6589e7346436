#include "monitor/MeasFiles.h"

#include "lang/MessageIds.h"

#include "app/Session.h"
#include "app/TextHelpers.h"
#include "monitor/MeasArray.h"
#include "monitor/MeasCells.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryFile>

#include <freexl.h>
#include <pugixml.hpp>
#include <xlsxwriter.h>
#include <zip.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace vmx::monitor {

// The catalogue numbers by name.
using namespace lang::ids;

namespace {


constexpr int kLastRow = MeasTableModel::kRows - 1;
constexpr int kFirstSheetRow = 12; // 1-based, as the workbook counts
constexpr std::array<int, 4> kPaddedColumns{1, 2, 11, 12}; // Date, Time, Alarm, Flags

bool IsNumberColumn(int c)
{
    return c == 0 || (c >= 3 && c <= 10);
}

// A whole number with optional blanks around it (" 5" in the OUT column).
bool ParseInt(std::string_view s, double& v)
{
    size_t i = 0, e = s.size();
    while (i < e && s[i] == ' ') ++i;
    while (e > i && s[e - 1] == ' ') --e;
    if (i == e) return false;
    bool neg = false;
    if (s[i] == '-') {
        neg = true;
        ++i;
    }
    if (i == e || e - i > 15) return false;
    long long n = 0;
    for (; i < e; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        n = n * 10 + (s[i] - '0');
    }
    v = double(neg ? -n : n);
    return true;
}

QString NumberText(double d)
{
    if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15) return QString::number(qint64(d));
    return QString::number(d, 'g', 15);
}

// --- .xlsx reading -------------------------------------------------------------------------

std::string_view LocalName(const pugi::xml_node& n)
{
    std::string_view name = n.name();
    const size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node Child(const pugi::xml_node& n, std::string_view local)
{
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
        if (LocalName(c) == local) return c;
    return {};
}

// All text of a string item (plain or rich runs), phonetic hints left out.
void AppendText(const pugi::xml_node& n, std::string& out)
{
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
        const std::string_view ln = LocalName(c);
        if (ln == "t")
            out += c.text().get();
        else if (ln == "r")
            AppendText(c, out);
    }
}

class Zip {
public:
    explicit Zip(const QString& path)
    {
        int err = 0;
        z_ = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &err);
    }
    ~Zip()
    {
        if (z_) zip_discard(z_);
    }
    bool ok() const { return z_ != nullptr; }
    // False when the entry is missing or cannot be read.
    bool Read(const std::string& name, std::string& out) const
    {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat(z_, name.c_str(), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) return false;
        // A workbook of this table is a few tens of MB at most; refuse absurd entries.
        if (st.size > (zip_uint64_t(1) << 30)) return false;
        zip_file_t* f = zip_fopen(z_, name.c_str(), 0);
        if (!f) return false;
        out.resize(size_t(st.size));
        const zip_int64_t n = zip_fread(f, out.data(), st.size);
        zip_fclose(f);
        return n == zip_int64_t(st.size);
    }

private:
    zip_t* z_ = nullptr;
};

// Path of the first sheet inside the package.
std::string FirstSheetPath(const Zip& zip)
{
    const std::string fallback = "xl/worksheets/sheet1.xml";
    std::string wbXml, relsXml;
    if (!zip.Read("xl/workbook.xml", wbXml) || !zip.Read("xl/_rels/workbook.xml.rels", relsXml)) return fallback;
    pugi::xml_document wb, rels;
    if (!wb.load_buffer(wbXml.data(), wbXml.size()) || !rels.load_buffer(relsXml.data(), relsXml.size()))
        return fallback;
    pugi::xml_node sheet = Child(Child(Child(wb, "workbook"), "sheets"), "sheet");
    if (!sheet) return fallback;
    std::string rid;
    for (pugi::xml_attribute a = sheet.first_attribute(); a; a = a.next_attribute()) {
        std::string_view an = a.name();
        if (an == "r:id" || (an.size() > 3 && an.substr(an.size() - 3) == ":id")) rid = a.value();
    }
    for (pugi::xml_node r = Child(rels, "Relationships").first_child(); r; r = r.next_sibling()) {
        if (rid != r.attribute("Id").value()) continue;
        std::string target = r.attribute("Target").value();
        if (!target.empty() && target[0] == '/') return target.substr(1);
        return "xl/" + target;
    }
    return fallback;
}

// Column (0-based) and row (1-based) of a cell reference such as "C12".
bool ParseRef(const char* ref, int& col, int& row)
{
    col = 0;
    row = 0;
    int letters = 0;
    const char* p = ref;
    for (; *p >= 'A' && *p <= 'Z'; ++p, ++letters) col = col * 26 + (*p - 'A' + 1);
    for (; *p >= '0' && *p <= '9'; ++p) row = row * 10 + (*p - '0');
    if (letters == 0 || letters > 3 || *p) return false;
    --col;
    return true;
}

} // namespace

MeasFiles::MeasFiles(app::Session& session, MeasurementStore& store, MeasTableModel& table)
    : session_(session), store_(store), table_(table)
{
}

QString MeasFiles::Msg(int i) const
{
    return session_.Msg(i);
}

void MeasFiles::Panel(const QString& text) const
{
    session_.PanelText(1, text);
}

void MeasFiles::Reset()
{
    if (resetValues) {
        resetValues();
    } else {
        table_.Clear();
        store_.Reset();
    }
}

QStringList MeasFiles::HeaderLines(const QString& fileName) const
{
    const QDateTime t = now ? now() : QDateTime::currentDateTime();
    const QLocale loc = QLocale::system();
    QString recorded = Msg(332);
    recorded.replace(recorded.indexOf(QStringLiteral("%s")), 2, loc.toString(t.date(), QLocale::ShortFormat));
    const int second = recorded.indexOf(QStringLiteral("%s"));
    if (second >= 0) recorded.replace(second, 2, loc.toString(t.time(), QLocale::ShortFormat));
    const QString title = Msg(330);
    return {title,
            QString(title.size(), QLatin1Char('=')),
            Msg(331) + fileName,
            recorded,
            QString::fromLatin1(kVersionLine),
            QString(),
            QStringLiteral("Sensor: ") + session_.sensor.Model,
            QStringLiteral("Firmware: ") + QString::number(session_.sensor.Firmware),
            QString()};
}

// An existing file that may not be written stops the export before anything is written.
bool MeasFiles::CheckTarget(const QString& fileName, const QString& caption, bool withPath)
{
    const QFileInfo fi(fileName);
    // A file without any write permission counts as write-protected even for a user who
    // could override it, as the read-only attribute does.
    const QFile::Permissions anyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if (fi.exists() && (!fi.isWritable() || fi.isDir() || !(fi.permissions() & anyWrite))) {
        Panel(caption + Msg(kMsgProtected) + (withPath ? fileName : fi.fileName()));
        return false;
    }
    return true;
}

bool MeasFiles::CommitTemp(const QString& temp, const QString& fileName, const QString& caption)
{
    const QFileInfo fi(fileName);
    QFile::Permissions perm = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    if (fi.exists())
        perm = fi.permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
    QFile::setPermissions(temp, perm);
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(temp.toStdU16String()),
                            std::filesystem::path(fileName.toStdU16String()), ec);
    if (ec) {
        QFile::remove(temp);
        Panel(caption + Msg(kMsgProtected) + fileName);
        return false;
    }
    return true;
}

bool MeasFiles::ExportText(const QString& fileName)
{
    const QString cap = Msg(kMsgTextExport);
    Panel(cap + Msg(kMsgWriteFile) + fileName);
    if (!CheckTarget(fileName, cap, true)) return false;
    const QFileInfo fi(fileName);
    QTemporaryFile tmp(fi.absolutePath() + QStringLiteral("/.") + fi.fileName() + QStringLiteral(".XXXXXX"));
    if (!tmp.open()) {
        Panel(cap + Msg(kMsgProtected));
        return false;
    }
    const int last = GetMaxItem(table_);
    QByteArray out;
    out.reserve(1024 + qsizetype(last + 1) * 110);
    for (const QString& line : HeaderLines(fileName)) {
        out += app::EncodeWindows1252(line);
        out += "\r\n";
    }
    RowCells rc;
    for (int row = 0; row <= last; ++row) {
        GetRowCells(table_, row, CellEncoding::Windows1252, rc);
        for (int c = 0; c < MeasTableModel::kColumns; ++c) {
            const std::string_view cell = rc.cell[size_t(c)];
            if (std::find(kPaddedColumns.begin(), kPaddedColumns.end(), c) != kPaddedColumns.end()) {
                // "%-12.12s": left-aligned, padded or cut to 12.
                const size_t n = std::min<size_t>(cell.size(), 12);
                out.append(cell.data(), qsizetype(n));
                out.append(qsizetype(12 - n), ' ');
            } else {
                out.append(cell.data(), qsizetype(cell.size()));
            }
            out += '\t';
        }
        out += "\r\n";
    }
    if (tmp.write(out) != out.size() || !tmp.flush()) {
        Panel(cap + Msg(kMsgIoError) + fileName);
        return false;
    }
    tmp.close();
    if (!CommitTemp(tmp.fileName(), fileName, cap)) return false;
    tmp.setAutoRemove(false);
    Panel(cap + Msg(kMsgOkay));
    return true;
}

void MeasFiles::Finish(const QString& caption)
{
    bool error = importError_;
    const int index = SetMeasArray(table_, store_, fileVersion_, error);
    importError_ = error;
    if (afterImport) afterImport(index);
    Panel(caption + Msg(importError_ ? kMsgReadFailures : kMsgOkay));
}

bool MeasFiles::ImportText(const QString& fileName)
{
    const QString cap = Msg(kMsgTextImport);
    Panel(cap + Msg(kMsgReadFile) + fileName);
    session_.host().ProcessMessages();
    if (!QFileInfo::exists(fileName)) {
        Panel(cap + Msg(kMsgNotFound) + fileName);
        return false;
    }
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        Panel(cap + Msg(kMsgCantOpen) + fileName);
        return false;
    }
    importError_ = false;
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        Panel(cap + Msg(kMsgIoError) + fileName);
        return false;
    }
    f.close();
    const QString text = app::DecodeText(bytes);
    Reset();
    fileVersion_ = 0;
    const QStringView all(text);
    qsizetype pos = 0;
    int lineNo = 0;
    int row = 1;
    while (pos < all.size() && row <= kLastRow) {
        qsizetype end = pos;
        while (end < all.size() && all[end] != u'\r' && all[end] != u'\n') ++end;
        const QStringView line = all.mid(pos, end - pos);
        pos = end;
        if (pos < all.size() && all[pos] == u'\r') ++pos;
        if (pos < all.size() && all[pos] == u'\n') ++pos;
        ++lineNo;
        if (lineNo <= 10) {
            if (lineNo == 5) fileVersion_ = FileVersion(line.toString());
            continue;
        }
        // Each tab stores the text before it; what follows the last tab is not a cell.
        const qsizetype lastTab = line.lastIndexOf(u'\t');
        if (lastTab >= 0) table_.SetJoinedRow(row, line.left(lastTab).toString());
        ++row;
    }
    Finish(cap);
    return true;
}

bool MeasFiles::ExportExcel(const QString& fileName)
{
    const QString cap = Msg(kMsgExcelExport);
    Panel(cap + fileName);
    session_.host().ProcessMessages();
    if (!CheckTarget(fileName, cap, false)) return false;
    const QFileInfo fi(fileName);
    QString tempName;
    {
        QTemporaryFile probe(fi.absolutePath() + QStringLiteral("/.") + fi.fileName() + QStringLiteral(".XXXXXX"));
        if (!probe.open()) {
            Panel(cap + Msg(kMsgProtected) + fileName);
            return false;
        }
        probe.setAutoRemove(false);
        tempName = probe.fileName();
    }
    auto fail = [&](int msg) {
        QFile::remove(tempName);
        Panel(cap + Msg(msg) + fileName);
        return false;
    };
    lxw_workbook_options opt;
    std::memset(&opt, 0, sizeof opt);
    opt.constant_memory = LXW_TRUE; // rows go out in order; the sheet is not held in memory
    const QByteArray tempPath = QFile::encodeName(tempName);
    lxw_workbook* wb = workbook_new_opt(tempPath.constData(), &opt);
    if (!wb) return fail(kMsgProtected);
    lxw_worksheet* ws = workbook_add_worksheet(wb, "Data");
    lxw_format* num = workbook_add_format(wb);
    format_set_num_format(num, "0");
    lxw_format* txt = workbook_add_format(wb);
    format_set_num_format(txt, "@");
    // Colour indices 3, 5 and 13 of the spreadsheet's standard palette.
    lxw_format* title = workbook_add_format(wb);
    format_set_font_size(title, 20);
    format_set_font_color(title, 0xFF0000);
    lxw_format* heading = workbook_add_format(wb);
    format_set_font_size(heading, 14);
    format_set_font_color(heading, 0x0000FF);
    lxw_format* columns = workbook_add_format(wb);
    format_set_font_size(columns, 14);
    format_set_font_color(columns, 0x800080);
    if (!ws || !num || !txt || !title || !heading || !columns) {
        workbook_close(wb);
        return fail(kMsgIoError);
    }
    for (int c = 0; c < MeasTableModel::kColumns; ++c)
        worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), 15, IsNumberColumn(c) ? num : txt);

    const QStringList head = HeaderLines(fileName);
    auto put = [&](int row, const QString& text, lxw_format* f) {
        const QByteArray u = text.toUtf8();
        worksheet_write_string(ws, lxw_row_t(row - 1), 0, u.constData(), f);
    };
    put(1, head[0], title);
    put(2, head[2], nullptr);
    put(3, head[3], nullptr);
    put(4, head[4], nullptr);
    put(6, Msg(333), heading);
    put(7, head[6], nullptr);
    put(8, head[7], nullptr);
    put(10, Msg(334), heading);
    for (int c = 0; c < MeasTableModel::kColumns; ++c)
        worksheet_write_string(ws, lxw_row_t(10), lxw_col_t(c), TableHeadings()[c].toUtf8().constData(), columns);

    // What a text paste does: whole numbers become numbers in the "0" columns, the rest text.
    const int last = std::max(1, GetMaxItem(table_));
    RowCells rc;
    std::string cell;
    for (int row = 1; row <= last; ++row) {
        GetRowCells(table_, row, CellEncoding::Utf8, rc);
        const lxw_row_t r = lxw_row_t(kFirstSheetRow - 1 + row - 1);
        for (int c = 0; c < MeasTableModel::kColumns; ++c) {
            const std::string_view v = rc.cell[size_t(c)];
            if (v.empty()) continue;
            double d = 0;
            if (IsNumberColumn(c) && ParseInt(v, d)) {
                worksheet_write_number(ws, r, lxw_col_t(c), d, num);
            } else {
                cell.assign(v.data(), v.size());
                worksheet_write_string(ws, r, lxw_col_t(c), cell.c_str(), IsNumberColumn(c) ? num : txt);
            }
        }
    }
    if (workbook_close(wb) != LXW_NO_ERROR) return fail(kMsgIoError);
    if (!CommitTemp(tempName, fileName, cap)) return false;
    Panel(cap + Msg(kMsgOkay));
    return true;
}

bool MeasFiles::ImportExcel(const QString& fileName)
{
    const QString cap = Msg(kMsgExcelImport);
    Panel(cap + Msg(kMsgReadFile) + fileName);
    session_.host().ProcessMessages();
    if (!QFileInfo::exists(fileName)) {
        Panel(cap + Msg(kMsgNotFound) + fileName);
        return false;
    }
    if (fileName.endsWith(QStringLiteral(".xls"), Qt::CaseInsensitive)) return ImportXls(fileName, cap);
    return ImportXlsx(fileName, cap);
}

// The sheet as the import takes it: the version cell and the 16 cells of each data row.
struct SheetRows {
    QString version;
    std::vector<std::array<QString, 16>> rows; // index 0 = table row 1
    void Put(int sheetRow, int col, QString text)
    {
        if (sheetRow == 4 && col == 0) version = text;
        const int tableRow = sheetRow - kFirstSheetRow + 1;
        if (tableRow < 1 || tableRow > kLastRow || col < 0 || col >= 16) return;
        if (size_t(tableRow) > rows.size()) rows.resize(size_t(tableRow));
        rows[size_t(tableRow - 1)][size_t(col)] = std::move(text);
    }
};

void MeasFiles::TakeSheet(SheetRows& sheet, const QString& cap)
{
    Reset();
    fileVersion_ = FileVersion(sheet.version);
    QStringList cells;
    for (size_t i = 0; i < sheet.rows.size(); ++i) {
        cells.clear();
        for (QString& s : sheet.rows[i]) cells << std::move(s);
        table_.SetTextRow(int(i) + 1, cells);
    }
    Finish(cap);
}

bool MeasFiles::ImportXlsx(const QString& fileName, const QString& cap)
{
    Zip zip(fileName);
    std::string sheetXml;
    if (!zip.ok() || !zip.Read(FirstSheetPath(zip), sheetXml)) {
        Panel(cap + Msg(kMsgCantOpen) + fileName);
        return false;
    }
    importError_ = false;
    std::vector<QString> shared;
    std::string sstXml;
    if (zip.Read("xl/sharedStrings.xml", sstXml)) {
        pugi::xml_document sst;
        if (!sst.load_buffer(sstXml.data(), sstXml.size())) {
            Panel(cap + Msg(kMsgIoError) + fileName);
            return false;
        }
        std::string s;
        for (pugi::xml_node si = Child(sst, "sst").first_child(); si; si = si.next_sibling()) {
            if (LocalName(si) != "si") continue;
            s.clear();
            AppendText(si, s);
            shared.push_back(QString::fromUtf8(s.data(), qsizetype(s.size())));
        }
    }
    pugi::xml_document doc;
    if (!doc.load_buffer_inplace(sheetXml.data(), sheetXml.size())) {
        Panel(cap + Msg(kMsgIoError) + fileName);
        return false;
    }
    SheetRows sheet;
    int rowNo = 0;
    std::string is;
    for (pugi::xml_node r = Child(Child(Child(doc, "worksheet"), "sheetData"), "row"); r; r = r.next_sibling()) {
        if (LocalName(r) != "row") continue;
        const int given = r.attribute("r").as_int(0);
        rowNo = given > 0 ? given : rowNo + 1;
        if (rowNo > kFirstSheetRow - 1 + kLastRow) break;
        int colNo = -1;
        for (pugi::xml_node c = r.first_child(); c; c = c.next_sibling()) {
            if (LocalName(c) != "c") continue;
            int col = colNo + 1, refRow = rowNo;
            if (pugi::xml_attribute ref = c.attribute("r")) {
                if (!ParseRef(ref.value(), col, refRow)) continue;
            }
            colNo = col;
            if (col >= 16 && !(rowNo == 4)) continue;
            const std::string_view t = c.attribute("t").value();
            const char* v = Child(c, "v").text().get();
            QString text;
            if (t == "s") {
                const long idx = std::strtol(v, nullptr, 10);
                if (idx >= 0 && size_t(idx) < shared.size()) text = shared[size_t(idx)];
            } else if (t == "inlineStr") {
                is.clear();
                AppendText(Child(c, "is"), is);
                text = QString::fromUtf8(is.data(), qsizetype(is.size()));
            } else if (t == "str" || t == "e") {
                text = QString::fromUtf8(v);
            } else if (t == "b") {
                text = std::strcmp(v, "1") == 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
            } else if (*v) {
                char* endp = nullptr;
                const double d = std::strtod(v, &endp);
                text = (endp && *endp == 0) ? NumberText(d) : QString::fromUtf8(v);
            }
            sheet.Put(rowNo, col, std::move(text));
        }
    }
    TakeSheet(sheet, cap);
    return true;
}

bool MeasFiles::ImportXls(const QString& fileName, const QString& cap)
{
    const void* h = nullptr;
    if (freexl_open(QFile::encodeName(fileName).constData(), &h) != FREEXL_OK) {
        if (h) freexl_close(h);
        Panel(cap + Msg(kMsgCantOpen) + fileName);
        return false;
    }
    importError_ = false;
    unsigned int rows = 0;
    unsigned short cols = 0;
    if (freexl_select_active_worksheet(h, 0) != FREEXL_OK || freexl_worksheet_dimensions(h, &rows, &cols) != FREEXL_OK) {
        freexl_close(h);
        Panel(cap + Msg(kMsgIoError) + fileName);
        return false;
    }
    SheetRows sheet;
    const unsigned lastSheetRow = unsigned(kFirstSheetRow - 1 + kLastRow);
    for (unsigned r = 0; r < rows && r < lastSheetRow; ++r) {
        for (unsigned short c = 0; c < cols && c < 16; ++c) {
            FreeXL_CellValue v;
            if (freexl_get_cell_value(h, r, c, &v) != FREEXL_OK) continue;
            QString text;
            switch (v.type) {
            case FREEXL_CELL_INT: text = QString::number(v.value.int_value); break;
            case FREEXL_CELL_DOUBLE: text = NumberText(v.value.double_value); break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME: text = QString::fromUtf8(v.value.text_value); break;
            default: continue;
            }
            sheet.Put(int(r) + 1, c, std::move(text));
        }
    }
    freexl_close(h);
    TakeSheet(sheet, cap);
    return true;
}

} // namespace vmx::monitor
