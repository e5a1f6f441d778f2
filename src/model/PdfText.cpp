#include "DocumentReaders.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>

#include <climits>
#include <memory>
#include <mutex>

namespace tessary::docreaders {

namespace {

// Poppler writes what it finds wrong in a file to standard error; a damaged
// file is reported by its result instead.
void Quiet(const std::string&, void*)
{
}

void SilenceOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { poppler::set_debug_error_function(Quiet, nullptr); });
}

} // namespace

DocumentTextResult ReadPdf(std::string_view bytes, const DocumentTextLimits& limits)
{
    SilenceOnce();
    if (bytes.size() > static_cast<std::size_t>(INT_MAX))
        return Failure(TextProblem::TooLarge, "a PDF of 2 GiB or more is not read");
    const Deadline deadline(limits.maxTime);
    // The document reads the bytes in place; they outlive it.
    std::unique_ptr<poppler::document> doc(
        poppler::document::load_from_raw_data(bytes.data(), static_cast<int>(bytes.size())));
    if (!doc)
        return Failure(TextProblem::Damaged, "not a readable PDF");
    if (doc->is_locked())
        return Failure(TextProblem::Encrypted, "the PDF needs a password");
    const int pages = doc->pages();
    if (pages < 0 || static_cast<std::size_t>(pages) > limits.maxPages)
        return Failure(TextProblem::TooLarge,
            "the PDF has " + std::to_string(pages) + " pages; at most " + std::to_string(limits.maxPages)
                + " are read");
    DocumentTextResult result;
    for (int i = 0; i < pages; ++i) {
        if (deadline.Passed())
            return Failure(TextProblem::TooLarge,
                "reading the PDF took too long (stopped at page " + std::to_string(i + 1) + ")");
        std::unique_ptr<poppler::page> page(doc->create_page(i));
        if (!page)
            continue;
        const poppler::byte_array utf8
            = page->text(poppler::rectf(), poppler::page::raw_order_layout).to_utf8();
        if (!result.text.empty() && result.text.back() != '\n')
            result.text += '\n';
        if (!AppendCleanUtf8(result.text, std::string_view(utf8.data(), utf8.size()), limits.maxTextBytes))
            return Failure(TextProblem::TooLarge,
                "the PDF's text passes " + std::to_string(limits.maxTextBytes) + " bytes");
    }
    return result;
}

} // namespace tessary::docreaders
