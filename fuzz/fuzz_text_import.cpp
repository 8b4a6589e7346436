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
    static monitor::MeasFiles files(env.session, store, table);
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
