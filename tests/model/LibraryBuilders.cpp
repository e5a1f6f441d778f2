#include "LibraryBuilders.h"

#include "EntryWalk.h"

#include <span>
#include <sstream>

namespace tessary::testing {

namespace {

void Hex(std::ostringstream& os, std::string_view bytes)
{
    static const char* digits = "0123456789abcdef";
    for (unsigned char c : bytes)
        os << digits[c >> 4] << digits[c & 15];
}

} // namespace

std::string Describe(const std::vector<const CCategory*>& roots)
{
    // A category's line on entering it, its data items on leaving it, so
    // that they follow its sub-categories.
    std::ostringstream os;
    ConstCategoryWalk walk { std::span<const CCategory* const>(roots) };
    while (walk.Next()) {
        const CCategory& c = walk.Current();
        const std::size_t depth = walk.Depth();
        if (walk.Entering()) {
            os << std::string(depth, ' ') << ClassName(c.GetClassId()) << " name=";
            Hex(os, c.m_strName.view());
            os << " remark=";
            Hex(os, c.m_strRemark.view());
            if (c.GetParent() != walk.Parent())
                os << " BAD-PARENT";
            if (auto* p = dynamic_cast<const CPathCategory*>(&c)) {
                os << " path=";
                Hex(os, p->m_strPath.view());
                if (const VolumeRecord* v = p->GetVolume()) {
                    os << " volume=";
                    Hex(os, EncodeVolumeRecord(*v));
                }
            }
            os << '\n';
            continue;
        }
        for (const CDatum* d : c.GetDatumList()) {
            os << std::string(depth + 1, ' ') << ClassName(d->GetClassId()) << " name=";
            Hex(os, d->m_strName.view());
            os << " remark=";
            Hex(os, d->m_strRemark.view());
            os << " content=";
            Hex(os, d->m_strContent.view());
            os << " ext=";
            Hex(os, d->m_strExtension.view());
            os << " size=" << d->m_dwSize << " time=" << d->m_timeModified;
            if (auto* cd = dynamic_cast<const CCustomDatum*>(d)) {
                os << " folder=";
                Hex(os, cd->m_strFolder.view());
            }
            if (d->GetParent() != &c)
                os << " BAD-PARENT";
            os << '\n';
        }
    }
    return os.str();
}

} // namespace tessary::testing
