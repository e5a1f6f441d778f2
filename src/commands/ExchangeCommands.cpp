#include "ExchangeCommands.h"

#include "CategoryView.h"
#include "Datum.h"
#include "Document.h"
#include "OutputBar.h"
#include "SearchCriteria.h"
#include "SearchDlg.h"
#include "UserPrompts.h"
#include "VolumeTexts.h"
#include "WaitCursor.h"

#include <QFile>

namespace tessary {
namespace {

std::string ToDisk(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

void CImportLibraryCmd::Execute()
{
    CCategory* target = m_doc.GetCurrentCategory();
    if (!target || !target->CanImportInto())
        return;
    const QString path = Prompts().GetLibraryToImport(m_tree.window());
    if (path.isEmpty())
        return;
    CWaitCursor wait;
    // Reads the whole file before anything is linked: a failure throws with
    // the library untouched.
    if (!m_doc.ImportLibrary(ToDisk(path)))
        return;
    ShowReadWarnings(m_tree.window(), path, m_doc.GetReadWarnings());
    // The target's row learns its new child count; revealing it creates the
    // rows of the new sub-categories after the existing ones and expands it.
    m_tree.RefreshEntryRow(target);
    m_tree.RevealEntry(target);
    // The item list shows the new sub-categories too.
    m_doc.UpdateAllViews(&m_tree);
}

void CExportCmd::Execute()
{
    const CCategory* category = m_doc.GetCurrentCategory();
    if (!category || !category->CanExport())
        return;
    const QString path = Prompts().GetExportFileName(m_parent, QString::fromStdString(m_doc.GetPlainTitle()));
    if (path.isEmpty())
        return;
    // The open library's own file is never replaced behind the document's
    // back; another running copy's library is replaced only when the user
    // agrees, as opening it asks first.
    if (m_doc.IsOwnFile(ToDisk(path))) {
        Prompts().ShowMessage(m_parent,
            QString::fromUtf8("不能导出到“%1”：它就是当前打开的文档。\n请换一个文件名。").arg(path),
            IUserPrompts::Icon::Warning);
        return;
    }
    if (m_doc.IsHeldElsewhere(ToDisk(path))
        && !Prompts().AskYesNo(m_parent,
            QString::fromUtf8("文档“%1”已在另一个运行中的橡檐里打开。\n仍要导出并替换它吗？").arg(path)))
        return;
    CWaitCursor wait;
    CTessaryDoc::ExportCategory(*category, ToDisk(path));
}

void CSearchCmd::Execute()
{
    CSearchDlg dialog(m_criteria, m_tree.window());
    if (dialog.exec() != QDialog::Accepted || m_criteria.m_bConfirmed != 1)
        return;
    const CCategory* scope = m_tree.SelectedCategory();
    if (!scope)
        return;
    std::vector<CDatum*> results;
    {
        CWaitCursor wait;
        scope->CollectMatches(m_criteria, results);
    }
    // Shown whether or not anything matched: an empty list with the count 0
    // is the answer.
    m_bar.show();
    m_bar.raise();
    m_bar.SetResults(std::move(results));
}

} // namespace tessary
