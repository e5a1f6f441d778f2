#pragma once

#include "Item.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace tessary {

// What the user asks the searches for copies: where to look, the least size
// of a file to consider and whether the last-write times must be equal too.
struct CopiesChoice {
    bool wholeLibrary = false; // duplicates: the whole library, not the selected category
    Size32 minSize = 1;
    bool compareTime = false;
};

// The small dialog of "查找重复文件" and "查找唯一文件" (IDD_COPIES): for
// duplicates the scope (the selected category with everything below it, or
// the whole library), for unique files the category they are looked for in;
// then the least size (bytes, default 1; empty files never count) and
// whether the last-write times must be equal too. A note says what makes two
// files copies.
//
// "开始" (1) reads the fields into m_choice and closes; a least size that is
// not an unsigned 32-bit number is refused (warning, dialog stays open,
// m_choice unchanged). "取消" (2), Escape and closing change nothing.
class CCopiesDlg : public QDialog {
    Q_OBJECT
public:
    enum class Kind { Duplicates, UniqueFiles };

    // `category`: the name of the selected category as shown, empty when no
    // category is selected (duplicates are then looked for in the whole
    // library only; unique files need a category). The controls start from
    // `choice`.
    CCopiesDlg(Kind kind, const QString& category, const CopiesChoice& choice, QWidget* parent = nullptr);

    CopiesChoice m_choice;

    void accept() override;

private:
    QRadioButton* m_category = nullptr;
    QRadioButton* m_whole = nullptr;
    QLineEdit* m_minSize;
    QCheckBox* m_time;
};

} // namespace tessary
