#include "LibraryBuilders.h"

#include <sstream>

namespace tessary::testing {

namespace {

void Hex(std::ostringstream& os, std::string_view bytes)
{
    static const char* digits = "0123456789abcdef";
    for (unsigned char c : bytes)
        os << digits[c >> 4] << digits[c & 15];
}

void DescribeCategory(std::ostringstream& os, const CCategory& c, int depth, const CCategory* parent)
{
    os << std::string(depth, ' ') << ClassName(c.GetClassId()) << " name=";
    Hex(os, c.m_strName.view());
    os << " remark=";
    Hex(os, c.m_strRemark.view());
    if (c.GetParent() != parent)
        os << " BAD-PARENT";
    if (auto* p = dynamic_cast<const CPathCategory*>(&c)) {
        os << " path=";
        Hex(os, p->m_strPath.view());
    }
    os << '\n';
    for (const CCategory* s : c.GetSubCategoryList())
        DescribeCategory(os, *s, depth + 1, &c);
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

} // namespace

std::string Describe(const std::vector<const CCategory*>& roots)
{
    std::ostringstream os;
    for (const CCategory* r : roots)
        DescribeCategory(os, *r, 0, nullptr);
    return os.str();
}

} // namespace tessary::testing
