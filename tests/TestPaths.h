#pragma once

#include <QDir>
#include <QFileInfo>
#include <QString>

#ifdef _WIN32
#include <windows.h>
#endif

// Where the tests find the build's programs and put their pictures. The test binaries sit in the
// build's bin/ beside the programs, so both are found from the running binary at run time rather
// than compiled in: a clone in another folder then compiles the tests to the same objects and
// reuses the compiler cache.
namespace testpaths {

inline QString BinDir()
{
#ifdef _WIN32
    wchar_t buf[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
    return QFileInfo(QString::fromWCharArray(buf, static_cast<int>(n))).absolutePath();
#else
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath();
#endif
}

// A file of the build's bin/ folder: a program, the shipped INI files, Doc/, test fixtures.
inline QString Bin(const QString& name)
{
    return BinDir() + QLatin1Char('/') + name;
}

// The folder the window tests save their pictures in (created on demand).
inline QString ArtefactDir()
{
    const QString d = QDir::cleanPath(BinDir() + QStringLiteral("/../test-artefacts"));
    QDir().mkpath(d);
    return d;
}

inline QString Artefact(const QString& name)
{
    return ArtefactDir() + QLatin1Char('/') + name;
}

} // namespace testpaths
