#pragma once
// The device link: finding the links (serial ports, then USB converters through
// libftdi1 and the simulated bench), the link menu, opening the chosen one with the fixed line
// settings, the byte-level operations on the two 32768-byte buffers, RTS routing and the
// test module's serial-interface switch. One instance per program run; no widgets: the window
// reads the menu entries and states and is told of changes through the callbacks.

#include "link/ByteLink.h"
#include "link/FrameProtocol.h"
#include "link/SerialDriver.h"
#include "link/UsbDriver.h"

#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace vmx::app {
class Session;
}
// The simulated bench stays behind the simulated driver (link/SimUsbDriver.h).
namespace vmx::sim {
struct ConverterSpec;
class Bench;
} // namespace vmx::sim

namespace vmx::link {

class SimUsbDriver;

inline constexpr const char* kNoPort = "nix";
inline constexpr int kUsbTagBase = 1000;

// One radio item of the link menu (MIInterfaceSelect).
struct LinkMenuEntry {
    QString caption; // "USB1", "ttyS0", "/tmp/vmx-sim" (COMn on Windows)
    int tag = 0;     // COM: 1..999, USB n: 1000 + n
    bool checked = false;
    QString description; // USB: driver description; COM: the port's description
    QString serial;      // USB: serial number (selects the adapter kind)
    bool usb() const { return tag > kUsbTagBase; }
};

struct LinkOptions {
    // Out of line: the simulated converters' type is complete only behind the driver.
    LinkOptions();
    ~LinkOptions();
    LinkOptions(const LinkOptions&);
    LinkOptions(LinkOptions&&) noexcept;
    LinkOptions& operator=(const LinkOptions&);
    LinkOptions& operator=(LinkOptions&&) noexcept;

    // List the operating system's serial ports (QSerialPortInfo) and real FTDI converters.
    bool systemPorts = true;
    bool realUsb = true;
    // Device paths listed as serial links after the system ports (--port PATH).
    QStringList extraPorts;
    // Add the simulated bench as USB converters (--simulate[=PROFILE]); see sim/Profile.h.
    std::optional<QString> simulate;
    // Tests: these simulated converters instead of (or with) the profile's (include
    // link/SimUsbDriver.h to fill them).
    std::vector<sim::ConverterSpec> simConverters;
    // The simulated bench asks for the virtual clock (--simulate=virtual,…).
    bool VirtualClock() const;
};

// The captions of the routing action ALSwitchRTS.
inline constexpr const char* kRtsSensorCaption = "PC <-> QVR";
inline constexpr const char* kRtsModuleCaption = "PC <-> TK";

class Link final : public ByteLink {
public:
    // What the link tells the rest of the program; the station implements it.
    class Events {
    public:
        virtual ~Events() = default;
        // The menu's entries or check marks changed.
        virtual void LinkMenuChanged() = 0;
        // ALSwitchRTS changed its caption and check.
        virtual void RtsChanged(const QString& caption, bool checked) = 0;
        // A read or write found no port: the acquisition is to stop.
        virtual void PortMissing() = 0;
        virtual void StartStopEnabled(bool startEnabled, bool stopEnabled) = 0;
        // Each byte-level operation as it is made ('p' purge, 'w' write of n bytes, 'r' read
        // of n bytes asked, 's' the n ms settling of an RTS switch): benches replay the
        // sequence against the line's own timing.
        virtual void LinkIo(char op, int n) = 0;
    };

    static constexpr int kBufferSize = proto::kBufferSize;
    // The input queue asked of a serial port: several seconds of the line (11520 bytes/s),
    // so a window busy with a dialog or a redraw loses nothing of a stream.
    static constexpr int kInQueue = 65536;
    static constexpr int kOutQueue = 1024;

    // Builds the drivers from the options (nothing is enumerated yet: call Reset_COM_USB).
    // A profile that does not parse leaves the bench out; profileError() says why.
    Link(app::Session& session, Events& events, LinkOptions options = {});
    // Tests: drivers of the test's own making (either may be null).
    Link(app::Session& session, Events& events, std::unique_ptr<SerialDriver> serial,
         std::unique_ptr<UsbDriver> usb, LinkOptions options = {});
    ~Link() override;
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // --- state -----------------------------------------------------------------------------
    const QString& PortName() const { return portName_; }
    bool HasPort() const { return portName_ != QLatin1String(kNoPort); }
    bool UsbInUse() const { return usbInUse_; }
    bool Enumerating() const { return enumerating_; }
    // A link is open (a converter or a serial port).
    bool IsOpen() const;
    // Description and serial number of the open converter (adapter kinds); empty
    // on a serial port.
    const QString& UsbDescription() const { return usbDescription_; }
    const QString& UsbSerial() const { return usbSerial_; }
    int LastIoStatus() const { return lastIoStatus_; }
    const QString& profileError() const { return profileError_; }

