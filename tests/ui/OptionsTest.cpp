// The command line of vmx-monitor.
#include "app/Session.h"
#include "ui/MonitorOptions.h"

#include <gtest/gtest.h>

using namespace vmx::ui;

namespace {
OptionsOutcome Parse(std::vector<std::string> args, MonitorOptions& o, bool foreign = false)
{
    return ParseMonitorOptions(args, o, foreign);
}
} // namespace

TEST(MonitorOptions, EveryOptionIsTaken)
{
    MonitorOptions o;
    const OptionsOutcome r = Parse(
        {"--config-dir", "/tmp/station", "--lang", "en", "--simulate=bench2", "--port", "/dev/pts/7"}, o);
    ASSERT_EQ(r.kind, OptionsOutcome::Run);
    EXPECT_EQ(o.configDir, QStringLiteral("/tmp/station"));
    EXPECT_EQ(o.language, 1);
    ASSERT_TRUE(o.simulate.has_value());
    EXPECT_EQ(*o.simulate, QStringLiteral("bench2"));
    EXPECT_EQ(o.port, QStringLiteral("/dev/pts/7"));
}

TEST(MonitorOptions, DefaultsAndTheBareSimulateFlag)
{
    MonitorOptions o;
    ASSERT_EQ(Parse({}, o).kind, OptionsOutcome::Run);
    EXPECT_TRUE(o.configDir.isEmpty());
    EXPECT_EQ(o.language, -1);
    EXPECT_FALSE(o.simulate.has_value());
    MonitorOptions s;
    ASSERT_EQ(Parse({"--simulate", "--lang=de"}, s).kind, OptionsOutcome::Run);
    ASSERT_TRUE(s.simulate.has_value());
    EXPECT_TRUE(s.simulate->isEmpty());
    EXPECT_EQ(s.language, 0);
}

TEST(MonitorOptions, HelpVersionAndUsageErrors)
{
    MonitorOptions o;
    OptionsOutcome help = Parse({"--help"}, o);
    EXPECT_EQ(help.kind, OptionsOutcome::Exit);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.text.find("--config-dir"), std::string::npos);
    EXPECT_NE(help.text.find("--simulate"), std::string::npos);
    OptionsOutcome version = Parse({"--version"}, o);
    EXPECT_EQ(version.kind, OptionsOutcome::Exit);
    EXPECT_NE(version.text.find(vmx::app::kVersionText), std::string::npos);
    OptionsOutcome bad = Parse({"--lang", "fr"}, o);
    EXPECT_EQ(bad.kind, OptionsOutcome::UsageError);
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(Parse({"--colour"}, o).kind, OptionsOutcome::UsageError);
    EXPECT_EQ(Parse({"--port"}, o).kind, OptionsOutcome::UsageError);
    // Options for the toolkit pass the first round and only that one.
    EXPECT_EQ(Parse({"-platform", "offscreen", "--lang", "en"}, o, true).kind, OptionsOutcome::Run);
    EXPECT_EQ(o.language, 1);
    EXPECT_EQ(Parse({"-platform", "offscreen"}, o, false).kind, OptionsOutcome::UsageError);
}
