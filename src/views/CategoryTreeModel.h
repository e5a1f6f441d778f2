#pragma once

#include <QAbstractItemModel>
#include <QIcon>

#include <functional>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tessary {

class CCategory;

// The rows of the category tree. Rows are made lazily: a row exists only for
// a category that was inserted, revealed or whose parent row was expanded;
// a row shows an expand button as long as its category has sub-categories,
// whether or not their rows exist yet.
//
// A row map from category to row holds exactly the categories that have a
// row. Operations that delete rows use the entries only as keys and never
// read them, so they may run after the categories were destroyed; rows
// whose categories are about to go are marked gone first (MarkGone), so
// that nothing reads them in between.
//
// Each row computes its text and icons from its category when asked:
// DisplayRole and EditRole the stored name, DecorationRole the icon,
// kSelectedIconRole the icon of a selected row (both greyed when the
// category's volume is away), ToolTipRole what is known of its volume.
class CCategoryTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    static constexpr int kSelectedIconRole = Qt::UserRole + 1;

    explicit CCategoryTreeModel(QObject* parent = nullptr);
    ~CCategoryTreeModel() override;

    void SetIconSource(std::function<QIcon(int)> icon) { m_icon = std::move(icon); }

    // What a row shows of the volume its category was imported from: a
    // greyed icon while the volume is away, and a tooltip (empty: none).
    struct VolumeLook {
        bool away = false;
        QString toolTip;
    };
    void SetVolumeLook(std::function<VolumeLook(const CCategory&)> look) { m_volumeLook = std::move(look); }
    // Every row asks for its look again (volumes were mounted or unmounted).
    void RefreshVolumeLooks();
    // Called with the confirmed text of an in-place edit.
    void SetRenameHandler(std::function<void(CCategory& category, const QString& text)> rename)
    {
        m_rename = std::move(rename);
    }

    // Replaces every row by one top-level row per category of `roots`, in
    // one model reset; the map holds just these.
    void Reset(const std::vector<CCategory*>& roots);
    void Clear() { Reset({}); }
    // The row of `category`, or an invalid index.
    QModelIndex IndexOf(const CCategory* category) const;
    CCategory* EntryAt(const QModelIndex& index) const;
    // Number of rows (= categories in the row map).
    std::size_t RowMapSize() const noexcept { return m_rows.size(); }
    // Whether `index` lies below `ancestor` (not equal to it).
    static bool IsBelow(const QModelIndex& index, const QModelIndex& ancestor);

    // Appends a row for `category` after the last child row of `parent` (an
    // invalid index: the top level) and records it in the map, replacing an
    // older row's key. Returns the new row.
    QModelIndex AppendRow(CCategory* category, const QModelIndex& parent);
    // Creates rows for the sub-categories of `parent`'s category that have
    // none, each placed after the row of its predecessor in the category's
    // list, so that the rows follow the list's order. Rows that exist stay.
    void CreateMissingChildRows(const QModelIndex& parent);
    // Reads the row's child count again from its category and tells the views.
    void RefreshRow(const QModelIndex& index);
    // Deletes the row with every row below it and drops their keys.
    void RemoveRow(const QModelIndex& index);
    // The categories of the row and of the rows below it are about to be
    // destroyed: until the rows are deleted they show nothing, take no
    // selection or edit and make no child rows, and EntryAt answers null
    // for them. Their keys stay, so that deleting them by category works.
    void MarkGone(const QModelIndex& index);
    // Whether the row was marked gone.
    bool IsGone(const QModelIndex& index) const;
    // The keys of the rows marked gone since the last call (the top rows of
    // each MarkGone), for deleting them once the categories are unlinked.
    // A key's row may be deleted or reused meanwhile: check IsGone.
    std::vector<const CCategory*> TakeGoneKeys() { return std::exchange(m_goneKeys, {}); }
    // Two rows of one parent change places, each with the rows below it
    // (persistent indexes, so the expanded state and the caret, go along).
    void SwapSiblingRows(const QModelIndex& a, const QModelIndex& b);

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The one column's title, "类别" (the header is hidden, but assistive
    // technology reads it).
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Node;
    Node* NodeOf(const QModelIndex& index) const;
    QModelIndex IndexOfNode(const Node* node) const;
    std::unique_ptr<Node> MakeNode(CCategory* category, Node* parent);
    void InsertNodes(
        Node* parent, const QModelIndex& parentIndex, int at, std::vector<std::unique_ptr<Node>> nodes);
    void DropKeys(const Node* subtree);

    std::unique_ptr<Node> m_root;
    std::unordered_map<const CCategory*, Node*> m_rows;
    std::vector<const CCategory*> m_goneKeys;
    QIcon Icon(int index, bool away) const;

    std::function<QIcon(int)> m_icon;
    std::function<VolumeLook(const CCategory&)> m_volumeLook;
    mutable std::unordered_map<int, QIcon> m_greyed; // by icon index
    std::function<void(CCategory&, const QString&)> m_rename;
};

} // namespace tessary
