#pragma once
// A legacy .xls workbook built byte by byte (a compound document holding a BIFF8 "Workbook"
// stream), so tests need no spreadsheet program.

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>
#include <QString>

#include <cstring>

namespace xlsbuild {

inline void Le16(QByteArray& b, quint16 v)
{
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}
inline void Le32(QByteArray& b, quint32 v)
{
    Le16(b, quint16(v & 0xFFFF));
    Le16(b, quint16(v >> 16));
}
inline void Record(QByteArray& s, quint16 type, const QByteArray& body)
{
    Le16(s, type);
    Le16(s, quint16(body.size()));
    s += body;
}
inline QByteArray Bof(quint16 kind)
{
    QByteArray b;
    Le16(b, 0x0600);
    Le16(b, kind);
    Le16(b, 0x0DBB);
    Le16(b, 0x07CC);
    Le32(b, 0);
    Le32(b, 0x06);
    return b;
}

struct Cell {
    int row, col;
    bool text;
    double number;
    QByteArray label;
};

// BIFF8: globals (BOF, code page, one sheet, EOF), then the sheet (BOF, dimensions, cells, EOF).
inline QByteArray WorkbookStream(const QList<Cell>& cells, int rows)
{
    QByteArray globals;
    Record(globals, 0x0809, Bof(0x0005));
    QByteArray cp;
    Le16(cp, 1252);
    Record(globals, 0x0042, cp);
    const int boundSheetAt = globals.size();
    QByteArray bs;
    Le32(bs, 0); // patched below: where the sheet's BOF starts
    Le16(bs, 0);
    bs.append(char(4));
    bs.append(char(0));
    bs += "Data";
    Record(globals, 0x0085, bs);
    Record(globals, 0x000A, {});

    QByteArray sheet;
    Record(sheet, 0x0809, Bof(0x0010));
    QByteArray dim;
    Le32(dim, 0);
    Le32(dim, quint32(rows));
    Le16(dim, 0);
    Le16(dim, 16);
    Le16(dim, 0);
    Record(sheet, 0x0200, dim);
    for (const Cell& c : cells) {
        QByteArray b;
        Le16(b, quint16(c.row));
        Le16(b, quint16(c.col));
        Le16(b, 0x0F);
        if (c.text) {
            Le16(b, quint16(c.label.size()));
            b.append(char(0));
            b += c.label;
            Record(sheet, 0x0204, b);
        } else {
            char d[8];
            std::memcpy(d, &c.number, 8);
            b.append(d, 8);
            Record(sheet, 0x0203, b);
        }
    }
    Record(sheet, 0x000A, {});
    QByteArray stream = globals + sheet;
    const quint32 at = quint32(globals.size());
    std::memcpy(stream.data() + boundSheetAt + 4, &at, 4);
    return stream;
}

// A compound document of 512-byte sectors: FAT in sector 0, directory in sector 1, the stream
// from sector 2 on. Streams under 4096 bytes would belong in the mini stream; callers give more.
inline QByteArray CompoundFile(const QByteArray& stream)
{
    const int streamSectors = int((stream.size() + 511) / 512);
    QByteArray h;
    h += QByteArray::fromHex("D0CF11E0A1B11AE1");
    h += QByteArray(16, 0);
    Le16(h, 0x003E);
    Le16(h, 0x0003);
    Le16(h, 0xFFFE);
    Le16(h, 9);
    Le16(h, 6);
    h += QByteArray(6, 0);
    Le32(h, 0);          // directory sectors (version 3: 0)
    Le32(h, 1);          // FAT sectors
    Le32(h, 1);          // first directory sector
    Le32(h, 0);          // transaction
    Le32(h, 4096);       // mini stream cut-off
    Le32(h, 0xFFFFFFFE); // no mini FAT
    Le32(h, 0);
    Le32(h, 0xFFFFFFFE); // no DIFAT sectors
    Le32(h, 0);
    Le32(h, 0); // DIFAT[0]: the FAT is sector 0
    for (int i = 1; i < 109; ++i)
        Le32(h, 0xFFFFFFFF);

    QByteArray fat;
    Le32(fat, 0xFFFFFFFD);
    Le32(fat, 0xFFFFFFFE);
    for (int i = 0; i < streamSectors; ++i)
        Le32(fat, i + 1 < streamSectors ? quint32(3 + i) : 0xFFFFFFFE);
    while (fat.size() < 512)
        Le32(fat, 0xFFFFFFFF);

    auto entry = [](const QString& name, quint8 type, quint32 child, quint32 start, quint32 size) {
        QByteArray e;
        for (QChar c : name)
            Le16(e, c.unicode());
        Le16(e, 0);
        e += QByteArray(64 - e.size(), 0);
        Le16(e, quint16((name.size() + 1) * 2));
        e.append(char(type));
        e.append(char(1)); // black
        Le32(e, 0xFFFFFFFF);
        Le32(e, 0xFFFFFFFF);
        Le32(e, child);
        e += QByteArray(16 + 4 + 16, 0);
        Le32(e, start);
        Le32(e, size);
        Le32(e, 0);
        return e;
    };
    QByteArray dir = entry("Root Entry", 5, 1, 0xFFFFFFFE, 0);
    dir += entry("Workbook", 2, 0xFFFFFFFF, 2, quint32(stream.size()));
    while (dir.size() < 512) {
        QByteArray empty(128, 0);
        std::memset(empty.data() + 68, 0xFF, 12);
        dir += empty;
    }
    QByteArray body = stream;
    body += QByteArray(streamSectors * 512 - stream.size(), 0);
    return h + fat + dir + body;
}

// An old-layout export of `rows` samples as the old stations wrote it, file version 110.
inline QByteArray SampleWorkbook(int rows)
{
    QList<Cell> cells;
    cells << Cell{0, 0, true, 0, "PROTOKOLL"} << Cell{3, 0, true, 0, "Monitor, Version: V1.10"};
    for (int i = 0; i < rows; ++i) {
        const int r = 11 + i;
        const double v[12] = {double(i), 900, 500, 400, 190, 200, 2, 0, double(i % 250), 40, 0, 1};
        for (int c = 0; c < 12; ++c) {
            if (c == 7) continue;
            if (c >= 10)
                cells << Cell{r, c, true, 0, c == 10 ? "00" : "01"};
            else
                cells << Cell{r, c, false, v[c], {}};
        }
    }
    return CompoundFile(WorkbookStream(cells, 11 + rows));
}

// Bytes of a workbook changed as a damaged copy or a hostile sender would: a few bytes
// overwritten, or the file cut short.
inline QByteArray Mutated(const QByteArray& good, QRandomGenerator& rng)
{
    QByteArray b = good;
    if (rng.bounded(8) == 0) {
        b.truncate(qsizetype(rng.bounded(quint32(b.size()))));
        return b;
    }
    const int flips = 1 + int(rng.bounded(8));
    for (int i = 0; i < flips; ++i) {
        const qsizetype at = qsizetype(rng.bounded(quint32(b.size())));
        b[at] = rng.bounded(3) == 0 ? char(0xFF) : char(rng.bounded(256));
    }
    return b;
}

} // namespace xlsbuild
