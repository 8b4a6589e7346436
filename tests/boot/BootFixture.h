#pragma once

#include "RecordingHost.h"
#include "app/Clock.h"
#include "app/Host.h"
#include "app/Session.h"
#include "boot/HexImage.h"
#include "boot/MemoryImages.h"
#include "lang/Messages.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

// A session on a recording host, fresh images and a scratch folder.
class BootTest : public ::testing::Test {
protected:
    vmx::app::VirtualClock clock;
    vmx::test::RecordingHost host{&clock};
    QTemporaryDir dir;
    vmx::app::Session session{host, clock, dir.path()};
    vmx::boot::MemoryImages images;
    vmx::boot::HexImage hex{session, images};

    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString Path(const QString& name) const { return dir.filePath(name); }

    QString WriteFile(const QString& name, const QByteArray& bytes)
    {
        QFile f(Path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }

    static QByteArray ReadFile(const QString& path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return {};
        return f.readAll();
    }

    QString LastStatus() const { return host.panel1Log.isEmpty() ? QString() : host.panel1Log.back(); }

    bool BufferAllFF(quint32 from = 0, quint32 to = 0xFFFF) const
    {
        const auto b = images.Buffer();
        return std::all_of(b.begin() + from, b.begin() + to + 1, [](quint8 v) { return v == 0xFF; });
    }
};
