#include "monitor/MeasFiles.h"

#include "app/FieldReaders.h"
#include "app/Folders.h"
#include "app/InputFile.h"
#include "app/SafeSave.h"
#include "app/Session.h"
#include "app/TextHelpers.h"
#include "lang/MessageIds.h"
#include "monitor/MeasArray.h"
#include "monitor/MeasCells.h"
#include "monitor/XlsReaderProtocol.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QTemporaryFile>

#include <pugixml.hpp>
#include <xlsxwriter.h>
#include <zip.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace vmx::monitor {

// The catalogue numbers by name.
using namespace lang::ids;

namespace {

constexpr int kLastRow = MeasTableModel::kRows - 1;
// Far more than a full sheet's cells in the reader's lines.
constexpr qsizetype kMaxReaderOutput = qsizetype(64) << 20;
constexpr int kFirstSheetRow = 12;                         // 1-based, as the workbook counts
constexpr std::array<int, 4> kPaddedColumns{1, 2, 11, 12}; // Date, Time, Alarm, Flags

bool IsNumberColumn(int c)
{
    return c == 0 || (c >= 3 && c <= 10);
}

// A whole number with optional blanks around it (" 5" in the OUT column), at most 15 digits
// so a double holds it exactly.
bool ParseInt(std::string_view s, double& v)
{
    size_t i = 0, e = s.size();
    while (i < e && s[i] == ' ')
        ++i;
    while (e > i && s[e - 1] == ' ')
        --e;
    const bool neg = i < e && s[i] == '-';
    if (neg) ++i;
    quint64 n = 0;
    if (!app::ReadUnsigned(s.substr(i, e - i), 999999999999999ull, n)) return false;
    v = double(neg ? -qint64(n) : qint64(n));
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

// All text of a string item (plain or rich runs), phonetic hints left out. Walked without
// recursion: a hostile file may nest runs as deep as its size allows.
void AppendText(const pugi::xml_node& n, std::string& out)
{
    std::vector<pugi::xml_node> open; // the runs entered, innermost last
    pugi::xml_node c = n.first_child();
    for (;;) {
        if (!c) {
            if (open.empty()) break;
            c = open.back().next_sibling();
            open.pop_back();
            continue;
        }
        const std::string_view ln = LocalName(c);
        if (ln == "r" && c.first_child()) {
            open.push_back(c);
            c = c.first_child();
            continue;
        }
        if (ln == "t") out += c.text().get();
        c = c.next_sibling();
    }
}

// A workbook of this table holds a sheet of a few tens of MB at most.
constexpr zip_uint64_t kMaxEntry = zip_uint64_t(128) << 20;

class Zip {
public:
    // The package from memory; `bytes` must outlive the Zip.
    explicit Zip(const QByteArray& bytes)
    {
        zip_error_t err;
        zip_error_init(&err);
        zip_source_t* src = zip_source_buffer_create(bytes.constData(), zip_uint64_t(bytes.size()), 0, &err);
        if (src) {
            z_ = zip_open_from_source(src, ZIP_RDONLY, &err);
            if (!z_) zip_source_free(src);
        }
        zip_error_fini(&err);
    }
    Zip(const Zip&) = delete;
    Zip& operator=(const Zip&) = delete;
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
        if (st.size > kMaxEntry) return false;
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
    if (!zip.Read("xl/workbook.xml", wbXml) || !zip.Read("xl/_rels/workbook.xml.rels", relsXml))
        return fallback;
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

// The largest row a workbook can have.
constexpr quint64 kMaxSheetRow = 1048576;

// Column (0-based) and row (1-based) of a cell reference such as "C12": one to three letters,
// then the row within the sheet's bounds.
bool ParseRef(const char* ref, int& col, int& row)
{
    const std::string_view s(ref);
    size_t letters = 0;
    int c = 0;
    for (; letters < s.size() && s[letters] >= 'A' && s[letters] <= 'Z'; ++letters) {
        if (letters == 3) return false;
        c = c * 26 + (s[letters] - 'A' + 1);
    }
    quint64 r = 0;
    if (letters == 0 || !app::ReadUnsigned(s.substr(letters), kMaxSheetRow, r) || r == 0) return false;
    col = c - 1;
    row = int(r);
    return true;
}

// A cell's number as the workbook stores it; long digit strings are no numbers of this table.
bool ParseNumber(const char* v, double& d)
{
    const size_t n = std::strlen(v);
    if (n == 0 || n > 40) return false;
    char* endp = nullptr;
    d = std::strtod(v, &endp);
    return endp && *endp == 0;
}

} // namespace

MeasFiles::MeasFiles(app::Session& session, MeasurementStore& store, MeasTableModel& table, Events& events)
    : session_(session), store_(store), table_(table), events_(events)
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
    events_.ClearForImport();
}

QStringList MeasFiles::HeaderLines(const QString& fileName) const
{
    return HeaderLinesAt(session_, fileName, events_.Now());
}

QStringList MeasFiles::HeaderLinesAt(const app::Session& session, const QString& fileName, const QDateTime& t)
{
    const QLocale loc = QLocale::system();
    QString recorded = session.Msg(332);
    recorded.replace(recorded.indexOf(QStringLiteral("%s")), 2, loc.toString(t.date(), QLocale::ShortFormat));
    const int second = recorded.indexOf(QStringLiteral("%s"));
    if (second >= 0) recorded.replace(second, 2, loc.toString(t.time(), QLocale::ShortFormat));
    const QString title = session.Msg(330);
    return {title,
            QString(title.size(), QLatin1Char('=')),
            session.Msg(331) + fileName,
            recorded,
            QString::fromLatin1(kVersionLine),
            QString(),
            QStringLiteral("Sensor: ") + session.sensor.Model,
            QStringLiteral("Firmware: ") + QString::number(session.sensor.Firmware),
            QString()};
}

// The export's failure in panel 1: the caption, the catalogue's text, and what it is about
// (the missing folder, or the file).
bool MeasFiles::SaveFailed(app::SaveStatus status, const app::SafeSave& save, const QString& fileName,
                           const QString& caption)
{
    const QString about = status == app::SaveStatus::FolderMissing ? save.Folder() : fileName;
    Panel(caption + Msg(app::SaveMessage(status, kMsgProtected)) + about);
    return false;
}

bool MeasFiles::ExportText(const QString& fileName)
{
    const QString cap = Msg(kMsgTextExport);
    Panel(cap + Msg(kMsgWriteFile) + fileName);
    app::SafeSave save(fileName);
    if (const app::SaveStatus s = save.Open(); s != app::SaveStatus::Ok)
        return SaveFailed(s, save, fileName, cap);
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
    if (save.file().write(out) != out.size())
        return SaveFailed(app::SaveStatus::WriteFailed, save, fileName, cap);
    if (const app::SaveStatus s = save.Commit(); s != app::SaveStatus::Ok)
        return SaveFailed(s, save, fileName, cap);
    Panel(cap + Msg(kMsgOkay));
    return true;
}

void MeasFiles::Finish(const QString& caption)
{
    bool error = importError_;
    const int index = SetMeasArray(table_, store_, fileVersion_, error);
    importError_ = error;
    events_.Imported(index);
    Panel(caption + Msg(importError_ ? kMsgReadFailures : kMsgOkay));
}

bool MeasFiles::ImportText(const QString& fileName)
{
    const QString cap = Msg(kMsgTextImport);
    Panel(cap + Msg(kMsgReadFile) + fileName);
    session_.host().ProcessMessages();
    QFile f(fileName);
    switch (app::OpenInputFile(f)) {
    case app::InputStatus::Ok:
        break;
    case app::InputStatus::Missing:
        Panel(cap + Msg(kMsgNotFound) + fileName);
        return false;
    default:
        Panel(cap + Msg(kMsgCantOpen) + fileName);
        return false;
    }
    importError_ = false;
    if (!ImportTextData(f)) {
        Panel(cap + Msg(kMsgIoError) + fileName);
        return false;
    }
    f.close();
    Finish(cap);
    return true;
}

bool MeasFiles::ImportTextData(QIODevice& device)
{
    app::LineReader reader(device, app::TextEncoding::Detect);
    Reset();
    fileVersion_ = 0;
    int lineNo = 0;
    int row = 1;
    QString line;
    // Reading stops after the row that fills the table's last row.
    while (row <= kLastRow && reader.Next(line)) {
        ++lineNo;
        if (lineNo <= 10) {
            if (lineNo == 5) fileVersion_ = FileVersion(line);
            continue;
        }
        // Each tab stores the text before it; what follows the last tab is not a cell.
        const qsizetype lastTab = line.lastIndexOf(u'\t');
        if (lastTab >= 0) {
            line.truncate(lastTab);
            table_.SetJoinedRow(row, std::move(line));
        }
        ++row;
    }
    return !reader.Failed();
}

bool MeasFiles::ExportExcel(const QString& fileName)
{
    const QString cap = Msg(kMsgExcelExport);
    Panel(cap + fileName);
    session_.host().ProcessMessages();
    app::SafeSave save(fileName);
    if (const app::SaveStatus s = save.Open(); s != app::SaveStatus::Ok)
        return SaveFailed(s, save, QFileInfo(fileName).fileName(), cap);
    // The workbook library writes the temporary file by its name.
    save.CloseTemp();
    const QString tempName = save.TempPath();
    auto fail = [&](int msg) {
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
        worksheet_write_string(ws, lxw_row_t(10), lxw_col_t(c), TableHeadings()[c].toUtf8().constData(),
                               columns);

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
    if (const app::SaveStatus s = save.Commit(); s != app::SaveStatus::Ok)
        return SaveFailed(s, save, QFileInfo(fileName).fileName(), cap);
    Panel(cap + Msg(kMsgOkay));
    return true;
}

bool MeasFiles::ImportExcel(const QString& fileName)
{
    const QString cap = Msg(kMsgExcelImport);
    Panel(cap + Msg(kMsgReadFile) + fileName);
    session_.host().ProcessMessages();
    if (fileName.endsWith(QStringLiteral(".xls"), Qt::CaseInsensitive)) {
        // The reader process opens the file itself; here only what it is given is checked.
        QFile f(fileName);
        const app::InputStatus st = app::OpenInputFile(f, kMaxWorkbookInput);
        if (st == app::InputStatus::Missing) {
            Panel(cap + Msg(kMsgNotFound) + fileName);
            return false;
        }
        if (st != app::InputStatus::Ok) {
            Panel(cap + Msg(kMsgCantOpen) + fileName);
            return false;
        }
        f.close();
        return ImportXls(fileName, cap);
    }
    QByteArray bytes;
    switch (app::ReadInputFile(fileName, bytes, kMaxWorkbookInput)) {
    case app::InputStatus::Ok:
        break;
    case app::InputStatus::Missing:
        Panel(cap + Msg(kMsgNotFound) + fileName);
        return false;
    case app::InputStatus::ReadError:
        Panel(cap + Msg(kMsgIoError) + fileName);
        return false;
    default:
        Panel(cap + Msg(kMsgCantOpen) + fileName);
        return false;
    }
    return ImportXlsxData(bytes, fileName);
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
        for (QString& s : sheet.rows[i])
            cells << std::move(s);
        table_.SetTextRow(int(i) + 1, cells);
    }
    Finish(cap);
}

bool MeasFiles::ImportXlsxData(const QByteArray& bytes, const QString& fileName)
{
    const QString cap = Msg(kMsgExcelImport);
    Zip zip(bytes);
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
    for (pugi::xml_node r = Child(Child(Child(doc, "worksheet"), "sheetData"), "row"); r;
         r = r.next_sibling()) {
        if (LocalName(r) != "row") continue;
        quint64 given = 0;
        if (r.attribute("r") && app::ReadUnsigned(r.attribute("r").value(), kMaxSheetRow, given) && given > 0)
            rowNo = int(given);
        else
            ++rowNo;
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
                quint64 idx = 0;
                if (!shared.empty() && app::ReadUnsigned(v, shared.size() - 1, idx))
                    text = shared[size_t(idx)];
            } else if (t == "inlineStr") {
                is.clear();
                AppendText(Child(c, "is"), is);
                text = QString::fromUtf8(is.data(), qsizetype(is.size()));
            } else if (t == "str" || t == "e") {
                text = QString::fromUtf8(v);
            } else if (t == "b") {
                text = std::strcmp(v, "1") == 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
            } else if (*v) {
                double d = 0;
                text = ParseNumber(v, d) ? NumberText(d) : QString::fromUtf8(v);
            }
            sheet.Put(rowNo, col, std::move(text));
        }
    }
    TakeSheet(sheet, cap);
    return true;
}

