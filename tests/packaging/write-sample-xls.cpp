// Writes a legacy .xls export of N samples (the tests' own builder), so the packaging test can
// import one with the installed program and its helper in libexec.
#include "XlsBuilder.h"

#include <QFile>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: write-sample-xls FILE ROWS\n", stderr);
        return 2;
    }
    QFile f(QString::fromLocal8Bit(argv[1]));
    const QByteArray bytes = xlsbuild::SampleWorkbook(std::atoi(argv[2]));
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush() ? 0 : 1;
}
