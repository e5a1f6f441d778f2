#include "RefreshDlg.h"

#include "DialogButtons.h"

#include "DisplayText.h"
#include "TextCodec.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <cerrno>

namespace tessary {
namespace {

QString Number(std::uint64_t n)
{
    return QLocale().toString(static_cast<qulonglong>(n));
}

QString EntryText(const RefreshReportEntry& e)
{
    QString text = FromLibraryText(e.path);
    if (e.folder)
        text += QLatin1Char('/');
    if (e.entries > 1)
        text += QString::fromUtf8("（共 %1 项）").arg(Number(e.entries));
    return text;
}

QString SkippedText(const RefreshSkippedFolder& s)
{
    QString reason;
    switch (s.reason) {
    case ScanSkip::Reason::OtherVolume:
        reason = QString::fromUtf8("另一个文件系统，没有进入");
        break;
    case ScanSkip::Reason::Pseudo:
        reason = QString::fromUtf8("系统的虚拟文件系统，没有进入");
        break;
    case ScanSkip::Reason::Unreadable:
        reason = s.sysErrno == EACCES || s.sysErrno == EPERM ? QString::fromUtf8("没有读取权限")
                                                             : QString::fromUtf8("无法读取");
        break;
    }
    return QString::fromUtf8("%1/（%2，其中的条目保持原样）").arg(FromLibraryText(s.path), reason);
}

} // namespace

// The details list: one top-level row per group, titled with its count, and
// below it one row per line of the report. Texts are made when asked for,
// so a report of a hundred thousand lines costs no more than the report.
class CRefreshReportModel : public QAbstractItemModel {
public:
    using QAbstractItemModel::QAbstractItemModel;

