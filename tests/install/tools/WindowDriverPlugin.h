// WindowDriverPlugin: a Qt generic plugin that puts a ProgramWindowDriver into
// any Qt program started with
//   QT_PLUGIN_PATH=<folder holding generic/> QT_QPA_GENERIC_PLUGINS=tamblinwindowdriver
// so the tests can drive the installed executable itself, unchanged. Not a test
// by itself and never installed.
#pragma once

#include <QGenericPlugin>

class WindowDriverPlugin : public QGenericPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "WindowDriverPlugin.json")

 public:
  QObject* create(const QString& key, const QString& parameters) override;
};
