#pragma once

#include "PaneView.h"

#include <QIcon>
#include <QTreeWidget>

namespace tessary {

class CTessaryDoc;

// Plain panes used until the full category tree and item list are in place:
// the tree lists the root categories and makes the clicked one current, the
// list shows the names of the current category's entries.
class CSimpleCategoryPane : public QTreeWidget, public ICategoryPane {
    Q_OBJECT
public:
    CSimpleCategoryPane(CTessaryDoc& doc, QWidget* parent = nullptr);
    ~CSimpleCategoryPane() override;

    QWidget* Widget() override { return this; }
    void SetIconSource(std::function<QIcon(int)> icon) override
    {
        m_icon = std::move(icon);
        Rebuild();
    }
    void OnUpdate(IDocumentView* sender) override;
    bool QueryCommand(int, CommandState&) override { return false; }
    bool ExecuteCommand(int) override { return false; }

private:
    void Rebuild();
    CTessaryDoc& m_doc;
    std::function<QIcon(int)> m_icon;
};

class CSimpleItemListPane : public QTreeWidget, public IItemListPane {
    Q_OBJECT
public:
    CSimpleItemListPane(CTessaryDoc& doc, QWidget* parent = nullptr);
    ~CSimpleItemListPane() override;

    QWidget* Widget() override { return this; }
    void SetIconSource(std::function<QIcon(int)> icon) override
    {
        m_icon = std::move(icon);
        Rebuild();
    }
    void OnUpdate(IDocumentView* sender) override;
    bool QueryCommand(int, CommandState&) override { return false; }
    bool ExecuteCommand(int) override { return false; }
    void FilterRows(const QString& text) override;

    const QString& FilterText() const { return m_filter; }

private:
    void Rebuild();
    CTessaryDoc& m_doc;
    std::function<QIcon(int)> m_icon;
    QString m_filter;
};

} // namespace tessary
