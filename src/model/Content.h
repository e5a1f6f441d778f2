#pragma once

#include "FileError.h"
#include "Text.h"

#include <atomic>
#include <optional>
#include <string>

namespace tessary {

class CDatum;

// A failed content extraction. WhileReading() tells a file that could not be
// opened (missing, locked, not a regular file, too large: the other selected
// items may still be processed) from a read error in the middle of a file
// (the command stops there).
class ContentError : public FileError {
public:
    ContentError(FileErrorCause cause, std::string path, int sysErrno, bool whileReading)
        : FileError(cause, std::move(path), sysErrno)
        , m_whileReading(whileReading)
    {
    }
    bool WhileReading() const noexcept { return m_whileReading; }

private:
    bool m_whileReading;
};

// Size of the blocks extraction reads.
inline constexpr std::size_t kContentBlock = 4096;

// Copies the exact bytes of the file behind `datum` (its GetPath) into its
// content, replacing what was there. Only regular files are read: a folder,
// fifo, socket or device is refused without being read (opening never
// blocks), and so is a file of 4 GiB or more, whose size the library format
// cannot hold. Throws ContentError; the content is then unchanged.
//
// Callers that own a document use CTessaryDoc::ExtractContent, which also
// marks the document modified.
void ExtractContent(CDatum& datum);

// What ExtractContent reads, without touching any entry, so that a worker
// thread may read while the user-interface thread assigns: the exact bytes
// of the regular file at `diskPath` (the platform's bytes), with the same
// refusals. Returns nothing when `stop` (may be null) turns true before the
// whole file has been read. Throws ContentError, or std::bad_alloc.
std::optional<CText> ReadContentFile(const std::string& diskPath, const std::atomic<bool>* stop = nullptr);

// Empties the content.
void ClearContent(CDatum& datum) noexcept;

} // namespace tessary
