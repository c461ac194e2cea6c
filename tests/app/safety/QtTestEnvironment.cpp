// One QApplication for the whole suite (QProcess and the windows need one),
// created when the tests run, on the offscreen platform unless told otherwise.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace {

class QtTestEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "app_safety_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtTestEnvironment);

}  // namespace
