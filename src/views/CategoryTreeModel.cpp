#include "CategoryTreeModel.h"

#include "Category.h"
#include "TextCodec.h"

#include <algorithm>
#include <iterator>

namespace tessary {

struct CCategoryTreeModel::Node {
    CCategory* entry = nullptr; // not owned; only a key once the category is gone
    Node* parent = nullptr;
    int row = 0; // position among the parent's child rows
    int childCount = 0; // sub-categories of the entry when the row was last set
    bool gone = false; // the entry is being destroyed: a key, nothing more
    std::vector<std::unique_ptr<Node>> children;

    Node() = default;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    // Rows may nest as deep as the library does: no recursion.
    ~Node()
    {
        std::vector<std::unique_ptr<Node>> pending = std::move(children);
        while (!pending.empty()) {
            std::unique_ptr<Node> n = std::move(pending.back());
            pending.pop_back();
            for (auto& c : n->children)
                pending.push_back(std::move(c));
            n->children.clear();
        }
    }
};

namespace {

int SubCount(const CCategory* category)
{
    return category ? static_cast<int>(category->GetSubCategoryList().size()) : 0;
}

} // namespace

CCategoryTreeModel::CCategoryTreeModel(QObject* parent)
    : QAbstractItemModel(parent)
    , m_root(std::make_unique<Node>())
{
}

CCategoryTreeModel::~CCategoryTreeModel() = default;

CCategoryTreeModel::Node* CCategoryTreeModel::NodeOf(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<Node*>(index.internalPointer());
}

QModelIndex CCategoryTreeModel::IndexOfNode(const Node* node) const
{
    if (!node || node == m_root.get())
        return {};
    return createIndex(node->row, 0, const_cast<Node*>(node));
}

std::unique_ptr<CCategoryTreeModel::Node> CCategoryTreeModel::MakeNode(CCategory* category, Node* parent)
{
    auto node = std::make_unique<Node>();
    node->entry = category;
    node->parent = parent;
    node->childCount = SubCount(category);
    return node;
}

void CCategoryTreeModel::Reset(const std::vector<CCategory*>& roots)
{
    auto root = std::make_unique<Node>();
    root->children.reserve(roots.size());
    for (CCategory* c : roots) {
        root->children.push_back(MakeNode(c, root.get()));
        root->children.back()->row = static_cast<int>(root->children.size()) - 1;
    }
    beginResetModel();
    m_root = std::move(root);
    m_rows.clear();
    m_goneKeys.clear();
    for (const auto& node : m_root->children)
        m_rows[node->entry] = node.get();
    endResetModel();
}

QModelIndex CCategoryTreeModel::IndexOf(const CCategory* category) const
{
    auto it = m_rows.find(category);
    return it == m_rows.end() ? QModelIndex() : IndexOfNode(it->second);
}

CCategory* CCategoryTreeModel::EntryAt(const QModelIndex& index) const
{
    const Node* node = NodeOf(index);
    return node && !node->gone ? node->entry : nullptr;
}

void CCategoryTreeModel::MarkGone(const QModelIndex& index)
{
    if (const Node* top = NodeOf(index))
        m_goneKeys.push_back(top->entry);
    std::vector<Node*> pending { NodeOf(index) };
    while (!pending.empty()) {
        Node* n = pending.back();
        pending.pop_back();
        if (!n)
            continue;
        n->gone = true;
        for (const auto& c : n->children)
            pending.push_back(c.get());
    }
}

bool CCategoryTreeModel::IsGone(const QModelIndex& index) const
{
    const Node* node = NodeOf(index);
    return node && node->gone;
}

bool CCategoryTreeModel::IsBelow(const QModelIndex& index, const QModelIndex& ancestor)
{
    if (!ancestor.isValid())
        return index.isValid();
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
        if (p == ancestor)
            return true;
    return false;
}

void CCategoryTreeModel::InsertNodes(
    Node* parent, const QModelIndex& parentIndex, int at, std::vector<std::unique_ptr<Node>> nodes)
{
    if (nodes.empty())
        return;
    const int count = static_cast<int>(nodes.size());
    // Room first: nothing may fail between the begin and the end of the insertion.
    parent->children.reserve(parent->children.size() + nodes.size());
    m_rows.reserve(m_rows.size() + nodes.size());
    beginInsertRows(parentIndex, at, at + count - 1);
    for (auto& node : nodes)
        m_rows[node->entry] = node.get();
    parent->children.insert(parent->children.begin() + at, std::make_move_iterator(nodes.begin()),
        std::make_move_iterator(nodes.end()));
    for (std::size_t i = static_cast<std::size_t>(at); i < parent->children.size(); ++i)
        parent->children[i]->row = static_cast<int>(i);
    endInsertRows();
}

QModelIndex CCategoryTreeModel::AppendRow(CCategory* category, const QModelIndex& parent)
{
    Node* p = parent.isValid() ? NodeOf(parent) : m_root.get();
    if (!p || !category)
        return {};
    const int at = static_cast<int>(p->children.size());
    std::vector<std::unique_ptr<Node>> one;
    one.push_back(MakeNode(category, p));
    InsertNodes(p, parent, at, std::move(one));
    return IndexOfNode(p->children[static_cast<std::size_t>(at)].get());
}

void CCategoryTreeModel::CreateMissingChildRows(const QModelIndex& parent)
{
    Node* node = NodeOf(parent);
    if (!node || !node->entry || node->gone)
        return;
    const CategoryList& subs = node->entry->GetSubCategoryList();
    node->childCount = static_cast<int>(subs.size());
    // Walk the list: a category without a row goes right after the row of
    // the nearest predecessor that has one under this row (first when none).
    int at = 0;
    std::vector<std::unique_ptr<Node>> run;
    auto flush = [&] {
        const int count = static_cast<int>(run.size());
        InsertNodes(node, parent, at, std::move(run));
        run.clear();
        at += count;
    };
    for (CCategory* sub : subs) {
        auto it = m_rows.find(sub);
        if (it == m_rows.end()) {
            run.push_back(MakeNode(sub, node));
        } else if (it->second->parent == node) {
            flush();
            at = std::max(at, it->second->row + 1);
        }
    }
    flush();
}

void CCategoryTreeModel::RefreshRow(const QModelIndex& index)
{
    Node* node = NodeOf(index);
    if (!node || node->gone)
        return;
    node->childCount = SubCount(node->entry);
    // For the first column the tree view also re-reads hasChildren.
    Q_EMIT dataChanged(index, index);
}

void CCategoryTreeModel::DropKeys(const Node* subtree)
{
    std::vector<const Node*> pending { subtree };
    while (!pending.empty()) {
        const Node* n = pending.back();
        pending.pop_back();
        // A newer row of the same category keeps its key.
        auto it = m_rows.find(n->entry);
        if (it != m_rows.end() && it->second == n)
            m_rows.erase(it);
        for (const auto& c : n->children)
            pending.push_back(c.get());
    }
}

void CCategoryTreeModel::RemoveRow(const QModelIndex& index)
{
    Node* node = NodeOf(index);
    if (!node)
        return;
    Node* parent = node->parent;
    const int row = node->row;
    beginRemoveRows(IndexOfNode(parent), row, row);
    std::unique_ptr<Node> owned = std::move(parent->children[static_cast<std::size_t>(row)]);
    parent->children.erase(parent->children.begin() + row);
    for (std::size_t i = static_cast<std::size_t>(row); i < parent->children.size(); ++i)
        parent->children[i]->row = static_cast<int>(i);
    DropKeys(owned.get());
    endRemoveRows();
}

void CCategoryTreeModel::SwapSiblingRows(const QModelIndex& a, const QModelIndex& b)
{
    Node* na = NodeOf(a);
    Node* nb = NodeOf(b);
    if (!na || !nb || na == nb || na->parent != nb->parent)
        return;
    Node* parent = na->parent;
    const QModelIndex parentIndex = IndexOfNode(parent);
    const int first = std::min(na->row, nb->row), last = std::max(na->row, nb->row);
    auto& rows = parent->children;
    auto renumber = [&] {
        for (int i = first; i <= last; ++i)
            rows[static_cast<std::size_t>(i)]->row = i;
    };
    // The later row moves before the earlier one; unless they were
    // neighbours the earlier one (now one further on) moves to its place.
    beginMoveRows(parentIndex, last, last, parentIndex, first);
    std::rotate(rows.begin() + first, rows.begin() + last, rows.begin() + last + 1);
    renumber();
    endMoveRows();
    if (last - first > 1) {
        beginMoveRows(parentIndex, first + 1, first + 1, parentIndex, last + 1);
        std::rotate(rows.begin() + first + 1, rows.begin() + first + 2, rows.begin() + last + 1);
        renumber();
        endMoveRows();
    }
}

QModelIndex CCategoryTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    const Node* p = parent.isValid() ? NodeOf(parent) : m_root.get();
    if (!p || column != 0 || row < 0 || static_cast<std::size_t>(row) >= p->children.size())
        return {};
    return createIndex(row, 0, p->children[static_cast<std::size_t>(row)].get());
}