namespace {

// What the reader process printed, into the sheet; false for anything it would not print.
bool TakeReaderOutput(const QByteArray& out, SheetRows& sheet)
{
    std::string text;
    qsizetype pos = 0;
    while (pos < out.size()) {
        const qsizetype nl = out.indexOf('\n', pos);
        if (nl < 0) return false;
        const std::string_view line(out.constData() + pos, size_t(nl - pos));
        pos = nl + 1;
        if (line == "E") return pos == out.size();
        if (line.size() < 2 || (line[0] != 'C' && line[0] != 'N') || line[1] != '\t') return false;
        const size_t t1 = line.find('\t', 2);
        const size_t t2 = t1 == std::string_view::npos ? t1 : line.find('\t', t1 + 1);
        if (t2 == std::string_view::npos) return false;
        quint64 row = 0, col = 0;
        if (!app::ReadUnsigned(line.substr(2, t1 - 2), xls::kMaxSheetRow, row) || row == 0 ||
            !app::ReadUnsigned(line.substr(t1 + 1, t2 - t1 - 1), xls::kMaxColumns - 1, col) ||
            !xls::Unescape(line.substr(t2 + 1), text))
            return false;
        QString cell;
        if (line[0] == 'N') {
            double d = 0;
            if (!ParseNumber(text.c_str(), d)) return false;
            cell = NumberText(d);
        } else {
            cell = QString::fromUtf8(text.data(), qsizetype(text.size()));
        }
        sheet.Put(int(row), int(col), std::move(cell));
    }
    return false; // no end line: the reader did not finish
}

} // namespace

