#pragma once

#include <cstddef>
#include <span>

class QWidget;

namespace tessary {

class CDatum;
class CTessaryDoc;

// What one extraction run did.
struct ExtractionOutcome {
    std::size_t extracted = 0; // items whose content was replaced
    std::size_t failed = 0; // items whose file could not be read (each reported)
    bool cancelled = false; // the user pressed Cancel
};

// After this long without an end, the run shows its progress dialog.
inline constexpr int kExtractionQuietMs = 500;

// Replaces the content of each of `items` (data items of `doc`'s library)
// with the bytes of its file, in the order given.
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
// the run lasts is skipped. Out of memory ends the run by std::bad_alloc,
// thrown here once the worker has stopped.
ExtractionOutcome ExtractContents(
    std::span<CDatum* const> items, CTessaryDoc& doc, QWidget* parent, int quietMs = kExtractionQuietMs);

} // namespace tessary
