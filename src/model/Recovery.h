#pragma once

// Recovery copies: while a library has unsaved changes, the program keeps a
// copy of it in the user's state folder, so that a crash, a kill or a power
// cut loses at most the last few seconds of work.
//
// A copy is a normal library file ("books-1f2e3d4c5b6a7988.dli": the
// library's name and a hash of its absolute path, "未命名-<hash>.dli" for a
// library without a file), beside a side file of the same name plus
// ".origin" that holds the library's path as it is on disk (empty for a
// library without a file). The program that writes a copy holds a lock on
// its side file as long as it may write the copy again, so that another
// running program never offers a copy that is still being kept; the lock
// goes with the process, also when it is killed.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessary {

// "$XDG_STATE_HOME/tessary/recovery", by default
// "$HOME/.local/state/tessary/recovery". Not created here.
std::string DefaultRecoveryFolder();

// A copy left behind by a program that no longer keeps it.
struct RecoveryCopy {
    std::string copyPath; // the copy, a library file
    std::string library; // the library it belongs to; empty: one without a file
    std::int64_t savedNs = 0; // when the copy was written (ns since 1970)
};

// The copies in `folder` that no running program keeps, newest first; copies
// whose side file or library file is missing are left out (a write that was
// cut short). Temporary files of writers that are gone are removed. An
// absent folder has none.
std::vector<RecoveryCopy> ListRecoveryCopies(const std::string& folder);

// True when `copy` holds something its library does not: it was written
// after the library's file was last changed, or the library has no file
// (none given, or gone).
bool IsNewerThanLibrary(const RecoveryCopy& copy);

// True when `a` and `b` name the same library file: the same path, or the
// same file under two names.
bool SameLibrary(const std::string& a, const std::string& b);

// Removes a copy and its side file.
void RemoveRecoveryCopy(const std::string& copyPath);

// The copy this program keeps for the library it has open. It claims a name
// of its own (a copy that another program left behind is never written
// over) and holds its side file's lock until it is destroyed or removed.
// Write may run on another thread than the rest, one call at a time.
class CRecoveryFile {
public:
    // Claims a copy for `library` (empty: a library without a file) in
    // `folder`, which is created when missing (readable by the user alone).
    // Throws FileError.
    CRecoveryFile(const std::string& folder, const std::string& library);
    // Takes over `copy`, found by ListRecoveryCopies, as the one to keep
    // writing. Throws FileError (also when another program holds it now).
    explicit CRecoveryFile(const RecoveryCopy& copy);
    // Lets go of the lock and leaves the files: after a crash or a signal the
    // copy is what the next start offers.
    ~CRecoveryFile();
    CRecoveryFile(const CRecoveryFile&) = delete;
    CRecoveryFile& operator=(const CRecoveryFile&) = delete;

    const std::string& Path() const noexcept { return m_path; }
    const std::string& Library() const noexcept { return m_library; }

    // Replaces the copy with `pieces`, one after the other, atomically: a
    // temporary file beside it, synced, renamed over it. Throws FileError
    // naming the copy; the old copy is then untouched.
    void Write(std::span<const std::string_view> pieces);
    // Removes the copy and its side file and lets go of the lock.
    void Remove();
    // Makes the copy one of `library` from now on (a recovered library that
    // had lost its file and is kept without one). Throws FileError.
    void Retarget(const std::string& library);

private:
    std::string m_path;
    std::string m_library;
    int m_lockFd = -1;
};

} // namespace tessary
