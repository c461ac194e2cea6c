#include "app/windows/OutputChooser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/platform/ShellServices.h"
#include "app/recording/RecorderSettings.h"
#include "app/recording/RecordingController.h"
#include "app/recording/RecordingEngine.h"
#include "app/windows/AppErrorBox.h"
#include "app/windows/FollowingFormat.h"
#include "app/windows/OutputFileDialog.h"
#include "app/windows/RememberedFormat.h"
#include "app/windows/SettingChooser.h"
#include "common/AppError.h"
#include "common/FileTypes.h"
#include "common/MessageBoxService.h"
#include "common/QuestionService.h"
#include "effects/clsDSP.h"
#include "encoding/EncoderSelection.h"
#include "encoding/EncoderWAV.h"
#include "encoding/MuxedEncoder.h"

namespace {

constexpr int kMaxRateDigits = 5;
const char* const kFormatTitle = QT_TRANSLATE_NOOP("OutputChooser", "选择声音输出格式");

QString Q(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }
std::string S(const QString& text) { return text.toUtf8().toStdString(); }

// Typed keys: the rate box takes digits up to five characters and Backspace;
// editing keys that type no character (arrows, Delete) keep their role. On X11
// and Wayland Delete arrives with the text "\x7f", so it is let through by its
// key code. Text that arrives otherwise (input method, paste, drop) is held to
// the same digits by the box's validator.
bool RateKeyAccepted(const QString& boxText, const QKeyEvent& key) {
  if (key.key() == Qt::Key_Delete) return true;
  const QString typed = key.text();
  if (typed.isEmpty()) return true;
  const QChar ch = typed.front();
  if (ch == QChar(8)) return true;
  if (ch >= '0' && ch <= '9') return boxText.size() != kMaxRateDigits;
  return false;
}

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

}  // namespace

OutputChooser::OutputChooser(QWidget& parent, Dialogs dialogs) : QObject(&parent), dialogs_(dialogs) {
  frame_ = Named(new QGroupBox(tr("输出")), "frmOut");
  auto* outer = new QVBoxLayout(frame_);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* panel = Named(new QWidget(frame_), "picOutXP");
  outer->addWidget(panel);
  BuildFrame(panel);
  ConnectHandlers();
  WatchChoices();
}

void OutputChooser::BuildFrame(QWidget* panel) {
  auto* grid = new QGridLayout(panel);
  grid->setHorizontalSpacing(6);
  txtFile_ = Named(new QLineEdit(panel), "txtFile");
  cmdBrowse_ = Named(new QPushButton("...", panel), "cmdBrowse");
  Command3_ = Named(new QPushButton(tr("打开文件夹"), panel), "Command3");
  txtWAVFmt_ = Named(new QLineEdit(panel), "txtWAVFmt");
  txtWAVFmt_->setReadOnly(true);
  cmdSelFmt_ = Named(new QPushButton("...", panel), "cmdSelFmt");
  for (QPushButton* small : {cmdBrowse_, cmdSelFmt_}) {
    small->setFixedWidth(small->fontMetrics().horizontalAdvance("...") + 24);
  }
  BuildRateBox(panel);
  chkStereo_ = Named(new QCheckBox(tr("立体声"), panel), "chkStereo");

  auto* file = new QHBoxLayout;
  file->addWidget(txtFile_, 1);
  file->addWidget(cmdBrowse_);
  file->addWidget(Command3_);
  auto* format = new QHBoxLayout;
  format->addWidget(txtWAVFmt_, 1);
  format->addWidget(cmdSelFmt_);
  auto* rate = new QHBoxLayout;
  rate->addWidget(cboSamplerate_);
  rate->addSpacing(12);
  rate->addWidget(chkStereo_);
  rate->addStretch(1);

  lblWAVFmt_ = Named(new QLabel(tr("%1 格式:").arg("WAV"), panel), "lblWAVFmt");
  grid->addWidget(Named(new QLabel(tr("文件:"), panel), "lblFile"), 0, 0);
  grid->addLayout(file, 0, 1);
  grid->addWidget(lblWAVFmt_, 1, 0);
  grid->addLayout(format, 1, 1);
  grid->addWidget(Named(new QLabel(tr("取样:"), panel), "lblSamplerate"), 2, 0);
  grid->addLayout(rate, 2, 1);
  AddFileTypeRow(grid, panel, 3);
  grid->setColumnStretch(1, 1);
}

