#pragma once

#include "monitor/MeasTableModel.h"
#include "monitor/MeasurementStore.h"

#include <QDateTime>
#include <QString>

class QIODevice;

namespace vmx::app {
class Session;
class SafeSave;
enum class SaveStatus;
} // namespace vmx::app

namespace vmx::monitor {

// Export of the measurement table to a text file or a workbook, and import back from a text
// file, a workbook (.xlsx) or a legacy workbook (.xls). Status texts go to panel 1 through the
// session. Saves go to a temporary file beside the target, renamed into place at the end, so
// a failed export never costs the old file.
struct SheetRows;

class MeasFiles {
public:
    // What an import asks of the rest of the program; the station implements it.
    class Events {
    public:
        virtual ~Events() = default;
        // Clears table, store and diagram before an import.
        virtual void ClearForImport() = 0;
        // After an import: select the store index in table and scroll bar, redraw the diagram.
        virtual void Imported(int storeIndex) = 0;
        // The time written into an export's header.
        virtual QDateTime Now() = 0;
    };

    MeasFiles(app::Session& session, MeasurementStore& store, MeasTableModel& table, Events& events);

    static constexpr const char* kVersionLine = "Monitor, Version: V01.50.12.09";

    // Workbooks above this size are refused before they are read.
    static constexpr qint64 kMaxWorkbookInput = qint64(64) << 20;

    bool ExportText(const QString& fileName);
    bool ImportText(const QString& fileName);
    // The text import's reading, line by line from a device (seekable) as it is read; false
    // on a read error.
    bool ImportTextData(QIODevice& device);
    // The .xlsx import of a package already read; `fileName` only for the messages.
    bool ImportXlsxData(const QByteArray& bytes, const QString& fileName);
    bool ExportExcel(const QString& fileName);
    // .xls goes to the legacy reader, anything else to the .xlsx reader.
    bool ImportExcel(const QString& fileName);

    // The text lines of an export's header: title, "=" line, file name, date/time, version,
    // empty, sensor, firmware, empty.
    QStringList HeaderLines(const QString& fileName) const;
    // The same at the time `t` (a recording's files).
    static QStringList HeaderLinesAt(const app::Session& session, const QString& fileName,
                                     const QDateTime& t);

    // Set by a cell that did not convert during the last import.
    bool ImportError() const { return importError_; }
    int LastFileVersion() const { return fileVersion_; }

    // The legacy-workbook reader process and its bounds; an empty path: vmx-xls-read beside
    // the program. A limit of 0 sets no memory limit.
    QString xlsReader;
    int xlsTimeoutMs = 30000;
    qint64 xlsMemoryLimit = kDefaultReaderMemory;
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer's shadow memory alone exceeds any address-space limit.
    static constexpr qint64 kDefaultReaderMemory = 0;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    static constexpr qint64 kDefaultReaderMemory = 0;
#else
    static constexpr qint64 kDefaultReaderMemory = qint64(1) << 30;
#endif
#else
    static constexpr qint64 kDefaultReaderMemory = qint64(1) << 30;
#endif

private:
    bool ImportXls(const QString& fileName, const QString& caption);
    bool SaveFailed(app::SaveStatus status, const app::SafeSave& save, const QString& fileName,
                    const QString& caption);
    QString XlsReaderPath() const;
    void Reset();
    void Finish(const QString& caption);
    // A read workbook into the table: the file version, the rows, then the common end.
    void TakeSheet(SheetRows& sheet, const QString& caption);
    QString Msg(int i) const;
    void Panel(const QString& text) const;

    app::Session& session_;
    MeasurementStore& store_;
    MeasTableModel& table_;
    Events& events_;
    bool importError_ = false;
    int fileVersion_ = 0;
};

} // namespace vmx::monitor
