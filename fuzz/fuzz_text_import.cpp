// The text import on any bytes, through to the store.
#include "FuzzSupport.h"
#include "monitor/MeasArray.h"
#include "monitor/MeasFiles.h"

#include <QBuffer>

using namespace vmx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    static fuzz::Env env;
    static monitor::MeasurementStore store;
    static monitor::MeasTableModel table;
    // An import clears what the last input left, as the station does.
    struct Events final : monitor::MeasFiles::Events {
        void ClearForImport() override
        {
            table.Clear();
            store.Reset();
        }
        void Imported(int) override {}
        QDateTime Now() override { return QDateTime(QDate(2026, 1, 1), QTime(0, 0)); }
    };
    static Events events;
    static monitor::MeasFiles files(env.session, store, table, events);
    QBuffer buf;
    buf.setData(reinterpret_cast<const char*>(data), qsizetype(size));
    buf.open(QIODevice::ReadOnly);
    if (files.ImportTextData(buf)) {
        // The store rebuilt from the table, as the import ends.
        bool error = false;
        monitor::SetMeasArray(table, store, files.LastFileVersion(), error);
    }
    return 0;
}
