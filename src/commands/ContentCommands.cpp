#include "ContentCommands.h"

#include "Content.h"
#include "ContentExtraction.h"
#include "Datum.h"
#include "Document.h"

namespace tessary {

void CExtractContentCmd::Execute()
{
    std::vector<CDatum*> items;
    items.reserve(m_selected.size());
    for (CItem* entry : m_selected)
        if (entry && entry->IsDatum())
            items.push_back(static_cast<CDatum*>(entry));
    ExtractContents(items, m_doc, m_parent);
}

void CClearContentCmd::Execute()
{
    bool any = false;
    for (CItem* entry : m_selected) {
        if (entry && entry->IsDatum()) {
            ClearContent(*static_cast<CDatum*>(entry));
            any = true;
        }
    }
    if (any)
        m_doc.SetModifiedFlag(true);
}

} // namespace tessary
