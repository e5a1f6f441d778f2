#include "FileError.h"

#include <cerrno>
#include <cstring>

namespace tessary {

namespace {

const char* CauseText(FileErrorCause cause) noexcept
{
    switch (cause) {
    case FileErrorCause::NotFound:
        return "it was not found";
    case FileErrorCause::AccessDenied:
        return "access was denied";
    case FileErrorCause::SharingViolation:
        return "it is in use by another program";
    case FileErrorCause::DiskFull:
        return "the disk is full";
    case FileErrorCause::BadPath:
        return "the path is invalid";
    case FileErrorCause::TooManyOpenFiles:
        return "too many files are open";
    case FileErrorCause::EndOfFile:
        return "it ended unexpectedly";
    case FileErrorCause::TooLarge:
        return "it is too large (4 GiB or more)";
    case FileErrorCause::NotRegularFile:
        return "it is not a regular file";
    case FileErrorCause::HardIO:
        return "a device error occurred";
    case FileErrorCause::Generic:
        break;
    }
    return "an error occurred";
}

std::string Compose(FileErrorCause cause, const std::string& path, int sysErrno, const std::string& detail)
{
    std::string s = "'" + path + "': " + CauseText(cause);
    if (sysErrno != 0) {
        s += " (";
        s += std::strerror(sysErrno);
        s += ")";
    }
    if (!detail.empty()) {
        s += " - ";
        s += detail;
    }
    return s;
}

} // namespace

FileError::FileError(FileErrorCause cause, std::string path, int sysErrno, const std::string& detail)
    : std::runtime_error(Compose(cause, path, sysErrno, detail))
    , m_cause(cause)
    , m_path(std::move(path))
    , m_errno(sysErrno)
{
}

FileErrorCause FileError::CauseFromErrno(int err) noexcept
{
    switch (err) {
    case ENOENT:
        return FileErrorCause::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return FileErrorCause::AccessDenied;
    case EBUSY:
    case ETXTBSY:
    case EAGAIN:
        return FileErrorCause::SharingViolation;
    case ENOSPC:
    case EDQUOT:
        return FileErrorCause::DiskFull;
    case ENAMETOOLONG:
    case ENOTDIR:
    case ELOOP:
    case EINVAL:
        return FileErrorCause::BadPath;
    case EMFILE:
    case ENFILE:
        return FileErrorCause::TooManyOpenFiles;
    case EFBIG:
    case EOVERFLOW:
        return FileErrorCause::TooLarge;
    case EISDIR:
    case ENXIO:
    case ENODEV:
        return FileErrorCause::NotRegularFile;
    case EIO:
        return FileErrorCause::HardIO;
    default:
        return FileErrorCause::Generic;
    }
}

void FileError::ThrowErrno(int err, const std::string& path, const std::string& detail)
{
    throw FileError(CauseFromErrno(err), path, err, detail);
}

std::string DescribeFileError(const FileError& error)
{
    std::string s = "The file " + std::string(error.what());
    if (!s.empty() && s.back() != '.')
        s += '.';
    return s;
}

} // namespace tessary
