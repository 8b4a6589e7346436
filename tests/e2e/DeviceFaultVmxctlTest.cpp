// Every long operation of vmxctl against a sensor that fails in the middle of the transfer:
// it falls silent, loses, cuts or corrupts one answer, answers late, or its cable is pulled.
// Each run ends with exit 1 and the failing step's message (and no file written), or with
// exit 0 and the same data as a clean run. The table of outcomes is printed.
#include "RunTool.h"
#include "TestFiles.h"

#include "lang/Messages.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using vmx::e2e::M;
using vmx::e2e::Read;
using vmx::e2e::Write;

QByteArray Firmware()
{
    // 0x0000..0x19FF of varied bytes: the download's whole range.
    QByteArray out;
    for (quint32 a = 0; a < 0x1A00; a += 16) {
        quint32 sum = 16 + (a >> 8) + (a & 0xFF);
        QByteArray line = ":10" + QByteArray::number(a, 16).rightJustified(4, '0') + "00";
        for (quint32 i = 0; i < 16; ++i) {
            const quint8 b = quint8((a + i) * 37 + 11);
            sum += b;
            line += QByteArray::number(b, 16).rightJustified(2, '0');
        }
        line += QByteArray::number(quint8(-qint32(sum)), 16).rightJustified(2, '0');
        out += line.toUpper() + "\r\n";
    }
    return out + ":00000001FF\r\n";
}

struct Operation {
    const char* name;
    QStringList args;  // %out: the output file, %in: the input file
    const char* after; // answers before the fault strikes: inside the transfer
    QString profile;   // sensor words besides the fault
    bool stdoutIsData; // the result is on standard output (else in %out)
};

struct Fault {
    const char* name;
    const char* word;
    QStringList options; // global options of the run
};

// Catalogue texts a failing step ends with.
bool HasFailureMessage(const QString& err)
{
    for (int m : {254, 255, 256, 257, 258, 263, 274, 280, 288, 313, 352})
        if (err.contains(M(m))) return true;
    return false;
}

// A capture's rows without index, date and time (the wall clock of each run).
QStringList Values(const QString& rows)
{
    QStringList out;
    for (const QString& line : rows.split('\n', Qt::SkipEmptyParts)) {
        QStringList cells = line.trimmed().split('\t');
        if (cells.size() > 3) cells.remove(0, 3);
        out << cells.join('\t');
    }
    return out;
}

// Every sample of `part` was measured in the clean run too, in the same order: a lost poll
// may leave a gap (the sensor measured on), but nothing is stored that the sensor did not say.
bool SamplesOfTheCleanRun(const QStringList& part, const QStringList& clean)
{
    qsizetype at = 0;
    for (const QString& row : part) {
        while (at < clean.size() && clean[at] != row)
            ++at;
        if (at == clean.size()) return false;
        ++at;
    }
    return !part.isEmpty();
}

} // namespace

