#pragma once
// Input files from outside are bounded before they are read: only a regular file is opened
// (a FIFO would keep the program waiting for a writer, a device such as /dev/zero never ends),
// a file above the cap is refused, and text is handed out line by line as it is read.

#include <QByteArray>
#include <QFile>
#include <QString>

namespace vmx::app {

// Generous for every text file the program reads (a full text export is about 4 MB).
inline constexpr qint64 kMaxTextInput = qint64(64) << 20;

enum class InputStatus {
    Ok,
    Missing,    // no such file
    CannotOpen, // not a regular file, not readable, or above the cap
    ReadError,
};

// Opens `file` (its name set) for reading when it is a regular file of at most `maxBytes`.
InputStatus OpenInputFile(QFile& file, qint64 maxBytes = kMaxTextInput);

// The whole of a regular file of at most `maxBytes` into `bytes`.
InputStatus ReadInputFile(const QString& path, QByteArray& bytes, qint64 maxBytes = kMaxTextInput);

enum class TextEncoding {
    // UTF-8 when the whole input is valid UTF-8 (a byte-order mark is dropped), else
    // Windows-1252, as every text file of the program is read.
    Detect,
    // One character per byte, so fixed character positions are byte positions.
    Latin1,
};

// Checks UTF-8 chunk by chunk: no overlong forms, surrogates or code points above U+10FFFF.
class Utf8Check {
public:
    // False as soon as the bytes so far cannot be UTF-8.
    bool Feed(const char* bytes, qsizetype n);
    // True when everything fed was valid and no sequence is left unfinished.
    bool Complete() const { return valid_ && pending_ == 0; }

private:
    bool valid_ = true;
    int pending_ = 0;   // continuation bytes still due
    quint32 cp_ = 0;    // the code point so far
    quint32 lower_ = 0; // the smallest code point the sequence's length may encode
};

// Lines of a text input at CR LF, LF or CR, as SplitLines cuts them (a last line without a
// line end counts only when it is not empty), read in chunks: memory stays at the longest
// line, whatever the size of the input. With Detect the input is read twice (once to decide
// the encoding), so the device must be seekable.
class LineReader {
public:
    LineReader(QIODevice& device, TextEncoding encoding);
    // The next line; false at the end of the input or on a read error.
    bool Next(QString& line);
    bool Failed() const { return failed_; }

private:
    bool Fill();
    QString Decode(qsizetype from, qsizetype to) const;
    QIODevice& dev_;
    TextEncoding encoding_;
    bool utf8_ = false;
    bool first_ = true;
    bool failed_ = false;
    bool eof_ = false;
    QByteArray buf_;
    qsizetype pos_ = 0;
};

} // namespace vmx::app
