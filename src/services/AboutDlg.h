#pragma once

#include <QDialog>

namespace tessary {

// The about box (dialog 101): the program's name and version and an OK button.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

} // namespace tessary
