#pragma once

#include "SearchCriteria.h"

#include <QDialog>

class QCheckBox;
class QDateEdit;
class QLineEdit;

namespace tessary {

// The search dialog (132, "文件搜索"): the form for the one criteria record
// that lives for the whole run, so that every search starts from the last
// one's criteria. It checks nothing but the two size fields, which must
// hold unsigned decimal numbers.
//
// "开始" (1) reads every field, in the fixed exchange order, into the working
// members and only when all of them were read copies them into the record
// and sets its confirmed flag to 1; a size field that holds no number keeps
// the dialog open on that field and leaves the record untouched. "取消" (2),
// Escape and closing the window set the confirmed flag to 0 and change
// nothing else. Keywords go to the record exactly as typed (as library text).
class CSearchDlg : public QDialog {
    Q_OBJECT
public:
    // The dialog is bound to `criteria` (not owned), which must outlive it.
    CSearchDlg(CSearchCriteria& criteria, QWidget* parent = nullptr);

    // Working copy of the criteria, exchanged with the controls; it goes
    // into the record only once every field was read.
    CSearchCriteria m_work;
    CSearchCriteria* m_pCriteria;

    // Copies the record into the working copy and fills the controls
    // (done once, when the dialog first shows).
    void InitDialog();
    // Exchanges the working copy with the controls: into the controls
    // when `save` is false (always succeeds), back when it is true. Returns
    // false when a field could not be read; the user has then been told, the
    // focus is in that field and the members read so far have changed.
    bool DoDataExchange(bool save);

    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* m_nameEdit;
    QCheckBox* m_nameCase;
    QLineEdit* m_extensionEdit;
    QCheckBox* m_extensionCase;
    QLineEdit* m_remarkEdit;
    QCheckBox* m_remarkCase;
    QLineEdit* m_contentEdit;
    QCheckBox* m_contentCase;
    QLineEdit* m_sizeLowerEdit;
    QCheckBox* m_sizeLowerActive;
    QLineEdit* m_sizeUpperEdit;
    QCheckBox* m_sizeUpperActive;
    QDateEdit* m_timeLowerEdit;
    QCheckBox* m_timeLowerActive;
    QDateEdit* m_timeUpperEdit;
    QCheckBox* m_timeUpperActive;
    QCheckBox* m_or;
    bool m_initialised = false;
};

} // namespace tessary