void OutputChooser::BuildRateBox(QWidget* panel) {
  cboSamplerate_ = Named(new QComboBox(panel), "cboSamplerate");
  cboSamplerate_->setEditable(true);
  cboSamplerate_->setInsertPolicy(QComboBox::NoInsert);
  cboSamplerate_->addItems({"44100", "22050", "11025", "8000"});
  // No inline completion: "1" would become "11025", and a typed 12000 a listed rate.
  cboSamplerate_->setCompleter(nullptr);
  cboSamplerate_->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QString("[0-9]{0,%1}").arg(kMaxRateDigits)), cboSamplerate_));
  cboSamplerate_->lineEdit()->installEventFilter(this);
}

void OutputChooser::AddFileTypeRow(QGridLayout* grid, QWidget* panel, int row) {
  cboFileType_ = Named(new QComboBox(panel), "cboFileType");
  for (const FileTypes::Row& type : FileTypes::kRows) cboFileType_->addItem(QString::fromLatin1(type.caption));
  cboFileType_->setCurrentIndex(EncoderSelection::TYPE_WAV);
  auto* line = new QHBoxLayout;
  line->addWidget(cboFileType_);
  line->addStretch(1);
  grid->addWidget(Named(new QLabel(tr("文件类型:"), panel), "lblFileType"), row, 0);
  grid->addLayout(line, row, 1);
}

void OutputChooser::ConnectHandlers() {
  connect(cboSamplerate_, &QComboBox::activated, this, &OutputChooser::OnFormatBoxChanged);
  connect(cboSamplerate_, &QComboBox::editTextChanged, this, [this] {
    if (FormatChanged) FormatChanged();
  });
  connect(chkStereo_, &QCheckBox::toggled, this, &OutputChooser::OnFormatBoxChanged);
  connect(cboFileType_, &QComboBox::activated, this, &OutputChooser::OnFileTypeChosen);
  connect(cmdSelFmt_, &QPushButton::clicked, this, &OutputChooser::OnSelectFormatClicked);
  connect(cmdBrowse_, &QPushButton::clicked, this, &OutputChooser::ChooseOutputFile);
  connect(txtFile_, &QLineEdit::textEdited, this, &OutputChooser::OnFileTyped);
  connect(Command3_, &QPushButton::clicked, this, [this] { ShellServices::OpenOutputFolder(*dialogs_.messages); });
}

void OutputChooser::WatchChoices() {
  // Connected after the handlers, so the choice is made when it is kept.
  const auto chosen = [this] {
    if (Chosen) Chosen();
  };
  connect(cboSamplerate_, &QComboBox::activated, this, chosen);
  connect(chkStereo_, &QCheckBox::toggled, this, chosen);
  connect(cboFileType_, &QComboBox::activated, this, chosen);
  connect(txtFile_, &QLineEdit::textEdited, this, chosen);  // a typed extension may change the type
  connect(cmdSelFmt_, &QPushButton::clicked, this, chosen);
}

QList<QWidget*> OutputChooser::TabOrder() const {
  return {txtFile_, cmdBrowse_, Command3_, txtWAVFmt_, cmdSelFmt_, cboSamplerate_, chkStereo_, cboFileType_};
}

void OutputChooser::Attach(EncoderSelection& encoders, RecordingEngine& engine, clsDSP& effects) {
  encoders_ = &encoders;
  engine_ = &engine;
  effects_ = &effects;
}

void OutputChooser::GoLive() {
  live_ = true;
  ShowFormat();
}

void OutputChooser::Quiet() { cboSamplerate_->disconnect(this); }

bool OutputChooser::eventFilter(QObject* watched, QEvent* event) {
  if (watched == cboSamplerate_->lineEdit() && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (!RateKeyAccepted(cboSamplerate_->lineEdit()->text(), *key)) return true;  // discarded
  }
  return QObject::eventFilter(watched, event);
}

std::string OutputChooser::OutputFile() const { return S(txtFile_->text()); }
std::string OutputChooser::RateText() const { return S(cboSamplerate_->currentText()); }
bool OutputChooser::Stereo() const { return chkStereo_->isChecked(); }

std::optional<RecordingFormat> OutputChooser::ChosenFormat() const {
  return RecordingFormat::FromChoices(RateText(), Stereo());
}

EncoderWAV& OutputChooser::Wav() const { return encoders_->WAV(); }

void OutputChooser::ShowWarning(const std::string& text) {
  dialogs_.messages->ShowWarning(RecordingController::kAppCaption, text);
}

