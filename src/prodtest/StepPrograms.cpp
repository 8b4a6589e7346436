#include "prodtest/StepPrograms.h"

namespace vmx::prodtest {

namespace {

StepArg I(int v)
{
    return StepArg{StepArg::Kind::Int, v, nullptr};
}
StepArg H(int v)
{
    return StepArg{StepArg::Kind::Hex, v, nullptr};
}
StepArg T(const char* text)
{
    return StepArg{StepArg::Kind::Text, 0, text};
}
StepArg F(const char* field)
{
    return StepArg{StepArg::Kind::Field, 0, field};
}
StepDef S(int step, const char* routine, std::vector<StepArg> args = {})
{
    return StepDef{step, routine, std::move(args)};
}
// A listed empty step: it runs nothing and the run goes on at once.
StepDef Empty(int step)
{
    return StepDef{step, nullptr, {}};
}

std::vector<StepProgram> Build()
{
    std::vector<StepProgram> p;
    p.push_back(StepProgram{0,
                            19,
                            {
                                S(0, "Start_EnableSN"),
                                S(1, "CheckTK33Ident", {I(1), I(64)}),
                                S(2, "SwitchPowerQVR_ON"),
                                S(3, "BootRestart"),
                                S(4, "CheckFirmware", {I(1)}),
                                S(5, "SetParameters", {I(1)}),
                                S(6, "ControlWait", {T("Start Messung ..."), I(0)}),
                                S(7, "PrepareWithout"),
                                S(8, "GetWithout"),
                                S(9, "CheckSwitchingOutput", {I(1), I(2)}),
                                S(10, "CommandFull"),
                                S(11, "PrepareFull"),
                                S(12, "GetFull"),
                                S(13, "CheckSwitchingOutput", {I(0), I(2)}),
                                S(14, "CommentResult"),
                            }});
    p.push_back(StepProgram{1,
                            100,
                            {
                                S(0, "Start_EnableSN"),
                                S(1, "GetSN"),
                                S(2, "CheckTK33Ident", {I(1), I(64)}),
                                S(3, "SwitchPowerQVR_ON"),
                                S(4, "BootRestart"),
                                S(5, "CheckFirmware", {I(1)}),
                                S(6, "SetParameters", {I(1)}),
                                S(7, "ControlWait", {T("Start Messung ..."), I(0)}),
                                S(8, "PrepareWithout"),
                                S(9, "GetWithout"),
                                S(10, "CommandEmpty"),
                                S(11, "PrepareEmpty"),
                                S(12, "GetEmpty"),
                                S(13, "CheckSwitchingOutput", {I(1), I(2)}),
                                S(14, "CommandFull"),
                                S(15, "PrepareFull"),
                                S(16, "GetFull"),
                                S(17, "CheckSwitchingOutput", {I(0), I(2)}),
                                S(18, "SetParameters", {I(2)}),
                                S(19, "CommentResult"),
                                S(20, "SubmitResult"),
                                S(21, "WriteResult"),
                                S(22, "NextSN"),
                            }});
    p.push_back(StepProgram{2,
                            19,
                            {
                                S(0, "Start_EnableSN"),
                                S(1, "CheckTK33Ident", {I(1), I(64)}),
                                S(2, "SwitchPowerQVR_ON"),
                                S(3, "BootRestart"),
                                S(4, "CheckFirmware", {I(1)}),
                                S(5, "SetParameters", {I(1)}),
                                S(6, "ControlWait", {T("Start Messung ..."), I(0)}),
                                S(7, "PrepareWithout"),
                                S(8, "GetWithout"),
                                S(9, "CheckSwitchingOutput", {I(1), I(0)}),
                                S(10, "CommandFull"),
                                S(11, "PrepareFull"),
                                S(12, "GetFull"),
                                S(13, "CheckSwitchingOutput", {I(0), I(0)}),
                                S(14, "CommentResult"),
                            }});
    p.push_back(StepProgram{3,
                            100,
                            {
                                S(0, "Start_EnableSN"),
                                S(1, "GetSN"),
                                S(2, "CheckTK33Ident", {I(1), I(64)}),
                                S(3, "SwitchPowerQVR_ON"),
                                S(4, "BootRestart"),
                                S(5, "CheckFirmware", {I(1)}),
                                S(6, "SetParameters", {I(1)}),
                                S(7, "SetIdentVar", {I(1)}),
                                S(8, "ControlWait", {T("Start Messung ..."), I(0)}),
                                S(9, "PrepareWithout"),
                                S(10, "GetWithout"),
                                S(11, "CommandEmpty"),
                                S(12, "PrepareEmpty"),
                                S(13, "GetEmpty"),
                                S(14, "CheckSwitchingOutput", {I(1), I(0)}),
                                S(15, "CommandFull"),
                                S(16, "PrepareFull"),
                                S(17, "GetFull"),
                                S(18, "CheckSwitchingOutput", {I(0), I(0)}),
                                S(19, "SetParameters", {I(2)}),
                                S(20, "CommentResult"),
                                S(21, "SubmitResult"),
                                S(22, "WriteResult"),
                                S(23, "NextSN"),
                            }});
    p.push_back(StepProgram{4,
                            19,
                            {
                                S(0, "Start_EnableSN"),
                                S(1, "CheckTK33Ident", {I(1), I(5)}),
                                S(2, "SwitchPowerQVR_ON"),
                                S(3, "BootRestart"),
                                S(4, "CheckFirmware", {I(1)}),
                                S(5, "SetParameters", {I(1)}),
                                S(6, "ControlWait", {T("Start Messung ..."), I(0)}),
                                S(7, "CommandAmplMeas", {I(1)}),
                                S(8, "PrepareAmplMeas", {I(1)}),
                                S(9, "GetAmplMeas", {I(1)}),
                                S(10, "CheckSwitchingOut", {I(1), I(2), I(0)}),
                                S(11, "CommandAmplMeas", {I(2)}),
                                S(12, "PrepareAmplMeas", {I(2)}),
                                S(13, "GetAmplMeas", {I(2)}),
                                S(14, "CheckSwitchingOut", {I(2), I(2), I(0)}),
                                S(15, "CommentResult"),
                            }});
    p.push_back(StepProgram{5,
                            100,
                            {
                                S(0, "Start_EnableSN"),
                                S(1, "GetSN"),
                                S(2, "CheckTK33Ident", {I(1), I(5)}),
                                S(3, "SwitchPowerQVR_ON"),
                                S(4, "BootRestart"),
                                S(5, "CheckFirmware", {I(1)}),
                                S(6, "SetParameters", {I(1)}),
                                S(7, "SetIdentVar", {I(1)}),
                                S(8, "ControlWait", {T("Start Messung ..."), I(0)}),
                                S(9, "CommandAmplMeas", {I(1)}),
                                S(10, "PrepareAmplMeas", {I(1)}),
                                S(11, "GetAmplMeas", {I(1)}),
                                S(12, "CheckSwitchingOut", {I(1), I(2), I(0)}),
                                S(13, "CommandAmplMeas", {I(2)}),
                                S(14, "PrepareAmplMeas", {I(2)}),
                                S(15, "GetAmplMeas", {I(2)}),
                                S(16, "CheckSwitchingOut", {I(2), I(2), I(0)}),
                                S(17, "CommandAmplMeas", {I(3)}),
                                S(18, "PrepareAmplMeas", {I(3)}),
                                S(19, "GetAmplMeas", {I(3)}),
                                S(20, "CheckSwitchingOut", {I(3), I(2), I(0)}),
                                S(21, "PrepareBubbleTest", {I(1)}),
                                S(22, "GetBubbleTest", {I(1)}),
                                S(23, "PrepareBubbleTest", {I(2)}),
                                S(24, "GetBubbleTest", {I(2)}),
                                S(25, "CommandAmplMeas", {I(4)}),
                                S(26, "PrepareAmplMeas", {I(4)}),
                                S(27, "GetAmplMeas", {I(4)}),
                                S(28, "CheckSwitchingOut", {I(4), I(2), I(0)}),
                                S(29, "SetParameters", {I(2)}),
                                S(30, "CommentResult"),
                                S(31, "SubmitResult"),
                                S(32, "WriteResult"),
                                S(33, "NextSN"),
                            }});
    p.push_back(StepProgram{6,
                            19,
                            {
                                S(0, "Start_EnableSN"),
                                S(1, "CheckTK33Ident", {I(1), I(2)}),
                                S(2, "SwitchPowerQVR_ON"),
                                S(3, "BootRestart"),
                                S(4, "CheckFirmware", {I(1)}),
                                S(5, "SetParameters", {I(1)}),
                                S(6, "ControlWait", {T("Start Messung ..."), I(0)}),
                                S(7, "CommandAmplMeas", {I(1)}),
                                S(8, "PrepareAmplMeas", {I(1)}),
                                S(9, "GetAmplMeas", {I(1)}),
                                S(10, "CheckSwitchingOut", {I(1), I(0), I(1)}),
                                S(11, "CheckSwitchingOut", {I(2), I(1), I(0)}),
                                S(12, "CommandAmplMeas", {I(2)}),
                                S(13, "PrepareAmplMeas", {I(2)}),
                                S(14, "GetAmplMeas", {I(2)}),
                                S(15, "CheckSwitchingOut", {I(3), I(0), I(1)}),
                                S(16, "CheckSwitchingOut", {I(4), I(1), I(0)}),
                                S(17, "CheckSwitchingOut", {I(5), I(3), I(0)}),
                                S(18, "CommentResult"),
                            }});
    p.push_back(StepProgram{7,
                            100,
                            {
                                S(0, "Start_EnableSN"),
                                S(1, "GetSN"),
                                S(2, "CheckTK33Ident", {I(1), I(2)}),
                                S(3, "SwitchPowerQVR_ON"),
                                S(4, "BootRestart"),
                                S(5, "CheckFirmware", {I(1)}),
                                S(6, "SetParameters", {I(1)}),
                                S(7, "SetIdentVar", {I(1)}),
                                S(8, "ControlWait", {T("Start Messung ..."), I(0)}),
                                S(9, "CommandAmplMeas", {I(1)}),
                                S(10, "PrepareAmplMeas", {I(1)}),
                                S(11, "GetAmplMeas", {I(1)}),
                                S(12, "CheckSwitchingOut", {I(1), I(0), I(1)}),
                                S(13, "CheckSwitchingOut", {I(2), I(1), I(0)}),
                                S(14, "CommandAmplMeas", {I(2)}),
                                S(15, "PrepareAmplMeas", {I(2)}),
                                S(16, "GetAmplMeas", {I(2)}),
                                S(17, "CommandAmplMeas", {I(3)}),
                                S(18, "PrepareAmplMeas", {I(3)}),
                                S(19, "GetAmplMeas", {I(3)}),
                                S(20, "CheckSwitchingOut", {I(3), I(0), I(1)}),
                                S(21, "CheckSwitchingOut", {I(4), I(1), I(0)}),
                                S(22, "PrepareBubbleTest", {I(1)}),
                                S(23, "GetBubbleTest", {I(1)}),
                                S(24, "PrepareBubbleTest", {I(2)}),
                                S(25, "GetBubbleTest", {I(2)}),
                                S(26, "CommandAmplMeas", {I(4)}),
                                S(27, "PrepareAmplMeas", {I(4)}),
                                S(28, "GetAmplMeas", {I(4)}),
                                S(29, "SetParameters", {I(2)}),
                                S(30, "ControlWait", {T("Neustart ..."), I(1700)}),
                                S(31, "CheckSwitchingOut", {I(5), I(3), I(0)}),
                                S(32, "CommentResult"),
                                S(33, "SubmitResult"),
                                S(34, "WriteResult"),
                                S(35, "NextSN"),
                            }});
    p.push_back(StepProgram{8,
                            19,
                            {
                                S(0, "Start_EnableSN"),
                                S(1, "CheckTK33Ident", {I(1), I(64)}),
                                S(2, "SwitchPowerQVR_ON"),
                                S(3, "SwitchSerialIF", {I(2)}),
                                S(4, "ControlWait", {T("Prüfungen ..."), I(0)}),
                                S(5, "BootRestart"),
                                S(6, "CheckFirmware", {I(1)}),
                                S(7, "SetParameters", {I(1)}),
                                S(8, "ControlWait", {T("Start Messung ..."), I(10)}),
                                S(9, "CommandAmplMeas", {I(1)}),
                                S(10, "PrepareAmplMeas", {I(1)}),
                                S(11, "GetAmplMeas", {I(1)}),
                                S(12, "CommandAmplMeas", {I(2)}),
                                S(13, "PrepareAmplMeas", {I(2)}),
                                S(14, "GetAmplMeas", {I(2)}),
                                S(15, "CommentResult"),
                            }});
    p.push_back(StepProgram{9,
                            100,
                            {
                                S(0, "Start_EnableSN"),
                                S(1, "GetSN"),
                                S(2, "CheckTK33Ident", {I(1), I(1)}),
                                S(3, "PrepareCheckShield"),
                                S(4, "SubmitCheckShield"),
                                S(5, "SwitchPowerQVR_ON"),
                                S(6, "TestCableBridge", {I(2)}),
                                S(7, "SwitchSerialIF", {I(2)}),
                                S(8, "ControlWait", {T("Prüfungen ..."), I(200)}),
                                S(9, "BootRestart"),
                                S(10, "CheckFirmware", {I(1)}),
                                S(11, "SetParameters", {I(1)}),
                                S(12, "SetIdentVar", {I(1)}),
                                S(13, "SetCalBlock"),
                                S(14, "ControlWait", {T("Start Messung ..."), I(10)}),
                                S(15, "CommandAmplMeas", {I(1)}),
                                S(16, "PrepareAmplMeas", {I(1)}),
                                S(17, "GetAmplMeas", {I(1)}),
                                S(18, "CommandAmplMeas", {I(3)}),
                                S(19, "PrepareAmplMeas", {I(3)}),
                                S(20, "GetAmplMeas", {I(3)}),
                                S(21, "PrepareBubbleTest", {I(1)}),
                                S(22, "GetBubbleTest", {I(1)}),
                                S(23, "PrepareBubbleTest", {I(2)}),
                                S(24, "GetBubbleTest", {I(2)}),
                                S(25, "CommentResult"),
                                S(26, "SubmitResult"),
                                S(27, "WriteResult"),
                                S(28, "NextSN"),
                            }});
    // Program 10 has no steps: "WEITER" only counts the step number up.
    p.push_back(StepProgram{10, StepProgram::kNoBound, {}});
    p.push_back(StepProgram{11,
                            19,
                            {
                                S(0, "Start_EnableSN"),
                                S(1, "CheckTK33Ident", {I(1), I(64)}),
                                S(2, "SwitchPowerQVR_ON"),
                                S(3, "BootRestart"),
                                S(4, "CheckFirmware", {I(1)}),
                                S(5, "SetParameters", {I(1)}),
                                S(6, "ControlWait", {T("Start Messung ..."), I(0)}),
                                S(7, "CommandAmplMeas", {I(1)}),
                                S(8, "PrepareAmplMeas", {I(1)}),
                                S(9, "GetAmplMeas", {I(1)}),
                                S(10, "CommandAmplMeas", {I(2)}),
                                S(11, "PrepareAmplMeas", {I(2)}),
                                S(12, "GetAmplMeas", {I(2)}),
                                S(13, "CommentResult"),
                            }});
    p.push_back(StepProgram{12,
                            100,
                            {
                                S(0, "Start_EnableSN"),
                                S(1, "GetSN"),
                                S(2, "CheckTK33Ident", {I(1), I(64)}),
                                S(3, "SwitchPowerQVR_ON"),
                                S(4, "BootRestart"),
                                S(5, "CheckFirmware", {I(1)}),
                                S(6, "SetParameters", {I(1)}),
                                S(7, "SetIdentVar", {I(1)}),
                                S(8, "ControlWait", {T("Start Messung ..."), I(0)}),
                                S(9, "CommandAmplMeas", {I(1)}),
                                S(10, "PrepareAmplMeas", {I(1)}),
                                S(11, "GetAmplMeas", {I(1)}),
                                S(12, "CheckSwitchingOut", {I(1), I(0), I(1)}),
                                S(13, "CommandAmplMeas", {I(2)}),
                                S(14, "PrepareAmplMeas", {I(2)}),
                                S(15, "GetAmplMeas", {I(2)}),
                                S(16, "CheckSwitchingOut", {I(2), I(0), I(1)}),
                                S(17, "CommandAmplMeas", {I(3)}),
                                S(18, "PrepareAmplMeas", {I(3)}),
                                S(19, "GetAmplMeas", {I(3)}),
                                S(20, "CheckSwitchingOut", {I(3), I(0), I(1)}),
                                S(21, "PrepareBubbleTest", {I(1)}),
                                S(22, "GetBubbleTest", {I(1)}),
                                S(23, "PrepareBubbleTest", {I(2)}),
                                S(24, "GetBubbleTest", {I(2)}),
                                S(25, "CommandAmplMeas", {I(4)}),
                                S(26, "PrepareAmplMeas", {I(4)}),
                                S(27, "GetAmplMeas", {I(4)}),
                                S(28, "CheckSwitchingOut", {I(4), I(0), I(1)}),
                                S(29, "SetParameters", {I(2)}),
                                S(30, "CommentResult"),
                                S(31, "SubmitResult"),
                                S(32, "WriteResult"),
                                S(33, "NextSN"),
                            }});
    p.push_back(StepProgram{13,
                            59,
                            {
                                S(0, "Start_EnableSN"),
                                S(1, "CheckTK33Ident", {I(1), I(3)}),
                                S(2, "SwitchPowerQVR_ON"),
                                S(3, "SwitchSerialInterface", {I(1)}),
                                S(4, "BootRestart"),
                                S(5, "CheckFirmware", {I(1)}),
                                S(6, "SetParameters", {I(1)}),
                                S(7, "SwitchSerialInterface", {I(0)}),
                                S(8, "BootRestart"),
                                S(9, "CheckFirmware", {I(2)}),
                                S(10, "SetParameters", {I(2)}),
                                S(11, "SwitchSerialInterface", {I(1)}),
                                S(12, "ControlWait", {T("Start Messung ..."), I(500)}),
                                S(13, "CommandAmplMeas", {I(1)}),
                                S(14, "PrepareAmplMeas", {I(1)}),
                                S(15, "GetAmplMeas", {I(1)}),
                                Empty(16),
                                S(17, "SwitchSerialInterface", {I(0)}),
                                S(18, "ControlWait", {T("Start Messung ..."), I(500)}),
                                S(19, "CommandAmplMeas", {I(2)}),
                                S(20, "PrepareAmplMeas", {I(2)}),
                                S(21, "GetAmplMeas", {I(2)}),
                                Empty(22),
                                S(23, "SwitchSerialInterface", {I(1)}),
                                S(24, "ControlWait", {T("Start Messung ..."), I(500)}),
                                S(25, "CommandAmplMeas", {I(3)}),
                                S(26, "PrepareAmplMeas", {I(3)}),
                                S(27, "GetAmplMeas", {I(3)}),
                                Empty(28),
                                S(29, "SwitchSerialInterface", {I(0)}),
                                S(30, "ControlWait", {T("Start Messung ..."), I(500)}),
                                S(31, "CommandAmplMeas", {I(4)}),
                                S(32, "PrepareAmplMeas", {I(4)}),
                                S(33, "GetAmplMeas", {I(4)}),
                                Empty(34),
                                S(35, "CommentResult"),
                            }});
    p.push_back(StepProgram{14,
                            99,
                            {
                                S(0, "Start_EnableSN"),
                                S(1, "GetSN"),
                                S(2, "CheckTK33Ident", {I(1), I(1)}),
                                S(3, "SwitchPowerQVR_ON"),
                                S(4, "SwitchSerialInterface", {I(1)}),
                                S(5, "BootRestart"),
                                S(6, "CheckFirmware", {I(1)}),
                                S(7, "SetParameters", {I(1)}),
                                S(8, "SetIdentVar", {I(1)}),
                                S(9, "SwitchSerialInterface", {I(0)}),
                                S(10, "BootRestart"),
                                S(11, "CheckFirmware", {I(2)}),
                                S(12, "SetParameters", {I(2)}),
                                S(13, "SetIdentVar", {I(2)}),
                                S(14, "SwitchSerialInterface", {I(1)}),
                                S(15, "ControlWait", {T("Start Messung ..."), I(500)}),
                                S(16, "CommandAmplMeas", {I(1)}),
                                S(17, "PrepareAmplMeas", {I(1)}),
                                S(18, "GetAmplMeas", {I(1)}),
                                S(19, "CheckSwitchingOut", {I(1), I(0), I(1)}),
                                S(20, "SwitchSerialInterface", {I(0)}),
                                S(21, "ControlWait", {T("Start Messung ..."), I(500)}),
                                S(22, "CommandAmplMeas", {I(2)}),
                                S(23, "PrepareAmplMeas", {I(2)}),
                                S(24, "GetAmplMeas", {I(2)}),
                                S(25, "CheckSwitchingOut", {I(2), I(1), I(1)}),
                                S(26, "SwitchSerialInterface", {I(1)}),
                                S(27, "ControlWait", {T("Start Messung ..."), I(500)}),
                                S(28, "CommandAmplMeas", {I(3)}),
                                S(29, "PrepareAmplMeas", {I(3)}),
                                S(30, "GetAmplMeas", {I(3)}),
                                S(31, "SwitchSerialInterface", {I(0)}),
                                S(32, "ControlWait", {T("Start Messung ..."), I(500)}),
                                S(33, "CommandAmplMeas", {I(4)}),
                                S(34, "PrepareAmplMeas", {I(4)}),
                                S(35, "GetAmplMeas", {I(4)}),
                                S(36, "SwitchSerialInterface", {I(1)}),
                                S(37, "ControlWait", {T("Start Messung ..."), I(500)}),
                                S(38, "CommandAmplMeas", {I(5)}),
                                S(39, "PrepareAmplMeas", {I(5)}),
                                S(40, "GetAmplMeas", {I(5)}),
                                S(41, "CheckSwitchingOut", {I(3), I(0), I(1)}),
                                S(42, "PrepareBubbleTest", {I(1)}),
                                S(43, "GetBubbleTest", {I(1)}),
                                S(44, "SwitchSerialInterface", {I(0)}),
                                S(45, "ControlWait", {T("Start Messung ..."), I(500)}),
                                S(46, "CommandAmplMeas", {I(6)}),
                                S(47, "PrepareAmplMeas", {I(6)}),
                                S(48, "GetAmplMeas", {I(6)}),
                                S(49, "CheckSwitchingOut", {I(4), I(1), I(1)}),
                                S(50, "PrepareBubbleTest", {I(2)}),
                                S(51, "GetBubbleTest", {I(2)}),
                                S(52, "SwitchSerialInterface", {I(1)}),
                                S(53, "PrepareBubbleTest", {I(3)}),
                                S(54, "GetBubbleTest", {I(3)}),
                                S(55, "SwitchSerialInterface", {I(0)}),
                                S(56, "PrepareBubbleTest", {I(4)}),
                                S(57, "GetBubbleTest", {I(4)}),
                                S(58, "SwitchSerialInterface", {I(1)}),
                                S(59, "ControlWait", {T("Start Messung ..."), I(500)}),
                                S(60, "CommandAmplMeas", {I(7)}),
                                S(61, "PrepareAmplMeas", {I(7)}),
                                S(62, "GetAmplMeas", {I(7)}),
                                S(63, "SwitchSerialInterface", {I(0)}),
                                S(64, "ControlWait", {T("Start Messung ..."), I(500)}),
                                S(65, "CommandAmplMeas", {I(8)}),
                                S(66, "PrepareAmplMeas", {I(8)}),
                                S(67, "GetAmplMeas", {I(8)}),
                                S(68, "SwitchSerialInterface", {I(1)}),
                                S(69, "SetParameters", {I(3)}),
                                S(70, "ControlWait", {T("Neustart ..."), I(1200)}),
                                S(71, "CheckSwitchingOut", {I(5), I(2), I(0)}),
                                S(72, "SwitchSerialInterface", {I(0)}),
                                S(73, "SetParameters", {I(4)}),
                                S(74, "ControlWait", {T("Neustart ..."), I(1200)}),
                                S(75, "CheckSwitchingOut", {I(6), I(3), I(0)}),
                                S(76, "CommentResult"),
                                S(77, "SubmitResult"),
                                S(78, "WriteResult"),
                                S(79, "NextSN"),
                            }});
    p.push_back(StepProgram{20,
                            40,
                            {
                                S(0, "Start_EnableSN"),
                                S(1, "CheckTK33Ident", {I(1), I(1)}),
                                S(2, "ImportFirmware", {F("FirmwareFile1"), T("Import SiLab: ")}),
                                S(3, "ProgCodeTK33", {H(0x0200), H(0x0800), H(0x1BFF)}),
                                S(4, "CommentResult"),
                            }});
    p.push_back(
        StepProgram{21,
                    100,
                    {
                        S(0, "Start_EnableSN"),
                        S(1, "CheckTK33Ident", {I(1), I(1)}),
                        S(2, "ImportFirmware", {F("PicFile"), T("Import PIC: ")}),
                        S(3, "ControlWait", {T("PIC: Programmierung"), I(0)}),
                        S(4, "PICProgramming", {T("PIC: ")}),
                        S(5, "ImportFirmware", {F("FirmwareFile1"), T("Import SiLab: ")}),
                        S(6, "ProgCodeTK33Check", {H(0x0200), H(0x0800), H(0x06FF), H(0x0400), H(0x1BFF)}),
                        S(7, "ImportFirmware", {F("FirmwareFile1"), T("Import SiLab: ")}),
                        S(8, "ControlWait", {T("SiLab: Löschen"), I(0)}),
                        S(9, "SiLabDeviceErase", {T("SiLab: Löschen: ")}),
                        S(10, "ControlWait", {T("SiLab: Programmierung X"), I(0)}),
                        S(11, "SiLabProgrammingX", {H(0x0000), H(0x01FF), T("SiLab: ")}),
                        S(12, "ControlWait", {T("SiLab: Programmierung F"), I(0)}),
                        S(13, "SiLabProgrammingF", {H(0x0800), H(0x1BFF), T("SiLab: "), H(0x0200)}),
                        S(14, "SwitchPowerQVR_OFF"),
                        S(15, "CommentResult"),
                    }});
    p.push_back(
        StepProgram{22,
                    100,
                    {
                        S(0, "Start_EnableSN"),
                        S(1, "CheckTK33Ident", {I(1), I(1)}),
                        S(2, "ImportFirmware", {F("FirmwareFile1"), T("Import SiLab: ")}),
                        S(3, "ProgCodeTK33Check", {H(0x0200), H(0x0800), H(0x06FF), H(0x0400), H(0x1BFF)}),
                        S(4, "ImportFirmware", {F("FirmwareFile1"), T("Import SiLab: ")}),
                        S(5, "ControlWait", {T("SiLab: Löschen"), I(0)}),
                        S(6, "SiLabDeviceErase", {T("SiLab: Löschen: ")}),
                        S(7, "ControlWait", {T("SiLab: Programmierung X"), I(0)}),
                        S(8, "SiLabProgrammingX", {H(0x0000), H(0x01FF), T("SiLab: ")}),
                        S(9, "ControlWait", {T("SiLab: Programmierung F"), I(0)}),
                        S(10, "SiLabProgrammingF", {H(0x0800), H(0x1BFF), T("SiLab: "), H(0x0200)}),
                        S(11, "SwitchPowerQVR_OFF"),
                        S(12, "CommentResult"),
                    }});
    // Program 23 has no steps: "WEITER" only counts the step number up.
    p.push_back(StepProgram{23, StepProgram::kNoBound, {}});
    p.push_back(StepProgram{24,
                            100,
                            {
                                S(0, "Start_EnableSN"),
                                S(1, "GetSN"),
                                S(2, "CheckTK33Ident", {I(1), I(64)}),
                                S(3, "SwitchPowerQVR_Automatically"),
                                S(4, "StartCheckBootMode", {H(0x1A00), I(1)}),
                                S(5, "ImportFirmware", {F("FirmwareFile1"), T("Import FW: ")}),
                                S(6, "DownloadFirmware", {H(0x0000), H(0x19FF), T("Download: ")}),
                                S(7, "BootRestart"),
                                S(8, "ControlWait", {T("Neustart ..."), I(1000)}),
                                S(9, "CheckFirmware", {I(1)}),
                                S(10, "SetParameters", {I(1)}),
                                S(11, "SetIdentVar", {I(1)}),
                                S(12, "ControlWait", {T("Start Messung ..."), I(0)}),
                                S(13, "CommandAmplMeas", {I(4)}),
                                S(14, "PrepareAmplMeas", {I(4)}),
                                S(15, "GetAmplMeas", {I(4)}),
                                S(16, "SetParameters", {I(2)}),
                                S(17, "CommentResult"),
                                S(18, "SubmitResult"),
                                S(19, "WriteResult"),
                                S(20, "NextSN"),
                            }});
    p.push_back(StepProgram{25,
                            100,
                            {
                                S(0, "Start_EnableSN"),
                                S(1, "GetSN"),
                                S(2, "CheckTK33Ident", {I(1), I(64)}),
                                S(3, "SwitchPowerQVR_ON"),
                                S(4, "BootRestart"),
                                S(5, "CheckFirmware", {I(1)}),
                                S(6, "SetParameters", {I(1)}),
                                S(7, "ControlWait", {T("Start Messung ..."), I(0)}),
                                S(8, "PrepareAmplMeas", {I(1)}),
                                S(9, "GetAmplMeas", {I(1)}),
                                S(10, "CommentResult"),
                                S(11, "SubmitResult"),
                                S(12, "WriteResult"),
                                S(13, "NextSN"),
                            }});
    p.push_back(StepProgram{26,
                            100,
                            {
                                S(0, "Start_EnableSN"),
                                S(1, "GetSN"),
                                S(2, "CheckTK33Ident", {I(1), I(64)}),
                                S(3, "SwitchPowerQVR_Automatically"),
                                S(4, "SetParameters", {I(1)}),
                                S(5, "CommentResult"),
                                S(6, "SubmitResult"),
                                S(7, "WriteResult"),
                                S(8, "NextSN"),
                            }});
    p.push_back(
        StepProgram{27,
                    100,
                    {
                        S(0, "Start_EnableSN"),
                        S(1, "CheckTK33Ident", {I(1), I(1)}),
                        S(2, "ImportFirmware", {F("FirmwareFile1"), T("Import SiLab: ")}),
                        S(3, "ProgCodeTK33Check", {H(0x0200), H(0x0800), H(0x06FF), H(0x0400), H(0x1BFF)}),
                        S(4, "ImportFirmware", {F("FirmwareFile1"), T("Import SiLab: ")}),
                        S(5, "ControlWait", {T("SiLab: Löschen"), I(0)}),
                        S(6, "SiLabDeviceErase", {T("SiLab: Löschen: ")}),
                        S(7, "ControlWait", {T("SiLab: Programmierung X"), I(0)}),
                        S(8, "SiLabProgrammingX", {H(0x0000), H(0x07FF), T("SiLab: ")}),
                        S(9, "ControlWait", {T("SiLab: Programmierung F"), I(0)}),
                        S(10, "SiLabProgrammingF", {H(0x0800), H(0x1BFF), T("SiLab: "), H(0x0200)}),
                        S(11, "SwitchPowerQVR_OFF"),
                        S(12, "CommentResult"),
                    }});
    p.push_back(
        StepProgram{28,
                    100,
                    {
                        S(0, "Start_EnableSN"),
                        S(1, "CheckTK33Ident", {I(1), I(1)}),
                        S(2, "ImportFirmware", {F("PicFile"), T("Import PIC: ")}),
                        S(3, "ControlWait", {T("PIC: Programmierung"), I(0)}),
                        S(4, "PICProgramming", {T("PIC: ")}),
                        S(5, "ImportFirmware", {F("FirmwareFile1"), T("Import SiLab: ")}),
                        S(6, "ProgCodeTK33Check", {H(0x0200), H(0x0800), H(0x06FF), H(0x0400), H(0x1BFF)}),
                        S(7, "ImportFirmware", {F("FirmwareFile1"), T("Import SiLab: ")}),
                        S(8, "ControlWait", {T("SiLab: Löschen"), I(0)}),
                        S(9, "SiLabDeviceErase", {T("SiLab: Löschen: ")}),
                        S(10, "ControlWait", {T("SiLab: Programmierung X"), I(0)}),
                        S(11, "SiLabProgrammingX", {H(0x0000), H(0x07FF), T("SiLab: ")}),
                        S(12, "ControlWait", {T("SiLab: Programmierung F"), I(0)}),
                        S(13, "SiLabProgrammingF", {H(0x0800), H(0x1BFF), T("SiLab: "), H(0x0200)}),
                        S(14, "SwitchPowerQVR_OFF"),
                        S(15, "CommentResult"),
                    }});
    p.push_back(StepProgram{29,
                            100,
                            {
                                S(0, "Start_EnableSN"),
                                S(1, "CheckTK33Ident", {I(1), I(64)}),
                                S(2, "SwitchPowerQVR_ON"),
                                S(3, "BootRestart"),
                                S(4, "CheckFirmware", {I(1)}),
                                S(5, "StartCheckBootMode", {H(0x1A00), I(1)}),
                                S(6, "ImportFirmware", {F("FirmwareFile1"), T("Import FW neu: ")}),
                                S(7, "DownloadFirmware", {H(0x0000), H(0x19FF), T("Download FW neu: ")}),
                                S(8, "BootRestart"),
                                S(9, "CheckFirmware", {I(2)}),
                                S(10, "SwitchPowerQVR_OFF"),
                                S(11, "CommentResult"),
                                S(12, "SubmitResult"),
                                S(13, "WriteResult"),
                            }});
    return p;
}

} // namespace

const std::vector<StepProgram>& StepPrograms()
{
    static const std::vector<StepProgram> programs = Build();
    return programs;
}

const StepProgram* FindProgram(int number)
{
    for (const StepProgram& p : StepPrograms())
        if (p.number == number) return &p;
    return nullptr;
}

QString FormatStep(const StepDef& s)
{
    if (!s.routine) return QStringLiteral("-");
    QString text = QString::fromUtf8(s.routine);
    if (s.args.empty()) return text;
    QStringList args;
    for (const StepArg& a : s.args) {
        switch (a.kind) {
        case StepArg::Kind::Int:
            args << QString::number(a.value);
            break;
        case StepArg::Kind::Hex:
            args << QString::asprintf("0x%04X", a.value);
            break;
        case StepArg::Kind::Text:
            args << QLatin1Char('"') + QString::fromUtf8(a.text) + QLatin1Char('"');
            break;
        case StepArg::Kind::Field:
            args << QString::fromUtf8(a.text);
            break;
        }
    }
    return text + QLatin1Char('(') + args.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QStringList PrintProgram(const StepProgram& program)
{
    QStringList lines;
    for (const StepDef& s : program.steps)
        lines << QStringLiteral("%1\t%2").arg(s.step).arg(FormatStep(s));
    lines << QStringLiteral("range bound\t%1")
                 .arg(program.rangeBound == StepProgram::kNoBound ? QStringLiteral("-")
                                                                  : QString::number(program.rangeBound));
    return lines;
}

} // namespace vmx::prodtest
