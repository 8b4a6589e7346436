// vmxctl command …: the single device commands of the monitor page.
#include "sensor/DeviceCommands.h"
#include "cli/CliContext.h"

#include <string>

namespace vmx::cli {

namespace {

struct CommandArgs {
    bool green = false, red = false, blue = false, automatic = false;
    int serialMode = 3; // the bubble test's output mode: 3 sends the sensor command
    int bubbleTime = sensor::DeviceCommands::kDefaultBubbleTestTime;
    int configMode = 0;
    int speed = sensor::DeviceCommands::kDefaultAdjustingSpeed;
    std::string gain;
    std::string power;
    int channel = 1;
    sensor::LedBits Led() const
    {
        sensor::LedBits l;
        l.green = green;
        l.red = red;
        l.blue = blue;
        l.automatic = automatic;
        return l;
    }
};

// Runs one command on the station with the link open.
int Run(CliContext& ctx, const std::function<bool(station::Station&)>& op)
{
    if (!ctx.StartLink()) return ctx.startExit;
    return op(ctx.station()) ? kExitOk : kExitFailed;
}

void LedFlags(CLI::App* sub, CommandArgs& a)
{
    sub->add_flag("--green", a.green, "LED green");
    sub->add_flag("--red", a.red, "LED red");
    sub->add_flag("--blue", a.blue, "LED blue");
    sub->add_flag("--auto", a.automatic, "LED automatic");
}

} // namespace

void AddDeviceCommands(CLI::App& app, CliContext& ctx)
{
    static CommandArgs a;
    auto* command = app.add_subcommand("command", "Single device commands of the monitor page");
    command->require_subcommand(1);

    auto* led = command->add_subcommand("led", "Set the LEDs (V1.10: through the configuration byte)");
    LedFlags(led, a);
    led->add_option("--mode", a.serialMode, "Output mode, for the V1.10 configuration byte")
        ->check(CLI::Range(0, 10));
    led->callback([&ctx] {
        ctx.run = [&ctx] {
            return Run(ctx, [](station::Station& st) { return st.SetLed(a.serialMode, a.Led()); });
        };
    });

    auto* bubble = command->add_subcommand(
        "bubble", "Bubble test (sensor command, or the test-input pulse in modes 4-7)");
    bubble->add_option("--time", a.bubbleTime, "Bubble test time 0..250")->check(CLI::Range(0, 250));
    bubble->add_option("--mode", a.serialMode, "Output mode the sensor is in (4-7: test input)")
        ->check(CLI::Range(0, 10));
    bubble->callback([&ctx] {
        ctx.run = [&ctx] {
            return Run(ctx, [](station::Station& st) {
                st.settings.bubbleTestTime = a.bubbleTime;
                return st.BubbleTest(a.serialMode);
            });
        };
    });

    auto* config = command->add_subcommand("config", "Set the output (serial) mode");
    config->add_option("MODE", a.configMode, "Mode index 0..10")->required()->check(CLI::Range(0, 10));
    LedFlags(config, a);
    config->callback([&ctx] {
        ctx.run = [&ctx] {
            return Run(ctx, [](station::Station& st) { return st.SetOutputMode(a.configMode, a.Led()); });
        };
    });

    auto* adjust = command->add_subcommand("adjust", "Temporary adjusting speed (command 0x34)");
    adjust->add_option("SPEED", a.speed, "1..65535")->required()->check(CLI::Range(1, 65535));
    adjust->callback([&ctx] {
        ctx.run = [&ctx] {
            return Run(ctx, [](station::Station& st) {
                st.settings.amplControlTime = a.speed;
                return st.AdjustTemporarily();
            });
        };
    });

    auto* gain = command->add_subcommand("gain", "Gain test: fixed gain step and test signals");
    gain->add_option("STEP", a.gain, "0..4 or auto")
        ->required()
        ->check(CLI::IsMember({"0", "1", "2", "3", "4", "auto", "255"}));
    gain->callback([&ctx] {
        ctx.run = [&ctx] {
            const int step =
                a.gain == "auto" || a.gain == "255" ? sensor::DeviceCommands::kGainAuto : std::stoi(a.gain);
            return Run(ctx, [step](station::Station& st) {
                st.settings.gainTestIndex = step;
                return st.SetGainTest();
            });
        };
    });

    auto* power = command->add_subcommand("power", "Switch the sensor power");
    power->add_option("STATE", a.power, "on or off")->required()->check(CLI::IsMember({"on", "off"}));
    power->callback([&ctx] {
        ctx.run = [&ctx] {
            return Run(ctx, [](station::Station& st) { return st.SetPower(a.power == "on"); });
        };
    });

    auto* channel =
        command->add_subcommand("channel", "Channel of a dual sensor (test module with digital port)");
    channel->add_option("N", a.channel, "1 or 2")->required()->check(CLI::IsMember({1, 2}));
    channel->callback([&ctx] {
        ctx.run = [&ctx] {
            return Run(ctx, [](station::Station& st) { return st.SelectChannel(a.channel == 1); });
        };
    });
}

} // namespace vmx::cli
