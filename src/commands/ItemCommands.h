#pragma once

#include "Command.h"

#include <string>

class QUrl;
class QWidget;

namespace tessary {

class CTessaryDoc;
class CTessaryView;

// Creates a custom data item (32774) from the data item dialog's location
// and remark, in the current category (nothing happens unless it takes data
// items): size and time come from the file when it exists, the item becomes
// the first of its category and is shown as the last row of the list, and
// the library is marked modified. Cancel changes nothing.
class CNewDatumCmd : public CCommand {
public:
    CNewDatumCmd(CTessaryView& list, CTessaryDoc& doc)
        : m_list(list)
        , m_doc(doc)
    {
    }
    void Execute() override;

private:
    CTessaryView& m_list;
    CTessaryDoc& m_doc;
};

// Opens the file behind the item list's first selected entry with the
// desktop's handler (40003), where its volume is mounted now (see
// PathOnDiskOrTell). A path that does not exist is answered with "没有找到"
// instead, a volume that is away with "请插入卷…".
class COpenCmd : public CCommand {
public:
    explicit COpenCmd(CTessaryView& list)
        : m_list(list)
    {
    }
    void Execute() override;

private:
    CTessaryView& m_list;
};

// Opens the folder of the item list's first selected entry in the file
// manager (40004): a category's own folder, the folder that holds a data
// item, found as COpenCmd finds files. A folder that does not exist is
// answered with "没有找到", a volume that is away with "请插入卷…".
class CExploreCmd : public CCommand {
public:
    explicit CExploreCmd(CTessaryView& list)
        : m_list(list)
    {
    }
    void Execute() override;

private:
    CTessaryView& m_list;
};

// Shows the content of the item list's first selected data item (40013) in
// the viewer its extension calls for: the HTML viewer for "htm", "html" and
// "shtml" in any letter case, the text viewer otherwise.
class CViewContentCmd : public CCommand {
public:
    explicit CViewContentCmd(CTessaryView& list)
        : m_list(list)
    {
    }
    void Execute() override;

private:
    CTessaryView& m_list;
};

// Shows the remark of the item list's first selected entry in the text
// viewer (40008).
class CViewRemarkCmd : public CCommand {
public:
    explicit CViewRemarkCmd(CTessaryView& list)
        : m_list(list)
    {
    }
    void Execute() override;

private:
    CTessaryView& m_list;
};

// Shows the properties dialog of the item list's first selected entry
// (32788), in which only the remark can change; OK marks the library
// modified, Cancel changes nothing.
class CPropertiesCmd : public CCommand {
public:
    CPropertiesCmd(CTessaryView& list, CTessaryDoc& doc)
        : m_list(list)
        , m_doc(doc)
    {
    }
    void Execute() override;

private:
    CTessaryView& m_list;
    CTessaryDoc& m_doc;
};

// The address the desktop is given for a path on disk (the platform's
// bytes): a file URL whose percent-encoded path holds the exact bytes of the
// name, also when they are not UTF-8.
QUrl DiskUrl(const std::string& diskPath);

} // namespace tessary
