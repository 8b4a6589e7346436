#pragma once
// The definitions of a station whose every step program a good simulated unit passes: one
// TEST.INI definition per program with limits the simulated unit meets and amplitude labels the
// simulated operator follows, the switching outputs each program expects, the module each one
// needs, and the images the programming and download programs name. Shared by the in-process
// runs and the vmxctl runs.

#include <QString>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace vmx::test {

// The firmware file of the programming and download programs: code everywhere except where
// the sensor keeps its identification (first page) and its parameter page, which stay blank.
inline std::vector<quint8> Firmware()
{
    std::vector<quint8> b(0x1C00);
    for (size_t a = 0; a < b.size(); ++a)
        b[a] = quint8(a * 7 + (a >> 8) + 1);
    std::fill(b.begin() + 0x80, b.begin() + 0x100, quint8(0xFF));
    std::fill(b.begin() + 0x0A00, b.begin() + 0x0C00, quint8(0xFF));
    return b;
}

// A PIC firmware: 56 words and CONFIG 0x0FEB.
inline std::vector<quint8> PicFirmware()
{
    std::vector<quint8> b(0x2000, 0xFF);
    for (int i = 0; i < 56; ++i) {
        b[size_t(2 * i)] = quint8(i * 3 + 5);
        b[size_t(2 * i + 1)] = quint8(0xA0 | (i % 16));
    }
    b[0x1FFE] = 0xEB, b[0x1FFF] = 0x0F;
    return b;
}

// The switching outputs each program expects of a good unit: behind the module the outputs
// show the liquid (H) while streaming, the alarm (H on air) once configured as switching
// outputs; bubbles passing make them toggle.
inline QStringList Outputs(int program)
{
    switch (program) {
    case 4:
        return {"H", "L"};
    case 5:
        return {"H", "L", "LHLH", "H"};
    case 6:
        return {"L", "L", "H", "H", "H"};
    case 7:
        return {"L", "L", "LHLH", "LHLH", "H"};
    case 12:
        return {"L", "H", "LHLH", "L"};
    case 14:
        return {"L", "H", "L", "L", "H", "H"};
    default:
        return {};
    }
}

inline QStringList GoodDefinition(int program)
{
    QStringList d = {
        QStringLiteral("[#QVR_TYP] \"Typ\",\"QVR05\""),
        QStringLiteral("[#ART_PRÜFUNG] \"Prüfung\",\"Endprüfung\""),
        QStringLiteral("[#PRÜFPROGRAMM] \"Programm\",\"%1\"").arg(program),
        QStringLiteral("[#DATEI_FW_1] \"Firmware\",\"QVR05_V143.hex\""),
        QStringLiteral("[#DATEI_PIC] \"PIC\",\"PIC.hex\""),
        QStringLiteral("[#DATEI_PAR_1] \"Parameter 1\",\"QVR05_V101.hex\""),
        QStringLiteral("[#DATEI_PAR_2] \"Parameter 2\",\"QVR05_V102.hex\""),
        QStringLiteral("[#DATEI_PAR_3] \"Parameter 3\",\"QVR05_V103.hex\""),
        QStringLiteral("[#DATEI_PAR_4] \"Parameter 4\",\"QVR05_V104.hex\""),
        QStringLiteral("[#GRENZWERT_OHNE_MAX] \"ohne Schlauch\",\"30\""),
        QStringLiteral("[#GRENZWERT_LEER_MAX] \"leerer Schlauch\",\"300\""),
        QStringLiteral("[#GRENZWERT_VOLL_MIN] \"voller Schlauch min\",\"350\""),
        QStringLiteral("[#GRENZWERT_VOLL_MAX] \"voller Schlauch max\",\"450\""),
        QStringLiteral("[#SN_MIN] \"SN von\",\"1000\""),
        QStringLiteral("[#SN_MAX] \"SN bis\",\"1999\""),
        QStringLiteral("[#TESTVERSION_1] \"Firmware 1\",\"143\""),
        QStringLiteral("[#TESTVERSION_2] \"Firmware 2\",\"143\""),
        QStringLiteral("[#BOOTVERSION_1] \"Bootloader\",\"3\""),
        QStringLiteral("[#VARIANTE_1] \"Variante\",\"3\""),
        QStringLiteral("[#VARIANTE_2] \"Variante\",\"3\""),
        QStringLiteral("[#PRÜFER] \"Prüfer\",\"Name\""),
        QStringLiteral("[#AUFTRAG_LOS] \"Auftrag/ Los\",\"A-0000\""),
        QStringLiteral("[#BEMERKUNG_LOS] \"Bemerkung zum Los\",\"-\""),
        QStringLiteral("[#TECH_INDEX] \"Produkt-Index\",\"X\""),
        QStringLiteral("[#HERSTELLUNGSJAHR] \"Jahr\",\"JJ\""),
    };
    const char* labels[9] = {nullptr,
                             "gefüllter Schlauch",
                             "leerer Schlauch",
                             "Schlauch mit Blasen",
                             "gefüllter Schlauch",
                             "gefüllter Schlauch",
                             "gefüllter Schlauch",
                             "gefüllter Schlauch",
                             "gefüllter Schlauch"};
    for (int n = 1; n <= 8; ++n) {
        const bool empty = n == 2;
        d << QStringLiteral("[#AMPLITUDE_%1] \"Ampl %1\",\"%2\"").arg(n).arg(QString::fromUtf8(labels[n]))
          << QStringLiteral("[#AMPLITUDE_MIN_%1] \"min\",\"%2\"").arg(n).arg(empty ? 200 : 350)
          << QStringLiteral("[#AMPLITUDE_MAX_%1] \"max\",\"%2\"").arg(n).arg(empty ? 300 : 450);
    }
    for (int n = 1; n <= 4; ++n) {
        const bool large = n % 2 == 0;
        d << QStringLiteral("[#BLASE_%1] \"Blase %1\",\"%2\"")
                 .arg(n)
                 .arg(large ? "große Blasen" : "kleine Blasen")
          << QStringLiteral("[#BLASE_MIN_%1] \"min\",\"%2\"").arg(n).arg(large ? 200 : 50)
          << QStringLiteral("[#BLASE_MAX_%1] \"max\",\"%2\"").arg(n).arg(large ? 255 : 150);
    }
    const QStringList outs = Outputs(program);
    for (qsizetype i = 0; i < outs.size(); ++i)
        d << QStringLiteral("[#SCHALTAUSGANG_%1] \"Schaltausgang %1\",\"%2\"").arg(i + 1).arg(outs[i]);
    return d;
}

// The module each program's outputs need (four ports: the VO40), and the unit behind it: two
// channels for the programs that switch between them, else one that answers behind each
// interface.
inline QString Module(int program)
{
    const QString module =
        program == 6 || program == 7 || program == 14 ? QStringLiteral("vo40") : QStringLiteral("tk33");
    return module + (program == 13 || program == 14 ? QStringLiteral(",if=two") : QStringLiteral(",if=any"));
}

} // namespace vmx::test
