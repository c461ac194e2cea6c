// TakeFiles: the files of one recording, from the first part to the last. It
// opens the first part (the next numbered file, or the one the user chose),
// writes the recorded blocks with their loudness and clip measures, moves to
// the next part, and finishes each part with its markers, tags and loudness.
//
// A file that reaches its type's size limit is finished and the recording goes
// on, from the refused block on, in the next part: the next numbered file, or
// for a file the user named, "<name> (2).<ext>", " (3)" ... (never one that
// holds data); after the stop the user is told which files hold it. Every
// open part has a journal entry, so a crash leaves it to the next start's repair.
//
// It owns the file counter (the numbered series and nu.ini), the whole
// recording's loudness meter and clip counter, and a meter per later part.
// A failure to write ends the recording: the listener hears of it and the
// reason waits in TakeFailure() until the stop tells the user.
//
// A two-input take (Tracks) writes more than one file per part: the main file
// as above and its companions beside it (CompanionFile), every one journalled,
// marked, tagged and measured like the main file, each part of them as long.
//
// Recording thread only, like the controller that owns it.
#pragma once

#include <QCoreApplication>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "metering/ClipCounter.h"
#include "app/recording/CompanionFile.h"
#include "app/recording/FileCounter.h"
#include "metering/LoudnessMeter.h"
#include "app/recording/RecordingFormat.h"
#include "app/recording/TakeMarkers.h"
#include "app/recording/TakeTracks.h"
#include "app/review/TakeOverview.h"
#include "app/recording/TakeTexts.h"
#include "encoding/Encoder.h"
#include "tagging/TakeMetadata.h"

class DiskSpaceGuard;
class MessageBoxService;
class QuestionService;
class RecorderView;

class TakeFiles {
  Q_DECLARE_TR_FUNCTIONS(TakeFiles)

 public:
  // What the recording hears from its files (on the recording thread).
  class Listener {
   public:
    virtual ~Listener() = default;
    // A warning; a start collects them for its caller.
    virtual void Warn(const std::string& text) = 0;
    // A next part was opened at `path` (the output box shows it already).
    virtual void PartOpened(const std::string& path) = 0;
    // Writing failed and the recording is to end; TakeFailure() says why.
    virtual void WritingFailed() = 0;
  };

  // `view`'s output box names the part being written; `disk` is checked with every written block.
  TakeFiles(Encoder& encoder, RecorderView& view, MessageBoxService& messages, DiskSpaceGuard& disk,
            Listener& listener);

  // Where opening a chosen file asks before replacing data; none: never replaced. Not owned.
  void Questions(QuestionService* questions) { questions_ = questions; }
  // The next open of exactly `path` replaces it without asking (the user agreed already).
  void ReplaceConfirmed(const std::string& path) { confirmedReplacement_ = path; }
  // Whether a take into a file the user named moves the counter on (true) or leaves it as it is.
  void NamedTakesAdvanceCounter(bool value) { namedTakesAdvance_ = value; }
  // The question before replacing `path`.
  static std::string ReplaceQuestion(const std::string& path);
  // The marker at the start of a continued file.
  static std::string ContinuedMarkerName();

  // At start-up: the counter from nu.ini with the encoder's extension, the next numbered file reserved.
  void LoadCounter();
  // The encoder's extension changed while idle: the reserved number takes it.
  void ExtensionChanged();

  // The files of the next Open: the main file alone (one input), or with companions.
  void Tracks(TakeTracks tracks) { tracks_ = std::move(tracks); }
  // Recorded frames per file frame: 1, or 2 for a two-input take (see TakeTracks).
  int16_t Inputs() const { return tracks_.Inputs(); }
  // Files per part: 1, or a two-input take's main file and companions.
  size_t Files() const { return tracks_.Files(); }

  // Opens the encoder on the output box's file (and the companions beside it);
  // why no recording can start there, empty when open.
  std::string Open(const RecordingFormat& format);
  // Whether the last Open failed at the user's word (kept the file): nothing more to tell.
  bool Declined() const { return declined_; }
  // The recording did not start after Open: the file goes back to how it was.
  void CancelOpen();
  // The recording started in the opened file, its parts tagged with `texts`.
  void Begin(const TakeTexts& texts);

  // Whether recorded audio still goes into a file: a part is open and nothing failed.
  bool Writable() const { return stopFailure_.empty() && outputOpen_; }
  // Writes `bytes` of recorded audio at `data` (whole recorded frames, at most
  // a second), going on in the next part when the file is full.
  void Write(const int16_t* data, int32_t bytes);
  // Finishes the current part (when open) and opens the next one; false when
  // that failed and the recording is ending with `failure` as the reason.
  bool MoveToNextPart(const std::string& failure);
  // The part being written is complete.
  void Close();
  bool PartOpen() const { return outputOpen_; }
  // What was written so far goes to the disk (when a part is open).
  void Checkpoint();

