#include "app/recording/TakeFiles.h"

#include <QFileInfo>
#include <QString>

#include "app/platform/InterfaceLanguage.h"
#include "app/platform/ProgramFolder.h"
#include "app/recording/DiskSpaceGuard.h"
#include "app/recording/LoudnessTags.h"
#include "app/recording/RecorderView.h"
#include "app/recording/RecordingJournal.h"
#include "common/FileTypes.h"
#include "common/MessageBoxService.h"
#include "common/QuestionService.h"
#include "encoding/EncoderSelection.h"
#include "tagging/TakeMetadataWriter.h"

namespace {

// Numbered files found filled at the start (by another program) before giving up.
constexpr int kNumberedFileTries = 16;

// The caption of the recorder's messages.
constexpr const char* kAppCaption = "Tamblin";

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

// A path as it goes into a message's %1.
QString Path(const std::string& utf8) { return QString::fromStdString(utf8); }

// A message with its cause (the server's or system's words) on a second line.
std::string WithCause(const std::string& message, const std::string& cause) {
  return cause.empty() ? message : message + "\n" + cause;
}

// What the user is told when Encode fails; every failure ends the recording.
std::string EncoderFailureMessage(EncoderResult result) {
  switch (result) {
    case ENC_WRITE_ERROR:
      return ToUtf8(TakeFiles::tr("Write error (no disk space left?)!"));
    case ENC_CONVERT_FAILED:
      return ToUtf8(TakeFiles::tr("编码转换失败, 录音已停止!"));
    case ENC_SIZE_LIMIT:
      return ToUtf8(TakeFiles::tr("文件已达到 WAV 格式的 4 GB 上限, 录音已停止!"));
    default:
      return ToUtf8(TakeFiles::tr("编码器出错 (代码 %1), 录音已停止!").arg(static_cast<int32_t>(result)));
  }
}


}  // namespace

TakeFiles::TakeFiles(Encoder& encoder, RecorderView& view, MessageBoxService& messages, DiskSpaceGuard& disk,
                     Listener& listener)
    : clsEncoder_(encoder), view_(view), messages_(messages), diskGuard_(disk), listener_(listener) {}

void TakeFiles::LoadCounter() {
  counter_.Load();
  counter_.ChangeExtension(Q(clsEncoder_.Extension()));
  PrepareNextFile();
}

void TakeFiles::ExtensionChanged() {
  const bool numbered = OutputIsNumbered();
  counter_.ChangeExtension(Q(clsEncoder_.Extension()));
  if (!counter_.PrepareNextFile()) {
    messages_.ShowWarning(kAppCaption, CannotCreateMessage(counter_.NextFileName()));
  }
  if (numbered) view_.OutputFile(ToUtf8(counter_.NextFileName()));
}

std::string TakeFiles::Open(const RecordingFormat& format) {
  declined_ = false;
  format_ = format;
  const int32_t rate = format.rate;
  const int16_t channels = format.channels;
  const EncoderResult result = OutputIsNumbered() ? OpenNumberedFile(rate, channels) : OpenChosenFile(rate, channels);
  companions_.clear();
  for (size_t file = 1; result == ENC_OK && file < tracks_.Files(); ++file) {
    std::unique_ptr<Encoder> sibling = clsEncoder_.Sibling();
    if (!sibling) {
      CancelOpen();
      return ToUtf8(tr("无法初始化编码器!"));
    }
    companions_.push_back(std::make_unique<CompanionFile>(std::move(sibling), tracks_.Suffix(file)));
  }
  if (result == ENC_OK) {
    if (std::string why = OpenCompanions(); !why.empty()) {
      CancelOpen();
      return why;
    }
    numberedTake_ = OutputIsNumbered();
    // The recording's meters start with its file.
    loudness_.Begin(rate, channels);
    partLoudnessRunning_ = false;
    clips_.Begin(channels);
    return {};
  }
  if (result == ENC_CANCELLED) {
    declined_ = true;  // the user chose to keep the file: nothing more to tell the window
    return ToUtf8(tr("录音未能开始"));
  }
  if (result == ENC_TARGET_HOLDS_DATA) return ToUtf8(tr("文件 %1 已有内容, 不会覆盖!").arg(Path(view_.OutputFile())));
  return WithCause(ToUtf8(tr("无法初始化编码器!")), clsEncoder_.InitError());
}

void TakeFiles::CancelOpen() {
  // Nothing is captured: a numbered file stays empty for the next try, a new one goes.
  clsEncoder_.EncoderDiscard();
  DiscardCompanions();
  if (OutputIsNumbered()) PrepareNextFile();
}

