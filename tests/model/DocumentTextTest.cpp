#include "DocumentText.h"

#include "Archive.h"
#include "Checksum.h"
#include "Content.h"
#include "Document.h"
#include "ExtensionBlock.h"
#include "ExtensionRecords.h"
#include "LibraryBuilders.h"
#include "SampleDocuments.h"
#include "SearchCriteria.h"
#include "TempTree.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

using namespace tessary;
using namespace tessary::samples;
using namespace tessary::testing;
using Font = PdfLine::Font;

namespace {

const std::vector<std::string> kParagraphs
    = { "年度报告 Annual report", "档案 & <数据> naïve café", "Ende." };

struct Sample {
    const char* what;
    std::string extension;
    std::string bytes;
    std::string text;
};

std::vector<Sample> Corpus()
{
    std::vector<Sample> corpus = {
        { "pdf in three fonts", "pdf",
            MakePdf({ { { Font::Helvetica, "Invoice für Zoë" }, { Font::Times, "Café in Zürich" },
                { Font::Cid, "发票 中文 ２０２４" } } }),
            "Invoice für Zoë\nCafé in Zürich\n发票 中文 ２０２４\n" },
        { "pdf of two pages", "PDF",
            MakePdf({ { { Font::Cid, "第一页" } }, { { Font::Helvetica, "page two" } } }),
            "第一页\npage two\n" },
    };
    const std::pair<DocumentKind, const char*> office[]
        = { { DocumentKind::WordDocument, "docx" }, { DocumentKind::Workbook, "xlsx" },
              { DocumentKind::Slides, "pptx" }, { DocumentKind::OdfText, "odt" },
              { DocumentKind::OdfSpreadsheet, "ODS" }, { DocumentKind::OdfPresentation, "odp" } };
    for (const auto& [kind, extension] : office)
        corpus.push_back({ extension, extension, MakeOffice(kind, kParagraphs), Lines(kParagraphs) });
    return corpus;
}

std::string Read(const Sample& s, const std::string& extension)
{
    const auto r = ReadDocumentText(extension, s.bytes);
    if (!r)
        return "<not a document>";
    if (r->problem != TextProblem::None)
        return "<problem " + std::to_string(static_cast<int>(r->problem)) + ": " + r->detail + ">";
    return r->text;
}

} // namespace

TEST(DocumentText, CorpusReadsBackExactlyByExtensionOrByItsBytes)
{
    for (const Sample& s : Corpus()) {
        EXPECT_EQ(Read(s, s.extension), s.text) << s.what;
        // A document saved under a foreign name is known by its first bytes.
        EXPECT_EQ(Read(s, "bin"), s.text) << s.what << " without its extension";
    }
    EXPECT_FALSE(ReadDocumentText("txt", "plain words"));
    EXPECT_FALSE(ReadDocumentText("zip", MakeZip({ { "a.txt", "not an office file" } })));
}

TEST(DocumentText, HostileAndUnreadableDocumentsSayWhyAndGiveNoText)
{
    DocumentTextLimits small;
    small.maxPartBytes = 1 << 20;
    small.maxUnpackedBytes = 2 << 20;
    small.maxPages = 50;
    small.maxTextBytes = 4096;
    const std::string docx = MakeOffice(DocumentKind::WordDocument, kParagraphs);
    std::string cut = docx.substr(0, docx.size() / 2);
    const std::string manifest = "<manifest:manifest xmlns:manifest=\"m\"><manifest:file-entry>"
                                 "<manifest:encryption-data/></manifest:file-entry></manifest:manifest>";
    const struct {
        const char* what;
        std::string extension, bytes;
        TextProblem problem;
    } rows[] = {
        { "encrypted pdf", "pdf", MakePdf({ { { Font::Helvetica, "secret" } } }, { true }),
            TextProblem::Encrypted },
        { "encrypted docx (a compound file)", "docx",
            std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "rest", TextProblem::Encrypted },
        { "encrypted odt", "odt",
            MakeZip({ { "mimetype", "application/vnd.oasis.opendocument.text" },
                { "META-INF/manifest.xml", manifest }, { "content.xml", "\x01\x02garbage" } }),
            TextProblem::Encrypted },
        { "not a pdf at all", "pdf", "%PDF-1.4\nnothing here", TextProblem::Damaged },
        { "half a docx", "docx", cut, TextProblem::Damaged },
        { "broken xml", "docx", MakeZip({ { "word/document.xml", "<w:document><w:body><w:p>" } }),
            TextProblem::Damaged },
        { "zip bomb", "docx",
            MakeZip({ { "x", "" }, { "word/document.xml", "<w:t>" + std::string(3 << 20, 'a') + "</w:t>" } }),
            TextProblem::TooLarge },
        { "too many pages", "pdf", MakePdf({ { { Font::Helvetica, "again" } } }, { false, true, 51 }),
            TextProblem::TooLarge },
        { "too much text", "odt",
            MakeOffice(DocumentKind::OdfText, std::vector<std::string>(100, std::string(100, 'x'))),
            TextProblem::TooLarge },
        { "a pdf without words", "pdf", MakePdf({ {} }), TextProblem::NoText },
        { "an empty sheet", "xlsx", MakeOffice(DocumentKind::Workbook, {}), TextProblem::NoText },
    };
    for (const auto& row : rows) {
        const auto r = ReadDocumentText(row.extension, row.bytes, small);
        ASSERT_TRUE(r) << row.what;
        EXPECT_EQ(r->problem, row.problem) << row.what << ": " << r->detail;
        EXPECT_TRUE(r->text.empty()) << row.what;
        EXPECT_FALSE(TextProblemWords(r->problem).empty());
    }
}

