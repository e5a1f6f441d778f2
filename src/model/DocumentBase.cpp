#include "DocumentBase.h"

#include <algorithm>

namespace tessary {

CDocumentBase::CDocumentBase()
    : m_title(DefaultTitle())
{
}

const char* CDocumentBase::DefaultTitle() noexcept
{
    return "\xE6\x9C\xAA\xE5\x91\xBD\xE5\x90\x8D";
} // 未命名

void CDocumentBase::AddView(IDocumentView* view)
{
    if (view && std::find(m_views.begin(), m_views.end(), view) == m_views.end())
        m_views.push_back(view);
}

void CDocumentBase::RemoveView(IDocumentView* view)
{
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
}

template <class Call> void CDocumentBase::ForEachView(IDocumentView* skip, Call call)
{
    // A view may register or unregister views while it updates; walk a copy
    // and skip the ones that left meanwhile.
    const std::vector<IDocumentView*> views = m_views;
    for (IDocumentView* view : views)
        if (view != skip && std::find(m_views.begin(), m_views.end(), view) != m_views.end())
            call(*view);
}

void CDocumentBase::UpdateAllViews(IDocumentView* sender)
{
    ForEachView(sender, [sender](IDocumentView& view) { view.OnUpdate(sender); });
}

void CDocumentBase::InitialUpdateAllViews()
{
    ForEachView(nullptr, [](IDocumentView& view) { view.OnInitialUpdate(); });
}

} // namespace tessary