void OutputChooser::OnFormatBoxChanged() {
  if (!live_) return;
  if (FormatChanged) FormatChanged();
  ChooseFormat();
  ShowFormatInEffects();
}

void OutputChooser::ShowFormatInEffects() {
  // The effects dialog's model draws its bands for the chosen format; a rate
  // no recording can use was refused by ChooseFormat and changes nothing. The
  // format holds only values the chain takes, so neither setter throws.
  const std::optional<RecordingFormat> format = ChosenFormat();
  if (format) effects_->samplerate(format->rate);
  effects_->Channels(Stereo() ? 2 : 1);
}

void OutputChooser::ChooseFormat() {
  const std::optional<RecordingFormat> format = ChosenFormat();
  // A compressed type's setting holds for every rate; the text may change with the channels.
  if (encoders_->Compressed()) {
    if (format) FollowWavFormat(*format);
    ShowFormat();
    return;
  }
  if (!format) {
    // A typed rate the chooser cannot list formats for, nor a recording use.
    ShowWarning(RecordingController::BadRateMessage());
    return;
  }
  Wav().SelectFormat(format->rate, format->channels, *dialogs_.formatChooser, S(tr(kFormatTitle)));
  ShowFormat();
}

void OutputChooser::FollowWavFormat(const RecordingFormat& format) {
  // Unasked, with the coding kept: a WAV take started later by any door records the rate and channels shown.
  FollowingFormat chooser(Wav().FormatTag(), Wav().TargetFormat());
  Wav().SelectFormat(format.rate, format.channels, chooser, {});
}

void OutputChooser::ShowFormat() {
  const std::string type = FileTypes::Of(encoders_->Type()).caption;
  // "WAV 格式:" as always for WAV; the other types name themselves the same way.
  lblWAVFmt_->setText(tr("%1 格式:").arg(Q(type)));
  if (MuxedEncoder* compressed = encoders_->Compressed()) {
    txtWAVFmt_->setText(Q(type + " - " + compressed->SettingText(Stereo() ? 2 : 1)));
    return;
  }
  txtWAVFmt_->setText(Q(Wav().FormatTag() + " - " + Wav().FormatID()));
}

void OutputChooser::OnFileTypeChosen(int index) {
  if (!live_) return;
  const QString oldSuffix = "." + Q(encoders_->Extension());
  // The box sits in frmOut, disabled while recording; a file is finished by the type that opened it.
  // The encoder refuses while its file is open: the monitor shows Idle while a stop the recording
  // thread began itself (encoder failure, device lost) still finishes the file.
  const auto type = static_cast<EncoderSelection::FileType>(index);
  if (!AtRest(engine_->State()) || !AppErrorBox::Run(*dialogs_.messages, [&] { encoders_->Type(type); })) {
    const QSignalBlocker blocker(cboFileType_);
    cboFileType_->setCurrentIndex(encoders_->Type());
    return;
  }
  ShowFormat();
  ++waitingOnEngine_;
  engine_->FileTypeChanged();
  --waitingOnEngine_;
  // A file the user named keeps its name, with the new type's extension for the old one.
  const QString file = txtFile_->text();
  if (file != engine_->Controller().Counter().NextFileName() && file.endsWith(oldSuffix, Qt::CaseInsensitive)) {
    ChooseOutput(file.chopped(oldSuffix.size()) + "." + Q(encoders_->Extension()));
  }
}

void OutputChooser::OnFileTyped(const QString& text) {
  if (!engine_) return;
  engine_->OutputFileChosen(S(text));
  // A typed name's extension decides the type, as a chosen type decides a picked name's.
  const auto named = FileTypes::OfPath(S(text));
  if (named && *named != encoders_->Type()) {
    cboFileType_->setCurrentIndex(*named);
    OnFileTypeChosen(*named);
  }
}

void OutputChooser::ChooseOutput(const QString& path) {
  txtFile_->setText(path);
  engine_->OutputFileChosen(S(path));
}

void OutputChooser::ShowOutputFile(const std::string& path) { txtFile_->setText(Q(path)); }

void OutputChooser::FollowRecorder() {
  if (cboFileType_->currentIndex() != encoders_->Type()) {
    const QSignalBlocker blocker(cboFileType_);
    cboFileType_->setCurrentIndex(encoders_->Type());
    ShowFormat();
  }
  ShowOutputFile(engine_->OutputFile());
}

