#include "app/windows/FormatChooserDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "app/windows/AccessibleNames.h"
#include "encoding/FormatCatalogue.h"

FormatChooserDialog::FormatChooserDialog(QWidget* parent)
    : QDialog(parent),
      lstFamily_(new QListWidget(this)),
      lstFormat_(new QListWidget(this)),
      lblInput_(new QLabel(this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
  setObjectName("FormatChooserDialog");
  lstFamily_->setObjectName("lstFamily");
  lstFormat_->setObjectName("lstFormat");
  lblInput_->setObjectName("lblInput");
  buttons_->button(QDialogButtonBox::Ok)->setText(tr("确定"));
  buttons_->button(QDialogButtonBox::Cancel)->setText(tr("取消"));

  auto* layout = new QGridLayout(this);
  auto* familyCaption = new QLabel(tr("格式类型:"), this);
  auto* formatCaption = new QLabel(tr("格式:"), this);
  AccessibleNames::NameAfter(*lstFamily_, *familyCaption);
  AccessibleNames::NameAfter(*lstFormat_, *formatCaption);
  layout->addWidget(familyCaption, 0, 0);
  layout->addWidget(formatCaption, 0, 1);
  layout->addWidget(lstFamily_, 1, 0);
  layout->addWidget(lstFormat_, 1, 1);
  layout->addWidget(lblInput_, 2, 0, 1, 2);
  layout->addWidget(buttons_, 3, 0, 1, 2);
  layout->setColumnStretch(0, 2);
  layout->setColumnStretch(1, 3);
  resize(560, 340);

  connect(lstFamily_, &QListWidget::currentRowChanged, this, &FormatChooserDialog::ShowFamily);
  connect(lstFormat_, &QListWidget::currentRowChanged, this,
          [this](int row) { buttons_->button(QDialogButtonBox::Ok)->setEnabled(row >= 0); });
  connect(lstFormat_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void FormatChooserDialog::Fill(const WAVEFORMATEX& pcmInput, const std::string& Title) {
  setWindowTitle(QString::fromStdString(Title));
  const auto rate = static_cast<int32_t>(pcmInput.nSamplesPerSec);
  const auto channels = static_cast<int16_t>(pcmInput.nChannels);
  formats_ = FormatCatalogue::List(rate, channels);
  lblInput_->setText(tr("输入: %1 Hz, 16 Bit, %2").arg(rate).arg(channels == 2 ? tr("立体声") : tr("单声道")));

  lstFamily_->blockSignals(true);
  lstFamily_->clear();
  for (const std::string& family : FormatCatalogue::Families(rate, channels)) {
    lstFamily_->addItem(QString::fromStdString(family));
  }
  lstFamily_->blockSignals(false);
  lstFamily_->setCurrentRow(lstFamily_->count() > 0 ? 0 : -1);
  ShowFamily(lstFamily_->currentRow());
  SelectEntry(pcmInput.ToBytes());
}

void FormatChooserDialog::SelectEntry(const std::vector<uint8_t>& format) {
  // Starting on the input's own format means OK alone keeps the recording as
  // captured, instead of the first (lowest) format of the list.
  for (const auto& entry : formats_) {
    if (entry.format != format) continue;
    const auto families = lstFamily_->findItems(QString::fromStdString(entry.FormatTag), Qt::MatchExactly);
    if (families.isEmpty()) return;
    lstFamily_->setCurrentItem(families.front());
    const auto formats = lstFormat_->findItems(QString::fromStdString(entry.FormatID), Qt::MatchExactly);
    if (!formats.isEmpty()) lstFormat_->setCurrentItem(formats.front());
    return;
  }
}

void FormatChooserDialog::ShowFamily(int familyRow) {
  lstFormat_->clear();
  shownFormats_.clear();
  if (familyRow >= 0) {
    const std::string family = lstFamily_->item(familyRow)->text().toStdString();
    for (size_t i = 0; i < formats_.size(); ++i) {
      if (formats_[i].FormatTag != family) continue;
      shownFormats_.push_back(i);
      lstFormat_->addItem(QString::fromStdString(formats_[i].FormatID));
    }
  }
  lstFormat_->setCurrentRow(lstFormat_->count() > 0 ? 0 : -1);
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(lstFormat_->currentRow() >= 0);
}

std::optional<FormatEntry> FormatChooserDialog::Selected() const {
  const int row = lstFormat_->currentRow();
  if (row < 0 || static_cast<size_t>(row) >= shownFormats_.size()) return std::nullopt;
  return formats_[shownFormats_[row]];
}

std::optional<FormatEntry> FormatChooserDialog::Choose(const WAVEFORMATEX& pcmInput, const std::string& Title) {
  Fill(pcmInput, Title);
  if (exec() != QDialog::Accepted) return std::nullopt;
  return Selected();
}
