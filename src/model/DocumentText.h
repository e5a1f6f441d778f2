#pragma once

// The words inside documents whose bytes are compressed or laid out for
// printing (PDF, the office formats): their plain text, read once when the
// content is extracted, so that a content search finds them and the viewer
// shows them while the file itself is away.
//
// The readers parse hostile files: every one of them stops at the limits
// below, so a zip that expands to gigabytes or a PDF of a hundred thousand
// pages costs bounded memory and time.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessary {

// The document formats whose text is read.
enum class DocumentKind : std::uint8_t {
    Pdf,
    WordDocument, // docx
    Workbook, // xlsx
    Slides, // pptx
    OdfText, // odt
    OdfSpreadsheet, // ods
    OdfPresentation, // odp
};

// The kind of a file with the extension `extension` (without the dot,
// compared after lower-casing A-Z) whose first bytes are `head` (as many as
// the caller has; the office formats are told apart by their zip's member
// names, so the whole file is best). The extension decides when it names a
// kind; otherwise the bytes do: "%PDF-" at the start, or a zip holding the
// main part of one of the office formats. Nothing for anything else.
std::optional<DocumentKind> DocumentKindOf(std::string_view extension, std::string_view head) noexcept;

// Why a document gave no text.
enum class TextProblem : std::uint8_t {
    None, // the text was read (it may still be empty: see NoText)
    Encrypted, // needs a password
    Damaged, // not a well-formed file of its kind
    TooLarge, // it passed one of the limits (pages, unpacked bytes, text, time)
    NoText, // well-formed, but holds no words (a scanned page, an empty sheet)
};

// The limits a reader stops at. The defaults keep one document under about
// 200 MB of memory and 20 seconds.
struct DocumentTextLimits {
    std::size_t maxPages = 10000; // PDF pages read; past them: TooLarge
    std::size_t maxPartBytes = 32u << 20; // one unpacked XML part of an office file
    std::size_t maxUnpackedBytes = 64u << 20; // all unpacked parts of one file together
    std::size_t maxTextBytes = 16u << 20; // the text kept
    std::chrono::milliseconds maxTime { 20000 }; // checked between pages and parts
};

struct DocumentTextResult {
    std::string text; // UTF-8, no zero bytes; empty unless problem is None
    TextProblem problem = TextProblem::None;
    std::string detail; // what went wrong, in English, for logs and the command line
};

// Reads documents of the kinds above. The program's readers (DocumentText())
// use the system's PDF, zip and XML libraries; tests may pass their own.
class IDocumentText {
public:
    virtual ~IDocumentText() = default;
    // The text of `bytes`, a whole file of the kind `kind`. Never throws
    // but std::bad_alloc; a file it cannot read gives a problem instead.
    // Safe to call from several threads at once.
    virtual DocumentTextResult Read(
        DocumentKind kind, std::string_view bytes, const DocumentTextLimits& limits) const = 0;
};

// The program's readers.
const IDocumentText& DocumentText();

// The text of a file with `extension` and the bytes `bytes`, or nothing when
// it is none of the kinds above. Text that reads as no words at all is
// reported as NoText.
std::optional<DocumentTextResult> ReadDocumentText(std::string_view extension, std::string_view bytes,
    const DocumentTextLimits& limits = {}, const IDocumentText& reader = DocumentText());

// A short Chinese phrase for the user saying why a document gave no text
// ("已加密", ...); empty for None.
std::string_view TextProblemWords(TextProblem problem) noexcept;

// Turns `raw` into the text kept: invalid UTF-8 becomes U+FFFD, zero bytes
// and control characters other than tab and line feed are dropped (a
// carriage return becomes a line feed), and at most `maxBytes` bytes are
// kept, cut at a character boundary. Appends to `out`; answers false when it
// had to cut.
bool AppendCleanUtf8(std::string& out, std::string_view raw, std::size_t maxBytes);

} // namespace tessary
