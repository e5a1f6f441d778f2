#include "ContentCommands.h"

#include "Content.h"
#include "ContentExtraction.h"
#include "Datum.h"
#include "Document.h"
#include "UserPrompts.h"

#include <algorithm>

namespace tessary {

void CExtractContentCmd::Execute()
{
    std::vector<CDatum*> items;
    items.reserve(m_selected.size());
    for (CItem* entry : m_selected)
        if (entry && entry->IsDatum())
            items.push_back(static_cast<CDatum*>(entry));
    // Documents may keep their words alone, without their bytes.
    ContentMode mode = ContentMode::BytesAndText;
    const bool documents = std::any_of(items.begin(), items.end(),
        [](const CDatum* d) { return DocumentKindOf(d->m_strExtension.view(), {}).has_value(); });
    if (documents) {
        const int choice = Prompts().AskChoice(m_parent,
            QString::fromUtf8("所选的项目中有 PDF 或 Office 文档。提取它们的内容和文本，还是只保存文本？"),
            { QString::fromUtf8("保存内容和文本"), QString::fromUtf8("只保存文本") });
        if (choice < 0)
            return;
        if (choice == 1)
            mode = ContentMode::TextOnly;
    }
    ExtractContents(items, m_doc, m_parent, kExtractionQuietMs, mode);
}

void CClearContentCmd::Execute()
{
    // The document marks itself modified, also for a content already empty.
    for (CItem* entry : m_selected)
        if (entry && entry->IsDatum())
            m_doc.ClearContent(*static_cast<CDatum*>(entry));
}

} // namespace tessary
