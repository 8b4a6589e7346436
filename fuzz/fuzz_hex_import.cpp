// The HEX import's line parser on any bytes, into any memory kind's limit.
#include "FuzzSupport.h"
#include "boot/HexImage.h"

#include <QBuffer>

using namespace vmx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    static fuzz::Env env;
    static boot::MemoryImages images;
    static boot::HexImage hex(env.session, images);
    const std::uint8_t opts = fuzz::TakeByte(data, size);
    env.host.yes = opts & 1;
    const quint32 limits[] = {boot::kCodeLimit, boot::kSramLimit, boot::kXramLimit, 0, 0xFFFFFFFFu};
    QBuffer buf;
    buf.setData(reinterpret_cast<const char*>(data), qsizetype(size));
    buf.open(QIODevice::ReadOnly);
    images.FillBuffer();
    hex.ImportHexData(buf, limits[(opts >> 1) % 5]);
    return 0;
}
