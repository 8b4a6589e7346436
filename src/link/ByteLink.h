#pragma once
// What the frame layer (and later the boot loader) needs from the link: the two buffers and
// the four byte-level operations.

#include <QtGlobal>

namespace vmx::link {

class ByteLink {
public:
    virtual ~ByteLink() = default;
    virtual quint8* Tx() = 0;
    virtual quint8* Rx() = 0;
    virtual void Purge_In() = 0;
    virtual int Read_Buffer(int n) = 0;
    virtual int Write_Buffer(int n) = 0;
    // 1 routes the serial line to the sensor, 0 to the test module.
    virtual void ForceRTS(int state) = 0;
};

} // namespace vmx::link
