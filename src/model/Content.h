#pragma once

#include "DocumentText.h"
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

// What extraction keeps of a document (see DocumentText.h): its bytes and its
// text, or its text alone, so that a library of many documents stays small.
// Files that are no documents, and documents that give no text, always keep
// their bytes.
enum class ContentMode { BytesAndText, TextOnly };

// Stores what was read from a file into `datum`: `bytes`, and the text of
// `text` when it was read (a document's text is replaced, or removed when
// the file gave none). In TextOnly mode the bytes are dropped when there is
// a text. Throws std::bad_alloc only; `datum` is then unchanged.
void StoreContent(
    CDatum& datum, CText bytes, const std::optional<DocumentTextResult>& text, ContentMode mode);

// Copies the exact bytes of the file behind `datum` (its GetPath) into its
// content, replacing what was there, with the document's text (StoreContent
// in BytesAndText mode). Only regular files are read: a folder,
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

// Empties the content and the document's text.
void ClearContent(CDatum& datum) noexcept;

} // namespace tessary
