#pragma once

#include <QDialog>

#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace tessary {

class CCategory;
class CDriveComboBox;
class CPathCategory;

// What the three import dialogs share: they ask what to import (a folder, a
// CD or a drive) and under what name, for a new imported category (create
// mode) or for one that exists (edit mode). They only collect values:
// scanning and building categories are the caller's.
//
// Set the members below, call DoModal, and after 1 read name, source and
// make root. Texts are library text (GB18030); the dialogs convert at their
// controls.
class CImportDlgBase : public QDialog {
    Q_OBJECT
public:
    // Runs the dialog modally: 1 for OK, 2 for Cancel (also Escape and
    // closing the window). Nothing is validated: an empty name or a path
    // that does not exist is handed back as it is.
    int DoModal();
    // Fills the controls from the members and applies the rules of the
    // "做为根类别" box; DoModal calls it first. Calling it again does nothing.
    void InitDialog();
    // OK: takes the controls' values, unless no drive is chosen in a dialog
    // that needs one (then the dialog stays open).
    void accept() override;

    // Set up before DoModal.
    // Edit mode: `m_pEditCategory` (not owned) is the category edited; its
    // name and source are shown and "做为根类别" is disabled. The dialog
    // does not change the category: the caller copies name and source.
    bool m_bEditMode = false;
    CPathCategory* m_pEditCategory = nullptr;
    // Create mode: the category the new one may go below (not owned), or
    // null, in which case it can only become a root category and the box is
    // checked and disabled.
    CCategory* m_pParentCandidate = nullptr;

    // Exchanged with the controls.
    bool m_bMakeRoot = false; // "做为根类别"
    std::string m_strName; // the category's name
    // Dialog 106: the folder as typed or chosen. Dialogs 133 and 134: the
    // chosen volume's root path (mount point), read from the picker on OK.
    std::string m_strSource;

protected:
    CImportDlgBase(QWidget* parent, int dialogId, const QString& title);

    // Lays out the controls: the source row (its label, its field and an
    // optional button beside it), the name row, the check box and the two
    // buttons, with the tab order of that list. `sourceField` and `extra`
    // become children of the dialog.
    void BuildLayout(const QString& sourceLabel, QWidget* sourceField, QWidget* extra,
        const QString& nameLabel, const char* nameId, const QString& okText, const QString& cancelText);

    // Moves the members into the controls (save false) or the controls into
    // the members (save true). The base exchanges name and make root.
    virtual void DoDataExchange(bool save);
    // Kind-specific opening (the pickers list their drives here).
    virtual void OnInitDialog() { }
    // Whether OK may close the dialog now.
    virtual bool CanConfirm() const { return true; }
    // Enables OK as CanConfirm says.
    void UpdateOk();

    QLineEdit* m_nameEdit = nullptr;
    QCheckBox* m_rootCheck = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;

private:
    bool m_initialized = false;
};

// Dialog 106 "导入文件夹": a folder path (typed, or chosen with "...") and a name.
class CImportFolderDlg : public CImportDlgBase {
    Q_OBJECT
public:
    explicit CImportFolderDlg(QWidget* parent = nullptr);

private:
    void DoDataExchange(bool save) override;
    // "...": puts the chosen folder into the path field; the name and the
    // check box keep what the user has entered.
    void OnBrowse();

    QLineEdit* m_folderEdit;
    QPushButton* m_browseButton;
};

// What the CD and drive dialogs share: a drive picker and a name. OK stays
// disabled while no drive is selected, so no empty drive is handed back.
class CImportVolumeDlg : public CImportDlgBase {
    Q_OBJECT
public:
    CDriveComboBox* Picker() const { return m_picker; }

protected:
    // `opticalOnly`: the picker lists CDs and DVDs only.
    CImportVolumeDlg(
        QWidget* parent, int dialogId, const QString& title, const char* pickerId, bool opticalOnly);

    void DoDataExchange(bool save) override;
    bool CanConfirm() const override;

    CDriveComboBox* m_picker;
    bool m_opticalOnly;
};

// Dialog 133 "光盘导入": lists the CDs and DVDs and the optical drives
// without a disc, the first one preselected.
class CImportCDDlg : public CImportVolumeDlg {
    Q_OBJECT
public:
    explicit CImportCDDlg(QWidget* parent = nullptr);

private:
    void OnInitDialog() override;
};

// Dialog 134 "导入驱动器": lists every volume, the one holding the user's
// home folder preselected.
class CImportDriveDlg : public CImportVolumeDlg {
    Q_OBJECT
public:
    explicit CImportDriveDlg(QWidget* parent = nullptr);

private:
    void OnInitDialog() override;
};

// The edit dialog of a CD, drive or root-folder category: the kind's import
// dialog in edit mode over `parent`. On OK the category takes the dialog's
// name and source (nothing is rescanned: the entries below follow the new
// path). Returns 1 (changed), 2 (cancelled, unchanged), or -1 for a category
// of another kind.
int EditImportedCategory(CPathCategory& category, QWidget* parent);

} // namespace tessary
