#pragma once

#include <stdexcept>
#include <string>

namespace tessary {

// Why a file operation failed, in the terms a message to the user needs.
enum class FileErrorCause {
    Generic, // anything not listed below
    NotFound, // no such file or folder
    AccessDenied, // permission denied, read-only file system
    SharingViolation, // busy or locked by another program
    DiskFull, // no space left, quota exceeded
    BadPath, // a name too long or a folder missing on the way
    TooManyOpenFiles,
    EndOfFile, // the file ended early
    TooLarge, // the format cannot hold it (4 GiB or more)
    NotRegularFile, // a folder, fifo, socket or device where a file was needed
    HardIO, // a read or write error of the device
};

// A failed file operation: which file, why, and the system's error number.
class FileError : public std::runtime_error {
public:
    FileError(FileErrorCause cause, std::string path, int sysErrno = 0, const std::string& detail = {});
    FileErrorCause Cause() const noexcept { return m_cause; }
    const std::string& Path() const noexcept { return m_path; }
    int SysErrno() const noexcept { return m_errno; }

    // Maps an errno value to a cause.
    static FileErrorCause CauseFromErrno(int err) noexcept;
    // Throws the FileError for `err` on `path`.
    [[noreturn]] static void ThrowErrno(int err, const std::string& path, const std::string& detail = {});

private:
    FileErrorCause m_cause;
    std::string m_path;
    int m_errno;
};

// One English sentence naming the file and the cause (CLI and logs).
std::string DescribeFileError(const FileError& error);

} // namespace tessary