std::string TakeFiles::OpenCompanions() {
  for (const auto& companion : companions_) {
    // Replaced only where the user agreed to replace the take's main file; never through a link.
    const EncoderResult result = companion->Open(view_.OutputFile(), format_, {.replaceData = rules_.replaceData, .followLinks = false});
    if (result == ENC_TARGET_HOLDS_DATA) return ToUtf8(tr("文件 %1 已有内容, 不会覆盖!").arg(Path(companion->Path())));
    if (result != ENC_OK) {
      return WithCause(CannotCreateMessage(Q(companion->Path())), companion->Writer().InitError());
    }
  }
  return {};
}

void TakeFiles::DiscardCompanions() {
  for (const auto& companion : companions_) companion->Discard();
}

void TakeFiles::Rules(TargetRules rules) {
  rules_ = rules;
  clsEncoder_.OutputRules(rules);
}

void TakeFiles::JournalOpened(const std::string& path) {
  const std::string journalError = RecordingJournal().Begin(path);
  if (!journalError.empty()) listener_.Warn(journalError);
}

void TakeFiles::Begin(const TakeTexts& texts) {
  parts_ = {view_.OutputFile()};
  runningTexts_ = texts;
  BeginPart();
  outputOpen_ = true;
  sizeLimited_ = false;
  take_.Begin(view_.OutputFile(), format_.rate, format_.channels);
  // Before the first block arrives: from now on a crash leaves the files to the next start's repair.
  JournalOpened(view_.OutputFile());
  for (const auto& companion : companions_) JournalOpened(companion->Path());
  SaveCounter();
}

bool TakeFiles::OutputIsNumbered() const { return view_.OutputFile() == ToUtf8(counter_.NextFileName()); }

EncoderResult TakeFiles::OpenNumberedFile(int32_t rate, int16_t channels) {
  Rules({.replaceData = false, .followLinks = false});
  for (int tries = 0; tries < kNumberedFileTries; ++tries) {
    const EncoderResult result = clsEncoder_.EncoderInit(rate, channels, view_.OutputFile());
    if (result != ENC_TARGET_HOLDS_DATA) return result;
    // Written to since it was prepared (another program): the next free number.
    counter_.Advance();
    PrepareNextFile();
  }
  return ENC_TARGET_HOLDS_DATA;
}

EncoderResult TakeFiles::OpenChosenFile(int32_t rate, int16_t channels) {
  const std::string path = view_.OutputFile();
  // A confirmation holds for one start: afterwards the file holds that recording.
  const bool confirmed = path == confirmedReplacement_;
  confirmedReplacement_.clear();
  Rules({.replaceData = confirmed, .followLinks = true});
  const EncoderResult result = clsEncoder_.EncoderInit(rate, channels, path);
  if (result != ENC_TARGET_HOLDS_DATA || questions_ == nullptr) return result;
  if (!questions_->AskYesNo(ToUtf8(tr("提示")), ReplaceQuestion(path))) return ENC_CANCELLED;
  Rules({.replaceData = true, .followLinks = true});
  return clsEncoder_.EncoderInit(rate, channels, path);
}

std::string TakeFiles::ReplaceQuestion(const std::string& path) {
  return ToUtf8(tr("文件 %1 已存在, 要替换它吗?").arg(Path(path)));
}

void TakeFiles::PrepareNextFile() {
  if (!counter_.PrepareNextFile()) listener_.Warn(CannotCreateMessage(counter_.NextFileName()));
  view_.OutputFile(ToUtf8(counter_.NextFileName()));
}

void TakeFiles::SaveCounter() {
  if (QString why; !counter_.Save(&why)) {
    listener_.Warn(WithCause(ToUtf8(tr("无法写入设置文件 %1 !").arg(ProgramFolder::SettingsFile())), ToUtf8(why)));
  }
}

void TakeFiles::Write(const int16_t* data, int32_t bytes) {
  tracks_.Split(std::span(data, static_cast<size_t>(bytes) / sizeof(int16_t)));
  const std::span<const int16_t> main = tracks_.File(0);
  WriteMain(main.data(), static_cast<int32_t>(main.size_bytes()));
  if (stopFailure_.empty()) WriteCompanions();
}

void TakeFiles::WriteCompanions() {
  for (size_t file = 1; file < tracks_.Files() && stopFailure_.empty(); ++file) {
    // The tracks share format and length: a size limit falls on the main file's block, which moved them all on.
    if (const EncoderResult result = companions_[file - 1]->Write(tracks_.File(file)); result != ENC_OK) {
      Fail(EncoderFailureMessage(result));
    }
  }
}

