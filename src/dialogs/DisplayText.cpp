#include "DisplayText.h"

#include "TextCodec.h"

#include <QByteArray>
#include <QStringDecoder>

#include <cstring>
#include <limits>
#include <optional>

namespace tessary {
namespace {

std::string_view UpToZero(std::string_view bytes)
{
    const void* zero = bytes.empty() ? nullptr : std::memchr(bytes.data(), 0, bytes.size());
    return zero ? bytes.substr(0, static_cast<const char*>(zero) - bytes.data()) : bytes;
}

QString FromGb18030(std::string_view bytes)
{
    const std::string utf8 = GbToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// True when `bytes` ends with the start of a UTF-8 sequence that the end
// cuts off (a stateful decoder would wait for the rest).
bool EndsInsideSequence(std::string_view bytes)
{
    const std::size_t n = bytes.size();
    for (std::size_t back = 1; back <= 4 && back <= n; ++back) {
        const auto c = static_cast<unsigned char>(bytes[n - back]);
        if ((c & 0xC0) == 0x80)
            continue; // a continuation byte: look further back
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back;
    }
    return false;
}

// The text of `bytes` when it is well-formed UTF-8. Decoding and checking
// are one pass, which matters for contents of tens of megabytes; the pass
// goes a megabyte at a time so that other text is given up on early.
std::optional<QString> DecodeStrictUtf8(std::string_view bytes)
{
    constexpr std::size_t kChunk = 1 << 20;
    QStringDecoder decoder(QStringConverter::Utf8);
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (std::size_t at = 0; at < bytes.size(); at += kChunk) {
        const std::size_t n = std::min(kChunk, bytes.size() - at);
        out = decoder.appendToBuffer(out, QByteArrayView(bytes.data() + at, static_cast<qsizetype>(n)));
        if (decoder.hasError())
            return std::nullopt;
    }
    if (EndsInsideSequence(bytes))
        return std::nullopt;
    text.truncate(out - text.constData());
    return text;
}

bool IsGbFamily(const QByteArray& name)
{
    static const char* const kNames[]
        = { "gb2312", "gbk", "gb18030", "x-gbk", "euc-cn", "cp936", "windows-936", "ms936", "csgb2312" };
    for (const char* n : kNames)
        if (name == n)
            return true;
    return false;
}

// The charset a page declares in its first 1024 bytes ("charset=..." of a
// meta element, in either of its two forms), lower-cased; empty if none.
QByteArray DeclaredCharset(std::string_view bytes)
{
    const QByteArray head
        = QByteArray(bytes.data(), static_cast<qsizetype>(std::min<std::size_t>(bytes.size(), 1024)))
              .toLower();
    qsizetype at = head.indexOf("charset");
    while (at >= 0) {
        qsizetype i = at + 7;
        while (i < head.size() && (head.at(i) == ' ' || head.at(i) == '\t'))
            ++i;
        if (i < head.size() && head.at(i) == '=') {
            ++i;
            while (i < head.size() && (head.at(i) == ' ' || head.at(i) == '"' || head.at(i) == '\''))
                ++i;
            qsizetype end = i;
            while (end < head.size()) {
                const char c = head.at(end);
                if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.'
                        || c == ':'))
                    break;
                ++end;
            }
            if (end > i)
                return head.mid(i, end - i);
        }
        at = head.indexOf("charset", at + 7);
    }
    return {};
}

} // namespace

QString FromLibraryText(std::string_view gb)
{
    return FromGb18030(gb);
}

QString DiskPathToText(std::string_view diskPath)
{
    return FromGb18030(DiskToGb(diskPath));
}

std::string ToLibraryText(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return Utf8ToGb(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

QString ContentToText(std::string_view bytes)
{
    bytes = UpToZero(bytes);
    if (auto text = DecodeStrictUtf8(bytes))
        return *text;
    // Large contents go straight to UTF-16 where the platform's converter
    // can (half the time of the two steps through UTF-8). Library text
    // always takes the library's own conversion.
    if (bytes.size() > 65536) {
        QStringDecoder decoder("GB18030");
        if (decoder.isValid())
            return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    }
    return FromGb18030(bytes);
}

QString HtmlContentToText(std::string_view bytes)
{
    bytes = UpToZero(bytes);
    const QByteArray charset = DeclaredCharset(bytes);
    if (charset == "utf-8" || charset == "utf8") {
        QStringDecoder decoder(QStringConverter::Utf8);
        return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    }
    if (IsGbFamily(charset))
        return FromGb18030(bytes);
    // Another declared encoding, as far as the platform can read it. A page
    // that declares UTF-16 was evidently read as bytes, so that is ignored.
    if (!charset.isEmpty() && !charset.startsWith("utf-16")) {
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid())
            return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    }
    return ContentToText(bytes);
}

QString RemarkToField(std::string_view gb)
{
    QString text = FromLibraryText(gb);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

std::string FieldToRemark(const QString& field, std::string_view original)
{
    if (field == RemarkToField(original))
        return std::string(original);
    QString text = field;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return ToLibraryText(text);
}

std::optional<std::uint32_t> ParseUnsigned32(const QString& text)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c.unicode() - u'0');
        if (value > std::numeric_limits<std::uint32_t>::max())
            return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

} // namespace tessary
