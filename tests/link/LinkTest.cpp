// The link on scripted drivers: enumeration and the menu, opening, the byte operations and
// the D2XX wrapper's dialogs.
#include "LinkEvents.h"
#include "LinkTestSupport.h"

#include "link/Link.h"

#include <gtest/gtest.h>

using namespace linktest;
using namespace vmx::link;
using vmx::app::AskIcon;

namespace {

struct Rig {
    Env env;
    FakeSerial* serial = nullptr;
    FakeUsb* usb = nullptr;
    vmx::test::LinkEvents events;
    std::unique_ptr<Link> link;

    Rig()
    {
        auto s = std::make_unique<FakeSerial>();
        auto u = std::make_unique<FakeUsb>();
        serial = s.get();
        usb = u.get();
        serial->clock = &env.clock;
        link = std::make_unique<Link>(env.session, events, std::move(s), std::move(u));
    }
    QStringList Captions() const
    {
        QStringList r;
        for (const LinkMenuEntry& e : link->MenuEntries())
            r << e.caption;
        return r;
    }
    QString Checked() const
    {
        for (const LinkMenuEntry& e : link->MenuEntries())
            if (e.checked) return e.caption;
        return QString();
    }
};

} // namespace

TEST(LinkPorts, TwoComPortsAndNoUsb)
{
    Rig r;
    r.serial->Add(QStringLiteral("COM7"));
    r.serial->Add(QStringLiteral("COM3"));
    r.link->Reset_COM_USB();
    EXPECT_EQ(r.Captions(), (QStringList{"COM3", "COM7"}));
    EXPECT_EQ(r.link->PortName(), QStringLiteral("COM3"));
    EXPECT_EQ(r.Checked(), QStringLiteral("COM3"));
    EXPECT_TRUE(r.link->IsOpen());
    EXPECT_FALSE(r.link->UsbInUse());
    EXPECT_EQ(r.serial->openPath, QStringLiteral("/dev/COM3"));
    EXPECT_EQ(r.env.host.panel[0], QStringLiteral("COM3"));
    // The fixed time-outs of the COM branch.
    EXPECT_EQ(r.serial->timeouts.readIntervalMs, 1000);
    EXPECT_EQ(r.serial->timeouts.readTotalMultiplierMs, 1500);
    EXPECT_EQ(r.serial->timeouts.readTotalConstantMs, 1000);
    EXPECT_EQ(r.serial->timeouts.writeTotalMultiplierMs, 1500);
    EXPECT_EQ(r.serial->timeouts.writeTotalConstantMs, 1000);
    EXPECT_TRUE(r.env.host.questions.empty());
}

TEST(LinkPorts, LinuxNamesSortNaturally)
{
    Rig r;
    for (const char* n : {"ttyUSB0", "ttyS10", "ttyS2", "ttyS0"})
        r.serial->Add(QString::fromLatin1(n));
    r.link->Reset_COM_USB();
    EXPECT_EQ(r.Captions(), (QStringList{"ttyS0", "ttyS2", "ttyS10", "ttyUSB0"}));
    // ttyUSB0 is a serial port, not a converter.
    r.link->SelectPort(QStringLiteral("ttyUSB0"));
    EXPECT_EQ(r.serial->openPath, QStringLiteral("/dev/ttyUSB0"));
}

TEST(LinkPorts, OneConverterAndCom1)
{
    Rig r;
    r.serial->Add(QStringLiteral("COM1"));
    r.usb->devs.push_back({QStringLiteral("USB Serial"), QStringLiteral("FT123")});
    r.link->Reset_COM_USB();
    EXPECT_EQ(r.Captions(), (QStringList{"USB1", "COM1"}));
    EXPECT_EQ(r.link->MenuEntries()[0].tag, 1001);
    EXPECT_EQ(r.link->MenuEntries()[1].tag, 1);
    EXPECT_EQ(r.link->PortName(), QStringLiteral("USB1"));
    EXPECT_TRUE(r.link->UsbInUse());
    EXPECT_EQ(r.env.host.panel[0], QStringLiteral("USB1: USB Serial / SN: FT123"));
    EXPECT_EQ(r.link->UsbSerial(), QStringLiteral("FT123"));
    // Line settings in the documented order, RTS cleared last.
    const std::vector<std::string> tail(r.usb->calls.end() - 7, r.usb->calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"open 0", "baud 115200", "data 8 0 0", "flow 0 17 19",
                                              "timeouts 1000 1000", "dtr 0", "rts 0"}));
    // A close error during the listing is swallowed: no dialog at all.
    EXPECT_TRUE(r.env.host.questions.empty());
}

