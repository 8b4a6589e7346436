#pragma once
// Writes an Intel HEX file the way an outside tool would: 16-byte data records from address 0
// (or `from`), each with its checksum, and the end record. Independent of the program's own
// HEX export, so tests do not check the importer against its own writer.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <algorithm>
#include <vector>

namespace vmx::test {

inline bool WriteHexFile(const QString& path, const std::vector<quint8>& bytes, size_t from = 0)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    for (size_t a = from; a < bytes.size(); a += 16) {
        const int n = int(std::min<size_t>(16, bytes.size() - a));
        QByteArray rec;
        rec.append(char(n)).append(char(a >> 8)).append(char(a)).append(char(0));
        for (int i = 0; i < n; ++i)
            rec.append(char(bytes[a + size_t(i)]));
        quint8 sum = 0;
        for (char c : rec)
            sum = quint8(sum + quint8(c));
        rec.append(char(quint8(-sum)));
        f.write(":" + rec.toHex().toUpper() + "\r\n");
    }
    f.write(":00000001FF\r\n");
    return f.error() == QFileDevice::NoError;
}

} // namespace vmx::test
