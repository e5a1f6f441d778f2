#include "EntryWatch.h"

#include "Category.h"

#include <algorithm>

namespace tessary {

CEntryWatch::CEntryWatch(CTessaryDoc& doc, CItem* entry)
    : m_doc(doc)
    , m_entry(entry)
{
    m_doc.AddRemovalListener(this);
}

CEntryWatch::~CEntryWatch()
{
    m_doc.RemoveRemovalListener(this);
}

void CEntryWatch::OnEntriesRemoving(std::span<const CItem* const> entries)
{
    // A category goes with its whole subtree: the entry goes when it or any
    // category above it is among the entries.
    for (const CItem* e = m_entry; e && m_entry; e = e->GetParent())
        if (std::find(entries.begin(), entries.end(), e) != entries.end())
            m_entry = nullptr;
}

} // namespace tessary
