// The command frame layer on any answer bytes: framed exchanges with any lengths and switches,
// the unframed exchange of the first firmware, and the probe at START.
#include "FuzzSupport.h"
#include "app/SensorTypes.h"
#include "link/Link.h"

using namespace vmx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    fuzz::Env env;
    auto serial = std::make_unique<fuzz::ByteSerial>();
    fuzz::ByteSerial* port = serial.get();
    port->clock = &env.clock;
    // The serial driver is the input's port ("system ports" lists what the driver lists).
    link::LinkOptions o;
    o.realUsb = false;
    link::Link lnk(env.session, env.linkEvents, std::move(serial), nullptr, o);
    lnk.Reset_COM_USB();
    if (!lnk.IsOpen()) __builtin_trap(); // the target would test nothing
    const std::uint8_t opts = fuzz::TakeByte(data, size);
    const std::uint8_t command = fuzz::TakeByte(data, size);
    const int frame = fuzz::TakeByte(data, size);
    const int answer = fuzz::TakeByte(data, size);
    env.session.CopyValidSensorType(fuzz::TakeByte(data, size) % app::kSensorTypeCount);
    port->input.assign(data, data + size);
    link::FrameProtocol& fp = lnk.protocol();
    fp.SetWithAck(opts & 1);
    fp.SetWithAnswer(opts & 2);
    fp.SetWithFrameCrc(opts & 4);
    // Lengths beyond the buffers are among the inputs: the layer must refuse them.
    const int scale = (opts & 0x80) ? 257 : 1;
    switch ((opts >> 3) & 3) {
    case 0:
        fp.SendReceiveCommand(opts & 0x20 ? 33 : 1, command, frame * scale, answer * scale,
                              QStringLiteral("f: "));
        break;
    case 1:
        fp.SendReceiveCommandV100(command, frame * scale, answer * scale, QStringLiteral("v: "));
        break;
    default:
        fp.CheckSerialProtocol(100, [] { return false; });
        break;
    }
    return 0;
}
