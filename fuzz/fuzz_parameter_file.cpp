// The parameter file's reader on any bytes, then taken into the blocks as the open button does.
#include "FuzzSupport.h"
#include "app/SensorTypes.h"
#include "sensor/ParameterFile.h"

#include <algorithm>

#include <QBuffer>

using namespace vmx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    static fuzz::Env env;
    static sensor::ParameterBlocks blocks;
    struct Hooks final : sensor::ParameterFile::Hooks {
        void RefreshPages() override {}
    };
    static Hooks hooks;
    static sensor::ParameterFile file(env.session, blocks, hooks);
    const std::uint8_t opts = fuzz::TakeByte(data, size);
    env.session.CopyValidSensorType(opts % app::kSensorTypeCount);
    file.withCalibration = opts & 0x80;
    QBuffer buf;
    buf.setData(reinterpret_cast<const char*>(data), qsizetype(size));
    buf.open(QIODevice::ReadOnly);
    if (file.ImportHexParameterData(buf)) {
        // What the open button then takes from the image.
        const quint32 a = env.session.sensor.ParAddr;
        if (a + sensor::kParPageSize <= sensor::kParImageSize)
            std::copy_n(file.image().begin() + a, sensor::kParBlockSize, blocks.edit.bytes.begin());
    }
    return 0;
}
