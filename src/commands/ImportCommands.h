#pragma once

#include "Command.h"
#include "ScanRunner.h"

#include <memory>

class QWidget;

namespace tessary {

class CCategoryView;
class CImportDlgBase;
class CTessaryDoc;

// What the three import commands share: they ask with their kind's import
// dialog what to import and under what name, scan it into a new category of
// their kind and attach it to the library in one step.
//
// The tree's selected category is offered as the place for the import when
// it takes imports (a custom category); otherwise the dialog forces
// "做为根类别". The scan runs on a worker thread under a progress dialog
// with Cancel. Cancelling the dialog or the scan changes nothing at all,
// not even the modified flag. Otherwise the new category becomes the last
// root, or (with "做为根类别" cleared) the last sub-category of the selected
// one, whose row shows its new count; its row is revealed (selected, so it
// becomes current, and expanded), the library is marked modified and the
// views are told. Folders the scan could not read are named afterwards in
// one message.
class CImportCategoryCmd : public CCommand {
public:
    void Execute() override;

protected:
    CImportCategoryCmd(CCategoryView& tree, CTessaryDoc& doc, ImportKind kind)
        : m_tree(tree)
        , m_doc(doc)
        , m_kind(kind)
    {
    }

private:
    CCategoryView& m_tree;
    CTessaryDoc& m_doc;
    ImportKind m_kind;
};

// 40001: a folder, with dialog 106 "导入文件夹", as a root-folder category.
class CImportFolderCmd : public CImportCategoryCmd {
public:
    CImportFolderCmd(CCategoryView& tree, CTessaryDoc& doc)
        : CImportCategoryCmd(tree, doc, ImportKind::RootFolder)
    {
    }
};

// 32783: a CD or DVD, with dialog 133 "光盘导入", as a CD-ROM category.
class CImportCDCmd : public CImportCategoryCmd {
public:
    CImportCDCmd(CCategoryView& tree, CTessaryDoc& doc)
        : CImportCategoryCmd(tree, doc, ImportKind::CDRom)
    {
    }
};

// 32782: a whole volume, with dialog 134 "导入驱动器", as a drive category.
class CImportDriveCmd : public CImportCategoryCmd {
public:
    CImportDriveCmd(CCategoryView& tree, CTessaryDoc& doc)
        : CImportCategoryCmd(tree, doc, ImportKind::Drive)
    {
    }
};

// The import dialog of `kind`, in create mode, over `parent`.
std::unique_ptr<CImportDlgBase> NewImportDialog(ImportKind kind, QWidget* parent);

} // namespace tessary