    // The link menu as the last enumeration built it, in menu order.
    const std::vector<LinkMenuEntry>& MenuEntries() const { return entries_; }

    // ALSwitchRTS: caption "PC <-> QVR" (checked) or "PC <-> TK" (unchecked).
    QString RtsCaption() const
    {
        return QString::fromLatin1(rtsChecked_ ? kRtsSensorCaption : kRtsModuleCaption);
    }
    bool RtsChecked() const { return rtsChecked_; }

    // --- buffers (ByteLink) ----------------------------------------------------------------
    quint8* Tx() override { return tx_.data(); }
    quint8* Rx() override { return rx_.data(); }

    // --- link operations ---------------------------------------------------------------
    void Reset_COM_USB();
    // Click on a link menu item (by its tag); ignored while enumerating.
    void NewComX(int tag);
    void ComXChanged();
    // Closes the serial port and the converter.
    void CloseAll();
    // "Reset USB": close, re-enumerate; returns whether START is to be enabled (STOP is
    // disabled either way; the events are told both).
    bool ResetLinks();
    void Purge_In() override;
    int Read_Buffer(int n) override;
    int Write_Buffer(int n) override;
    // Bytes received and waiting in the port's input queue, without waiting (0 when no link
    // is open or the driver failed). The stream modes read only whole blocks of these.
    int InQueue();
    void ForceRTS(int state) override;
    // The routing action: checked routes the line to the sensor.
    void RouteToSensor(bool on) { ForceRTS(on ? 1 : 0); }
    // "FT_SetBitMode " on the open converter; false on a serial link or error.
    bool SetBitMode(quint8 mask, quint8 mode);

    // Chooses a link by name (a menu caption, or a device path / port name that is not in the
    // menu) and opens it, as a menu click would. False when it did not open.
    bool SelectPort(const QString& name);

    FrameProtocol& protocol() { return protocol_; }
    app::Session& session() { return *session_; }

    // --- the simulated bench ----------------------------------------------------------------
    // Number of simulated converters and their benches (USB numbers after the real ones).
    size_t SimCount() const;
    sim::Bench* SimBench(size_t i);
    // The bench behind the open link, or null.
    sim::Bench* OpenSimBench();
    // The simulated operator's hands do what a production-test prompt asks of them at the
    // bench behind the open link; false when there is none or the prompt asks nothing.
    bool SimulatedHandsFollow(const QString& prompt);
    // The simulated operator readies the station for a unit: a tested unit makes room for the
    // next one from the line; false without a simulated bench.
    bool SimulatedNextUnit();
    // The unit on the simulated bench has been tested to its end.
    bool SimulatedUnitTested();

private:
    struct ComCandidate {
        QString caption;
        QString path;
        QString description;
        QString serial;
    };
    void Init();
    std::vector<ComCandidate> ComCandidates() const;
    bool IsUsbName(const QString& name) const;
    QString ComPath(const QString& name) const;
    // The D2XX wrapper: status 0 passes; else the error dialog while dialogs are on.
    int Ft(const char* name, int status);
    void NotPortOpen();
    void UpdateChecks();
    void MenuChanged();

    app::Session* session_;
    Events& events_;
    LinkOptions options_;
    std::unique_ptr<SerialDriver> serial_;
    std::unique_ptr<UsbDriver> usb_;
    SimUsbDriver* sim_ = nullptr; // owned by usb_
    QString profileError_;

    std::array<quint8, kBufferSize> tx_{};
    std::array<quint8, kBufferSize> rx_{};
    FrameProtocol protocol_;

    QString portName_ = QString::fromLatin1(kNoPort);
    bool usbInUse_ = false;
    bool enumerating_ = false;
    bool d2xxDialogs_ = true;
    int lastIoStatus_ = 0;
    int usbIndex_ = -1;
    QString usbDescription_;
    QString usbSerial_;
    std::vector<LinkMenuEntry> entries_;
    std::vector<ComCandidate> comTable_;
    bool rtsChecked_ = false;
};

} // namespace vmx::link
