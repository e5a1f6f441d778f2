#include "DocumentReaders.h"

#include <pugixml.hpp>
#include <zip.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <vector>

namespace tessary::docreaders {

namespace {

// What reading one member gave: its bytes, or why not.
struct Member {
    std::string bytes;
    TextProblem problem = TextProblem::None;
    std::string detail;
};

// A zip archive read from memory, with a budget of unpacked bytes and time
// shared by all the members read from it.
class CZip {
public:
    CZip(std::string_view bytes, const DocumentTextLimits& limits)
        : m_limits(limits)
        , m_deadline(limits.maxTime)
    {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
        if (source) {
            m_zip = zip_open_from_source(source, ZIP_RDONLY, &error);
            if (!m_zip)
                zip_source_free(source);
        }
        zip_error_fini(&error);
    }
    ~CZip()
    {
        if (m_zip)
            zip_discard(m_zip);
    }
    CZip(const CZip&) = delete;
    CZip& operator=(const CZip&) = delete;

    bool IsOpen() const noexcept { return m_zip != nullptr; }
    bool Has(const char* name) const noexcept { return zip_name_locate(m_zip, name, 0) >= 0; }

    // The members whose names are `prefix` + a number + ".xml", in the
    // order of their numbers (slide2 before slide10).
    std::vector<std::string> Numbered(std::string_view prefix) const
    {
        std::map<unsigned long, std::string> found;
        const zip_int64_t n = zip_get_num_entries(m_zip, 0);
        for (zip_int64_t i = 0; i < n; ++i) {
            const char* name = zip_get_name(m_zip, static_cast<zip_uint64_t>(i), 0);
            if (!name)
                continue;
            std::string_view s(name);
            if (s.size() <= prefix.size() + 4 || s.substr(0, prefix.size()) != prefix
                || s.substr(s.size() - 4) != ".xml")
                continue;
            const std::string_view digits = s.substr(prefix.size(), s.size() - prefix.size() - 4);
            if (digits.size() > 9
                || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
                continue;
            found.emplace(std::strtoul(std::string(digits).c_str(), nullptr, 10), std::string(s));
        }
        std::vector<std::string> names;
        for (auto& [number, name] : found)
            names.push_back(std::move(name));
        return names;
    }

    // The unpacked bytes of the member `name`, at most `cap` of them (the
    // part limit when 0).
    Member Read(const std::string& name, std::size_t cap = 0)
    {
        Member m;
        if (cap == 0)
            cap = m_limits.maxPartBytes;
        const zip_int64_t index = zip_name_locate(m_zip, name.c_str(), 0);
        if (index < 0)
            return Fail(m, TextProblem::Damaged, "the member " + name + " is missing");
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(m_zip, static_cast<zip_uint64_t>(index), 0, &st) == 0
            && (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
            return Fail(m, TextProblem::Encrypted, "the member " + name + " is encrypted");
        zip_file_t* file = zip_fopen_index(m_zip, static_cast<zip_uint64_t>(index), 0);
        if (!file) {
            const int code = zip_error_code_zip(zip_get_error(m_zip));
            return Fail(m,
                code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD ? TextProblem::Encrypted
                                                                      : TextProblem::Damaged,
                "the member " + name + " cannot be opened: " + zip_strerror(m_zip));
        }
        // The sizes the archive states are not trusted: the bytes are
        // counted as they come.
        char block[64 * 1024];
        for (;;) {
            const zip_int64_t got = zip_fread(file, block, sizeof block);
            if (got < 0) {
                m.problem = TextProblem::Damaged;
                m.detail = "the member " + name + " cannot be unpacked: " + zip_file_strerror(file);
                break;
            }
            if (got == 0)
                break;
            m_unpacked += static_cast<std::size_t>(got);
            if (m.bytes.size() + static_cast<std::size_t>(got) > cap
                || m_unpacked > m_limits.maxUnpackedBytes) {
                m.problem = TextProblem::TooLarge;
                m.detail = "unpacked, the file passes the limit of "
                    + std::to_string(std::min(cap, m_limits.maxUnpackedBytes)) + " bytes";
                break;
            }
            if (m_deadline.Passed()) {
                m.problem = TextProblem::TooLarge;
                m.detail = "unpacking the file took too long";
                break;
            }
            m.bytes.append(block, static_cast<std::size_t>(got));
        }
        zip_fclose(file);
        if (m.problem != TextProblem::None)
            m.bytes.clear();
        return m;
    }

private:
    static Member& Fail(Member& m, TextProblem problem, std::string detail)
    {
        m.problem = problem;
        m.detail = std::move(detail);
        return m;
    }

    const DocumentTextLimits& m_limits;
    Deadline m_deadline;
    zip_t* m_zip = nullptr;
    std::size_t m_unpacked = 0;
};

std::string_view LocalName(const pugi::xml_node& node)
{
    std::string_view name(node.name());
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// Collects the words of a parsed part: the XML is walked with no recursion,
// so any depth of nesting is read.
class CTextCollector {
public:
    // OOXML keeps words only in elements named t; OpenDocument keeps them
    // anywhere in its body, with its own elements for runs of spaces.
    CTextCollector(bool odf, std::string& out, std::size_t maxBytes)
        : m_odf(odf)
        , m_out(out)
        , m_max(maxBytes)
    {
    }

    // False when the text passed the limit.
    bool Walk(const pugi::xml_node& top)
    {
        pugi::xml_node n = top.first_child();
        while (n) {
            if (!Enter(n))
                return false;
            if (pugi::xml_node child = n.first_child()) {
                n = child;
                continue;
            }
            for (;;) {
                if (!Leave(n))
                    return false;
                if (pugi::xml_node next = n.next_sibling()) {
                    n = next;
                    break;
                }
                n = n.parent();
                if (!n || n == top) {
                    n = pugi::xml_node();
                    break;
                }
            }
        }
        return true;
    }

private:
    bool Put(std::string_view s) { return AppendCleanUtf8(m_out, s, m_max); }

    bool Enter(const pugi::xml_node& n)
    {
        if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) {
            if (m_odf || LocalName(n.parent()) == "t")
                return Put(n.value());
            return true;
        }
        if (n.type() != pugi::node_element)
            return true;
        const std::string_view name = LocalName(n);
        if (name == "tab")
            return Put("\t");
        if (name == "br" || name == "cr" || name == "line-break")
            return Put("\n");
        if (m_odf && name == "s") {
            const unsigned spaces = std::clamp(n.attribute("text:c").as_uint(1), 1u, 64u);
            return Put(std::string(spaces, ' '));
        }
        return true;
    }

    bool Leave(const pugi::xml_node& n)
    {
        if (n.type() != pugi::node_element)
            return true;
        const std::string_view name = LocalName(n);
        if (name == "p" || name == "h")
            return Put("\n");
        return true;
    }

    bool m_odf;
    std::string& m_out;
    std::size_t m_max;
};

class COfficeReader {
public:
    COfficeReader(std::string_view bytes, const DocumentTextLimits& limits)
        : m_zip(bytes, limits)
        , m_limits(limits)
    {
    }

    DocumentTextResult Read(DocumentKind kind)
    {
        if (!m_zip.IsOpen())
            return Failure(TextProblem::Damaged, "not a readable zip archive");
        switch (kind) {
        case DocumentKind::WordDocument:
            return Parts({ "word/document.xml" }, false);
        case DocumentKind::Slides:
            return Parts(m_zip.Numbered("ppt/slides/slide"), false);
        case DocumentKind::Workbook:
            return Workbook();
        case DocumentKind::OdfText:
        case DocumentKind::OdfSpreadsheet:
        case DocumentKind::OdfPresentation:
            if (m_zip.Has("META-INF/manifest.xml")) {
                Member manifest = m_zip.Read("META-INF/manifest.xml");
                if (manifest.problem != TextProblem::None)
                    return Failure(manifest.problem, manifest.detail);
                if (manifest.bytes.find("encryption-data") != std::string::npos)
                    return Failure(TextProblem::Encrypted, "the document is encrypted");
            }
            return Parts({ "content.xml" }, true);
        case DocumentKind::Pdf:
            break;
        }
        return Failure(TextProblem::Damaged, "not an office document");
    }

private:
    // Parses a member; false with `result` set when it cannot be.
    bool Parse(
        const std::string& name, pugi::xml_document& xml, std::string& storage, DocumentTextResult& result)
    {
        Member m = m_zip.Read(name);
        if (m.problem != TextProblem::None) {
            result = Failure(m.problem, m.detail);
            return false;
        }
        storage = std::move(m.bytes);
        const pugi::xml_parse_result parsed = xml.load_buffer_inplace(storage.data(), storage.size(),
            pugi::parse_default | pugi::parse_ws_pcdata_single, pugi::encoding_auto);
        if (!parsed) {
            result = Failure(TextProblem::Damaged,
                "the member " + name + " is not well-formed XML (" + parsed.description() + " at byte "
                    + std::to_string(parsed.offset) + ")");
            return false;
        }
        return true;
    }

    DocumentTextResult Parts(const std::vector<std::string>& names, bool odf)
    {
        DocumentTextResult result;
        for (const std::string& name : names) {
            pugi::xml_document xml;
            std::string storage;
            if (!Parse(name, xml, storage, result))
                return result;
            if (!result.text.empty() && result.text.back() != '\n')
                result.text += '\n';
            if (!CTextCollector(odf, result.text, m_limits.maxTextBytes).Walk(xml))
                return TooMuchText();
        }
        return result;
    }

    // Cells row by row, tab between cells; strings shared between cells are
    // looked up in the workbook's table of strings.
    DocumentTextResult Workbook()
    {
        DocumentTextResult result;
        std::vector<std::string> shared;
        if (m_zip.Has("xl/sharedStrings.xml")) {
            pugi::xml_document xml;
            std::string storage;
            if (!Parse("xl/sharedStrings.xml", xml, storage, result))
                return result;
            std::size_t bytes = 0;
            for (const pugi::xml_node& si : xml.document_element().children()) {
                std::string s;
                if (!CTextCollector(false, s, m_limits.maxTextBytes).Walk(si))
                    return TooMuchText();
                bytes += s.size();
                if (bytes > m_limits.maxTextBytes)
                    return TooMuchText();
                shared.push_back(std::move(s));
            }
        }
        for (const std::string& name : m_zip.Numbered("xl/worksheets/sheet")) {
            pugi::xml_document xml;
            std::string storage;
            if (!Parse(name, xml, storage, result))
                return result;
            const pugi::xml_node data = xml.document_element().child("sheetData");
            for (const pugi::xml_node& row : data.children("row")) {
                bool first = true;
                for (const pugi::xml_node& cell : row.children("c")) {
                    std::string value;
                    const std::string_view type = cell.attribute("t").value();
                    if (type == "s") {
                        const unsigned long i = cell.child("v").text().as_ullong(~0ull);
                        if (i < shared.size())
                            value = shared[i];
                    } else if (type == "inlineStr") {
                        if (!CTextCollector(false, value, m_limits.maxTextBytes).Walk(cell.child("is")))
                            return TooMuchText();
                    } else {
                        value = cell.child_value("v");
                    }
                    if (value.empty())
                        continue;
                    if (!first && !AppendCleanUtf8(result.text, "\t", m_limits.maxTextBytes))
                        return TooMuchText();
                    first = false;
                    if (!AppendCleanUtf8(result.text, value, m_limits.maxTextBytes))
                        return TooMuchText();
                }
                if (!first && !AppendCleanUtf8(result.text, "\n", m_limits.maxTextBytes))
                    return TooMuchText();
            }
        }
        return result;
    }

    DocumentTextResult TooMuchText() const
    {
        return Failure(TextProblem::TooLarge,
            "the document's text passes " + std::to_string(m_limits.maxTextBytes) + " bytes");
    }

    CZip m_zip;
    const DocumentTextLimits& m_limits;
};

} // namespace

DocumentTextResult ReadOffice(DocumentKind kind, std::string_view bytes, const DocumentTextLimits& limits)
{
    // Encrypted OOXML files are not zips but compound files holding the
    // encrypted package.
    if (bytes.substr(0, 8) == std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
        return Failure(TextProblem::Encrypted, "the document is encrypted");
    return COfficeReader(bytes, limits).Read(kind);
}

std::optional<DocumentKind> SniffZip(std::string_view bytes) noexcept
{
    try {
        DocumentTextLimits limits;
        CZip zip(bytes, limits);
        if (!zip.IsOpen())
            return std::nullopt;
        if (zip.Has("word/document.xml"))
            return DocumentKind::WordDocument;
        if (zip.Has("xl/workbook.xml"))
            return DocumentKind::Workbook;
        if (zip.Has("ppt/presentation.xml"))
            return DocumentKind::Slides;
        if (!zip.Has("mimetype"))
            return std::nullopt;
        const Member type = zip.Read("mimetype", 128);
        static constexpr std::string_view kOdf = "application/vnd.oasis.opendocument.";
        if (type.bytes.substr(0, kOdf.size()) != kOdf)
            return std::nullopt;
        const std::string_view rest = std::string_view(type.bytes).substr(kOdf.size());
        if (rest == "text")
            return DocumentKind::OdfText;
        if (rest == "spreadsheet")
            return DocumentKind::OdfSpreadsheet;
        if (rest == "presentation")
            return DocumentKind::OdfPresentation;
    } catch (...) {
        // out of memory: not sniffed
    }
    return std::nullopt;
}

} // namespace tessary::docreaders
