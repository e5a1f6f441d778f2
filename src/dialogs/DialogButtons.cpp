#include "DialogButtons.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

namespace tessary {

DialogButtons MakeDialogButtons(QDialog* dialog, const QString& okText, const QString& cancelText)
{
    auto* ok = new QPushButton(okText, dialog);
    ok->setObjectName(QStringLiteral("1"));
    ok->setAccessibleName(okText);
    ok->setDefault(true);
    auto* cancel = new QPushButton(cancelText, dialog);
    cancel->setObjectName(QStringLiteral("2"));
    cancel->setAccessibleName(cancelText);
    cancel->setAutoDefault(false);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return { ok, cancel };
}

QHBoxLayout* CentredButtonRow(const DialogButtons& buttons, int spacing)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(buttons.ok);
    if (spacing > 0)
        row->addSpacing(spacing);
    row->addWidget(buttons.cancel);
    row->addStretch();
    return row;
}

} // namespace tessary
