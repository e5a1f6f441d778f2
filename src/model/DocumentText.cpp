#include "DocumentText.h"

#include "DocumentReaders.h"

#include <algorithm>
#include <array>

namespace tessary {

namespace {

struct KindName {
    std::string_view extension;
    DocumentKind kind;
};

constexpr std::array<KindName, 7> kKinds { {
    { "pdf", DocumentKind::Pdf },
    { "docx", DocumentKind::WordDocument },
    { "xlsx", DocumentKind::Workbook },
    { "pptx", DocumentKind::Slides },
    { "odt", DocumentKind::OdfText },
    { "ods", DocumentKind::OdfSpreadsheet },
    { "odp", DocumentKind::OdfPresentation },
} };

bool SameAsciiFolded(std::string_view a, std::string_view lower) noexcept
{
    return a.size() == lower.size() && std::equal(a.begin(), a.end(), lower.begin(), [](char x, char y) {
        return (x >= 'A' && x <= 'Z' ? static_cast<char>(x - 'A' + 'a') : x) == y;
    });
}

class CSystemDocumentText final : public IDocumentText {
public:
    DocumentTextResult Read(
        DocumentKind kind, std::string_view bytes, const DocumentTextLimits& limits) const override
    {
        if (kind == DocumentKind::Pdf)
            return docreaders::ReadPdf(bytes, limits);
        return docreaders::ReadOffice(kind, bytes, limits);
    }
};

// Length of the UTF-8 sequence starting at `p` (of `n` bytes left), or 0
// when it is not a well-formed one (overlong forms, surrogates and values
// past U+10FFFF included).
std::size_t SequenceLength(const unsigned char* p, std::size_t n) noexcept
{
    const unsigned char c = p[0];
    if (c < 0x80)
        return 1;
    std::size_t len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF)
        len = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0)
            lo = 0xA0;
        else if (c == 0xED)
            hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0)
            lo = 0x90;
        else if (c == 0xF4)
            hi = 0x8F;
    } else
        return 0;
    if (n < len || p[1] < lo || p[1] > hi)
        return 0;
    for (std::size_t i = 2; i < len; ++i)
        if (p[i] < 0x80 || p[i] > 0xBF)
            return 0;
    return len;
}

} // namespace

std::optional<DocumentKind> DocumentKindOf(std::string_view extension, std::string_view head) noexcept
{
    for (const KindName& k : kKinds)
        if (SameAsciiFolded(extension, k.extension))
            return k.kind;
    if (head.substr(0, 5) == "%PDF-")
        return DocumentKind::Pdf;
    if (head.substr(0, 4) == std::string_view("PK\x03\x04", 4))
        return docreaders::SniffZip(head);
    return std::nullopt;
}

const IDocumentText& DocumentText()
{
    static const CSystemDocumentText reader;
    return reader;
}

std::optional<DocumentTextResult> ReadDocumentText(std::string_view extension, std::string_view bytes,
    const DocumentTextLimits& limits, const IDocumentText& reader)
{
    const std::optional<DocumentKind> kind = DocumentKindOf(extension, bytes);
    if (!kind)
        return std::nullopt;
    DocumentTextResult result = reader.Read(*kind, bytes, limits);
    if (result.problem != TextProblem::None) {
        result.text.clear();
        return result;
    }
    const bool words = std::any_of(result.text.begin(), result.text.end(),
        [](char c) { return c != ' ' && c != '\n' && c != '\t' && c != '\f'; });
    if (!words) {
        result.text.clear();
        result.problem = TextProblem::NoText;
        result.detail = "the document holds no text";
    }
    return result;
}

std::string_view TextProblemWords(TextProblem problem) noexcept
{
    switch (problem) {
    case TextProblem::None:
        return {};
    case TextProblem::Encrypted:
        return "已加密";
    case TextProblem::Damaged:
        return "已损坏";
    case TextProblem::TooLarge:
        return "超出读取限制";
    case TextProblem::NoText:
        return "不含文字";
    }
    return {};
}

bool AppendCleanUtf8(std::string& out, std::string_view raw, std::size_t maxBytes)
{
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    const auto* p = reinterpret_cast<const unsigned char*>(raw.data());
    const std::size_t n = raw.size();
    std::size_t i = 0;
    while (i < n) {
        // Runs of plain printable ASCII are copied at once.
        std::size_t j = i;
        while (j < n && p[j] >= 0x20 && p[j] < 0x7F)
            ++j;
        if (j > i) {
            const std::size_t room = maxBytes - std::min(maxBytes, out.size());
            if (j - i > room) {
                out.append(raw.substr(i, room));
                return false;
            }
            out.append(raw.substr(i, j - i));
            i = j;
            continue;
        }
        std::string_view piece;
        std::size_t step = 1;
        if (p[i] < 0x20 || p[i] == 0x7F) {
            if (p[i] == '\t' || p[i] == '\n')
                piece = raw.substr(i, 1);
            else if (p[i] == '\r')
                piece = (i + 1 < n && p[i + 1] == '\n') ? std::string_view() : std::string_view("\n");
        } else if (const std::size_t len = SequenceLength(p + i, n - i)) {
            piece = raw.substr(i, len);
            step = len;
        } else {
            piece = kReplacement;
        }
        if (out.size() + piece.size() > maxBytes)
            return false;
        out.append(piece);
        i += step;
    }
    return true;
}

} // namespace tessary
