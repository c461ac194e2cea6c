#include "app/windows/SettingChooserDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

SettingChooserDialog::SettingChooserDialog(QWidget* parent)
    : QDialog(parent),
      lstSetting_(new QListWidget(this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
  setObjectName("SettingChooserDialog");
  lstSetting_->setObjectName("lstSetting");
  buttons_->button(QDialogButtonBox::Ok)->setText(tr("确定"));
  buttons_->button(QDialogButtonBox::Cancel)->setText(tr("取消"));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("格式:"), this));
  layout->addWidget(lstSetting_);
  layout->addWidget(buttons_);
  resize(300, 340);

  connect(lstSetting_, &QListWidget::currentRowChanged, this,
          [this](int row) { buttons_->button(QDialogButtonBox::Ok)->setEnabled(row >= 0); });
  connect(lstSetting_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void SettingChooserDialog::Fill(const std::vector<EncoderSetting>& choices, int32_t current,
                                const std::string& Title) {
  setWindowTitle(QString::fromStdString(Title));
  choices_ = choices;
  lstSetting_->clear();
  int currentRow = -1;
  for (size_t i = 0; i < choices_.size(); ++i) {
    lstSetting_->addItem(QString::fromStdString(choices_[i].description));
    if (choices_[i].value == current) currentRow = static_cast<int>(i);
  }
  // Starting on the setting in use: OK alone keeps it.
  lstSetting_->setCurrentRow(currentRow);
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(currentRow >= 0);
}

std::optional<int32_t> SettingChooserDialog::Selected() const {
  const int row = lstSetting_->currentRow();
  if (row < 0 || static_cast<size_t>(row) >= choices_.size()) return std::nullopt;
  return choices_[row].value;
}

std::optional<int32_t> SettingChooserDialog::Choose(const std::vector<EncoderSetting>& choices, int32_t current,
                                                    const std::string& Title) {
  Fill(choices, current, Title);
  if (exec() != QDialog::Accepted) return std::nullopt;
  return Selected();
}
