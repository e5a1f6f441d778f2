#include "Content.h"

#include "Datum.h"
#include "FileSystem.h"
#include "TextCodec.h"

#include <algorithm>
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

std::optional<CText> ReadContentFile(const std::string& path, const std::atomic<bool>* stop)
{
    IFileSystem& fs = FileSystem();
    if (path.empty())
        Fail(FileErrorCause::NotFound, path, ENOENT, false);
    const auto stopped = [stop] { return stop && stop->load(std::memory_order_relaxed); };

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

    // Straight into the text, so that a large file is held once, not twice.
    const auto expected = static_cast<std::size_t>(st.st_size);
    CText text;
    std::size_t got = 0;
    bool halted = false;
    text.AssignWith(expected, [&](char* bytes) {
        while (got < expected) {
            if (stopped()) {
                halted = true;
                return;
            }
            const ssize_t n = fs.Read(fd.Get(), bytes + got, std::min(kContentBlock, expected - got));
            if (n < 0)
                FailErrno(errno, path, true);
            if (n == 0)
                break;
            got += static_cast<std::size_t>(n);
        }
    });
    if (halted)
        return std::nullopt;
    if (got < expected) // the file shrank while it was read
        return CText(text.data(), got);

    // Whatever follows the size examined: the file grew meanwhile, or it is
    // one whose size says nothing (some system files show 0).
    std::string more;
    char block[kContentBlock];
    for (;;) {
        if (stopped())
            return std::nullopt;
        const ssize_t n = fs.Read(fd.Get(), block, sizeof block);
        if (n < 0)
            FailErrno(errno, path, true);
        if (n == 0)
            break;
        if (expected + more.size() + static_cast<std::size_t>(n) > kMaxContent)
            Fail(FileErrorCause::TooLarge, path, EFBIG, true);
        more.append(block, static_cast<std::size_t>(n));
    }
    if (more.empty())
        return text;
    std::string all;
    all.reserve(expected + more.size());
    all.append(text.view());
    all.append(more);
    return CText(all);
}

void StoreContent(CDatum& datum, CText bytes, const std::optional<DocumentTextResult>& text, ContentMode mode)
{
    CText words;
    if (text && text->problem == TextProblem::None)
        words = text->text;
    if (mode == ContentMode::TextOnly && !words.empty())
        datum.m_strContent.Clear();
    else
        datum.m_strContent = std::move(bytes);
    datum.m_strText = std::move(words);
}

void ExtractContent(CDatum& datum)
{
    CText bytes = std::move(*ReadContentFile(GbToDisk(datum.GetPath())));
    const auto text = ReadDocumentText(datum.m_strExtension.view(), bytes.view());
    StoreContent(datum, std::move(bytes), text, ContentMode::BytesAndText);
}

void ClearContent(CDatum& datum) noexcept
{
    datum.m_strContent.Clear();
    datum.m_strText.Clear();
}

} // namespace tessary
