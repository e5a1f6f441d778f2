#include "PlaceholderPanes.h"

#include "Datum.h"
#include "Document.h"
#include "ResourceIds.h"
#include "Strings.h"
#include "TextCodec.h"

#include <QHeaderView>

namespace tessary {
namespace {

QString Shown(const std::string& gb)
{
    return QString::fromStdString(GbToUtf8(gb));
}

} // namespace

CSimpleCategoryPane::CSimpleCategoryPane(CTessaryDoc& doc, QWidget* parent)
    : QTreeWidget(parent)
    , m_doc(doc)
{
    setHeaderHidden(true);
    setRootIsDecorated(false);
    m_doc.AddView(this);
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* row) {
        auto* category = row ? static_cast<CCategory*>(row->data(0, Qt::UserRole).value<void*>()) : nullptr;
        if (category == m_doc.GetCurrentCategory())
            return;
        m_doc.SetCurrentCategory(category);
        m_doc.UpdateAllViews(this);
    });
    Rebuild();
}

CSimpleCategoryPane::~CSimpleCategoryPane()
{
    m_doc.RemoveView(this);
}

void CSimpleCategoryPane::OnUpdate(IDocumentView* sender)
{
    if (sender != this)
        Rebuild();
}

void CSimpleCategoryPane::Rebuild()
{
    const QSignalBlocker block(this);
    clear();
    for (CCategory* root : m_doc.GetRootList()) {
        auto* row = new QTreeWidgetItem(this, QStringList(Shown(root->GetDisplayName())));
        row->setData(0, Qt::UserRole, QVariant::fromValue<void*>(root));
        if (m_icon)
            row->setIcon(0, m_icon(root->GetImageIndex()));
        if (root == m_doc.GetCurrentCategory())
            setCurrentItem(row);
    }
}

CSimpleItemListPane::CSimpleItemListPane(CTessaryDoc& doc, QWidget* parent)
    : QTreeWidget(parent)
    , m_doc(doc)
{
    setRootIsDecorated(false);
    setHeaderLabels({ LoadString(IDS_COL_NAME), LoadString(IDS_COL_SIZE), LoadString(IDS_COL_TYPE),
        LoadString(IDS_COL_MODIFIED), LoadString(IDS_COL_LOCATION) });
    for (int c = 0; c < 5; ++c)
        header()->resizeSection(c, 120);
    m_doc.AddView(this);
    Rebuild();
}

CSimpleItemListPane::~CSimpleItemListPane()
{
    m_doc.RemoveView(this);
}

void CSimpleItemListPane::OnUpdate(IDocumentView* sender)
{
    if (sender != this) {
        m_filter.clear();
        Rebuild();
    }
}

void CSimpleItemListPane::FilterRows(const QString& text)
{
    m_filter = text;
    Rebuild();
}

void CSimpleItemListPane::Rebuild()
{
    clear();
    CCategory* current = m_doc.GetCurrentCategory();
    if (!current)
        return;
    auto add = [this](const CItem& entry) {
        const QString name = Shown(entry.GetDisplayName());
        if (!m_filter.isEmpty() && !name.contains(m_filter, Qt::CaseInsensitive))
            return;
        auto* row = new QTreeWidgetItem(this,
            { name, QStringLiteral("%1 Byte").arg(entry.GetSize()), Shown(entry.GetTypeText()), QString(),
                Shown(entry.GetPath()) });
        if (m_icon)
            row->setIcon(0, m_icon(entry.GetImageIndex()));
    };
    for (const CCategory* sub : current->GetSubCategoryList())
        add(*sub);
    for (const CDatum* datum : current->GetDatumList())
        add(*datum);
}

} // namespace tessary
