#include "app/windows/DialogButtons.h"

#include <QBoxLayout>
#include <QDialog>
#include <QPushButton>

void DialogButtons::AddOkCancel(QDialog& dialog, QBoxLayout& row) {
  auto* ok = new QPushButton(tr("确定"), &dialog);
  ok->setObjectName(QStringLiteral("cmdOK"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(tr("取消"), &dialog);
  cancel->setObjectName(QStringLiteral("cmdCancel"));
  cancel->setAutoDefault(false);
  row.addWidget(ok);
  row.addWidget(cancel);
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
}