QModelIndex CCategoryTreeModel::parent(const QModelIndex& index) const
{
    const Node* node = NodeOf(index);
    return node ? IndexOfNode(node->parent) : QModelIndex();
}

int CCategoryTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const Node* p = parent.isValid() ? NodeOf(parent) : m_root.get();
    return p ? static_cast<int>(p->children.size()) : 0;
}

int CCategoryTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool CCategoryTreeModel::hasChildren(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return !m_root->children.empty();
    const Node* node = NodeOf(parent);
    return node && ((node->childCount > 0 && !node->gone) || !node->children.empty());
}

bool CCategoryTreeModel::canFetchMore(const QModelIndex& parent) const
{
    const Node* node = NodeOf(parent);
    return node && node->entry && !node->gone
        && node->children.size() < node->entry->GetSubCategoryList().size();
}

void CCategoryTreeModel::fetchMore(const QModelIndex& parent)
{
    CreateMissingChildRows(parent);
}

QVariant CCategoryTreeModel::data(const QModelIndex& index, int role) const
{
    const Node* node = NodeOf(index);
    if (!node || !node->entry || node->gone)
        return {};
    const CCategory& c = *node->entry;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return QString::fromStdString(GbToUtf8(c.m_strName.view()));
    case Qt::DecorationRole:
    case kSelectedIconRole: {
        if (!m_icon)
            return {};
        const bool away = m_volumeLook && m_volumeLook(c).away;
        return Icon(role == Qt::DecorationRole ? c.GetImageIndex() : c.GetSelectedImageIndex(), away);
    }
    case Qt::ToolTipRole: {
        const QString tip = m_volumeLook ? m_volumeLook(c).toolTip : QString();
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    default:
        return {};
    }
}

