#include "EntryServices.h"

#include "TextCodec.h"

#include <QString>

namespace tessary {

int CShellEntryServices::IconIndex(std::string_view pseudoName, bool directory, bool openIcon)
{
    return m_icons.IndexOf(QString::fromStdString(GbToUtf8(pseudoName)), directory, openIcon);
}

} // namespace tessary
