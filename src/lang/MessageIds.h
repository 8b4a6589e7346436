#pragma once
// The catalogue numbers the code uses, by name: one place, so a number is written once.

#include <array>

namespace vmx::lang::ids {

inline constexpr int kMsgStandardValues = 117;
inline constexpr int kMsgOpenAbsTitle = 208;
inline constexpr int kMsgAbsFilter = 209;
inline constexpr int kMsgOpenHexTitle = 210;
inline constexpr int kMsgHexFilter = 211;
inline constexpr int kMsgSaveHexTitle = 212;
inline constexpr int kMsgIncompatible = 217;
inline constexpr int kMsgOkay = 250;
inline constexpr int kMsgSendFailed = 254;
inline constexpr int kMsgNoAnswer = 255;
inline constexpr int kMsgWrongAddress = 256;
inline constexpr int kMsgWrongAck = 257;
inline constexpr int kMsgPing = 260;
inline constexpr int kMsgDiagnose = 261; // "Diagnose-Mode: "
inline constexpr int kMsgStandard = 262; // "Standard-Mode: "
inline constexpr int kMsgRestart = 268;
inline constexpr int kMsgBubbleTestPulse = 269;
inline constexpr int kMsgSetLed = 270;
inline constexpr int kMsgStartBoot = 272;
inline constexpr int kMsgReadCode = 273;
inline constexpr int kMsgChecksumWrong = 274;
inline constexpr int kMsgReadParameters = 275;
inline constexpr int kMsgEraseCode = 276;
inline constexpr int kMsgWriteCode = 277;
inline constexpr int kMsgVerifyCode = 278;
inline constexpr int kMsgWriteParameters = 279;
inline constexpr int kMsgError = 280;
inline constexpr int kMsgVerifyParameters = 281;
inline constexpr int kMsgAskIncompatible = 283;
inline constexpr int kMsgWriteFile = 285;
inline constexpr int kMsgProtected = 286;
inline constexpr int kMsgExcelExport = 287;
inline constexpr int kMsgIoError = 288;
inline constexpr int kMsgExcelImport = 289;
inline constexpr int kMsgReadFile = 290;
inline constexpr int kMsgNotFound = 291;
inline constexpr int kMsgCantOpen = 292;
inline constexpr int kMsgReadFailures = 293;
inline constexpr int kMsgTextExport = 294;
inline constexpr int kMsgTextImport = 295;
inline constexpr int kMsgExportParameters = 296;
inline constexpr int kMsgImportParameters = 297;
inline constexpr int kMsgFormatInvalid = 298;
inline constexpr int kMsgAddressTooHigh = 299;
inline constexpr int kMsgBootIdent = 300;
inline constexpr int kMsgIdentLine = 301;
inline constexpr int kMsgRange = 302;
inline constexpr int kMsgBadAddresses = 305;
inline constexpr int kMsgPagesOnly = 310;
inline constexpr int kMsgDiffers = 313;
inline constexpr int kMsgAbsImport = 314;
inline constexpr int kMsgConverted = 315;
inline constexpr int kMsgHexImport = 316;
inline constexpr int kMsgHexExport = 317;
inline constexpr int kMsgConfigReadError = 319;
inline constexpr int kMsgHexLoaded = 320;
inline constexpr int kMsgErased = 321;
inline constexpr int kMsgWritten = 322;
inline constexpr int kMsgVerified = 323;
inline constexpr int kMsgSuccess = 324;
inline constexpr int kMsgWrongBoot = 327; // reported boot address is not the type's
inline constexpr int kMsgParameterFile = 328;
inline constexpr int kMsgWrongBoot12 = 329; // ... and it is 3072: a V1.2x sensor
inline constexpr int kMsgGetIdent = 349;
inline constexpr int kMsgAskApplyType = 350;
inline constexpr int kMsgUnknownType = 351;
inline constexpr int kMsgFrameCrc = 352;
inline constexpr int kMsgIdentType = 354;
inline constexpr int kMsgChannel = 376;
inline constexpr int kMsgStartBoot2 = 385;
inline constexpr int kMsgSetIdSN = 395;
inline constexpr int kMsgReadIdSN = 396;
inline constexpr int kMsgVerifyIdSN = 397;
inline constexpr int kMsgReadCal = 421;
inline constexpr int kMsgWriteCal = 422;
inline constexpr int kMsgClearIdent = 423;
inline constexpr int kMsgVerifyCal = 436;
inline constexpr int kMsgClearCal = 437;

// Read, write, erase and verify captions of the boot loader per memory kind (code, SRAM,
// EEPROM, XRAM).
inline constexpr std::array<int, 4> kMsgRead{273, 303, 304, 378};
inline constexpr std::array<int, 4> kMsgWrite{277, 306, 307, 379};
inline constexpr std::array<int, 4> kMsgErase{276, 308, 309, 381};
inline constexpr std::array<int, 4> kMsgVerify{278, 311, 312, 380};

} // namespace vmx::lang::ids
