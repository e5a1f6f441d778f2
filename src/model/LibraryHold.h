#pragma once

#include <ctime>
#include <string>
#include <sys/types.h>

namespace tessary {

// What a library file was when the document last read or wrote it: which
// file (device and inode) and its modification time and size.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified {};
    off_t size = 0;

    bool SameFile(const FileIdentity& o) const noexcept { return device == o.device && inode == o.inode; }
    bool operator==(const FileIdentity& o) const noexcept
    {
        return SameFile(o) && modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec
            && size == o.size;
    }
};

// The document's hold on its library file: a descriptor kept open for as
// long as the document has the file, with a shared advisory lock on it, and
// the file's identity as of the last open or save.
//
// The lock is an open-file-description lock: it belongs to the descriptor,
// not to the process, so two documents of one process see each other as two
// programs would, and the system drops it when the descriptor is closed, so
// a crashed program leaves nothing behind. Programs that do not look at the
// lock are not stopped by it.
class CLibraryHold {
public:
    CLibraryHold() = default;
    ~CLibraryHold() { Release(); }
    CLibraryHold(const CLibraryHold&) = delete;
    CLibraryHold& operator=(const CLibraryHold&) = delete;

    // Takes over `fd` (open for reading on the library), locks it and
    // records the file's identity; the previous hold is released after.
    // A file system without locks still gives an identity.
    void Adopt(int fd) noexcept;
    // Closes the descriptor, which ends the lock, and forgets the identity.
    void Release() noexcept;
    // Reads the identity again (after the held file was rewritten in place).
    void Refresh() noexcept;

    bool Holds() const noexcept { return m_fd >= 0; }
    const FileIdentity& Identity() const noexcept { return m_identity; }

    // True when the file at `path` is the held file or its successor and was
    // changed since the identity was taken: another file now has the name,
    // or the held one has another modification time or size. False without
    // a hold and when nothing is at `path` any more.
    bool ChangedOnDisk(const std::string& path) const;

    // True when another open description of the file at `path` (another
    // program, or another document) holds the lock. False when the file
    // cannot be opened or is held by this object only.
    bool IsHeldElsewhere(const std::string& path) const;

    // Takes the shared lock on `fd`; false where the file system has none.
    static bool LockShared(int fd) noexcept;

private:
    int m_fd = -1;
    FileIdentity m_identity;
};

// The identity of an open file.
bool IdentityOf(int fd, FileIdentity& identity) noexcept;

} // namespace tessary
