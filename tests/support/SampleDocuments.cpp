#include "SampleDocuments.h"

#include <zip.h>

#include <cstdio>
#include <map>
#include <set>
#include <stdexcept>

namespace tessary::samples {

namespace {

// The code points of a UTF-8 text (assumed well-formed).
std::vector<char32_t> CodePoints(std::string_view utf8)
{
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        for (std::size_t k = 1; k < len && i + k < utf8.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        out.push_back(cp);
        i += len;
    }
    return out;
}

std::string Hex4(unsigned v)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", v & 0xFFFFu);
    return buf;
}

// A single-byte string of a standard font: Latin-1 for WinAnsi, a few
// letters moved for MacRoman.
std::string SingleByteString(std::string_view utf8, bool macRoman)
{
    static const std::map<char32_t, unsigned char> mac = {
        { U'é', 0x8E },
        { U'ü', 0x9F },
        { U'ö', 0x9A },
        { U'ä', 0x8A },
        { U'ñ', 0x96 },
        { U'ç', 0x8D },
    };
    std::string s = "(";
    for (char32_t cp : CodePoints(utf8)) {
        unsigned char b = cp < 0x100 ? static_cast<unsigned char>(cp) : '?';
        if (macRoman && cp >= 0x80)
            b = mac.count(cp) ? mac.at(cp) : '?';
        if (b == '(' || b == ')' || b == '\\')
            s += '\\';
        s += static_cast<char>(b);
    }
    return s + ")";
}

std::string ContentStream(const PdfPage& page)
{
    std::string s;
    int y = 800;
    for (const PdfLine& line : page) {
        const char* font = line.font == PdfLine::Font::Helvetica ? "/F1"
            : line.font == PdfLine::Font::Times                  ? "/F2"
                                                                 : "/F3";
        s += "BT ";
        s += font;
        s += " 12 Tf 50 " + std::to_string(y) + " Td ";
        if (line.font == PdfLine::Font::Cid) {
            s += '<';
            for (char32_t cp : CodePoints(line.utf8))
                s += Hex4(static_cast<unsigned>(cp));
            s += '>';
        } else {
            s += SingleByteString(line.utf8, line.font == PdfLine::Font::Times);
        }
        s += " Tj ET\n";
        y -= 20;
    }
    return s;
}

std::string Stream(const std::string& body)
{
    return "<< /Length " + std::to_string(body.size()) + " >>\nstream\n" + body + "\nendstream";
}

// The ToUnicode map of the composite font: code = code point, in ranges of
// one high byte each.
std::string ToUnicode(const std::set<unsigned>& highBytes)
{
    std::string s = "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n"
                    "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                    "/CMapName /Adobe-Identity-UCS def /CMapType 2 def\n"
                    "1 begincodespacerange <0000> <FFFF> endcodespacerange\n";
    s += std::to_string(highBytes.size()) + " beginbfrange\n";
    for (unsigned h : highBytes)
        s += "<" + Hex4(h << 8) + "> <" + Hex4((h << 8) | 0xFF) + "> <" + Hex4(h << 8) + ">\n";
    s += "endbfrange\nendcmap CMapName currentdict /CMap defineresource pop end end";
    return s;
}

std::string XmlEscape(std::string_view text)
{
    std::string s;
    for (char c : text) {
        if (c == '&')
            s += "&amp;";
        else if (c == '<')
            s += "&lt;";
        else if (c == '>')
            s += "&gt;";
        else
            s += c;
    }
    return s;
}

constexpr const char* kXml = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

} // namespace

