// Identification and calibration against the simulated sensor of each generation, and the
// texts and edit rules of the identification page.
#include "SensorRig.h"

#include "boot/BootLoader.h"
#include "proto/Protocol.h"

using namespace vmx;
using namespace vmx::sensor;
using vmx::sim::Unit;

namespace {
constexpr int kRow143 = 8;   // 5028143, ident block at 128
constexpr int kRow130 = 3;   // 5011130, no ident block, V1.20 configuration guess
constexpr int kRow0530 = 9;  // 5030200
constexpr int kRowCal = 10;  // 5030201, calibration at 144
constexpr int kRowV110 = 33; // 6000110
} // namespace

TEST(Identification, CurrentKeyTakesTheFieldsWithoutAQuestion)
{
    SensorRig r(kRow143, QStringLiteral("stream=long,key=5028143,serial=4321,year=14,model=1,hw=14"));
    const int& modeIndex = r.modeIndex;
    ASSERT_TRUE(r.ident->Identify()) << r.Last().toStdString();
    EXPECT_EQ(modeIndex, 3);
    EXPECT_TRUE(r.env.host.questions.empty());
    EXPECT_EQ(r.st().SerialNo, 4321);
    EXPECT_EQ(r.st().Year, 14);
    EXPECT_EQ(r.st().ModelIndex, 1);
    EXPECT_EQ(r.st().Hardware, 14);
    EXPECT_TRUE(r.Logged(lang::FormatMsg(r.Msg(kMsgIdentType), 5, 28, 1, 43)));
    EXPECT_EQ(r.refreshes, 1);
    EXPECT_EQ(r.ident->SerialText(), QStringLiteral("04321"));
    EXPECT_EQ(r.ident->IdentGridColumn(QStringLiteral("Model V1.0"))[4], QStringLiteral("2014 / 04321"));
    EXPECT_EQ(r.ident->IdentGridColumn(QString())[3], QStringLiteral("Board QVR05_18"));
}

TEST(Identification, WrongGenerationGuessIsCorrectedAndTheTypeApplied)
{
    // The current type is a V1.3x (guess: V1.20 command), the sensor a V1.40 that streams.
    SensorRig r(kRow130, QStringLiteral("stream=long,key=5063140,serial=77"));
    r.env.host.answers.push_back(app::AskResult::Ok);
    ASSERT_TRUE(r.ident->GetIdent()) << r.Last().toStdString();
    ASSERT_EQ(r.env.host.questions.size(), 1u);
    EXPECT_EQ(r.env.host.questions[0].Text, r.Msg(kMsgAskApplyType));
    EXPECT_EQ(r.st().Key, 5063140);
    EXPECT_EQ(r.st().SerialNo, 77);
    EXPECT_EQ(r.Last(), QStringLiteral("Sensor: QVR05.63, Version: V1.40"));
    // Both configuration commands went out, the V1.20 one refused by the sensor.
    EXPECT_EQ(r.In(proto::cmd::SetSerialMode, Unit::Sensor), 1);
}

TEST(Identification, UnknownKeyOrCancelKeepsTheType)
{
    SensorRig r(kRow143, QStringLiteral("stream=polled,key=5099143"));
    r.env.host.answers.push_back(app::AskResult::Ok);
    ASSERT_TRUE(r.ident->GetIdent());
    EXPECT_EQ(r.Last(), lang::FormatMsg(r.Msg(kMsgUnknownType), 5, 99, 1, 43));
    EXPECT_EQ(r.st().Row, kRow143);
    EXPECT_EQ(r.st().SerialNo, 0xFFFF);

    SensorRig c(kRow143, QStringLiteral("stream=polled,key=5063143"));
    c.env.host.answers.push_back(app::AskResult::Cancel);
    ASSERT_TRUE(c.ident->GetIdent());
    EXPECT_EQ(c.st().Row, kRow143);
    EXPECT_EQ(c.refreshes, 0); // Cancel: no page update
}

