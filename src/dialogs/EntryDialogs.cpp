#include "EntryDialogs.h"

#include "Category.h"
#include "Datum.h"
#include "DatumDlg.h"
#include "DisplayText.h"
#include "ImportDialogs.h"
#include "ViewerDialogs.h"

namespace tessary {

int RunEditDialog(CItem& item, const DialogHost& host)
{
    switch (item.GetClassId()) {
    case ClassId::CDRomCategory:
    case ClassId::DriverCategory:
    case ClassId::RootFolderCategory:
        return EditImportedCategory(static_cast<CPathCategory&>(item), host.parent);
    case ClassId::CustomDatum:
        return RunDatumEditDialog(static_cast<CCustomDatum&>(item), host.parent);
    default:
        return -1;
    }
}

void ShowContentViewer(const CDatum& datum, ContentViewer viewer, const DialogHost& host)
{
    const std::string_view content = datum.m_strContent.view();
    if (viewer == ContentViewer::Html && datum.m_strText.empty()) {
        CViewRemarkDlg dlg(HtmlContentToText(content), host.parent, host.profile);
        dlg.exec();
        return;
    }
    CViewTextRemarkDlg dlg(host.parent, host.profile);
    if (!datum.m_strText.empty()) {
        // A document's words, not its compressed bytes.
        const std::string_view text = datum.m_strText.view();
        dlg.SetText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    } else {
        dlg.SetText(ContentToText(content));
    }
    dlg.exec();
}

void ShowRemarkViewer(const CItem& item, const DialogHost& host)
{
    CViewTextRemarkDlg dlg(host.parent, host.profile);
    dlg.SetText(FromLibraryText(item.m_strRemark.view()));
    dlg.exec();
}

} // namespace tessary
