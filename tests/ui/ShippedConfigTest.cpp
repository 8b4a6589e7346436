// The MONITOR.INI the build puts into the program folder: a first start reads it without a
// configuration error, in German, in standard mode, with the simulated bench's sensor type.
#include "UiHarness.h"

#include "ui/FormWidgets.h"
#include "ui/StateForm.h"

#include "TestPaths.h"
#include <QFile>

using namespace vmx;
using namespace vmx::ui;
using namespace vmx::ui::test;

TEST(ShippedConfig, AFirstStartReadsTheProgramFoldersMonitorIni)
{
    const QString shipped = testpaths::Bin(QStringLiteral("MONITOR.INI"));
    ASSERT_TRUE(QFile::exists(shipped)) << shipped.toStdString();
    Harness h;
    ASSERT_TRUE(QFile::copy(shipped, h.dir.filePath(QStringLiteral("MONITOR.INI"))));
    h.links.simulate = QStringLiteral("stream=polled");
    TMainForm& f = h.Start();

    const QStringList log = f.StateForm()->Lines();
    const QString read = f.session().Msg(318) + QStringLiteral("MONITOR.INI");
    const QString failed = f.session().Msg(319) + QStringLiteral("MONITOR.INI");
    EXPECT_TRUE(log.contains(read)) << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(log.contains(failed));
    EXPECT_EQ(f.session().language(), 0);
    EXPECT_FALSE(f.session().mode.Service);
    EXPECT_FALSE(f.session().mode.Manufacturer);
    EXPECT_EQ(f.session().sensor.Key, 5028143);
    EXPECT_EQ(Tag(f.CheckedVersionItem()), 5028143);
    // The simulated bench's sensor is that type: identifying it asks nothing.
    h.clock.SleepMs(300);
    h.questions.clear();
    h.Act("ALGetIdent")->trigger();
    EXPECT_TRUE(h.questions.empty());
    EXPECT_EQ(f.session().sensor.Key, 5028143);
    EXPECT_NE(f.session().sensor.SerialNo, 0xFFFF);
}

TEST(ShippedConfig, WithoutTheFileTheStartSaysSo)
{
    Harness h;
    TMainForm& f = h.Start();
    EXPECT_TRUE(f.StateForm()->Lines().contains(f.session().Msg(319) + QStringLiteral("MONITOR.INI")));
}