TEST(Identification, QVR0530AndV110)
{
    SensorRig r(kRow0530, QStringLiteral("stream=polled,key=5030200,serial=900,year=15"));
    ASSERT_TRUE(r.ident->Identify()) << r.Last().toStdString();
    EXPECT_EQ(r.st().SerialNo, 900);
    EXPECT_EQ(r.st().Year, 15);
    EXPECT_EQ(r.ident->IdentGridColumn(QString())[4], QStringLiteral("2015 / 9xx00900"));
    EXPECT_EQ(r.ident->SerialHint(), r.Msg(392));

    SensorRig v(kRowV110, QStringLiteral("stream=none,key=6000110"));
    v.env.host.answers.push_back(app::AskResult::Ok);
    ASSERT_TRUE(v.ident->Identify()) << v.Last().toStdString();
    EXPECT_EQ(v.st().Row, 1);
    EXPECT_EQ(v.Last(), QStringLiteral("Sensor: QVRxx.xx, Version: V1.3x"));
}

TEST(Identification, SilentSensorSaysError)
{
    SensorRig r(kRow143, QStringLiteral("stream=polled,key=5028143"));
    r.sensor().faults.mute = true;
    const bool& shown = r.identShown;
    EXPECT_FALSE(r.ident->Identify());
    EXPECT_EQ(r.Last(), r.Msg(kMsgGetIdent) + r.Msg(280));
    EXPECT_TRUE(shown);
}

TEST(Identification, SerialNumberIsWrittenOnlyOntoClearedBytes)
{
    SensorRig r(kRow143, QStringLiteral("stream=polled,key=5028143,serial=1234"));
    r.st().ModelIndex = 2;
    r.st().Year = 16;
    r.st().SerialNo = 0x4321;
    // The factory data are still there: programming cannot set bits back, verify fails.
    EXPECT_FALSE(r.ident->WriteSerialNumber());
    EXPECT_EQ(r.Last(), r.Msg(kMsgSetIdSN) + r.Msg(280));
    r.Pause();
    r.Pause();
    ASSERT_TRUE(r.ident->ClearSerialNumber()) << r.Last().toStdString();
    EXPECT_EQ(r.Last(), r.Msg(kMsgClearIdent) + r.Msg(250));
    for (int i = 140; i < 144; ++i)
        EXPECT_EQ(r.flash()[size_t(i)], 0xFF);
    EXPECT_EQ(r.flash()[128], 20); // the rest of the page survives
    r.Pause();
    ASSERT_TRUE(r.ident->WriteSerialNumber()) << r.Last().toStdString();
    EXPECT_EQ(r.flash()[140], 2);
    EXPECT_EQ(r.flash()[141], 16);
    EXPECT_EQ(r.flash()[142], 0x21);
    EXPECT_EQ(r.flash()[143], 0x43);
    r.Pause();
    r.st().SerialNo = 0xFFFF;
    ASSERT_TRUE(r.ident->GetIdent());
    EXPECT_EQ(r.st().SerialNo, 0x4321);
}

TEST(Identification, CalibrationWrittenWithChecksumReadAndCleared)
{
    SensorRig r(kRowCal, QStringLiteral("stream=polled,key=5030201"));
    r.ident->SetCalFromGrid({{{"2,5", "100"},
                              {"12", "300"},
                              {"", ""},
                              {"1.0", "x"},
                              {"0", "0"},
                              {"3", "40"},
                              {"4", "50"},
                              {"6", "7"}}});
    auto& cal = r.st().Cal;
    EXPECT_EQ(cal[0], 25);
    EXPECT_EQ(cal[1], 100);
    EXPECT_EQ(cal[2], 100);
    EXPECT_EQ(cal[3], 240);
    EXPECT_EQ(cal[4], 0xFF);
    EXPECT_EQ(cal[5], 0xFF);
    EXPECT_EQ(cal[7], 0xFF);
    const auto grid = r.ident->CalGrid();
    EXPECT_EQ(grid[1][1], QStringLiteral("2.5"));
    EXPECT_EQ(grid[3][1], QStringLiteral("---"));
    EXPECT_EQ(grid[3][2], QStringLiteral("---"));
    ASSERT_TRUE(r.ident->WriteCalibration()) << r.Last().toStdString();
    EXPECT_EQ(r.Last(), r.Msg(kMsgWriteCal) + r.Msg(250));
    EXPECT_EQ(r.flash()[144], 25);
    EXPECT_EQ(r.flash()[159], proto::Crc6(cal[0], cal.data() + 1, 14));
    const auto written = cal;
    cal.fill(0);
    r.Pause();
    ASSERT_TRUE(r.ident->ReadCalibration()) << r.Last().toStdString();
    EXPECT_EQ(cal, written);
    r.Pause();
    ASSERT_TRUE(r.ident->ClearCalibration()) << r.Last().toStdString();
    for (int i = 144; i < 160; ++i)
        EXPECT_EQ(r.flash()[size_t(i)], 0xFF);
}

