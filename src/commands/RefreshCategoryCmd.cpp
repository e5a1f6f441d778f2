// Refreshing an imported category from the window: scan, preview, apply.

#include "ExchangeCommands.h"

#include "CategoryTreeModel.h"
#include "CategoryView.h"
#include "DisplayText.h"
#include "Document.h"
#include "FileError.h"
#include "Refresh.h"
#include "RefreshDlg.h"
#include "ResourceIds.h"
#include "ScanRunner.h"
#include "Strings.h"
#include "TextCodec.h"
#include "UserPrompts.h"
#include "VolumeCommands.h"
#include "VolumeTexts.h"
#include "WaitCursor.h"

#include <QFile>

#include <algorithm>
#include <optional>

namespace tessary {
namespace {

QString FolderFailure(const FileError& error)
{
    const char* cause = nullptr;
    switch (error.Cause()) {
    case FileErrorCause::NotFound:
    case FileErrorCause::BadPath:
        cause = "文件夹不存在（光盘或磁盘可能没有插入，或者挂载在别处）";
        break;
    case FileErrorCause::AccessDenied:
        cause = "没有读取这个文件夹的权限";
        break;
    case FileErrorCause::NotRegularFile:
        cause = "它不是一个文件夹";
        break;
    default:
        cause = "无法打开这个文件夹";
        break;
    }
    return QString::fromUtf8("无法读取文件夹“%1”：%2。类别没有改变。\n要从另一个文件夹刷新吗？")
        .arg(DiskPathToText(error.Path()), QString::fromUtf8(cause));
}

// The rows below `target` after its subtree changed: rows of categories
// that went are deleted, rows that remain show their new child counts, and
// expanded rows get rows for the folders that came (collapsed rows make
// theirs when they open).
void UpdateTreeRows(CCategoryView& tree, CCategory* target)
{
    tree.DeleteGoneRows();
    std::vector<CCategory*> pending { target };
    while (!pending.empty()) {
        CCategory* category = pending.back();
        pending.pop_back();
        const QModelIndex row = tree.RowOf(category);
        // A category without a row has no rows below it either.
        if (!row.isValid())
            continue;
        tree.RefreshEntryRow(category);
        if (tree.isExpanded(row))
            tree.TreeModel()->CreateMissingChildRows(row);
        for (CCategory* sub : category->GetSubCategoryList())
            pending.push_back(sub);
    }
}

QString ExtractFailuresMessage(const RefreshReport& report)
{
    constexpr std::size_t kShown = 5;
    QString text = QString::fromUtf8("有 %1 个已改变的文件无法重新读取，它们保留了原来的内容：")
                       .arg(report.extractFailures.size());
    for (std::size_t i = 0; i < report.extractFailures.size() && i < kShown; ++i)
        text += QLatin1Char('\n') + DiskPathToText(report.extractFailures[i].Path());
    if (report.extractFailures.size() > kShown)
        text += QString::fromUtf8("\n……");
    return text;
}

} // namespace

void CRefreshCategoryCmd::Execute()
{
    CCategory* target = m_tree.SelectedCategory();
    if (!target || !CanRefresh(*target))
        return;
    QWidget* parent = m_tree.window();
    const QString title = QString::fromUtf8("刷新类别");

    // The folder where it is now: at its volume's current mount point. When
    // the volume is away the user may connect it, or pick another folder.
    std::string otherFolder;
    const DiskPlace place = PlaceOnDisk(m_doc, *target, parent);
    if (place.path) {
        otherFolder = *place.path;
    } else if (place.away) {
        if (!Prompts().AskYesNo(parent,
                InsertVolumeText(*place.away) + QLatin1Char('\n')
                    + LoadString(IDS_REFRESH_FROM_OTHER_FOLDER)))
            return;
        const QString folder = Prompts().GetExistingDirectory(
            parent, QString::fromUtf8("选择刷新的文件夹"), DiskPathToText(GbToDisk(target->GetPath())));
        if (folder.isEmpty())
            return;
        otherFolder = QFile::encodeName(folder).toStdString();
    } else {
        return; // no choice among cloned disks
    }

    // Scan until a folder could be read, the user gives up or cancels.
    std::optional<RefreshPlan> plan;
    while (!plan) {
        const RefreshSource source = RefreshSourceFor(*target, otherFolder);
        RefreshScan scan;
        const bool completed = RunScanJob(parent, title,
            [&scan, &source](ScanProgress& progress) { scan = ScanForRefresh(source, 0, &progress); });
        if (!completed)
            return;
        try {
            plan.emplace(PlanRefresh(*target, std::move(scan)));
        } catch (const RefreshCancelled&) {
            return;
        } catch (const FileError& error) {
            if (!Prompts().AskYesNo(parent, FolderFailure(error)))
                return;
            const QString folder = Prompts().GetExistingDirectory(
                parent, QString::fromUtf8("选择刷新的文件夹"), DiskPathToText(source.diskPath));
            if (folder.isEmpty())
                return;
            otherFolder = QFile::encodeName(folder).toStdString();
        }
    }

    RefreshOptions options;
    {
        CRefreshDlg preview(*plan, FromLibraryText(target->m_strName.view()), parent);
        if (preview.exec() != QDialog::Accepted)
            return;
        options = preview.Options();
    }
    if (options.reextract && plan->HasUnreadContent()) {
        // The files are read off the library's thread; the plan keeps the
        // bytes until it is applied. Cancel leaves the library as it was.
        const bool completed = RunScanJob(
            parent, title, [&plan](ScanProgress& progress) { plan->ReadStaleContents(&progress); });
        if (!completed)
            return;
    }

    RefreshReport report;
    {
        CWaitCursor wait;
        report = ApplyRefresh(m_doc, *plan, options);
        UpdateTreeRows(m_tree, target);
    }
    // The item list shows the refreshed category (the current one) anew.
    m_doc.UpdateAllViews(&m_tree);
    const QModelIndex row = m_tree.RowOf(target);
    if (row.isValid())
        m_tree.scrollTo(row);
    if (!report.extractFailures.empty())
        Prompts().ShowMessage(parent, ExtractFailuresMessage(report), IUserPrompts::Icon::Warning);
}

} // namespace tessary
