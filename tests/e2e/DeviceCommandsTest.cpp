// vmxctl command … against the in-process simulated bench, as a user runs it.
#include "RunTool.h"

#include "lang/Messages.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString M(int i)
{
    return vmx::lang::Msg(i, 0);
}

ToolResult Command(QStringList args, const QString& profile = QStringLiteral("adapter,stream=polled"),
                   const QString& type = QStringLiteral("5028143"))
{
    QTemporaryDir dir;
    args.prepend(QStringLiteral("command"));
    args.prepend(type);
    args.prepend(QStringLiteral("--type"));
    args.prepend(QStringLiteral("--simulate=") + profile);
    args.prepend(dir.path());
    args.prepend(QStringLiteral("--config-dir"));
    return RunTool(QStringLiteral("vmxctl"), args);
}

} // namespace

TEST(DeviceCommandsVmxctl, LedGainAdjustAndBubbleSucceed)
{
    ToolResult r = Command({"led", "--green", "--auto"});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(M(270) + M(250))) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());

    r = Command({"gain", "auto"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(M(462) + M(250))) << r.err.toStdString();

    r = Command({"adjust", "5000"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(M(382) + M(250))) << r.err.toStdString();

    r = Command({"bubble", "--mode", "4", "--time", "20"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(M(189))) << r.err.toStdString();
}

TEST(DeviceCommandsVmxctl, ConfigRefusedModeFailsAndSendsNothing)
{
    // 6000120 lacks the capability of mode 4.
    const ToolResult r = Command({"config", "4"}, QStringLiteral("adapter,key=6000120,stream=polled"),
                                 QStringLiteral("6000120"));
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(M(427))) << r.err.toStdString();
    const ToolResult ok = Command({"config", "2"});
    EXPECT_EQ(ok.exitCode, 0) << ok.err.toStdString();
    EXPECT_TRUE(ok.err.contains(M(271) + M(250))) << ok.err.toStdString();
}

TEST(DeviceCommandsVmxctl, PowerAndChannelByAdapter)
{
    ToolResult r = Command({"power", "off"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(M(108))) << r.err.toStdString();

    r = Command({"power", "on"}, QStringLiteral("converter"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(M(118))) << r.err.toStdString();

    r = Command({"channel", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(M(375))) << r.err.toStdString();

    r = Command({"channel", "2"}, QStringLiteral("vo40,stream=polled"));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(M(376) + M(250))) << r.err.toStdString();
}

TEST(DeviceCommandsVmxctl, UsageErrors)
{
    EXPECT_EQ(Command({"config", "11"}).exitCode, 2);
    EXPECT_EQ(Command({"gain", "5"}).exitCode, 2);
    EXPECT_EQ(Command({"power", "maybe"}).exitCode, 2);
    EXPECT_EQ(Command({"channel", "3"}).exitCode, 2);
    EXPECT_EQ(Command({}).exitCode, 2);
}
