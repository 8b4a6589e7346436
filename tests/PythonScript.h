#pragma once
// Runs a Python script (the reports' independent reader is openpyxl) and returns its exit code;
// what it printed goes to `out`.

#include <QProcess>
#include <QString>
#include <QStringList>

namespace vmx::test {

inline int RunPython(const QString& script, const QStringList& args, QString& out)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral("-c"), script} + args);
    if (!p.waitForStarted(10000) || !p.waitForFinished(120000)) return -1;
    out = QString::fromUtf8(p.readAll());
    return p.exitCode();
}

} // namespace vmx::test