TEST(Identification, TypeWithoutBlocksFailsWithoutTraffic)
{
    SensorRig r(kRow130, QStringLiteral("stream=polled,key=5011130"));
    const size_t before = r.TraceSize();
    EXPECT_FALSE(r.ident->WriteSerialNumber());
    EXPECT_EQ(r.Last(), r.Msg(kMsgSetIdSN) + r.Msg(280));
    EXPECT_FALSE(r.ident->ClearSerialNumber());
    EXPECT_EQ(r.Last(), r.Msg(kMsgClearIdent) + r.Msg(280));
    EXPECT_FALSE(r.ident->WriteCalibration());
    EXPECT_FALSE(r.ident->ClearCalibration());
    EXPECT_EQ(r.TraceSize(), before);
}

TEST(IdentificationTexts, EditRules)
{
    EXPECT_EQ(Identification::ParseYear(QStringLiteral("5"), 20), 11);
    EXPECT_EQ(Identification::ParseYear(QStringLiteral("123"), 20), 99);
    EXPECT_EQ(Identification::ParseYear(QStringLiteral("zz"), 20), 20);
    EXPECT_EQ(Identification::ParseSerial(QStringLiteral("70000"), 1), 65535);
    EXPECT_EQ(Identification::ParseSerial(QStringLiteral(""), 7), 7);
    EXPECT_EQ(Identification::ParseCalSize(QStringLiteral("2,5")), 25);
    EXPECT_EQ(Identification::ParseCalSize(QStringLiteral("12")), 100);
    EXPECT_EQ(Identification::ParseCalSize(QStringLiteral("")), 0xFF);
    EXPECT_EQ(Identification::ParseCalSize(QStringLiteral("-1")), 0);
    EXPECT_EQ(Identification::ParseCalValue(QStringLiteral("241")), 240);
    EXPECT_EQ(Identification::BoardName(6), QStringLiteral("Board QVR05.30 V2.00"));
    EXPECT_EQ(Identification::BoardName(7), QStringLiteral("?????"));
}

TEST(IdentificationTexts, ModelListsAndIndex)
{
    app::CurrentSensorType st;
    app::CopyValidSensorType(st, 51); // WSK02.22: the three-entry list 470
    EXPECT_EQ(Identification::ModelListMessage(st), 470);
    app::CopyValidSensorType(st, 9);
    EXPECT_EQ(Identification::ModelListMessage(st), 409);
    app::CopyValidSensorType(st, 8); // 5/28: type 5 first, then its own list wins
    EXPECT_EQ(Identification::ModelListMessage(st), 485);
    app::CopyValidSensorType(st, 3); // neither bit 12 nor 13
    EXPECT_EQ(Identification::ModelListMessage(st), -1);

    SensorRig r(51, QStringLiteral("stream=polled,key=2022143"));
    EXPECT_EQ(r.ident->ModelList().size(), 3);
    r.st().ModelIndex = 5;
    EXPECT_EQ(r.ident->NormalizedModelIndex(), 0);
    EXPECT_EQ(r.st().ModelIndex, 0);
    EXPECT_EQ(r.ident->YearText(), QStringLiteral("??"));
    EXPECT_EQ(r.ident->SerialText(), QStringLiteral("????"));
    EXPECT_EQ(r.ident->SerialHint(), r.Msg(377));
}
