#pragma once

#include "Item.h"
#include "Text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessary {

class CDatum;

// What the user searches for: keywords for name, extension, remark and
// extracted content (each optionally case-sensitive), a size range and a
// last-write-time range, combined all with AND or all with OR.
//
// An empty keyword or an inactive bound does not restrict in AND mode and
// does not contribute in OR mode. Keywords are library text (GB18030). The
// record lives for the whole program run so that the dialog shows the last
// criteria again; it is never stored.
class CSearchCriteria {
public:
    // Empty keywords, bounds 0 and inactive, AND mode, every case flag clear,
    // both time bounds set to the current time.
    CSearchCriteria();
    virtual ~CSearchCriteria() = default;

    // 1 when the dialog was last closed with "start"; matching ignores it.
    std::uint8_t m_bConfirmed = 0;
    CText m_strExtension;
    bool m_bExtensionCase = false;
    CText m_strName;
    bool m_bNameCase = false;
    CText m_strRemark;
    bool m_bRemarkCase = false;
    CText m_strContent;
    bool m_bContentCase = false;
    // The size must be greater than m_dwSizeLower / smaller than m_dwSizeUpper.
    Size32 m_dwSizeLower = 0;
    bool m_bSizeLower = false;
    Size32 m_dwSizeUpper = 0;
    bool m_bSizeUpper = false;
    // The last-write time must be later than m_timeLower / earlier than m_timeUpper.
    Time32 m_timeLower = 0;
    bool m_bTimeLower = false;
    Time32 m_timeUpper = 0;
    bool m_bTimeUpper = false;
    // True: any criterion suffices; false: all must hold.
    bool m_bOr = false;
};

// How the bytes of a keyword and of the fields it is looked for in are read.
enum class KeywordEncoding {
    Gb18030, // library text
    Utf8, // extracted files written by most Linux programs
};

// A keyword prepared for repeated substring searches. It keeps a view of the
// keyword (no copy), so the keyword text must outlive the pattern.
//
// Matching rules: both texts end at their first zero byte; a match starts
// only on a character boundary of the field (GB18030: a byte 0x81-0xFE starts
// a two-byte character, or a four-byte one when the second and fourth bytes
// are 0x30-0x39 and the third is 0x81-0xFE; UTF-8: any byte that is not a
// continuation byte 0x80-0xBF); without case sensitivity the single-byte
// letters A-Z and a-z compare equal, while the bytes of multi-byte
// characters, trail bytes that look like letters included, must be equal.
//
// A UTF-8 keyword must be well-formed UTF-8.
class CKeywordPattern {
public:
    CKeywordPattern() = default;
    CKeywordPattern(std::string_view keyword, bool caseSensitive,
        KeywordEncoding encoding = KeywordEncoding::Gb18030) noexcept;

    // True when the keyword occurs in `field` (an empty keyword occurs everywhere).
    bool Find(std::string_view field) const noexcept;
    // Position of the first occurrence, or npos.
    std::size_t Search(std::string_view field) const noexcept;

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

private:
    bool MatchesAt(const unsigned char* p) const noexcept;

    const unsigned char* m_key = nullptr;
    std::size_t m_len = 0;
    // The first and last byte as a candidate filter: (byte | mask) == value.
    unsigned char m_first = 0, m_firstMask = 0;
    unsigned char m_last = 0, m_lastMask = 0;
    bool m_caseSensitive = true;
    bool m_utf8 = false;
};

// The criteria with their keywords prepared, for testing many data items.
// It refers to `criteria`, which must outlive it and stay unchanged.
//
// Content is extracted from files as it is, and on Linux most text files are
// UTF-8, not the library's GB18030. So a content keyword that holds a
// non-ASCII character matches either its GB18030 bytes (the rule above) or
// its UTF-8 bytes (starting on a UTF-8 character boundary, with the same
// folding of A-Z). An ASCII keyword has the same bytes in both, so it is
// looked for once. Names, extensions and remarks are library text and are
// matched as GB18030 only. A document's text (CDatum::m_strText) is UTF-8:
// the keyword's UTF-8 form is looked for in it as well, and content matches
// when the keyword is found in the bytes or in the text.
class CSearchMatcher {
public:
    // Throws std::bad_alloc only (the UTF-8 form of the content keyword).
    explicit CSearchMatcher(const CSearchCriteria& criteria);
    CSearchMatcher(const CSearchMatcher&) = delete;
    CSearchMatcher& operator=(const CSearchMatcher&) = delete;

    // Applies the eight tests in order (name, extension, remark, size above,
    // size below, time before, time after, content), stopping as soon as the
    // result is decided; content is thus tested only when nothing else decided.
    bool Matches(const CDatum& datum) const noexcept;
    // The same, for the search walk in this library's own code, which wants
    // it inlined into its loop.
    inline bool MatchesInline(const CDatum& datum) const noexcept;

private:
    bool ContentMatches(const CDatum& datum) const noexcept;

    const CSearchCriteria& m_c;
    // The content keyword as UTF-8; empty when it is ASCII only. Declared
    // before the patterns, which keep views of it.
    std::string m_contentUtf8;
    CKeywordPattern m_name, m_extension, m_remark, m_content, m_contentAsUtf8;
    // The content keyword as UTF-8 for a document's text (m_strText).
    CKeywordPattern m_contentInText;
    // Which of the eight tests can decide (a keyword is set, a bound is active).
    bool m_useName, m_useExtension, m_useRemark, m_useSizeLower, m_useSizeUpper, m_useTimeUpper,
        m_useTimeLower, m_useContent;
};

} // namespace tessary
