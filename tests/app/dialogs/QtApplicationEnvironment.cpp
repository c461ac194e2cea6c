// One QApplication for every test of this executable; offscreen unless the
// caller chose a platform.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/platform/InterfaceLanguage.h"

namespace {

class QtApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app_ = new QApplication(argc_, argv_);
    // The tests read the windows' Chinese texts: the program's own language, whatever the locale.
    InterfaceLanguage::Use(InterfaceLanguage::Language::Chinese, {});
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  int argc_ = 1;
  char name_[16] = "dialogs_test";
  char* argv_[2] = {name_, nullptr};
  QApplication* app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace
