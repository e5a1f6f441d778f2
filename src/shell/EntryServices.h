#pragma once

#include "EntryDialogs.h"
#include "IconList.h"
#include "Item.h"

namespace tessary {

// The entries' window-system services as the shell provides them: icons from
// the shared list, the kinds' edit dialogs and the content viewers, opened
// over `host`'s window.
class CShellEntryServices : public IEntryServices {
public:
    CShellEntryServices(CIconList& icons, const DialogHost& host)
        : m_icons(icons)
        , m_host(host)
    {
    }
    int IconIndex(std::string_view pseudoName, bool directory, bool openIcon) override;
    int EditProperties(CItem& item) override { return RunEditDialog(item, m_host); }
    void ViewContent(const CDatum& datum, ContentViewer viewer) override
    {
        ShowContentViewer(datum, viewer, m_host);
    }

private:
    CIconList& m_icons;
    DialogHost m_host;
};

} // namespace tessary