TEST(LinkPorts, ConvertersComeFirstInTheirListOrder)
{
    Rig r;
    r.serial->Add(QStringLiteral("COM2"));
    r.usb->devs.push_back({QStringLiteral("A"), QStringLiteral("1")});
    r.usb->devs.push_back({QStringLiteral("B"), QStringLiteral("2"), false}); // listed, cannot be opened
    r.usb->devs.push_back({QStringLiteral("C"), QStringLiteral("3")});
    r.link->Reset_COM_USB();
    EXPECT_EQ(r.Captions(), (QStringList{"USB1", "USB3", "COM2"}));
    EXPECT_EQ(r.link->PortName(), QStringLiteral("USB1"));
    // The failing open of the listed device shows no dialog: the dialogs are off by then.
    EXPECT_TRUE(r.env.host.questions.empty());
}

TEST(LinkPorts, NewComXChoosesAndOpens)
{
    Rig r;
    r.serial->Add(QStringLiteral("COM1"));
    r.serial->Add(QStringLiteral("COM4"));
    r.usb->devs.push_back({QStringLiteral("A"), QStringLiteral("1")});
    int changes = 0;
    r.events.menuChanged = [&] { ++changes; };
    r.link->Reset_COM_USB();
    EXPECT_GE(changes, 1);
    changes = 0;
    r.link->NewComX(2);
    EXPECT_EQ(r.link->PortName(), QStringLiteral("COM4"));
    EXPECT_EQ(r.Checked(), QStringLiteral("COM4"));
    EXPECT_FALSE(r.link->UsbInUse());
    EXPECT_EQ(r.serial->openPath, QStringLiteral("/dev/COM4"));
    EXPECT_GE(changes, 1);
    r.link->NewComX(1001);
    EXPECT_EQ(r.link->PortName(), QStringLiteral("USB1"));
    EXPECT_TRUE(r.link->UsbInUse());
    EXPECT_FALSE(r.serial->IsOpen()); // exactly one link open
}

TEST(LinkPorts, MenuClicksDuringEnumerationAreIgnored)
{
    Rig r;
    r.serial->Add(QStringLiteral("COM1"));
    r.serial->Add(QStringLiteral("COM4"));
    bool sawEnumerating = false;
    r.events.menuChanged = [&] {
        if (r.link->Enumerating()) {
            sawEnumerating = true;
            r.link->NewComX(2);
        }
    };
    r.link->Reset_COM_USB();
    EXPECT_TRUE(sawEnumerating);
    EXPECT_EQ(r.link->PortName(), QStringLiteral("COM1"));
}

TEST(LinkPorts, UsbNameThatIsNoNumber)
{
    Rig r;
    r.usb->devs.push_back({QStringLiteral("A"), QStringLiteral("1")});
    r.link->Reset_COM_USB();
    r.env.host.panel0Log.clear();
    r.link->SelectPort(QStringLiteral("USBx"));
    EXPECT_FALSE(r.link->IsOpen());
    EXPECT_EQ(r.env.host.panel[0], r.env.session.Msg(252) + QStringLiteral(": USBx"));
    EXPECT_EQ(r.usb->open, -1);
}

TEST(LinkPorts, ComOpenFailureAndClosedPort)
{
    Rig r;
    r.serial->Add(QStringLiteral("COM5"));
    r.link->Reset_COM_USB();
    r.serial->openable.clear();
    r.link->ComXChanged();
    EXPECT_FALSE(r.link->IsOpen());
    EXPECT_EQ(r.env.host.panel[0], r.env.session.Msg(253) + QStringLiteral(": COM5"));
    int stops = 0;
    r.events.portMissing = [&] { ++stops; };
    EXPECT_EQ(r.link->Write_Buffer(5), 0);
    EXPECT_EQ(r.link->Read_Buffer(5), 0);
    EXPECT_EQ(stops, 2);
    EXPECT_EQ(r.env.host.panel[0], r.env.session.Msg(253) + QStringLiteral(": COM5"));
}

