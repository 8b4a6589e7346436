#pragma once
// Small helpers of the vmxctl tests: a catalogue text in German, a file's bytes in and out.
#include "lang/Messages.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

namespace vmx::e2e {

inline QString M(int i)
{
    return vmx::lang::Msg(i, 0);
}

// The file's bytes; empty when it cannot be read.
inline QByteArray Read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void Write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace vmx::e2e
