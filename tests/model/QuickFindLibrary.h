#pragma once

// Random libraries and quick find queries, and the quick find rule written
// the slow, obvious way, for the tests that compare the index and the scan
// against it.

#include "Category.h"
#include "Datum.h"
#include "Document.h"
#include "EntryWalk.h"
#include "QuickQuery.h"
#include "SearchCriteria.h"

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace tessary::testing {

class RandomLibrary {
public:
    // About `items` data items below a few roots, in categories nested a
    // few deep, with names drawn from a small alphabet that mixes ASCII of
    // both cases with two- and four-byte GB18030 characters (some with
    // trail bytes that look like letters), so that words often match.
    RandomLibrary(std::mt19937& rng, std::size_t items)
        : m_rng(rng)
    {
        const std::size_t rootCount = 1 + Pick(3);
        for (std::size_t r = 0; r < rootCount; ++r) {
            m_roots.emplace_back(r % 2 ? static_cast<CCategory*>(new CCustomCategory(Name()))
                                       : new CRootFolderCategory(Name(), "/r"));
            m_categories.push_back(m_roots.back().get());
        }
        for (std::size_t i = 0; i < items / 6; ++i) {
            CCategory* parent = m_categories[Pick(m_categories.size())];
            auto* c = new CFolderCategory(Pick(3) == 0 ? FolderName() : Name());
            parent->AddSubCategory(c);
            m_categories.push_back(c);
        }
        for (std::size_t i = 0; i < items; ++i) {
            CDatum* d = Pick(4) == 0 ? static_cast<CDatum*>(new CCustomDatum) : new CFileDatum;
            d->m_strName = Name();
            d->m_strExtension = Extension();
            static const Size32 sizes[] = { 0, 1, 1023, 1024, 1025, 10485760, 10485761, 4294967295u };
            d->m_dwSize = Pick(2) ? sizes[Pick(8)] : static_cast<Size32>(m_rng());
            if (Pick(5) == 0)
                d->m_strRemark = Name() + " " + Name();
            m_categories[Pick(m_categories.size())]->AddDatum(d);
        }
        for (const auto& r : m_roots)
            m_rootView.push_back(r.get());
    }

    std::span<CCategory* const> Roots() const { return m_rootView; }
    // Gives the roots to `doc` (ByTheRule and Roots are then unusable).
    void MoveInto(CTessaryDoc& doc)
    {
        for (auto& r : m_roots)
            doc.AddRoot(r.release());
        m_roots.clear();
        m_rootView.clear();
        doc.SetModifiedFlag(false);
    }

    // A query of one to four tokens: pieces of names (case changed at
    // random), extensions, in:, rem: and size bounds, sometimes quoted.
    std::string RandomQueryText(std::mt19937& rng)
    {
        std::string text;
        const std::size_t tokens = 1 + rng() % 4;
        for (std::size_t t = 0; t < tokens; ++t) {
            if (!text.empty())
                text += rng() % 4 ? " " : "\xA1\xA1";
            switch (rng() % 10) {
            case 0:
                text += "ext:" + Extension();
                if (rng() % 3 == 0)
                    text += "," + Extension();
                break;
            case 1:
                text += "in:" + (rng() % 2 ? FolderName() : Name());
                break;
            case 2:
                text += "rem:" + Piece(Name(), rng);
                break;
            case 3:
                text += (rng() % 2 ? ">" : "<") + std::to_string(rng() % 3000)
                    + (rng() % 3 == 0   ? "K"
                            : rng() % 2 ? "m"
                                        : "");
                break;
            case 4:
                text += "\"" + Piece(Name() + "." + Extension(), rng) + " " + Piece(Name(), rng) + "\"";
                break;
            default:
                text += Piece(Name() + (rng() % 2 ? "." + Extension() : std::string()), rng);
                break;
            }
        }
        return text;
    }

    // The data items the query matches, written out the obvious way: every
    // item in library order, its display name, extension, remark, size and
    // every category above it tested one by one.
    std::vector<CDatum*> ByTheRule(const CQuickQuery& q) const
    {
        std::vector<CDatum*> out;
        for (CCategory* root : m_rootView) {
            for (CCategory& c : PreOrder(*root)) {
                for (CDatum* d : c.GetDatumList()) {
                    bool ok = true;
                    for (const std::string& w : q.words)
                        ok = ok && CKeywordPattern(w, false).Find(d->GetDisplayName());
                    bool ext = q.extensions.empty();
                    for (const std::string& e : q.extensions)
                        ext = ext || FoldCase(d->m_strExtension.view()) == e;
                    for (const std::string& f : q.folders) {
                        bool below = false;
                        for (const CCategory* p = d->GetParent(); p; p = p->GetParent())
                            below = below || FoldCase(p->m_strName.view()) == f;
                        ok = ok && below;
                    }
                    for (const std::string& r : q.remarks)
                        ok = ok && CKeywordPattern(r, false).Find(d->m_strRemark.view());
                    ok = ok && (!q.sizeAbove || d->m_dwSize > *q.sizeAbove);
                    ok = ok && (!q.sizeBelow || d->m_dwSize < *q.sizeBelow);
                    if (ok && ext && !q.IsEmpty())
                        out.push_back(d);
                }
            }
        }
        return out;
    }

private:
    std::size_t Pick(std::size_t n) { return m_rng() % n; }

    std::string Name()
    {
        // ASCII of both cases, a blank, a dot; two-byte characters, one with
        // the trail byte 'A'; a four-byte one; a lone lead byte at the end.
        static const char* const parts[] = { "a", "B", "c", "A", "b", "C", "1", " ", ".", "\xCE\xC4",
            "\xB1\x41", "\xB1\x61", "\x81\x30\x81\x30", "\xC1" };
        std::string s;
        const std::size_t len = 1 + Pick(6);
        for (std::size_t i = 0; i < len; ++i)
            s += parts[Pick(13)];
        if (Pick(20) == 0)
            s += parts[13];
        if (Pick(200) == 0)
            s += std::string("\0z", 2); // a zero byte ends a text for matching
        return s;
    }
    std::string FolderName()
    {
        static const char* const names[] = { "Docs", "docs", "\xCE\xC4\xBC\xFE", "work", "WORK" };
        return names[Pick(5)];
    }
    std::string Extension()
    {
        static const char* const exts[] = { "", "txt", "TXT", "pdf", "tar.gz", "\xCE\xC4", "Pdf" };
        return exts[Pick(7)];
    }
    // A piece of `s` of one to four bytes (maybe cut in the middle of a
    // character), its letters' case changed at random.
    static std::string Piece(const std::string& s, std::mt19937& rng)
    {
        if (s.empty())
            return "a";
        const std::size_t at = rng() % s.size();
        std::string p = s.substr(at, 1 + rng() % 4);
        for (char& c : p)
            if (rng() % 2 && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
                c = static_cast<char>(c ^ 0x20);
        if (p.find('\0') != std::string::npos || p.find('"') != std::string::npos)
            return "b";
        return p;
    }

    std::mt19937& m_rng;
    std::vector<std::unique_ptr<CCategory>> m_roots;
    std::vector<CCategory*> m_rootView;
    std::vector<CCategory*> m_categories;
};

} // namespace tessary::testing
