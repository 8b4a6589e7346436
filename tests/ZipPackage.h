#pragma once
// A zip package built in memory with libzip: the smallest .xlsx the import reads is a sheet
// (and its shared strings) at the default path.

#include <QByteArray>
#include <QString>

#include <zip.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

inline QByteArray ZipPackage(const std::vector<std::pair<const char*, QByteArray>>& entries)
{
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t* out = zip_source_buffer_create(nullptr, 0, 0, &err);
    zip_t* z = out ? zip_open_from_source(out, ZIP_TRUNCATE, &err) : nullptr;
    if (!z) {
        if (out) zip_source_free(out);
        zip_error_fini(&err);
        return {};
    }
    zip_source_keep(out);
    for (const auto& [name, data] : entries) {
        // libzip frees the copy when it has written the entry; an empty entry needs none.
        void* copy = nullptr;
        if (!data.isEmpty()) {
            copy = std::malloc(size_t(data.size()));
            std::memcpy(copy, data.constData(), size_t(data.size()));
        }
        zip_source_t* s = zip_source_buffer(z, copy, zip_uint64_t(data.size()), copy ? 1 : 0);
        if (!s) {
            std::free(copy);
            continue;
        }
        if (zip_file_add(z, name, s, ZIP_FL_OVERWRITE) < 0) zip_source_free(s);
    }
    QByteArray result;
    const bool closed = zip_close(z) == 0;
    if (!closed) zip_discard(z);
    if (closed && zip_source_open(out) == 0) {
        zip_source_seek(out, 0, SEEK_END);
        const zip_int64_t size = zip_source_tell(out);
        zip_source_seek(out, 0, SEEK_SET);
        result.resize(qsizetype(size));
        zip_source_read(out, result.data(), zip_uint64_t(size));
        zip_source_close(out);
    }
    zip_source_free(out);
    zip_error_fini(&err);
    return result;
}

// A sheet whose rows are given as raw XML.
inline QByteArray SheetXml(const QByteArray& rows)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet "
           "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>" +
           rows + "</sheetData></worksheet>";
}

inline QByteArray SharedStringsXml(const QByteArray& items)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><sst "
           "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" +
           items + "</sst>";
}

// One shared string whose text sits `depth` rich-text runs deep.
inline QByteArray NestedRuns(int depth, const QByteArray& text)
{
    QByteArray s;
    s.reserve(depth * 7 + text.size() + 16);
    s += "<si>";
    for (int i = 0; i < depth; ++i)
        s += "<r>";
    s += "<t>" + text + "</t>";
    for (int i = 0; i < depth; ++i)
        s += "</r>";
    s += "</si>";
    return s;
}
