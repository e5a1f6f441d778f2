#include "ItemCommands.h"

#include "Category.h"
#include "CommandDialogs.h"
#include "Datum.h"
#include "DatumDlg.h"
#include "Document.h"
#include "EntryDialogs.h"
#include "EntryListModel.h"
#include "ErrorReport.h"
#include "FileSystem.h"
#include "PropertiesDlg.h"
#include "ResourceIds.h"
#include "Strings.h"
#include "TessaryView.h"
#include "TextCodec.h"
#include "UserPrompts.h"
#include "ViewerDialogs.h"
#include "VolumeCommands.h"

#include <QUrl>

#include <memory>

namespace tessary {
namespace {

// Hands the file or folder at `diskPath` to the desktop, after making sure
// it exists: the desktop's own failure for a missing path would come late
// and vary from one desktop to the next.
void OpenOnDesktop(const std::string& diskPath, QWidget* parent)
{
    struct stat st;
    if (diskPath.empty() || FileSystem().Stat(diskPath.c_str(), &st) != 0) {
        Prompts().ShowMessage(parent, LoadString(IDS_NOT_FOUND), IUserPrompts::Icon::Warning);
        return;
    }
    // Any other failure is the desktop's to show.
    Prompts().OpenUrl(DiskUrl(diskPath));
}

} // namespace

QUrl DiskUrl(const std::string& diskPath)
{
    const QByteArray bytes = QByteArray::fromStdString(diskPath);
    return QUrl::fromEncoded(QByteArrayLiteral("file://") + bytes.toPercentEncoding("/"), QUrl::StrictMode);
}

void CNewDatumCmd::Execute()
{
    CCategory* current = m_doc.GetCurrentCategory();
    if (!current || !current->CanAddDatum())
        return;
    CDatumDlg dlg(m_list.window());
    if (RunDialog(dlg) != 1)
        return;
    auto datum = std::make_unique<CCustomDatum>(dlg.m_strLocation);
    datum->m_strRemark = dlg.m_strRemark;
    datum->RefreshFileStatus();
    // The row first: without one the item is dropped and nothing changes.
    if (m_list.AppendEntry(datum.get()) < 0)
        throw UserException();
    const CItem* shown = datum.get();
    try {
        current->AddDatum(datum.get());
    } catch (...) {
        m_list.ListModel()->RemoveEntries(std::span<const CItem* const>(&shown, 1));
        throw;
    }
    datum.release();
    m_doc.SetModifiedFlag(true);
}

void COpenCmd::Execute()
{
    const CItem* entry = m_list.FirstSelectedEntry();
    if (!entry)
        return;
    // A file of a volume mounted elsewhere opens there; one of a volume that
    // is away asks for the volume rather than being not found.
    if (std::optional<std::string> path = PathOnDiskOrTell(m_list.Document(), *entry, m_list.window()))
        OpenOnDesktop(*path, m_list.window());
}

void CExploreCmd::Execute()
{
    const CItem* entry = m_list.FirstSelectedEntry();
    if (!entry)
        return;
    // A scanned file's folder is its category's; a custom item names its own.
    const CItem* folder = entry->GetClassId() == ClassId::FileDatum ? entry->GetParent() : entry;
    if (!folder || folder->IsDatum()) {
        OpenOnDesktop(GbToDisk(entry->GetFolderPath()), m_list.window());
        return;
    }
    if (std::optional<std::string> path = PathOnDiskOrTell(m_list.Document(), *folder, m_list.window()))
        OpenOnDesktop(*path, m_list.window());
}

void CViewContentCmd::Execute()
{
    const CItem* entry = m_list.FirstSelectedEntry();
    if (entry && entry->IsDatum())
        static_cast<const CDatum*>(entry)->ViewContent();
}

void CViewRemarkCmd::Execute()
{
    const CItem* entry = m_list.FirstSelectedEntry();
    if (!entry)
        return;
    ShowRemarkViewer(*entry, DialogHost { m_list.window(), ViewerProfile() });
}

void CPropertiesCmd::Execute()
{
    CItem* entry = m_list.FirstSelectedEntry();
    if (!entry)
        return;
    CPropertiesDlg dlg(*entry, m_list.window());
    if (RunDialog(dlg) == 1)
        m_doc.SetModifiedFlag(true);
}

} // namespace tessary
