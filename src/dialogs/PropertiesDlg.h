#pragma once

#include "Item.h"

#include <QDialog>

#include <string>

class QLineEdit;
class QPlainTextEdit;

namespace tessary {

// The properties dialog (102, "属性") of one entry, category or data item:
// its own name (without extension), size in bytes and full path, which
// cannot be changed, and its remark, which can. OK (1) stores the remark in
// the entry (marking the library modified is the caller's part); Cancel (2)
// changes nothing.
class CPropertiesDlg : public QDialog {
    Q_OBJECT
public:
    // `entry` must outlive the dialog.
    explicit CPropertiesDlg(CItem& entry, QWidget* parent = nullptr);

    std::string m_strPath;
    std::string m_strName;
    Size32 m_dwSize = 0;
    std::string m_strRemark;
    CItem* m_pEntry;

    QLineEdit* NameField() const { return m_name; }
    QLineEdit* SizeField() const { return m_size; }
    QLineEdit* PathField() const { return m_path; }
    QPlainTextEdit* RemarkField() const { return m_remark; }

    void InitDialog();
    void DoDataExchange(bool save);
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* m_name;
    QLineEdit* m_size;
    QLineEdit* m_path;
    QPlainTextEdit* m_remark;
    bool m_initialised = false;
};

} // namespace tessary
