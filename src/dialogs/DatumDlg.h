#pragma once

#include "Item.h"

#include <QDialog>

#include <string>

class QLineEdit;
class QPlainTextEdit;

namespace tessary {

class CCustomDatum;
class CDatum;

// The data item dialog (131, "资料"): the location of a file and a remark.
// In create mode both start empty; in edit mode they start from the edited
// item's full path and remark. The dialog itself changes nothing: on OK (1)
// the caller reads m_strLocation and m_strRemark, on Cancel (2) nothing has
// changed. "..." (1002) picks a file through ChooseAnyFile and keeps the
// remark typed so far. No value is checked: an empty location or one that
// names no file is handed back as it is.
class CDatumDlg : public QDialog {
    Q_OBJECT
public:
    explicit CDatumDlg(QWidget* parent = nullptr);

    bool m_bEditMode = false;
    CDatum* m_pItem = nullptr; // the edited item (edit mode only), not owned
    std::string m_strLocation; // library text
    std::string m_strRemark; // library text

    QLineEdit* LocationField() const { return m_location; }
    QPlainTextEdit* RemarkField() const { return m_remark; }

    // Fills the fields (done once, when the dialog first shows).
    void InitDialog();
    // Exchanges the members with the fields, into the fields when `save` is
    // false and back when it is true.
    void DoDataExchange(bool save);

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnBrowse();

    QLineEdit* m_location;
    QPlainTextEdit* m_remark;
    bool m_initialised = false;
};

// Runs the dialog in edit mode for `datum`; on OK the item takes the
// location (SetFromPath: folder, name and extension, while size and time
// stay) and the remark. Returns 1 on OK and 2 on Cancel.
int RunDatumEditDialog(CCustomDatum& datum, QWidget* parent);

} // namespace tessary