void TakeFiles::WriteMain(const int16_t* data, int32_t bytes) {
  take_.Add(std::span(data, static_cast<size_t>(bytes) / sizeof(int16_t)));
  int32_t buffer_used = 0;
  const EncoderResult result = clsEncoder_.Encode(data, bytes, buffer_used);
  if (result == ENC_SIZE_LIMIT) {
    ContinueInNextPart(data, bytes);
    if (stopFailure_.empty()) MeasureWritten(data, bytes);
  } else if (result != ENC_OK) {
    // Ignoring any of them would drop audio silently for the rest of the recording.
    Fail(EncoderFailureMessage(result));
  } else {
    MeasureWritten(data, bytes);
    markers_.Written(bytes / format_.BlockAlign());
    // Stopped while the flush and the header still fit, not at the full disk.
    if (!diskGuard_.Recorded(bytes)) Fail(ToUtf8(tr("磁盘空间即将用完, 录音已停止!")));
  }
}

void TakeFiles::MeasureWritten(const int16_t* data, int32_t bytes) {
  const std::span<const int16_t> written(data, static_cast<size_t>(bytes) / sizeof(int16_t));
  loudness_.Add(written);
  if (partLoudnessRunning_) partLoudness_.Add(written);
  clips_.Add(written, [this](int16_t channel) { return loudness_.BlockTruePeakOverLimit(channel); });
}

void TakeFiles::Fail(const std::string& message) {
  stopFailure_ = message;
  listener_.WritingFailed();
}

std::string TakeFiles::TakeFailure() {
  std::string failure = std::move(stopFailure_);
  stopFailure_.clear();
  return failure;
}

void TakeFiles::ContinueInNextPart(const int16_t* data, int32_t bytes) {
  sizeLimited_ = true;
  if (!MoveToNextPart(ToUtf8(tr("文件已满, 无法创建下一个文件, 录音已停止!")))) return;
  take_.Add(std::span(data, static_cast<size_t>(bytes) / sizeof(int16_t)));  // the full part refused it
  markers_.Add(ContinuedMarkerName());
  int32_t buffer_used = 0;
  // Into the empty part: refused again only by a limit below one block.
  if (const EncoderResult result = clsEncoder_.Encode(data, bytes, buffer_used); result != ENC_OK) {
    Fail(EncoderFailureMessage(result));
  } else {
    markers_.Written(bytes / format_.BlockAlign());
  }
}

bool TakeFiles::MoveToNextPart(const std::string& failure) {
  Close();
  if (const EncoderResult opened = OpenNextPart(); opened != ENC_OK) {
    const std::string cause = opened == ENC_TARGET_HOLDS_DATA ? "" : clsEncoder_.InitError();
    Fail(WithCause(failure, cause));
    return false;
  }
  if (std::string why = OpenCompanions(); !why.empty()) {
    clsEncoder_.EncoderDiscard();
    DiscardCompanions();
    Fail(why);
    return false;
  }
  outputOpen_ = true;
  parts_.push_back(view_.OutputFile());
  listener_.PartOpened(view_.OutputFile());
  BeginPart();
  // The first part's loudness is the whole recording's so far; every later part needs a meter of its own.
  if (!LoudnessFromFile()) partLoudnessRunning_ = partLoudness_.Begin(format_.rate, format_.channels);
  // The review row offers the last part: the file its length and markers are of.
  take_.Begin(view_.OutputFile(), format_.rate, format_.channels);
  JournalOpened(view_.OutputFile());
  for (const auto& companion : companions_) JournalOpened(companion->Path());
  return true;
}

void TakeFiles::Close() {
  if (!outputOpen_) return;
  outputOpen_ = false;
  // Finished like a normal recording: its journal entry goes once it is complete.
  clsEncoder_.EncoderClose();
  WriteMetadata();
  RecordingJournal().Finish(view_.OutputFile());
  for (const auto& companion : companions_) {
    companion->Close();
    WriteMetadata(companion->Path(), PartLoudness(*companion));
    RecordingJournal().Finish(companion->Path());
  }
}

void TakeFiles::Checkpoint() {
  if (!outputOpen_) return;
  clsEncoder_.Checkpoint();
  for (const auto& companion : companions_) companion->Checkpoint();
}

void TakeFiles::Mark(const std::string& name, int64_t ahead) {
  if (outputOpen_) markers_.Add(name, ahead);
}

void TakeFiles::BeginPart() {
  markers_.Begin();
  partStart_ = std::chrono::system_clock::now();
}

void TakeFiles::WriteMetadata() {
  // After a write failure the disk has no room for them, and the user hears of that failure already.
  if (!clsEncoder_.WritesTaggableFile() || !stopFailure_.empty()) return;
  WriteMetadata(view_.OutputFile(), PartLoudness());
}