QString MeasFiles::XlsReaderPath() const
{
    if (!xlsReader.isEmpty()) return xlsReader;
    // Beside the program (a build folder), else in the installed libexec folder.
    return app::HelperProgram(app::ExecutableDir(), QLatin1String(xls::kReaderName));
}

bool MeasFiles::ImportXls(const QString& fileName, const QString& cap)
{
    QProcess p;
    p.setProgram(XlsReaderPath());
    p.setArguments({fileName});
    p.setStandardInputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
#ifdef Q_OS_UNIX
    const qint64 memoryLimit = xlsMemoryLimit;
    p.setChildProcessModifier([memoryLimit] {
        // No core file of a crash, and a bound on what a hostile file can make it take.
        const rlimit none{0, 0};
        setrlimit(RLIMIT_CORE, &none);
        if (memoryLimit > 0) {
            const rlimit mem{rlim_t(memoryLimit), rlim_t(memoryLimit)};
            setrlimit(RLIMIT_AS, &mem);
        }
    });
#endif
    p.start();
    if (!p.waitForStarted(10000)) {
        Panel(cap + Msg(kMsgIoError) + fileName);
        return false;
    }
    // Read as it comes (a full pipe would stall the reader); the window stays responsive.
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    bool refused = false;
    while (p.state() != QProcess::NotRunning) {
        p.waitForReadyRead(50);
        out += p.readAllStandardOutput();
        if (out.size() > kMaxReaderOutput || clock.elapsed() > xlsTimeoutMs) {
            refused = true;
            p.kill();
            p.waitForFinished(5000);
            break;
        }
        session_.host().ProcessMessages();
    }
    out += p.readAllStandardOutput();
    if (refused || p.exitStatus() != QProcess::NormalExit || out.size() > kMaxReaderOutput) {
        Panel(cap + Msg(kMsgIoError) + fileName);
        return false;
    }
    if (p.exitCode() == xls::kExitCannotOpen) {
        Panel(cap + Msg(kMsgCantOpen) + fileName);
        return false;
    }
    SheetRows sheet;
    if (p.exitCode() != xls::kExitOk || !TakeReaderOutput(out, sheet)) {
        Panel(cap + Msg(kMsgIoError) + fileName);
        return false;
    }
    importError_ = false;
    TakeSheet(sheet, cap);
    return true;
}

} // namespace vmx::monitor