std::string MakePdf(const std::vector<PdfPage>& pages, const PdfOptions& options)
{
    std::set<unsigned> high { 0 };
    for (const PdfPage& page : pages)
        for (const PdfLine& line : page)
            if (line.font == PdfLine::Font::Cid)
                for (char32_t cp : CodePoints(line.utf8))
                    high.insert(static_cast<unsigned>(cp) >> 8 & 0xFF);
    const std::size_t pageCount = options.sharePages && options.pageCount ? options.pageCount : pages.size();
    const std::size_t streams = options.sharePages ? 1 : pages.size();
    // Objects: 1 catalog, 2 pages, 3-5 fonts, 6 descendant, 7 descriptor,
    // 8 ToUnicode, 9 encryption, then the content streams, then the pages.
    std::vector<std::string> objects;
    std::string kids;
    const std::size_t firstStream = 10, firstPage = firstStream + streams;
    for (std::size_t i = 0; i < pageCount; ++i)
        kids += std::to_string(firstPage + i) + " 0 R ";
    objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
    objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pageCount) + " >>");
    objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman /Encoding /MacRomanEncoding >>");
    objects.push_back("<< /Type /Font /Subtype /Type0 /BaseFont /SampleSong /Encoding /Identity-H "
                      "/DescendantFonts [6 0 R] /ToUnicode 8 0 R >>");
    objects.push_back("<< /Type /Font /Subtype /CIDFontType2 /BaseFont /SampleSong /CIDToGIDMap /Identity "
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> "
                      "/FontDescriptor 7 0 R /DW 1000 >>");
    objects.push_back("<< /Type /FontDescriptor /FontName /SampleSong /Flags 4 /FontBBox [0 -120 1000 880] "
                      "/ItalicAngle 0 /Ascent 880 /Descent -120 /CapHeight 700 /StemV 80 >>");
    objects.push_back(Stream(ToUnicode(high)));
    objects.push_back("<< /Filter /Standard /V 1 /R 2 /P -4 /O <" + std::string(64, 'A') + "> /U <"
        + std::string(64, '5') + "> >>");
    for (std::size_t i = 0; i < streams; ++i)
        objects.push_back(Stream(ContentStream(pages[i])));
    for (std::size_t i = 0; i < pageCount; ++i)
        objects.push_back(
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 3 0 R "
            "/F2 4 0 R /F3 5 0 R >> >> /Contents "
            + std::to_string(firstStream + (options.sharePages ? 0 : i)) + " 0 R >>");
    // Object 9 is the encryption dictionary; without encryption nobody
    // refers to it.
    std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t off : offsets) {
        char line[24];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", off);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R";
    if (options.encrypted)
        pdf += " /Encrypt 9 0 R /ID [<00112233445566778899AABBCCDDEEFF> <00112233445566778899AABBCCDDEEFF>]";
    pdf += " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

std::string MakeZip(const std::vector<std::pair<std::string, std::string>>& members)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!buffer)
        throw std::runtime_error("zip buffer");
    zip_source_keep(buffer);
    zip_t* zip = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    if (!zip)
        throw std::runtime_error("zip open");
    bool first = true;
    for (const auto& [name, bytes] : members) {
        zip_source_t* s = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
        const zip_int64_t index = zip_file_add(zip, name.c_str(), s, ZIP_FL_ENC_UTF_8);
        if (index < 0)
            throw std::runtime_error("zip add");
        if (first)
            zip_set_file_compression(zip, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
        first = false;
    }
    if (zip_close(zip) != 0)
        throw std::runtime_error("zip close");
    std::string out;
    zip_source_open(buffer);
    zip_source_seek(buffer, 0, SEEK_END);
    out.resize(static_cast<std::size_t>(zip_source_tell(buffer)));
    zip_source_seek(buffer, 0, SEEK_SET);
    zip_source_read(buffer, out.data(), out.size());
    zip_source_close(buffer);
    zip_source_free(buffer);
    zip_error_fini(&error);
    return out;
}