void OutputChooser::OnSelectFormatClicked() {
  if (MuxedEncoder* compressed = encoders_->Compressed()) {
    ChooseSetting(*compressed);
  } else {
    ChooseFormat();
  }
}

void OutputChooser::ChooseSetting(MuxedEncoder& encoder) {
  const int16_t channels = Stereo() ? 2 : 1;
  const auto chosen =
      dialogs_.settingChooser->Choose(encoder.SettingChoices(), encoder.SettingFor(channels), S(tr(kFormatTitle)));
  // Refused while a file is open: a recording can start while the chooser is up (tray menu).
  if (chosen) AppErrorBox::Run(*dialogs_.messages, [&] { encoder.Setting(*chosen); });
  ShowFormat();
}

void OutputChooser::ChooseOutputFile() {
  const std::string ext = "*." + encoders_->Extension();
  const std::string name = dialogs_.fileDialog->AskFileName(encoders_->Description() + " (" + ext + ")|" + ext);
  if (name.empty()) return;
  const QString path = WithSuffix(Q(name), Q(encoders_->Extension()));
  // Asked here, about the file that will be written, not by the dialog about the typed name.
  const QFileInfo target(path);
  if (target.exists() || target.isSymLink()) {
    const std::string file = S(path);
    if (!dialogs_.questions ||
        !dialogs_.questions->AskYesNo(RecordingController::CheckCaption(), RecordingController::ReplaceQuestion(file))) {
      return;
    }
    engine_->ReplaceConfirmed(file);
  }
  ChooseOutput(path);
}

QString OutputChooser::WithSuffix(const QString& name, const QString& extension) {
  const QString suffix = "." + extension;
  return name.endsWith(suffix, Qt::CaseInsensitive) ? name : name + suffix;
}

// ---------------------------------------------------------------- remembered choices

void OutputChooser::Restore(const RecorderSettings& remembered) {
  cboSamplerate_->setCurrentText(QString::number(remembered.Whole(RecorderSettings::Key::Rate)));
  chkStereo_->setChecked(remembered.Flag(RecorderSettings::Key::Stereo));
  RestoreFileType(remembered.Text(RecorderSettings::Key::FileType));
  RestoreWavFormat(remembered);
  RestoreCompressedSettings(remembered);
}

void OutputChooser::RestoreFileType(const QString& name) {
  const std::optional<FileTypes::FileType> type = FileTypes::Named(name.toStdString());
  if (!type) return;
  encoders_->Type(*type);  // idle, no file open: never refused
  cboFileType_->setCurrentIndex(*type);
}

void OutputChooser::RestoreWavFormat(const RecorderSettings& remembered) {
  const QString tag = remembered.Text(RecorderSettings::Key::WavFormatTag);
  const std::optional<RecordingFormat> format = ChosenFormat();
  if (tag.isEmpty() || !format) return;
  RememberedFormat chooser(S(tag), S(remembered.Text(RecorderSettings::Key::WavFormat)));
  Wav().SelectFormat(format->rate, format->channels, chooser, {});  // not listed now: the default stays
}

void OutputChooser::RestoreCompressedSettings(const RecorderSettings& remembered) {
  for (const FileTypes::Row& type : FileTypes::kRows) {
    MuxedEncoder* encoder = encoders_->Compressed(type.type);
    const std::optional<int32_t> setting = remembered.CompressedSetting(type.type);
    if (!encoder || !setting) continue;
    try {
      encoder->Setting(*setting);  // idle, no file open
    } catch (const AppError&) {
      // Not one of the type's choices (another version's, or edited): its default stays.
    }
  }
}

void OutputChooser::Remember(RecorderSettings& remembered) const {
  using Key = RecorderSettings::Key;
  if (const std::optional<RecordingFormat> format = ChosenFormat()) remembered.Set(Key::Rate, format->rate);
  remembered.SetFlag(Key::Stereo, Stereo());
  remembered.Set(Key::FileType, QString::fromLatin1(FileTypes::Of(encoders_->Type()).name));
  remembered.Set(Key::WavFormatTag, Q(Wav().FormatTag()));
  remembered.Set(Key::WavFormat, Q(Wav().FormatID()));
  for (const FileTypes::Row& type : FileTypes::kRows) {
    if (const MuxedEncoder* encoder = encoders_->Compressed(type.type)) {
      remembered.CompressedSetting(type.type, encoder->ChosenSetting());
    }
  }
}
