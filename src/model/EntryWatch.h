#pragma once

#include "Document.h"

namespace tessary {

// A pointer to one entry of a document's library that turns null when the
// entry is about to be destroyed: with a category above it, or with the whole
// library (new, open). Lets a command keep its target across an event loop
// (a dialog, a scan) without trusting that nothing else ran meanwhile.
class CEntryWatch : public IEntryRemovalListener {
public:
    CEntryWatch(CTessaryDoc& doc, CItem* entry);
    ~CEntryWatch() override;
    CEntryWatch(const CEntryWatch&) = delete;
    CEntryWatch& operator=(const CEntryWatch&) = delete;

    CItem* Get() const noexcept { return m_entry; }

    void OnEntriesRemoving(std::span<const CItem* const> entries) override;
    void OnLibraryClearing() override { m_entry = nullptr; }

private:
    CTessaryDoc& m_doc;
    CItem* m_entry;
};

} // namespace tessary