    void SetReport(const RefreshReport* report)
    {
        beginResetModel();
        m_report = report;
        endResetModel();
    }

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override
    {
        if (!hasIndex(row, column, parent))
            return {};
        // Group rows carry 0, line rows their group's number plus one.
        return createIndex(row, column, parent.isValid() ? quintptr(parent.row() + 1) : quintptr(0));
    }
    QModelIndex parent(const QModelIndex& index) const override
    {
        if (!index.isValid() || index.internalId() == 0)
            return {};
        return createIndex(static_cast<int>(index.internalId() - 1), 0, quintptr(0));
    }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        if (!m_report)
            return 0;
        if (!parent.isValid())
            return CRefreshDlg::GroupCount;
        if (parent.internalId() != 0 || parent.column() != 0)
            return 0;
        return static_cast<int>(Lines(parent.row()));
    }
    int columnCount(const QModelIndex& = QModelIndex()) const override { return 1; }
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override
    {
        if (!m_report || !index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
            return {};
        if (index.internalId() == 0)
            return QString::fromUtf8("%1（%2）")
                .arg(CRefreshDlg::GroupTitle(index.row()), Number(Count(index.row())));
        const int group = static_cast<int>(index.internalId() - 1);
        const auto row = static_cast<std::size_t>(index.row());
        if (group == CRefreshDlg::Unreadable)
            return SkippedText(m_report->skippedFolders[row]);
        return EntryText((*Entries(group))[row]);
    }

    // The entries a group counts (for the unreadable folders: the lines).
    std::uint64_t Count(int group) const
    {
        switch (group) {
        case CRefreshDlg::Added:
            return m_report->added;
        case CRefreshDlg::Removed:
            return m_report->removed;
        case CRefreshDlg::Changed:
            return m_report->changed;
        case CRefreshDlg::KeptMissing:
            return m_report->keptMissing;
        case CRefreshDlg::Stale:
            return m_report->stale;
        case CRefreshDlg::Reextracted:
            return m_report->reextracted;
        default:
            return Lines(group);
        }
    }

private:
    const std::vector<RefreshReportEntry>* Entries(int group) const
    {
        switch (group) {
        case CRefreshDlg::Added:
            return &m_report->addedEntries;
        case CRefreshDlg::Removed:
            return &m_report->removedEntries;
        case CRefreshDlg::Changed:
            return &m_report->changedEntries;
        case CRefreshDlg::KeptMissing:
            return &m_report->keptMissingEntries;
        case CRefreshDlg::Stale:
            return &m_report->staleEntries;
        case CRefreshDlg::Reextracted:
            return &m_report->reextractedEntries;
        default:
            return nullptr;
        }
    }
    std::size_t Lines(int group) const
    {
        if (group == CRefreshDlg::Unreadable)
            return m_report->skippedFolders.size();
        const auto* entries = Entries(group);
        return entries ? entries->size() : 0;
    }

    const RefreshReport* m_report = nullptr;
};

QString CRefreshDlg::GroupTitle(int group)
{
    static const char* const kTitles[GroupCount] = {
        "新增",
        "删除",
        "大小或时间已改变",
        "磁盘上已没有，因带有注释或内容而保留",
        "内容已过时，保留原来的内容",
        "重新读取内容",
        "没有读取的文件夹",
    };
    return group >= 0 && group < GroupCount ? QString::fromUtf8(kTitles[group]) : QString();
}

CRefreshDlg::CRefreshDlg(const RefreshPlan& plan, const QString& categoryName, QWidget* parent)
    : QDialog(parent)
    , m_plan(plan)
    , m_model(new CRefreshReportModel(this))
    , m_nothing(new QLabel(QString::fromUtf8("磁盘上没有变化，刷新不会改变文档库。"), this))
    , m_details(new QTreeView(this))
    , m_prune(new QCheckBox(QString::fromUtf8("删除磁盘上已没有的条目，即使带有注释或内容(&P)"), this))
    , m_reextract(new QCheckBox(QString::fromUtf8("重新读取已改变文件的内容(&R)"), this))
{
    const QString title = QString::fromUtf8("刷新类别");
    setWindowTitle(title);
    setAccessibleName(title);
    setObjectName(QStringLiteral("RefreshDlg"));

    auto* layout = new QVBoxLayout(this);
    const QString folder = DiskPathToText(plan.Source().diskPath);
    auto* heading = new QLabel(
        QString::fromUtf8("从“%1”重新读取了类别“%2”。刷新将做如下改变：").arg(folder, categoryName), this);
    heading->setWordWrap(true);
    layout->addWidget(heading);

    auto* counts = new QGridLayout;
    for (int g = 0; g < GroupCount; ++g) {
        auto* name = new QLabel(GroupTitle(g) + QString::fromUtf8("："), this);
        m_counts[g] = new QLabel(this);
        m_counts[g]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        name->setBuddy(m_counts[g]);
        m_counts[g]->setAccessibleName(GroupTitle(g));
        counts->addWidget(name, g, 0);
        counts->addWidget(m_counts[g], g, 1);
    }
    counts->setColumnStretch(2, 1);
    layout->addLayout(counts);
    layout->addWidget(m_nothing);

    m_details->setObjectName(QStringLiteral("Details"));
    m_details->setAccessibleName(QString::fromUtf8("改变的条目"));
    m_details->setHeaderHidden(true);
    m_details->setUniformRowHeights(true);
    m_details->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_details->setModel(m_model);
    m_details->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_details->header()->setStretchLastSection(false);
    m_details->setMinimumSize(560, 240);
    layout->addWidget(m_details, 1);

    m_prune->setAccessibleName(m_prune->text().remove(QStringLiteral("(&P)")));
    m_reextract->setAccessibleName(m_reextract->text().remove(QStringLiteral("(&R)")));
    layout->addWidget(m_prune);
    layout->addWidget(m_reextract);

    const DialogButtons buttons
        = MakeDialogButtons(this, QString::fromUtf8("刷新"), QString::fromUtf8("取消"));
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(buttons.ok);
    row->addWidget(buttons.cancel);
    layout->addLayout(row);

    UpdateReport();
    // There is a choice only where the plan has candidates for it: with
    // both boxes clear, the report lists them all.
    m_prune->setEnabled(m_report.keptMissing > 0);
    m_reextract->setEnabled(m_report.stale > 0);
    connect(m_prune, &QCheckBox::toggled, this, &CRefreshDlg::UpdateReport);
    connect(m_reextract, &QCheckBox::toggled, this, &CRefreshDlg::UpdateReport);
}

CRefreshDlg::~CRefreshDlg() = default;

RefreshOptions CRefreshDlg::Options() const
{
    RefreshOptions options;
    options.prune = m_prune->isChecked();
    options.reextract = m_reextract->isChecked();
    return options;
}

QString CRefreshDlg::CountText(int group) const
{
    return group >= 0 && group < GroupCount ? m_counts[group]->text() : QString();
}

void CRefreshDlg::UpdateReport()
{
    m_model->SetReport(nullptr);
    m_report = m_plan.Report(Options());
    m_model->SetReport(&m_report);
    for (int g = 0; g < GroupCount; ++g)
        m_counts[g]->setText(Number(m_model->Count(g)));
    m_nothing->setVisible(m_report.NothingChanges());
    // Groups that hold lines open; the rest stay closed.
    for (int g = 0; g < GroupCount; ++g) {
        const QModelIndex group = m_model->index(g, 0);
        m_details->setExpanded(group, m_model->rowCount(group) > 0 && m_model->rowCount(group) <= 1000);
    }
}

} // namespace tessary
