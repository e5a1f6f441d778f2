#pragma once

#include "Command.h"

#include <string>

namespace tessary {

class CItem;
class CTessaryDoc;

// The end of an in-place rename: the entry takes the new name exactly as
// given (GB18030; neither trimmed nor checked, an empty name included) and
// the library is marked modified, also when the name did not change. No view
// is told: the edited row already shows the text.
class CRenameCmd : public CCommand {
public:
    CRenameCmd(CItem& entry, CTessaryDoc& doc, std::string newName)
        : m_entry(entry)
        , m_doc(doc)
        , m_newName(std::move(newName))
    {
    }
    void Execute() override;

private:
    CItem& m_entry;
    CTessaryDoc& m_doc;
    std::string m_newName;
};

} // namespace tessary