TEST(DocumentText, KeptTextIsCleanUtf8CutAtACharacter)
{
    const struct {
        std::string raw;
        std::size_t max;
        std::string kept;
        bool whole;
    } rows[] = {
        { std::string("a\r\nb\rc\0d\x01"
                      "e\tf\n",
              13),
            100,
            "a\nb\nc"
            "de\tf\n",
            true },
        { "x\xFF\xC0\xAFy\xED\xA0\x80z", 100, "x\uFFFD\uFFFD\uFFFDy\uFFFD\uFFFD\uFFFDz", true },
        { "中文", 5, "中", false },
        { "abcdef", 4, "abcd", false },
        { "𝄞ok", 100, "𝄞ok", true },
    };
    for (const auto& row : rows) {
        std::string out;
        EXPECT_EQ(AppendCleanUtf8(out, row.raw, row.max), row.whole) << row.raw;
        EXPECT_EQ(out, row.kept) << row.raw;
    }
}

namespace {

// A library of one category holding a PDF, a spreadsheet and a text file,
// each extracted from the disk.
struct ExtractedLibrary {
    TempTree disk;
    CTessaryDoc doc;
    CCustomCategory* shelf = new CCustomCategory("shelf");
    CCustomDatum* pdf;
    CCustomDatum* sheet;
    CCustomDatum* note;

    explicit ExtractedLibrary(ContentMode mode)
    {
        disk.File("report.pdf",
            MakePdf({ { { Font::Cid, "机密 档案" }, { Font::Helvetica, "Quarterly Budget" } } }));
        disk.File("cells.xlsx", MakeOffice(DocumentKind::Workbook, { "库存 stock" }));
        disk.File("note.txt", "plain budget words");
        doc.OnNewDocument();
        doc.AddRoot(shelf);
        pdf = Add("report", "pdf");
        sheet = Add("cells", "xlsx");
        note = Add("note", "txt");
        for (CDatum* d : shelf->GetDatumList())
            doc.ExtractContent(*d, mode);
    }
    CCustomDatum* Add(const char* name, const char* ext)
    {
        CCustomDatum* d = MakeCustomDatum(name, ext, disk.Root());
        shelf->AddDatum(d);
        return d;
    }
    std::vector<std::string> Find(const std::string& utf8Keyword, bool caseSensitive = false) const
    {
        CSearchCriteria c;
        c.m_strContent = Utf8ToGb(utf8Keyword);
        c.m_bContentCase = caseSensitive;
        CSearchMatcher m(c);
        std::vector<std::string> found;
        for (const CDatum* d : shelf->GetDatumList())
            if (m.Matches(*d))
                found.push_back(d->GetDisplayName());
        return found;
    }
};

using Names = std::vector<std::string>;

std::string WriteDoc(CTessaryDoc& doc)
{
    std::vector<const CCategory*> roots(doc.GetRootList().begin(), doc.GetRootList().end());
    return Write(roots);
}

} // namespace

