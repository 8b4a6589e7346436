#include "monitor/MeasCells.h"

#include "app/TextHelpers.h"

#include <cstring>

namespace vmx::monitor {

namespace {

char* Dec(char* p, long long v)
{
    char tmp[24];
    int n = 0;
    const bool neg = v < 0;
    unsigned long long u = neg ? 0ULL - (unsigned long long)v : (unsigned long long)v;
    do {
        tmp[n++] = char('0' + u % 10);
        u /= 10;
    } while (u);
    if (neg) *p++ = '-';
    while (n)
        *p++ = tmp[--n];
    return p;
}

char* Hex(char* p, unsigned v, int digits)
{
    static const char kDigits[] = "0123456789ABCDEF";
    for (int i = digits - 1; i >= 0; --i)
        *p++ = kDigits[(v >> (4 * i)) & 0xF];
    return p;
}

char* Two(char* p, int v)
{
    *p++ = char('0' + v / 10 % 10);
    *p++ = char('0' + v % 10);
    return p;
}

// Civil date from days since 1970-01-01 (proleptic Gregorian).
void CivilFromDays(long long z, int& y, int& m, int& d)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

constexpr long long kEpochTo1970 = 25569; // 30.12.1899 .. 01.01.1970

void Span(RowCells& out, int col, const char* from, const char* to)
{
    out.cell[size_t(col)] = std::string_view(from, size_t(to - from));
}

void SplitBytes(RowCells& out)
{
    const char* p = out.bytes.constData();
    const char* end = p + out.bytes.size();
    for (int c = 0; c < 16; ++c) {
        const char* q = c == 15 ? end : static_cast<const char*>(std::memchr(p, '\t', size_t(end - p)));
        if (!q) q = end;
        out.cell[size_t(c)] = std::string_view(p, size_t(q - p));
        p = q < end ? q + 1 : end;
    }
}

} // namespace

void GetRowCells(const MeasTableModel& table, int row, CellEncoding enc, RowCells& out)
{
    for (auto& c : out.cell)
        c = {};
    auto encode = [enc](QStringView s) {
        return enc == CellEncoding::Utf8 ? s.toUtf8() : app::EncodeWindows1252(s.toString());
    };
    if (row == 0) {
        out.bytes = encode(TableHeadings().join(QLatin1Char('\t')));
        SplitBytes(out);
        return;
    }
    bool shortRow = false;
    const MeasSample* s = table.SampleOf(row, shortRow);
    if (!s) {
        const QStringView text = table.TextOf(row);
        out.bytes = encode(text);
        if (!text.isEmpty()) SplitBytes(out);
        return;
    }
    // Times the table could not show as a date are left to the table's own formatting.
    if (!(s->Time >= 0.0 && s->Time < 2958466.0)) {
        out.bytes = encode((shortRow ? ShortRowTexts(*s) : RowTexts(*s)).join(QLatin1Char('\t')));
        SplitBytes(out);
        return;
    }
    char* p = out.buf;
    char* b = p;
    p = Dec(p, s->Index);
    Span(out, 0, b, p);
    // As FromSampleTime: whole days, the fraction rounded to milliseconds.
    const long long whole = (long long)s->Time;
    long long ms = (long long)((s->Time - double(whole)) * 86400000.0 + 0.5);
    if (ms >= 86400000) ms = 86399999;
    int y = 0, m = 0, d = 0;
    CivilFromDays(whole - kEpochTo1970, y, m, d);
    b = p;
    p = Two(p, d);
    *p++ = '.';
    p = Two(p, m);
    *p++ = '.';
    p = Two(p, y / 100);
    p = Two(p, y % 100);
    Span(out, 1, b, p);
    const long long secs = ms / 1000;
    b = p;
    p = Two(p, int(secs / 3600));
    *p++ = ':';
    p = Two(p, int(secs / 60 % 60));
    *p++ = ':';
    p = Two(p, int(secs % 60));
    Span(out, 2, b, p);
    b = p;
    if (s->OUT < 10) *p++ = ' ';
    p = Dec(p, s->OUT);
    Span(out, 3, b, p);
    if (shortRow) return;
    const long long dec[7] = {s->Zero, s->ADC, s->Lin, s->Ampl, s->AMax, s->Gain, s->BAvg};
    for (int i = 0; i < 7; ++i) {
        b = p;
        p = Dec(p, dec[i]);
        Span(out, 4 + i, b, p);
    }
    const unsigned hex[5] = {s->Alarm, s->Flags, s->Error, s->Test, s->Version};
    for (int i = 0; i < 5; ++i) {
        b = p;
        p = Hex(p, hex[i], i == 3 ? 4 : 2);
        Span(out, 11 + i, b, p);
    }
}

} // namespace vmx::monitor
