#pragma once

#include "Command.h"

#include <vector>

class QWidget;

namespace tessary {

class CItem;
class CTessaryDoc;

// Copies the files of the selected data items into their content (40007 on
// the item list, 40014 on the search results). `selected` holds the entries
// of the list's selected rows in row order; entries that are not data items
// are passed over. See ExtractContents for the run itself: worker thread,
// progress and Cancel after half a second, one message per file that cannot
// be read, and the library marked modified as soon as one item changed.
// Nothing at all happens without a data item among the rows.
class CExtractContentCmd : public CCommand {
public:
    CExtractContentCmd(std::vector<CItem*> selected, CTessaryDoc& doc, QWidget* parent)
        : m_selected(std::move(selected))
        , m_doc(doc)
        , m_parent(parent)
    {
    }
    void Execute() override;

private:
    std::vector<CItem*> m_selected;
    CTessaryDoc& m_doc;
    QWidget* m_parent;
};

// Empties the content of the selected data items (40017 on the item list,
// 40018 on the search results); `selected` as above. The library is marked
// modified when any selected row was a data item, also when its content was
// empty already.
class CClearContentCmd : public CCommand {
public:
    CClearContentCmd(std::vector<CItem*> selected, CTessaryDoc& doc)
        : m_selected(std::move(selected))
        , m_doc(doc)
    {
    }
    void Execute() override;

private:
    std::vector<CItem*> m_selected;
    CTessaryDoc& m_doc;
};

} // namespace tessary
