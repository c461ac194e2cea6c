#include "app/review/frmTakeTags.h"

#include <QDateTime>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/windows/DialogButtons.h"
#include "app/windows/WholeDateTimeEdit.h"
#include "tagging/MetadataTexts.h"
#include "tagging/TakeMetadataWriter.h"

namespace {

constexpr const char* kTimeFormat = "yyyy-MM-dd HH:mm:ss";
constexpr int kFieldWidth = 320;

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.trimmed().toStdString(); }

}  // namespace

frmTakeTags::frmTakeTags(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("frmTakeTags"));
  setModal(true);
  QFont designFont = font();  // as the other dialogs: 9 points
  designFont.setPointSize(9);
  setFont(designFont);

  auto* grid = new QGridLayout;
  txtTitle_ = AddField(grid, 0, "txtTitle", tr("标题:"));
  dtpStart_ = new WholeDateTimeEdit(this);
  dtpStart_->setObjectName(QStringLiteral("dtpStart"));
  dtpStart_->setDisplayFormat(QString::fromLatin1(kTimeFormat));
  dtpStart_->setCalendarPopup(true);
  dtpStart_->setAccessibleName(tr("日期"));
  auto* startLabel = new QLabel(tr("日期:"), this);
  startLabel->setBuddy(dtpStart_);
  lblStartHint_ = new QLabel(tr("录音开始时填入"), this);
  lblStartHint_->setObjectName(QStringLiteral("lblStartHint"));
  auto* startRow = new QHBoxLayout;
  startRow->addWidget(dtpStart_);
  startRow->addWidget(lblStartHint_, 1);
  grid->addWidget(startLabel, 1, 0);
  grid->addLayout(startRow, 1, 1);
  txtSoftware_ = AddField(grid, 2, "txtSoftware", tr("软件:"));
  txtComment_ = AddField(grid, 3, "txtComment", tr("备注:"));
  txtSoftware_->setPlaceholderText(Q(MetadataTexts::ProgramName()));
  for (QLineEdit* field : {txtTitle_, txtSoftware_, txtComment_}) {
    // What the tags hold at most, counted in bytes of UTF-8: a Chinese character takes 3.
    field->setMaxLength(static_cast<int>(TakeMetadataWriter::kMaxTextBytes / 3));
  }

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  DialogButtons::AddOkCancel(*this, *buttons);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  LoadNext({});
}

frmTakeTags::~frmTakeTags() = default;

QLineEdit* frmTakeTags::AddField(QGridLayout* grid, int row, const char* name, const QString& caption) {
  auto* field = new QLineEdit(this);
  field->setObjectName(QString::fromLatin1(name));
  field->setMinimumWidth(kFieldWidth);
  QString spoken = caption;
  spoken.remove(QLatin1Char(':'));
  field->setAccessibleName(spoken);
  auto* label = new QLabel(caption, this);
  label->setBuddy(field);
  grid->addWidget(label, row, 0);
  grid->addWidget(field, row, 1);
  return field;
}

void frmTakeTags::Fill(const TakeTexts& texts) {
  txtTitle_->setText(Q(texts.title));
  txtSoftware_->setText(Q(texts.software));
  txtComment_->setText(Q(texts.comment));
  txtTitle_->setFocus();
}

void frmTakeTags::LoadNext(const TakeTexts& texts) {
  setWindowTitle(tr("下次录音的标签"));
  txtTitle_->setPlaceholderText(tr("文件名"));
  dtpStart_->setDateTime(QDateTime::currentDateTime());
  dtpStart_->setEnabled(false);
  lblStartHint_->show();
  Fill(texts);
}

void frmTakeTags::LoadTake(const QString& file, const TakeMetadata& tags) {
  setWindowTitle(tr("标签: %1").arg(file));
  txtTitle_->setPlaceholderText(Q(MetadataTexts::TitleFromPath(S(file))));
  dtpStart_->setDateTime(QDateTime::fromMSecsSinceEpoch(
      std::chrono::duration_cast<std::chrono::milliseconds>(tags.start.time_since_epoch()).count()));
  dtpStart_->setEnabled(true);
  lblStartHint_->hide();
  Fill({.title = tags.title, .software = tags.software, .comment = tags.comment});
}

TakeTexts frmTakeTags::Texts() const {
  return {.title = S(txtTitle_->text()), .software = S(txtSoftware_->text()), .comment = S(txtComment_->text())};
}

std::chrono::system_clock::time_point frmTakeTags::Start() const {
  return std::chrono::system_clock::time_point{std::chrono::milliseconds{dtpStart_->dateTime().toMSecsSinceEpoch()}};
}
