#pragma once

#include "Refresh.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QTreeView;

namespace tessary {

class CRefreshReportModel;

// The preview of a refresh: what bringing a category up to date with its
// folder would change (the counts, and the paths in a scrollable list
// grouped by kind of change), with the two choices the user makes, removing
// entries gone from the disk although they carry a remark or content, and
// reading the new content of changed files. The shown report follows the
// choices as they are ticked.
//
// The dialog only reads the plan; applying it is the caller's, after OK.
// The plan points into the library, so the dialog must run modally and the
// library must not change while it is up.
class CRefreshDlg : public QDialog {
    Q_OBJECT
public:
    // `plan` (not owned) must outlive the dialog. `categoryName` is the
    // refreshed category's name as shown.
    CRefreshDlg(const RefreshPlan& plan, const QString& categoryName, QWidget* parent = nullptr);
    ~CRefreshDlg() override;

    // The choices ticked.
    RefreshOptions Options() const;
    // The report as shown for the current choices.
    const RefreshReport& ShownReport() const { return m_report; }

    QCheckBox* PruneBox() const { return m_prune; }
    QCheckBox* ReextractBox() const { return m_reextract; }
    QTreeView* Details() const { return m_details; }
    // The text of the count line of a group (see Group).
    QString CountText(int group) const;

    // The groups of the details list, in order.
    enum Group { Added, Removed, Changed, KeptMissing, Stale, Reextracted, Unreadable, GroupCount };
    // A group's title (without its count).
    static QString GroupTitle(int group);

private:
    void UpdateReport();

    const RefreshPlan& m_plan;
    RefreshReport m_report;
    CRefreshReportModel* m_model;
    QLabel* m_counts[GroupCount] = {};
    QLabel* m_nothing;
    QTreeView* m_details;
    QCheckBox* m_prune;
    QCheckBox* m_reextract;
};

} // namespace tessary
