#include "ImportCommands.h"

#include "Category.h"
#include "CategoryView.h"
#include "CommandDialogs.h"
#include "Document.h"
#include "EntryWatch.h"
#include "ImportDialogs.h"
#include "UserPrompts.h"
#include "WaitCursor.h"

namespace tessary {

std::unique_ptr<CImportDlgBase> NewImportDialog(ImportKind kind, QWidget* parent)
{
    switch (kind) {
    case ImportKind::CDRom:
        return std::make_unique<CImportCDDlg>(parent);
    case ImportKind::Drive:
        return std::make_unique<CImportDriveDlg>(parent);
    case ImportKind::RootFolder:
        break;
    }
    return std::make_unique<CImportFolderDlg>(parent);
}

void CImportCategoryCmd::Execute()
{
    QWidget* window = m_tree.window();
    CCategory* selected = m_tree.SelectedCategory();
    // The target is watched across the dialog and the scan, which both run
    // event loops: should it go meanwhile, the new category becomes a root.
    const CEntryWatch target(m_doc, selected && selected->CanImportInto() ? selected : nullptr);

    std::unique_ptr<CImportDlgBase> dialog = NewImportDialog(m_kind, window);
    dialog->m_pParentCandidate = static_cast<CCategory*>(target.Get());
    if (RunDialog(*dialog) != 1)
        return;

    // The long step, off this thread: the library is not touched until the
    // scan has ended, so a cancel leaves it exactly as it was.
    ScannedCategory scanned
        = ScanNewCategory(window, dialog->windowTitle(), m_kind, dialog->m_strName, dialog->m_strSource);
    if (!scanned.category)
        return;
    // Without a target the dialog forces a root; it cannot be otherwise.
    auto* into = static_cast<CCategory*>(target.Get());
    const bool asRoot = dialog->m_bMakeRoot || !into;

    {
        CWaitCursor wait;
        CPathCategory* category = scanned.category.get();
        if (asRoot) {
            try {
                m_doc.AddRoot(category);
            } catch (...) {
                // Out of memory: the library owns the category only if it
                // got into the root list.
                const CategoryList& roots = m_doc.GetRootList();
                if (!roots.empty() && roots.back() == category)
                    scanned.category.release();
                throw;
            }
            scanned.category.release();
            m_tree.InsertEntryRow(category, QModelIndex());
        } else {
            into->AddSubCategory(category);
            scanned.category.release();
            m_tree.InsertEntryRow(category, m_tree.RowOf(into));
            m_tree.RefreshEntryRow(into);
        }
        m_tree.RevealEntry(category);
        m_doc.SetModifiedFlag(true);
        m_doc.UpdateAllViews(&m_tree);
    }

    const QString skipped = SkippedFoldersMessage(scanned.report);
    if (!skipped.isEmpty())
        Prompts().ShowMessage(window, skipped, IUserPrompts::Icon::Warning);
}

} // namespace tessary