void TakeFiles::WriteMetadata(const std::string& path, std::optional<TakeMetadata::Loudness> loudness) {
  if (!clsEncoder_.WritesTaggableFile() || !stopFailure_.empty()) return;
  TakeMetadata metadata{.title = runningTexts_.title,
                        .start = partStart_,
                        .software = runningTexts_.software,
                        .comment = runningTexts_.comment,
                        .language = InterfaceLanguage::Iso639_2(),
                        .loudness = std::move(loudness)};
  for (const TakeMarkers::Marker& marker : markers_.Markers()) metadata.markers.push_back({marker.frame, marker.name});
  const auto written = TakeMetadataWriter::Write(path, FileTypes::OfExtension(clsEncoder_.Extension()).value_or(FileTypes::TYPE_WAV),
                                                 format_.rate, std::move(metadata));
  // The audio is complete either way; only its markers or tags are missing.
  if (!written.ok()) {
    messages_.ShowWarning(kAppCaption, WithCause(ToUtf8(tr("无法写入文件的标记和标签: %1").arg(Path(path))),
                                                 written.reason));
  }
}

bool TakeFiles::LoudnessFromFile() const {
  return FileTypes::OfExtension(clsEncoder_.Extension()).value_or(FileTypes::TYPE_WAV) == EncoderSelection::TYPE_MP3;
}

std::optional<TakeMetadata::Loudness> TakeFiles::PartLoudness() {
  if (!LoudnessFromFile()) return LoudnessTags::Of(partLoudnessRunning_ ? partLoudness_.Final() : loudness_.Final());
  return FileLoudness(view_.OutputFile());
}

std::optional<TakeMetadata::Loudness> TakeFiles::PartLoudness(CompanionFile& companion) {
  if (LoudnessFromFile()) return FileLoudness(companion.Path());
  if (!companion.LoudnessMeasured()) return std::nullopt;
  return LoudnessTags::Of(companion.PartLoudness().Final());
}

std::optional<TakeMetadata::Loudness> TakeFiles::FileLoudness(const std::string& path) {
  // The encoder's filters change the loudness by a few tenths of a dB; players
  // hear the decoded file. Bounded by what this part wrote.
  const LoudnessTags::Measured measured =
      LoudnessTags::OfFile(path, static_cast<double>(markers_.Position()) / format_.rate);
  if (!measured.error.empty()) {
    messages_.ShowWarning(kAppCaption, WithCause(ToUtf8(tr("无法测量文件的响度: %1").arg(Path(path))),
                                                 measured.error));
  }
  return measured.loudness;
}

void TakeFiles::Finish(bool recorded) {
  if (!recorded) {
    outputOpen_ = false;
    clsEncoder_.EncoderDiscard();
    RecordingJournal().Finish(view_.OutputFile());
    for (const auto& companion : companions_) {
      companion->Discard();
      RecordingJournal().Finish(companion->Path());
    }
    return;
  }
  Close();
}

void TakeFiles::ReserveNextFile(bool recorded) {
  if (recorded && (numberedTake_ || namedTakesAdvance_)) counter_.Advance();
  PrepareNextFile();
  SaveCounter();
}

EncoderResult TakeFiles::OpenNextPart() {
  if (!OutputIsNumbered()) return OpenNumberedSibling();
  counter_.Advance();
  PrepareNextFile();
  SaveCounter();
  return OpenNumberedFile(format_.rate, format_.channels);
}

EncoderResult TakeFiles::OpenNumberedSibling() {
  const QFileInfo first(Q(parts_.front()));
  const QString suffix = first.suffix().isEmpty() ? QString() : "." + first.suffix();
  const QString base = first.filePath().chopped(suffix.size());
  // Not named by the user: a link or a file with data there is someone else's.
  Rules({.replaceData = false, .followLinks = false});
  EncoderResult result = ENC_TARGET_HOLDS_DATA;
  for (int tries = 0; tries < kNumberedFileTries && result == ENC_TARGET_HOLDS_DATA; ++tries) {
    const auto number = static_cast<qsizetype>(parts_.size()) + 1 + tries;
    const std::string path = ToUtf8(base + " (" + QString::number(number) + ")" + suffix);
    result = clsEncoder_.EncoderInit(format_.rate, format_.channels, path);
    if (result == ENC_OK) view_.OutputFile(path);
  }
  return result;
}

void TakeFiles::ReportParts() {
  if (sizeLimited_ && parts_.size() > 1) {
    std::string text = ToUtf8(tr("录音超过单个文件的大小上限, 已分别保存在以下文件中:"));
    for (const std::string& part : parts_) text += "\n" + part;
    messages_.ShowWarning(kAppCaption, text);
  }
  parts_.clear();
}

std::string TakeFiles::ContinuedMarkerName() { return ToUtf8(tr("续接上一个文件")); }

std::string TakeFiles::CannotCreateMessage(const QString& file) {
  return ToUtf8(tr("无法创建输出文件 %1 !").arg(file));
}
