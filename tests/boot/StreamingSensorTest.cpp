// The boot loader entered from a sensor that streams long records (the default sensor).
#include "BootSimRig.h"

#include "proto/Protocol.h"

using namespace vmx;
using namespace vmx::boot;
using namespace vmx::proto;

TEST(BootOnStreamingSensor, CodeReadGivesTheFlashBytes)
{
    BootSimRig r(0, QStringLiteral("stream=long"));
    ASSERT_TRUE(r.sensor().Streaming());
    auto& flash = r.target().flash();
    for (int i = 0; i < 0x200; ++i)
        flash[size_t(i)] = quint8(0x30 + i % 7);
    ASSERT_TRUE(r.boot->BootStart());
    ASSERT_TRUE(r.boot->BootPing());
    ASSERT_TRUE(r.boot->ReadMemory(1, 0, r.Msg(273), KindCode, 0x1FF)) << r.Last().toStdString();
    const auto code = r.images.Image(KindCode);
    EXPECT_TRUE(std::equal(flash.begin(), flash.begin() + 0x200, code.begin()));
}