TEST(DocumentText, ExtractionKeepsBytesAndTextAndSearchFindsEither)
{
    ExtractedLibrary lib(ContentMode::BytesAndText);
    EXPECT_EQ(lib.pdf->m_strContent.view(), lib.disk.Read("report.pdf"));
    EXPECT_EQ(lib.pdf->m_strText.view(), "机密 档案\nQuarterly Budget\n");
    EXPECT_EQ(lib.sheet->m_strText.view(), "库存 stock\n");
    EXPECT_TRUE(lib.note->m_strText.empty());

    EXPECT_EQ(lib.Find("档案"), Names { "report.pdf" });
    EXPECT_EQ(lib.Find("budget"), (Names { "note.txt", "report.pdf" })); // new items come first
    EXPECT_EQ(lib.Find("budget", true), Names { "note.txt" });
    // An ASCII word right after a Chinese character: the text is walked by
    // UTF-8 characters, not by the library's two-byte ones.
    EXPECT_EQ(lib.Find("stock"), Names { "cells.xlsx" });
    EXPECT_EQ(lib.Find("Helvetica"), Names { "report.pdf" }); // still in the PDF's bytes
    EXPECT_EQ(lib.Find("不在"), Names {});

    ClearContent(*lib.pdf);
    EXPECT_FALSE(HasContent(*lib.pdf));
    EXPECT_EQ(lib.Find("档案"), Names {});
}

TEST(DocumentText, TextOnlyItemsKeepTheirWordsThroughSaveAndLoad)
{
    ExtractedLibrary lib(ContentMode::TextOnly);
    EXPECT_TRUE(lib.pdf->m_strContent.empty());
    EXPECT_TRUE(HasContent(*lib.pdf));
    EXPECT_EQ(lib.note->m_strContent.view(), "plain budget words"); // no document: bytes as ever
    EXPECT_EQ(lib.Find("档案"), Names { "report.pdf" });
    EXPECT_EQ(ContentViewerFor(*lib.pdf), ContentViewer::Text);

    const std::string bytes = WriteDoc(lib.doc);
    std::vector<LibraryWarning> warnings;
    RootList back = ReadLibrary(bytes, &warnings);
    EXPECT_TRUE(warnings.empty());
    const auto& items = back[0]->GetDatumList();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_TRUE(items[0]->m_strText.empty()); // the note
    EXPECT_EQ(items[1]->m_strText.view(), lib.sheet->m_strText.view());
    EXPECT_EQ(items[2]->m_strText.view(), lib.pdf->m_strText.view());
    EXPECT_EQ(Write(back), bytes);

    // Without any text the library is the plain format again.
    for (CDatum* d : back[0]->GetDatumList())
        d->m_strText.Clear();
    const std::string plain = Write(back);
    EXPECT_EQ(FindExtensionTrailer(plain), std::nullopt);
}

TEST(DocumentText, BadTextRecordsAreDroppedAndTheRestLoads)
{
    ExtractedLibrary lib(ContentMode::BytesAndText);
    std::string plain;
    {
        RootList copy = ReadLibrary(WriteDoc(lib.doc));
        for (CDatum* d : copy[0]->GetDatumList())
            d->m_strText.Clear();
        plain = Write(copy);
    }
    const std::vector<ExtensionRecord> records = {
        { static_cast<std::uint16_t>(RecordKind::DocumentText), 1, std::string("\x03\0\0\0abc", 7) },
        { static_cast<std::uint16_t>(RecordKind::DocumentText), 0,
            std::string("\x03\0\0\0abc", 7) }, // a category
        { static_cast<std::uint16_t>(RecordKind::DocumentText), 2,
            std::string("\x09\0\0\0abc", 7) }, // cut short
    };
    std::string bytes = plain;
    AppendExtensionBlock(bytes, plain.size(), Checksum64::Of(plain), records);
    std::vector<LibraryWarning> warnings;
    RootList back = ReadLibrary(bytes, &warnings);
    EXPECT_EQ(back[0]->GetDatumList()[0]->m_strText.view(), "abc"); // entry 1, the first item
    EXPECT_TRUE(back[0]->GetDatumList()[1]->m_strText.empty());
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].detail.find("2 record(s)"), std::string::npos) << warnings[0].detail;
}
