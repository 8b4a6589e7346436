// The .xlsx import on any input: a zip package as it is, or else the sheet's XML and the
// shared strings' XML (split at the first "\n----\n"), packed here so the XML walker is
// reached by most inputs.
#include "ImportRig.h"
#include "ZipPackage.h"
#include "monitor/MeasFiles.h"

using namespace vmx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    static fuzz::ImportRig rig;
    monitor::MeasFiles& files = rig.files;
    const QByteArray in(reinterpret_cast<const char*>(data), qsizetype(size));
    QByteArray pkg;
    if (in.startsWith("PK")) {
        pkg = in;
    } else {
        const qsizetype cut = in.indexOf("\n----\n");
        const QByteArray sheet = cut < 0 ? in : in.left(cut);
        const QByteArray sst = cut < 0 ? QByteArray() : in.mid(cut + 6);
        std::vector<std::pair<const char*, QByteArray>> entries{{"xl/worksheets/sheet1.xml", sheet}};
        if (cut >= 0) entries.emplace_back("xl/sharedStrings.xml", sst);
        pkg = ZipPackage(entries);
    }
    files.ImportXlsxData(pkg, QStringLiteral("fuzz.xlsx"));
    return 0;
}
