// DBusRecorderService: the recorder on the session bus, so that scripts and
// desktop shortcuts can run it: name and interface org.tamblin.Tamblin at
// /org/tamblin/Tamblin. Methods Start, StartWith(options: a{sv} of strings
// "device", "type", "secondDevice" (a device's name or description) and
// "tracks" (mix, separate or both); an entry left out: as chosen),
// StartWithPreRecord(seconds: the take begins that long before the call,
// 0 .. 600, at most what monitoring kept), Stop, Pause, Resume, Toggle, Mark(name)
// (a refusal is the error org.tamblin.Tamblin.Error.Refused with the
// recorder's one-line reason; a start's warnings go to WarningsUnanswered);
// properties State ("waiting-for-schedule" at rest while a scheduled start
// waits), Length (ms), File, Size (bytes, -1: none), Device, Type,
// InputLost, Level (dBFS); signal StateChanged(state) and the standard
// PropertiesChanged: with every change of state, and while a take runs or the
// input is monitored for Length, Level and InputLost at most every
// kProgressInterval.
// Window's thread only.
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/recording/RecorderControl.h"
#include "app/recording/RecorderState.h"

class SecondInputFinder;

class DBusRecorderService : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.tamblin.Tamblin")
  Q_PROPERTY(QString State READ State)
  Q_PROPERTY(int Length READ Length)
  Q_PROPERTY(QString File READ File)
  Q_PROPERTY(qlonglong InputLost READ InputLost)
  Q_PROPERTY(qlonglong Size READ Size)
  Q_PROPERTY(QString Device READ Device)
  Q_PROPERTY(QString Type READ Type)
  Q_PROPERTY(double Level READ Level)

 public:
  static constexpr auto kServiceName = "org.tamblin.Tamblin";
  static constexpr auto kObjectPath = "/org/tamblin/Tamblin";
  static constexpr auto kInterfaceName = "org.tamblin.Tamblin";
  static constexpr auto kRefusedError = "org.tamblin.Tamblin.Error.Refused";
  static constexpr std::chrono::milliseconds kProgressInterval{500};

  // `control` must outlive the service.
  explicit DBusRecorderService(RecorderControl& control, QDBusConnection bus = QDBusConnection::sessionBus(),
                               QObject* parent = nullptr);
  ~DBusRecorderService() override;

  // Exports the object and takes the name; false (ErrorText says why) when
  // there is no session bus or another program owns the name.
  bool Publish();
  QString ErrorText() const;

  static QString StateName(RecorderState state);

  // Where StartWith's second input is found (nullptr: it takes none). Not owned; outlives the service.
  void SecondInputs(const SecondInputFinder* finder) { secondInputs_ = finder; }

  // A start asked over the bus ran but warned (its journal cannot be written
  // ...): the bus's answer carries no text, so these go to the window.
  std::function<void(const std::vector<std::string>& warnings)> WarningsUnanswered;

  QString State() const;
  int Length() const;
  QString File() const;
  qlonglong InputLost() const;
  qlonglong Size() const;
  QString Device() const;
  QString Type() const;
  double Level() const;

 public slots:
  void Start();
  void StartWith(const QVariantMap& options);
  void StartWithPreRecord(int seconds);
  void Stop();
  void Pause();
  void Resume();
  void Toggle();
  void Mark(const QString& name);

 signals:
  void StateChanged(const QString& state);

 private:
  void Answer(const RecorderControl::Result& result);
  void AnnounceState(RecorderState state);
  // While a take runs or the input is monitored: Length, Level and InputLost,
  // when any of them moved.
  void AnnounceProgress();
  void SendPropertiesChanged(const QVariantMap& changed);
  bool Fail(const QString& why);

  RecorderControl& control_;
  QDBusConnection bus_;
  bool registered_ = false;
  bool ownsName_ = false;
  QString errorText_;
  QTimer progress_;
  QVariantMap announced_;  // what AnnounceProgress sent last
  const SecondInputFinder* secondInputs_ = nullptr;
};