  // A marker named `name` where the open part's written audio ends, or
  // `ahead` frames later (within the block about to be written); none when no part is open.
  void Mark(const std::string& name, int64_t ahead = 0);
  // A marker the user asked for ("标记 N" when `name` is empty); false when the file holds the most it may.
  bool MarkAsked(const std::string& name) { return markers_.AddAsked(name); }

  // At the stop: the last part is finished, or, when nothing was `recorded`
  // (an armed recording that never started a take), goes back to how it was.
  void Finish(bool recorded);
  // After the stop: the counter moves past a take that `recorded` into the
  // series, and the next numbered file is reserved and saved.
  void ReserveNextFile(bool recorded);
  // After the stop: tells which files hold a recording of more than one part.
  void ReportParts();

  bool Failed() const { return !stopFailure_.empty(); }
  // Why writing failed, told once: cleared by this call.
  std::string TakeFailure();

  FileCounter& Counter() { return counter_; }
  // The running recording's files, first to current (until the stop's report).
  const std::vector<std::string>& Parts() const { return parts_; }
  // The whole recording's loudness so far, and as the stop finishes it.
  const LoudnessReading& LiveLoudness() const { return loudness_.Live(); }
  LoudnessReading FinalLoudness() { return loudness_.Final(); }
  // The whole recording's clips so far.
  const ClipCounter& Clips() const { return clips_; }
  // The markers of the part being written, or of the last one finished.
  const TakeMarkers& Markers() const { return markers_; }
  // The last (or running) take's last part and overview.
  const TakeOverview& Take() const { return take_; }

 private:
  static std::string CannotCreateMessage(const QString& file);
  bool OutputIsNumbered() const;
  EncoderResult OpenNumberedFile(int32_t rate, int16_t channels);
  EncoderResult OpenChosenFile(int32_t rate, int16_t channels);
  EncoderResult OpenNextPart();
  // "<name> (n).<ext>" beside the first part, from the next n on.
  EncoderResult OpenNumberedSibling();
  void PrepareNextFile();
  // The main file's encoder takes `rules` for its next open; its companions
  // replace data only where it does, and never follow a link.
  void Rules(TargetRules rules);
  // The companions of the part just opened at the output box's file; why they did not open, empty when open.
  std::string OpenCompanions();
  void DiscardCompanions();
  // The main file's block of `bytes`: written, measured, or continued in the next part.
  void WriteMain(const int16_t* data, int32_t bytes);
  void WriteCompanions();
  void JournalOpened(const std::string& path);
  void SaveCounter();
  // Writing failed: `message` is told after the stop, which the listener starts.
  void Fail(const std::string& message);
  // Loudness and clips of the `bytes` at `data` that went into the file.
  void MeasureWritten(const int16_t* data, int32_t bytes);
  // The file is full; the block of `bytes` it refused starts the next part.
  void ContinueInNextPart(const int16_t* data, int32_t bytes);
  // A part was opened: its markers and start time begin.
  void BeginPart();
  // The closed part's markers and tags go into it (and its label file).
  void WriteMetadata();
  void WriteMetadata(const std::string& path, std::optional<TakeMetadata::Loudness> loudness);
  // Whether the file type's loudness is measured on the finished file, decoded (a lossy type whose
  // encoder changes it), instead of on the samples handed to the encoder.
  bool LoudnessFromFile() const;
  // The loudness of exactly the samples the part being closed holds; none for silence.
  std::optional<TakeMetadata::Loudness> PartLoudness();
  // The same of a companion's part.
  std::optional<TakeMetadata::Loudness> PartLoudness(CompanionFile& companion);
  // Measured on the finished file at `path` (see LoudnessFromFile).
  std::optional<TakeMetadata::Loudness> FileLoudness(const std::string& path);

  Encoder& clsEncoder_;
  RecorderView& view_;
  MessageBoxService& messages_;
  DiskSpaceGuard& diskGuard_;
  Listener& listener_;
  QuestionService* questions_ = nullptr;
  std::string confirmedReplacement_;
  bool declined_ = false;
  FileCounter counter_;
  bool namedTakesAdvance_ = true;
  bool numberedTake_ = false;  // the running recording began in the numbered file

  RecordingFormat format_;     // of the running recording
  TakeTexts runningTexts_;     // what the running recording started with
  std::vector<std::string> parts_;
  bool outputOpen_ = false;    // a part is open for writing
  bool sizeLimited_ = false;   // a part was full: the user is told where the rest went
  std::string stopFailure_;    // a write failure ending the recording, told after the stop
  LoudnessMeter loudness_;       // the whole recording
  LoudnessMeter partLoudness_;   // the part being written, from the second part on
  bool partLoudnessRunning_ = false;
  ClipCounter clips_;
  TakeOverview take_;
  TakeMarkers markers_;  // of the part being written
  TakeTracks tracks_;    // the running (or next) take's files
  std::vector<std::unique_ptr<CompanionFile>> companions_;  // of the running take, beside the main file
  TargetRules rules_;    // the main file's, at its last open
  std::chrono::system_clock::time_point partStart_;
};
