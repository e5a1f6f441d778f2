#pragma once

#include "Content.h"

#include <cstddef>
#include <span>
#include <utility>
#include <vector>

class QString;
class QWidget;

namespace tessary {

class CDatum;
class CTessaryDoc;

// What one extraction run did.
struct ExtractionOutcome {
    std::size_t extracted = 0; // items whose content was replaced
    std::size_t failed = 0; // items whose file could not be read (each reported)
    std::size_t withoutText = 0; // documents that gave no text (reported together)
    bool cancelled = false; // the user pressed Cancel
};

// After this long without an end, the run shows its progress dialog.
inline constexpr int kExtractionQuietMs = 500;

// Replaces the content of each of `items` (data items of `doc`'s library)
// with the bytes of its file, in the order given, and a document's text as
// StoreContent does in `mode` (the text is read on the worker as well).
//
// The files are read on a worker thread; the contents are assigned here, on
// the calling user-interface thread, as they arrive, so the library is never
// touched from another thread. The event loop keeps running, so the windows
// repaint: during the first `quietMs` without user input, then under a
// progress dialog, modal over `parent`'s window, that counts the files done,
// names the one being read and offers Cancel. Items done before a cancel
// keep their new content; the others are left as they were.
//
// The document is marked modified as soon as one item's content changed,
// also when a later item fails. A file that cannot be opened (missing,
// refused, not a regular file, 4 GiB or more) is reported with a message
// naming it, once per item, and the others go on; a read error inside a
// file is reported and ends the run. An item that leaves the library while
// the run lasts is skipped. Documents that gave no text (encrypted, damaged)
// keep their bytes, and are named together in one message at the end with
// the reason for each. Out of memory ends the run by std::bad_alloc, thrown
// here once the worker has stopped.
ExtractionOutcome ExtractContents(std::span<CDatum* const> items, CTessaryDoc& doc, QWidget* parent,
    int quietMs = kExtractionQuietMs, ContentMode mode = ContentMode::BytesAndText);

// The message naming the documents that gave no text, each with its reason
// (`files`: display path and reason), at most `shown` of them by name.
QString NoTextMessage(const std::vector<std::pair<QString, TextProblem>>& files, std::size_t shown = 20);

} // namespace tessary
