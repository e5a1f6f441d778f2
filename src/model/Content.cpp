#include "Content.h"

#include "Datum.h"
#include "FileSystem.h"
#include "TextCodec.h"

#include <cerrno>
#include <fcntl.h>

namespace tessary {

namespace {

constexpr unsigned long long kMaxContent = 0xFFFFFFFFull; // a library text holds at most this

[[noreturn]] void Fail(FileErrorCause cause, const std::string& path, int err, bool whileReading)
{
    throw ContentError(cause, path, err, whileReading);
}

[[noreturn]] void FailErrno(int err, const std::string& path, bool whileReading)
{
    Fail(FileError::CauseFromErrno(err), path, err, whileReading);
}

void CheckRegular(const struct stat& st, const std::string& path)
{
    if (!S_ISREG(st.st_mode))
        Fail(FileErrorCause::NotRegularFile, path, 0, false);
    if (static_cast<unsigned long long>(st.st_size) > kMaxContent)
        Fail(FileErrorCause::TooLarge, path, EFBIG, false);
}

} // namespace

void ExtractContent(CDatum& datum)
{
    IFileSystem& fs = FileSystem();
    const std::string path = GbToDisk(datum.GetPath());
    if (path.empty())
        Fail(FileErrorCause::NotFound, path, ENOENT, false);

    // Examined before opening: opening a device can have effects of its own
    // and opening a fifo would wait for a writer.
    struct stat st;
    if (fs.Stat(path.c_str(), &st) != 0)
        FailErrno(errno, path, false);
    CheckRegular(st, path);

    FdGuard fd(fs.Open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.Get() < 0)
        FailErrno(errno, path, false);
    // The name may have been replaced since it was examined.
    if (fs.Fstat(fd.Get(), &st) != 0)
        FailErrno(errno, path, false);
    CheckRegular(st, path);

    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char block[kContentBlock];
    for (;;) {
        ssize_t n = fs.Read(fd.Get(), block, sizeof block);
        if (n < 0)
            FailErrno(errno, path, true);
        if (n == 0)
            break;
        // The file may grow while it is read.
        if (bytes.size() + static_cast<std::size_t>(n) > kMaxContent)
            Fail(FileErrorCause::TooLarge, path, EFBIG, true);
        bytes.append(block, static_cast<std::size_t>(n));
    }
    datum.m_strContent.Assign(bytes.data(), bytes.size());
}

void ClearContent(CDatum& datum) noexcept
{
    datum.m_strContent.Clear();
}

} // namespace tessary
