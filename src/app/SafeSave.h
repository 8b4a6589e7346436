#pragma once
// How every file the program writes is saved: into a temporary file beside the target, then
// renamed into place, so a save that fails half-way never costs the old file. One policy for
// every kind of file: a target without write permission is refused (for root too, as the
// read-only attribute is), a symbolic link is written through to the file it names, and a
// missing folder is told apart from a write-protected file.

#include <QByteArray>
#include <QString>

#include <memory>

class QFile;
class QTemporaryFile;

namespace vmx::app {

enum class SaveStatus {
    Ok,
    WriteProtected, // the target exists and nobody may write it
    FolderMissing,  // the target's folder does not exist
    CannotCreate,   // the target is a folder, or no file can be made in its folder
    WriteFailed,    // writing, syncing or renaming failed; the old file is unchanged
};

class SafeSave {
public:
    explicit SafeSave(const QString& target);
    // A temporary file that was not committed is removed.
    ~SafeSave();
    SafeSave(const SafeSave&) = delete;
    SafeSave& operator=(const SafeSave&) = delete;

    // Checks the target and creates the temporary file beside the file it stands for, open
    // for writing.
    SaveStatus Open();
    // The temporary file (valid after a successful Open).
    QFile& file();
    // Its path, for writers that open files themselves (the workbook library); such a writer
    // gets the path after CloseTemp().
    QString TempPath() const;
    void CloseTemp();
    // Flushes and syncs the temporary file, gives it the old file's permissions (a new file the
    // usual ones), and renames it over the destination.
    SaveStatus Commit();

    // The file that is really written: the target with its symbolic links followed.
    const QString& Destination() const { return destination_; }
    // The folder whose absence FolderMissing reports.
    QString Folder() const;

    // Checks only: what Open would say about the target, nothing created.
    static SaveStatus Check(const QString& target);
    // Open, write, commit in one.
    static SaveStatus Save(const QString& target, const QByteArray& bytes);

private:
    QString target_;
    QString destination_;
    std::unique_ptr<QTemporaryFile> temp_;
    bool committed_ = false;
};

// The catalogue message for a failed save: 286 write-protected, 291 (the missing folder is
// named with it), 288 an I/O error; `cannotCreate` is what the caller's operation reports for
// a file it cannot create.
int SaveMessage(SaveStatus status, int cannotCreate);

// ---- writes that the records depend on ----

// A failure injected into the file layer, since a test that runs as root can neither take a
// folder's write access away nor fill a disk: "ENOSPC@3" fails the third write and every later
// one with "no space left", "EACCES@1" refuses write access from the first on, and a text after
// ':' counts only the writes to paths holding it ("ENOSPC@2:units.json"). Read from the
// environment variable VMX_FILE_FAULT at the first write; an empty text clears it.
void SetFileFault(const QString& words);
// The error the next write to `path` is to fail with (0: none); counts the write.
int InjectedFault(const QString& path);
// All of `bytes` written to `f`; false with the error (errno) otherwise.
bool WriteAll(QFile& f, const QByteArray& bytes, int* error = nullptr);
// Appends `bytes` to the file `path` whole or not at all: a write that fails half-way is cut
// off again. True once the bytes are on the disk; else `why` says what failed.
bool AppendWhole(const QString& path, const QByteArray& bytes, QString* why = nullptr);
// Whether a file can be written under `path`: its folder exists, is no file, and takes a new
// file with a byte in it (one made and removed again). Else `why` says what failed.
bool ProbeWrite(const QString& path, QString* why = nullptr);
// The system's text for an errno value.
QString ErrorText(int error);

} // namespace vmx::app
