#include "AboutDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessary {

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("101"));
    setWindowTitle(QString::fromUtf8("关于橡檐"));

    auto* text = new QLabel(QString::fromUtf8("橡檐 1.1版"), this);
    auto* ok = new QPushButton(QString::fromUtf8("确定"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text, 0, Qt::AlignCenter);
    layout->addLayout(buttons);
    setMinimumWidth(280);
}

} // namespace tessary
