#pragma once

// The program's document readers, one per container, behind DocumentText().
// Internal to the core: nothing outside DocumentText.cpp and the readers'
// own tests includes this.

#include "DocumentText.h"

#include <chrono>

namespace tessary::docreaders {

// A deadline measured from the reader's start.
class Deadline {
public:
    explicit Deadline(std::chrono::milliseconds budget)
        : m_end(std::chrono::steady_clock::now() + budget)
    {
    }
    bool Passed() const noexcept { return std::chrono::steady_clock::now() > m_end; }

private:
    std::chrono::steady_clock::time_point m_end;
};

// PDF through poppler.
DocumentTextResult ReadPdf(std::string_view bytes, const DocumentTextLimits& limits);
// The zip-and-XML formats through libzip and pugixml.
DocumentTextResult ReadOffice(DocumentKind kind, std::string_view bytes, const DocumentTextLimits& limits);
// The office kind of a zip, from the names of its members; nothing when it
// is another zip or none.
std::optional<DocumentKind> SniffZip(std::string_view bytes) noexcept;

inline DocumentTextResult Failure(TextProblem problem, std::string detail)
{
    DocumentTextResult r;
    r.problem = problem;
    r.detail = std::move(detail);
    return r;
}

} // namespace tessary::docreaders