QIcon CCategoryTreeModel::Icon(int index, bool away) const
{
    if (!away)
        return m_icon(index);
    auto it = m_greyed.find(index);
    if (it == m_greyed.end()) {
        // The icon as a disabled control shows it, at every size it has.
        const QIcon icon = m_icon(index);
        QIcon greyed;
        for (const QSize& size : icon.availableSizes())
            greyed.addPixmap(icon.pixmap(size, QIcon::Disabled));
        if (greyed.isNull())
            greyed.addPixmap(icon.pixmap(QSize(16, 16), QIcon::Disabled));
        it = m_greyed.emplace(index, greyed).first;
    }
    return it->second;
}

void CCategoryTreeModel::RefreshVolumeLooks()
{
    for (const auto& [category, node] : m_rows) {
        if (node->gone)
            continue;
        const QModelIndex index = IndexOfNode(node);
        Q_EMIT dataChanged(index, index, { Qt::DecorationRole, kSelectedIconRole, Qt::ToolTipRole });
    }
}

bool CCategoryTreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    Node* node = NodeOf(index);
    if (role != Qt::EditRole || !node || !node->entry || node->gone || !m_rename)
        return false;
    m_rename(*node->entry, value.toString());
    Q_EMIT dataChanged(index, index);
    return true;
}

QVariant CCategoryTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return QString::fromUtf8("类别");
    return QAbstractItemModel::headerData(section, orientation, role);
}

Qt::ItemFlags CCategoryTreeModel::flags(const QModelIndex& index) const
{
    const Node* node = NodeOf(index);
    if (!node || !node->entry || node->gone)
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
    if (node->entry->CanDrag())
        f |= Qt::ItemIsDragEnabled;
    return f;
}

} // namespace tessary