TEST(DeviceFaultVmxctl, EveryLongOperationFailsCleanlyOrGivesTheCleanResult)
{
    QTemporaryDir dir;
    const QString fw = dir.filePath("fw.hex");
    Write(fw, Firmware());
    const QString par = dir.filePath("std.hex");
    ASSERT_EQ(RunTool("vmxctl", {"--config-dir", dir.path(), "params", "standard", "--out", par}).exitCode,
              0);
    const QString codeFile = dir.filePath("code.hex");
    ASSERT_EQ(RunTool("vmxctl", {"--config-dir", dir.path(), "--simulate=virtual", "mem", "read", "--kind",
                                 "code", "--range", "0-3FF", "--file", codeFile})
                  .exitCode,
              0);

    const std::vector<Operation> ops = {
        {"download", {"download", fw}, "200", "", false},
        {"params read", {"params", "read", "--out", "%out"}, "8", "", false},
        {"params write", {"params", "write", par}, "12", "", false},
        {"mem read",
         {"mem", "read", "--kind", "code", "--range", "0-3FF", "--file", "%out"},
         "20",
         "",
         false},
        {"mem verify",
         {"mem", "verify", "--kind", "code", "--range", "0-3FF", "--file", codeFile},
         "20",
         "",
         false},
        {"ident", {"ident"}, "1", "", true},
        {"capture",
         {"capture", "-n", "20", "--interval", "100", "--out", "%out"},
         "10",
         "stream=polled",
         false},
        {"capture stdout", {"capture", "-n", "20", "--interval", "100"}, "10", "stream=polled", true},
    };
    // The corruption flips an answer's last byte (its frame checksum): unseen unless the
    // checksum is checked, so it runs both ways.
    const std::vector<Fault> faults = {
        {"mute", "fault=mute", {}},
        {"drop", "fault=drop", {}},
        {"truncate", "fault=truncate", {}},
        {"corrupt", "fault=corrupt", {}},
        {"corrupt+crc", "fault=corrupt", {"--frame-crc"}},
        {"delay", "fault=delay:1500", {}},
        {"unplug", "fault=unplug", {}},
    };

    QString table = QStringLiteral("operation      | fault       | exit | outcome\n");
    int cells = 0;
    for (const Operation& op : ops) {
        const QString ext = QString::fromLatin1(op.name).startsWith("capture") ? ".txt" : ".hex";
        auto run = [&](const QString& faultWords, const QString& out, const QStringList& options = {}) {
            QStringList args{"--config-dir", dir.path(),
                             "--simulate=virtual" + (op.profile.isEmpty() ? QString() : "," + op.profile) +
                                 (faultWords.isEmpty() ? QString() : "," + faultWords)};
            args << options;
            for (const QString& a : op.args)
                args << (a == QLatin1String("%out") ? out : a);
            return RunTool("vmxctl", args, 120000);
        };
        const QString cleanOut = dir.filePath(QStringLiteral("clean-%1%2").arg(cells).arg(ext));
        // A capture's clean run goes on longer: a faulty one may skip a poll and measure on.
        const ToolResult clean = [&] {
            if (!QString::fromLatin1(op.name).startsWith("capture")) return run(QString(), cleanOut);
            Operation longer = op;
            longer.args[longer.args.indexOf("20")] = "30";
            QStringList args{"--config-dir", dir.path(), "--simulate=virtual," + op.profile};
            for (const QString& a : longer.args)
                args << (a == QLatin1String("%out") ? cleanOut : a);
            return RunTool("vmxctl", args, 120000);
        }();
        ASSERT_TRUE(clean.finished) << op.name;
        ASSERT_EQ(clean.exitCode, 0) << op.name << "\n" << clean.err.toStdString();
        const bool fileOut = op.args.contains("%out");
        const QByteArray cleanFile = fileOut ? Read(cleanOut) : QByteArray();
        if (fileOut) {
            ASSERT_FALSE(cleanFile.isEmpty()) << op.name;
        }

        for (const Fault& f : faults) {
            ++cells;
            const QString out = dir.filePath(QStringLiteral("out-%1%2").arg(cells).arg(ext));
            if (fileOut) Write(out, "previous");
            const ToolResult r = run(QStringLiteral("%1,after=%2").arg(f.word, op.after), out, f.options);
            ASSERT_TRUE(r.finished) << op.name << " / " << f.name;
            QString outcome;
            if (r.exitCode == 1) {
                // The failing step's own message, no success after it, nothing written.
                EXPECT_TRUE(HasFailureMessage(r.err)) << op.name << " / " << f.name << "\n"
                                                      << r.err.toStdString();
                EXPECT_FALSE(r.err.contains(M(324))) << op.name << " / " << f.name;
                if (fileOut) {
                    EXPECT_EQ(Read(out), "previous") << op.name << " / " << f.name;
                }
                // The first failure told is the failing step's.
                for (const QString& line : r.err.split('\n')) {
                    if (HasFailureMessage(line)) {
                        outcome = "failed: " + line.trimmed();
                        break;
                    }
                }
            } else {
                EXPECT_EQ(r.exitCode, 0) << op.name << " / " << f.name << "\n" << r.err.toStdString();
                if (fileOut) {
                    // The export header names the file and the time; the data must agree.
                    const QByteArray got = Read(out);
                    if (ext == ".txt") {
                        const QStringList rows = Values(QString::fromLatin1(got).section("\r\n", 10));
                        EXPECT_EQ(rows.size(), 20) << op.name << " / " << f.name;
                        EXPECT_TRUE(SamplesOfTheCleanRun(
                            rows, Values(QString::fromLatin1(cleanFile).section("\r\n", 10))))
                            << op.name << " / " << f.name;
                    } else {
                        EXPECT_EQ(got, cleanFile) << op.name << " / " << f.name;
                    }
                } else if (QString::fromLatin1(op.name).startsWith("capture")) {
                    const QString rows = TableRows(r.out).join('\n');
                    EXPECT_EQ(Values(rows).size(), 20) << op.name << " / " << f.name;
                    EXPECT_TRUE(SamplesOfTheCleanRun(Values(rows), Values(TableRows(clean.out).join('\n'))))
                        << op.name << " / " << f.name;
                } else if (op.stdoutIsData) {
                    EXPECT_EQ(r.out, clean.out) << op.name << " / " << f.name;
                }
                const bool told = HasFailureMessage(r.err);
                if (QString::fromLatin1(op.name).startsWith("capture"))
                    outcome = told
                                  ? QStringLiteral("ok, the failed poll told and skipped; 20 genuine samples")
                                  : QStringLiteral("ok, same samples as the clean run");
                else
                    outcome =
                        told
                            ? QStringLiteral("ok after the operation's own retry; same data as the clean run")
                            : QStringLiteral("ok, same data as the clean run");
            }
            table += QStringLiteral("%1 | %2 | %3    | %4\n")
                         .arg(QString::fromLatin1(op.name), -14)
                         .arg(QString::fromLatin1(f.name), -11)
                         .arg(r.exitCode)
                         .arg(outcome);
        }
    }
    std::fputs(table.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

// The fault words aim where they say: a fault after N answers leaves the first N alone.
TEST(DeviceFaultVmxctl, FaultStrikesOnlyAfterTheAnswersItWasAimedBehind)
{
    QTemporaryDir dir;
    auto run = [&](const QString& words) {
        return RunTool("vmxctl", {"--config-dir", dir.path(), "--simulate=virtual," + words, "mem", "read",
                                  "--kind", "sram", "--range", "0-EF"});
    };
    // The ping is answered, then 15 blocks from the top down.
    EXPECT_EQ(run("fault=mute,after=16").exitCode, 0);
    const ToolResult r = run("fault=mute,after=15");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(M(303) + M(255))) << r.err.toStdString();
    // Before the last block (address 0) all others were read.
    EXPECT_TRUE(r.err.contains(M(303) + "von 0010 bis 001F, ...")) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(M(303) + "von 0000 bis 000F, ...")) << r.err.toStdString();
}
