// Feeds arbitrary bytes to the document text readers. The first byte picks
// the kind the bytes are read as (PDF, the three OOXML kinds, the three
// OpenDocument kinds, or the kind the bytes themselves say); the rest is
// the file. Whatever text comes back must be clean UTF-8 within the limit,
// and a problem must come with no text. Inputs past 1 MiB are cut there;
// every reader stops at its limits of unpacked bytes, pages and time.

#include "DocumentText.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace tessary;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static constexpr std::size_t kMaxInput = 1u << 20;
    static constexpr const char* kExtensions[]
        = { "pdf", "docx", "xlsx", "pptx", "odt", "ods", "odp", "bin" };
    const char* extension = kExtensions[data[0] % 8];
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, std::min(size - 1, kMaxInput));

    DocumentTextLimits limits;
    limits.maxPages = 200;
    limits.maxPartBytes = 8u << 20;
    limits.maxUnpackedBytes = 16u << 20;
    limits.maxTextBytes = 1u << 20;
    limits.maxTime = std::chrono::milliseconds(2000);
    const auto result = ReadDocumentText(extension, bytes, limits);
    if (!result)
        return 0;
    if (result->problem != TextProblem::None && !result->text.empty())
        std::abort();
    if (result->text.size() > limits.maxTextBytes)
        std::abort();
    std::string clean;
    if (!AppendCleanUtf8(clean, result->text, limits.maxTextBytes) || clean != result->text)
        std::abort();
    return 0;
}
