// DBusRecorderService: the recorder on the session bus, so that scripts and
// desktop shortcuts can run it: name and interface org.tamblin.Tamblin at
// /org/tamblin/Tamblin. Methods Start, Stop, Pause, Resume, Toggle (a refusal
// is the error org.tamblin.Tamblin.Error.Refused with the recorder's one-line
// reason; a start's warnings go to WarningsUnanswered); properties State,
// Length (ms), File, InputLost; signal StateChanged(state) and the standard
// PropertiesChanged. Window's thread only.
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "app/recording/RecorderControl.h"
#include "app/recording/RecorderState.h"

class DBusRecorderService : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.tamblin.Tamblin")
  Q_PROPERTY(QString State READ State)
  Q_PROPERTY(int Length READ Length)
  Q_PROPERTY(QString File READ File)
  Q_PROPERTY(qlonglong InputLost READ InputLost)

 public:
  static constexpr auto kServiceName = "org.tamblin.Tamblin";
  static constexpr auto kObjectPath = "/org/tamblin/Tamblin";
  static constexpr auto kInterfaceName = "org.tamblin.Tamblin";
  static constexpr auto kRefusedError = "org.tamblin.Tamblin.Error.Refused";

  // `control` must outlive the service.
  explicit DBusRecorderService(RecorderControl& control, QDBusConnection bus = QDBusConnection::sessionBus(),
                               QObject* parent = nullptr);
  ~DBusRecorderService() override;

  // Exports the object and takes the name; false (ErrorText says why) when
  // there is no session bus or another program owns the name.
  bool Publish();
  QString ErrorText() const;

  static QString StateName(RecorderState state);

  // A start asked over the bus ran but warned (its journal cannot be written
  // ...): the bus's answer carries no text, so these go to the window.
  std::function<void(const std::vector<std::string>& warnings)> WarningsUnanswered;

  QString State() const;
  int Length() const;
  QString File() const;
  qlonglong InputLost() const;

 public slots:
  void Start();
  void Stop();
  void Pause();
  void Resume();
  void Toggle();

 signals:
  void StateChanged(const QString& state);

 private:
  void Answer(const RecorderControl::Result& result);
  void AnnounceState(RecorderState state);
  bool Fail(const QString& why);

  RecorderControl& control_;
  QDBusConnection bus_;
  bool registered_ = false;
  bool ownsName_ = false;
  QString errorText_;
};
