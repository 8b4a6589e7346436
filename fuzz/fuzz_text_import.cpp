// The text import on any bytes, through to the store.
#include "ImportRig.h"
#include "monitor/MeasArray.h"
#include "monitor/MeasFiles.h"

#include <QBuffer>

using namespace vmx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    static fuzz::ImportRig rig;
    monitor::MeasurementStore& store = rig.store;
    monitor::MeasTableModel& table = rig.table;
    monitor::MeasFiles& files = rig.files;
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
