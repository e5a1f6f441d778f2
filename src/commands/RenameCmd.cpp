#include "RenameCmd.h"

#include "Document.h"

namespace tessary {

void CRenameCmd::Execute()
{
    m_entry.m_strName = m_newName;
    m_doc.SetModifiedFlag(true);
}

} // namespace tessary
