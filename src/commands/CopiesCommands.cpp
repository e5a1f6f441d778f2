#include "CopiesCommands.h"

#include "CategoryView.h"
#include "CmdManager.h"
#include "CommandDialogs.h"
#include "Copies.h"
#include "CopiesDlg.h"
#include "DisplayText.h"
#include "Document.h"
#include "OutputBar.h"
#include "ProgressDlg.h"
#include "ResourceIds.h"
#include "ScanRunner.h"
#include "Strings.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

namespace tessary {
namespace {

// The choices of the last run, for the next dialog.
CopiesChoice& LastChoice()
{
    static CopiesChoice choice;
    return choice;
}

// Asks with the copies dialog; the rule chosen, or nothing when cancelled.
std::optional<CopyRule> AskRule(CCopiesDlg::Kind kind, const CCategory* selected, QWidget* parent)
{
    const QString name = selected ? FromLibraryText(selected->m_strName.view()) : QString();
    CCopiesDlg dialog(kind, name, LastChoice(), parent);
    if (RunDialog(dialog) != 1)
        return std::nullopt;
    LastChoice() = dialog.m_choice;
    return CopyRule { dialog.m_choice.minSize, dialog.m_choice.compareTime };
}

// Runs `search` on a worker under the progress window titled `title`; false
// when the user cancelled.
bool RunSearch(QWidget* parent, int title, CopyProgress& progress, const std::function<void()>& search)
{
    constexpr int kSteps = 1000;
    WorkerJobWindow window;
    window.objectName = QStringLiteral("copiesProgress");
    window.countName = QStringLiteral("comparing");
    window.itemName = QStringLiteral("item");
    window.maximum = kSteps;
    window.cancel = [&progress] { progress.Cancel(); };
    window.cancelled = [&progress] { return progress.Cancelled(); };
    window.show = [&progress](CProgressDlg& dialog) {
        dialog.SetCount(LoadString(IDS_COPIES_COMPARING));
        const std::uint64_t total = progress.Total(), done = progress.Done();
        dialog.SetValue(total ? static_cast<int>(std::min(done, total) * kSteps / total) : 0);
    };
    return RunWorkerJob(parent, LoadString(title), search, window);
}

} // namespace

void CFindDuplicatesCmd::Execute()
{
    const CCategory* selected = m_tree.SelectedCategory();
    if (!selected && m_doc.GetRootCount() == 0)
        return;
    const std::optional<CopyRule> rule = AskRule(CCopiesDlg::Kind::Duplicates, selected, m_tree.window());
    if (!rule)
        return;
    std::vector<const CCategory*> scopes;
    if (selected && !LastChoice().wholeLibrary)
        scopes.push_back(selected);
    else
        scopes.assign(m_doc.GetRootList().begin(), m_doc.GetRootList().end());
    CopyProgress progress;
    DuplicateGroups found;
    if (!RunSearch(m_tree.window(), IDS_FIND_DUPLICATES_TITLE, progress,
            [&] { found = FindDuplicates(scopes, *rule, &progress); })
        || found.cancelled)
        return;
    m_bar.show();
    m_bar.raise();
    m_bar.SetDuplicates(found);
}

void CFindUniqueFilesCmd::Execute()
{
    const CCategory* selected = m_tree.SelectedCategory();
    if (!selected)
        return;
    const std::optional<CopyRule> rule = AskRule(CCopiesDlg::Kind::UniqueFiles, selected, m_tree.window());
    if (!rule)
        return;
    CopyProgress progress;
    UniqueFiles unique;
    if (!RunSearch(m_tree.window(), IDS_FIND_UNIQUE_TITLE, progress,
            [&] { unique = FindUniqueFiles(m_doc.GetRootList(), *selected, *rule, &progress); })
        || unique.cancelled)
        return;
    m_bar.show();
    m_bar.raise();
    m_bar.SetUniqueFiles(unique);
}

void RegisterCopiesCommands(CCmdManager& manager)
{
    manager.SetRunner(ID_FIND_DUPLICATES,
        [](CCmdManager& m) { CFindDuplicatesCmd(m.Document(), m.Tree(), m.OutputBar()).Execute(); });
    manager.SetRunner(ID_FIND_UNIQUE,
        [](CCmdManager& m) { CFindUniqueFilesCmd(m.Document(), m.Tree(), m.OutputBar()).Execute(); });
}

} // namespace tessary