std::string MakeOffice(DocumentKind kind, const std::vector<std::string>& paragraphs)
{
    const std::string types = std::string(kXml)
        + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
          "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>";
    std::string body;
    switch (kind) {
    case DocumentKind::WordDocument:
        for (const std::string& p : paragraphs)
            body += "<w:p><w:pPr><w:pStyle w:val=\"Normal\"/></w:pPr><w:r><w:t xml:space=\"preserve\">"
                + XmlEscape(p) + "</w:t></w:r></w:p>";
        return MakeZip({ { "[Content_Types].xml", types },
            { "word/document.xml",
                std::string(kXml)
                    + "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
                      "<w:body>"
                    + body + "</w:body></w:document>" } });
    case DocumentKind::Workbook: {
        std::string shared, rows;
        for (std::size_t i = 0; i < paragraphs.size(); ++i) {
            shared += "<si><t>" + XmlEscape(paragraphs[i]) + "</t></si>";
            rows += "<row r=\"" + std::to_string(i + 1) + "\"><c r=\"A" + std::to_string(i + 1)
                + "\" t=\"s\"><v>" + std::to_string(i) + "</v></c></row>";
        }
        const std::string ns = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
        return MakeZip({ { "[Content_Types].xml", types },
            { "xl/workbook.xml", std::string(kXml) + "<workbook " + ns + "><sheets/></workbook>" },
            { "xl/sharedStrings.xml", std::string(kXml) + "<sst " + ns + ">" + shared + "</sst>" },
            { "xl/worksheets/sheet1.xml",
                std::string(kXml) + "<worksheet " + ns + "><sheetData>" + rows
                    + "</sheetData></worksheet>" } });
    }
    case DocumentKind::Slides: {
        std::vector<std::pair<std::string, std::string>> members { { "[Content_Types].xml", types },
            { "ppt/presentation.xml", std::string(kXml) + "<p:presentation xmlns:p=\"p\"/>" } };
        for (std::size_t i = 0; i < paragraphs.size(); ++i)
            members.push_back({ "ppt/slides/slide" + std::to_string(i + 1) + ".xml",
                std::string(kXml)
                    + "<p:sld xmlns:p=\"p\" xmlns:a=\"a\"><p:cSld><p:spTree><p:sp><p:txBody><a:p><a:r><a:t>"
                    + XmlEscape(paragraphs[i])
                    + "</a:t></a:r></a:p></p:txBody></p:sp></p:spTree></p:cSld></p:sld>" });
        return MakeZip(members);
    }
    case DocumentKind::OdfText:
    case DocumentKind::OdfSpreadsheet:
    case DocumentKind::OdfPresentation: {
        const char* type = kind == DocumentKind::OdfText ? "text"
            : kind == DocumentKind::OdfSpreadsheet       ? "spreadsheet"
                                                         : "presentation";
        for (const std::string& p : paragraphs) {
            const std::string para = "<text:p>" + XmlEscape(p) + "</text:p>";
            if (kind == DocumentKind::OdfText)
                body += para;
            else if (kind == DocumentKind::OdfSpreadsheet)
                body += "<table:table-row><table:table-cell office:value-type=\"string\">" + para
                    + "</table:table-cell></table:table-row>";
            else
                body += "<draw:page><draw:frame><draw:text-box>" + para
                    + "</draw:text-box></draw:frame></draw:page>";
        }
        if (kind == DocumentKind::OdfSpreadsheet)
            body = "<table:table table:name=\"Sheet1\">" + body + "</table:table>";
        const std::string content = std::string(kXml)
            + "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
              "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
              "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
              "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\"><office:body><office:"
            + type + ">" + body + "</office:" + type + "></office:body></office:document-content>";
        return MakeZip({ { "mimetype", std::string("application/vnd.oasis.opendocument.") + type },
            { "META-INF/manifest.xml",
                std::string(kXml)
                    + "<manifest:manifest "
                      "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\"/>" },
            { "content.xml", content } });
    }
    case DocumentKind::Pdf:
        break;
    }
    throw std::invalid_argument("MakeOffice makes no PDF");
}

std::string Lines(const std::vector<std::string>& paragraphs)
{
    std::string s;
    for (const std::string& p : paragraphs)
        s += p + '\n';
    return s;
}

} // namespace tessary::samples
