#pragma once

// Small documents made on the spot for the tests and benchmarks of document
// text: PDFs from a little writer of our own, office files as zip + XML.

#include "DocumentText.h"

#include <string>
#include <utility>
#include <vector>

namespace tessary::samples {

// A line of a PDF page in one of the writer's fonts.
struct PdfLine {
    enum class Font {
        Helvetica, // a standard Type 1 font, WinAnsiEncoding (Latin-1 letters)
        Times, // a standard Type 1 font, MacRomanEncoding (a few accented letters)
        Cid, // a composite font, Identity-H with a ToUnicode map (any BMP character)
    };
    Font font = Font::Helvetica;
    std::string utf8;
};
using PdfPage = std::vector<PdfLine>;

struct PdfOptions {
    bool encrypted = false; // a standard security handler whose password is not empty
    bool sharePages = false; // every page shows the first page's content stream (cheap big files)
    std::size_t pageCount = 0; // with sharePages: the number of pages (0: as many as given)
};

// A PDF whose pages show `pages`, one line after another.
std::string MakePdf(const std::vector<PdfPage>& pages, const PdfOptions& options = {});

// A zip archive in memory holding `members` (name, bytes) in this order;
// the first is stored, the others compressed.
std::string MakeZip(const std::vector<std::pair<std::string, std::string>>& members);

// An office file of `kind` (not Pdf) whose text is `paragraphs`, each a
// paragraph (a spreadsheet: a row of one cell; slides: one slide each).
std::string MakeOffice(DocumentKind kind, const std::vector<std::string>& paragraphs);

// The text a reader gives for `paragraphs`: each followed by a line feed.
std::string Lines(const std::vector<std::string>& paragraphs);

} // namespace tessary::samples