TEST(LinkPorts, ReadOnComIsSplitAfterTheFirstByte)
{
    Rig r;
    r.serial->Add(QStringLiteral("COM1"));
    r.link->Reset_COM_USB();
    r.serial->input = QByteArray::fromHex("112233");
    EXPECT_EQ(r.link->Read_Buffer(1), 1);
    EXPECT_EQ(r.link->Rx()[0], 0x11);
    EXPECT_EQ(r.link->Read_Buffer(5), 2);
    EXPECT_EQ(r.link->Rx()[1], 0x33);
    // Nothing there: 0, after the one-byte total time-out of 2.5 s.
    const qint64 t0 = r.env.clock.NowMs();
    EXPECT_EQ(r.link->Read_Buffer(4), 0);
    EXPECT_EQ(r.env.clock.NowMs() - t0, 2500);
    r.serial->input = QByteArray::fromHex("aabbcc");
    EXPECT_EQ(r.link->Read_Buffer(1), 1);
}

TEST(LinkPorts, WriteSendsFromTheTransmitBuffer)
{
    Rig r;
    r.serial->Add(QStringLiteral("COM1"));
    r.link->Reset_COM_USB();
    r.link->Tx()[0] = 0xF1;
    r.link->Tx()[1] = 0x02;
    EXPECT_EQ(r.link->Write_Buffer(2), 2);
    EXPECT_EQ(r.serial->written, QByteArray::fromHex("f102"));
}

TEST(LinkPorts, PurgeWaitsFiveMilliseconds)
{
    Rig r;
    r.usb->devs.push_back({QStringLiteral("A"), QStringLiteral("1")});
    r.link->Reset_COM_USB();
    const qint64 t0 = r.env.clock.NowUs();
    r.link->Purge_In();
    EXPECT_EQ(r.env.clock.NowUs() - t0, 5000);
    EXPECT_EQ(r.usb->calls.back(), "purge 1");
}

TEST(LinkPorts, ResetUsbWithNothingAttached)
{
    Rig r;
    bool start = true, stop = true;
    r.events.startStop = [&](bool a, bool b) {
        start = a;
        stop = b;
    };
    EXPECT_FALSE(r.link->ResetLinks());
    EXPECT_FALSE(start);
    EXPECT_FALSE(stop);
    EXPECT_EQ(r.link->PortName(), QStringLiteral("nix"));
    ASSERT_EQ(r.env.host.questions.size(), 1u);
    EXPECT_EQ(r.env.host.questions[0].Icon, AskIcon::Warning);
    EXPECT_EQ(r.env.host.questions[0].Text, r.env.session.Msg(251));
    EXPECT_TRUE(r.Captions().isEmpty());
}

TEST(LinkPorts, ResetUsbClosesAndFindsAgain)
{
    Rig r;
    r.usb->devs.push_back({QStringLiteral("A"), QStringLiteral("1")});
    r.link->Reset_COM_USB();
    ASSERT_TRUE(r.link->UsbInUse());
    r.usb->calls.clear();
    EXPECT_TRUE(r.link->ResetLinks());
    EXPECT_EQ(r.usb->calls.front(), "close");
    EXPECT_TRUE(r.link->UsbInUse());
}

TEST(LinkPorts, D2xxDialogsOnlyBeforeTheFirstEnumeration)
{
    Rig r;
    r.usb->devs.push_back({QStringLiteral("A"), QStringLiteral("1")});
    r.usb->failing = vmx::link::ft::IoError;
    r.link->SelectPort(QStringLiteral("USB1"));
    // Before the first listing every failing call shows its dialog.
    ASSERT_FALSE(r.env.host.questions.empty());
    EXPECT_EQ(r.env.host.questions[0].Icon, AskIcon::Error);
    EXPECT_EQ(r.env.host.questions[0].Text, QStringLiteral("FT_SetBaudRate - General IO Error..."));
    r.env.host.questions.clear();
    r.link->Reset_COM_USB();
    ASSERT_TRUE(r.link->UsbInUse());
    r.link->ForceRTS(1);
    r.usb->input = QByteArray::fromHex("112233");
    EXPECT_EQ(r.link->Read_Buffer(3), 0); // a driver status other than 0 reads nothing
    EXPECT_EQ(r.link->LastIoStatus(), vmx::link::ft::IoError);
    EXPECT_TRUE(r.env.host.questions.empty());
    // A failing count lists no converter, silently; only "no interface" is asked.
    r.usb->countStatus = vmx::link::ft::InsufficientResources;
    r.link->Reset_COM_USB();
    ASSERT_EQ(r.env.host.questions.size(), 1u);
    EXPECT_EQ(r.env.host.questions[0].Icon, AskIcon::Warning);
    EXPECT_EQ(FtStatusText(2), QStringLiteral(" - Device Not Found...."));
    EXPECT_EQ(FtStatusText(6), QStringLiteral(" - Invalid Parameter ..."));
}

