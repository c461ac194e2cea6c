#include "app/windows/About.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/platform/ApplicationIdentity.h"
#include "app/platform/ShellServices.h"
#include "app/windows/QtMessageBoxService.h"

namespace {

QPointer<About>& TheInstance() {
  static QPointer<About> instance;
  return instance;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setAlignment(Qt::AlignCenter);
  return label;
}

}  // namespace

About::About(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("About"));
  setWindowTitle(tr("Tamblin-关于我们"));
  setAttribute(Qt::WA_DeleteOnClose);

  QLabel* title = MakeLabel(this, "Label1", "Tamblin" + ApplicationIdentity::Version());
  QFont titleFont = title->font();
  titleFont.setPointSizeF(titleFont.pointSizeF() * 2);
  titleFont.setBold(true);
  title->setFont(titleFont);
  QLabel* thanks = MakeLabel(this, "Label4", tr("感谢您使用我们的软件！！"));
  QLabel* hint =
      MakeLabel(this, "Label6", tr("录音前请先对系统和软件设置，详见帮助！"));

  auto* ok = new QPushButton(tr("确定"), this);
  ok->setObjectName(QStringLiteral("Command1"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QWidget::close);
  auto* help = new QPushButton(tr("帮助(&H)"), this);
  help->setObjectName(QStringLiteral("Command2"));
  connect(help, &QPushButton::clicked, this, [this] {
    QtMessageBoxService boxes(this);
    ShellServices::OpenHelp(boxes);
  });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(help);
  buttons->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 20, 24, 16);
  layout->setSpacing(12);
  layout->addWidget(title);
  layout->addWidget(thanks);
  layout->addWidget(hint);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  setFixedSize(sizeHint());
}

void About::ShowInstance() {
  QPointer<About>& instance = TheInstance();
  if (instance.isNull()) {
    instance = new About;
  }
  instance->show();
  instance->raise();
  instance->activateWindow();
}

About* About::Instance() { return TheInstance().data(); }
