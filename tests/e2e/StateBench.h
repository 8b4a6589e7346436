#pragma once
// A simulated station for vmxctl runs: a program folder of its own and a bench whose
// non-volatile memories persist in a state folder from one run to the next, as a real bench
// keeps them between a station script's commands.

#include "HexFile.h"
#include "RunTool.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

struct StateBench {
    QTemporaryDir dir;
    QString profile;
    QStringList globals; // options before every command (e.g. --type)

    explicit StateBench(const QString& words, const QStringList& global = {})
        : profile(QStringLiteral("--simulate=%1,state=%2,virtual")
                      .arg(words, dir.filePath(QStringLiteral("state")))),
          globals(global)
    {
    }
    ToolResult Run(const QStringList& args, int timeoutMs = 30000)
    {
        return RunTool(QStringLiteral("vmxctl"),
                       QStringList{QStringLiteral("--config-dir"), dir.path()} + globals +
                           QStringList{profile} + args,
                       timeoutMs);
    }
    QString File(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QByteArray State(const char* name) const
    {
        QFile f(dir.filePath(QStringLiteral("state/") + QString::fromLatin1(name)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString Hex(const char* name, const std::vector<quint8>& bytes) const
    {
        EXPECT_TRUE(vmx::test::WriteHexFile(File(name), bytes));
        return File(name);
    }
    void Write(const char* name, const QByteArray& bytes) const
    {
        QFile f(File(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

// A sensor firmware image a blank simulated sensor runs once programmed (a jump at 0).
inline std::vector<quint8> SensorFirmware()
{
    std::vector<quint8> b(0x1C00);
    for (size_t a = 0; a < b.size(); ++a)
        b[a] = quint8((a * 7 + (a >> 8) * 13 + 1) & 0xFF);
    b[0] = 0x02, b[1] = 0x01, b[2] = 0x00;
    return b;
}
