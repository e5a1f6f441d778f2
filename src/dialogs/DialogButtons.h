#pragma once

#include <QString>

class QDialog;
class QHBoxLayout;
class QPushButton;

namespace tessary {

// The confirm and cancel buttons of a dialog: ids 1 and 2 as object names,
// their texts as accessible names, the first the default button, wired to
// accept and reject (the caller may rewire them).
struct DialogButtons {
    QPushButton* ok;
    QPushButton* cancel;
};
DialogButtons MakeDialogButtons(QDialog* dialog, const QString& okText, const QString& cancelText);

// A row with both buttons in the middle, `spacing` pixels apart.
QHBoxLayout* CentredButtonRow(const DialogButtons& buttons, int spacing = 0);

} // namespace tessary