TEST(LinkPorts, ForceRtsCaptionsAndCallbacks)
{
    Rig r;
    r.usb->devs.push_back({QStringLiteral("A"), QStringLiteral("VMXS9002")});
    r.link->Reset_COM_USB();
    std::vector<std::pair<QString, bool>> seen;
    r.events.rtsChanged = [&](const QString& c, bool on) { seen.emplace_back(c, on); };
    EXPECT_EQ(r.link->RtsCaption(), QStringLiteral("PC <-> TK"));
    const qint64 t0 = r.env.clock.NowUs();
    r.link->RouteToSensor(true);
    EXPECT_EQ(r.env.clock.NowUs() - t0, 5000);
    EXPECT_EQ(r.usb->calls.back(), "rts 1");
    EXPECT_TRUE(r.link->RtsChecked());
    EXPECT_EQ(r.link->RtsCaption(), QStringLiteral("PC <-> QVR"));
    r.link->ForceRTS(0);
    EXPECT_EQ(r.usb->calls.back(), "rts 0");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_pair(QStringLiteral("PC <-> QVR"), true));
    EXPECT_EQ(seen[1], std::make_pair(QStringLiteral("PC <-> TK"), false));
}

TEST(LinkPorts, RtsOnAComLinkOnlyChangesTheCaption)
{
    Rig r;
    r.serial->Add(QStringLiteral("COM1"));
    r.link->Reset_COM_USB();
    r.link->ForceRTS(1);
    EXPECT_EQ(r.link->RtsCaption(), QStringLiteral("PC <-> QVR"));
    EXPECT_TRUE(r.env.host.questions.empty());
}

TEST(LinkPorts, ExtraDevicePathsFollowTheSystemPorts)
{
    Env env;
    auto s = std::make_unique<FakeSerial>();
    FakeSerial* serial = s.get();
    serial->Add(QStringLiteral("ttyS0"));
    serial->openable.insert(QStringLiteral("/tmp/pty-a"));
    LinkOptions o;
    o.extraPorts << QStringLiteral("/tmp/pty-a") << QStringLiteral("/tmp/missing");
    vmx::test::LinkEvents events;
    Link link(env.session, events, std::move(s), nullptr, o);
    link.Reset_COM_USB();
    ASSERT_EQ(link.MenuEntries().size(), 2u);
    EXPECT_EQ(link.MenuEntries()[1].caption, QStringLiteral("/tmp/pty-a"));
    EXPECT_TRUE(link.SelectPort(QStringLiteral("/tmp/pty-a")));
    EXPECT_EQ(serial->openPath, QStringLiteral("/tmp/pty-a"));
    EXPECT_FALSE(link.SelectPort(QStringLiteral("/tmp/missing")));
    EXPECT_EQ(env.host.panel[0], env.session.Msg(253) + QStringLiteral(": /tmp/missing"));
}

TEST(LinkPorts, RealDriversListWithoutDialogs)
{
    // libftdi1 on a machine without converters (or without USB): nothing listed, no dialog.
    Env env;
    LinkOptions o;
    o.systemPorts = false;
    vmx::test::LinkEvents events;
    Link link(env.session, events, o);
    link.Reset_COM_USB();
    EXPECT_TRUE(link.MenuEntries().empty());
    ASSERT_EQ(env.host.questions.size(), 1u);
    EXPECT_EQ(env.host.questions[0].Text, env.session.Msg(251));
}
