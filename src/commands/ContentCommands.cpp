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
    // The document marks itself modified, also for a content already empty.
    for (CItem* entry : m_selected)
        if (entry && entry->IsDatum())
            m_doc.ClearContent(*static_cast<CDatum*>(entry));
}

} // namespace tessary
