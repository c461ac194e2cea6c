// The About window (one at a time, not modal) and the shell services that open
// the help page and the output folder, or say which path nothing could open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include "app/windows/About.h"
#include "app/platform/ProgramFolder.h"
#include "app/platform/ShellServices.h"
#include "common/MessageBoxService.h"

namespace {

class KeptMessages : public MessageBoxService {
 public:
  void ShowWarning(const std::string&, const std::string& text) override { texts.push_back(text); }
  std::vector<std::string> texts;
};

class AboutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ProgramFolder::Override(QStringLiteral("/tmp/Tam blin test/my programs"));
    ShellServices::SetUrlOpener([this](const QUrl& url) {
      opened_.push_back(url);
      return handled_;
    });
  }
  void TearDown() override {
    if (About::Instance()) About::Instance()->close();
    FlushDeletes();
    ShellServices::SetUrlOpener({});
    ProgramFolder::Override(QString());
  }
  static void FlushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  static int CountAboutWindows() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (qobject_cast<About*>(widget) != nullptr) ++count;
    }
    return count;
  }

  std::vector<QUrl> opened_;
  bool handled_ = true;  // the desktop has a program for the URL
  KeptMessages messages_;
};

TEST_F(AboutTest, ShowingTwiceLeavesOneWindowThatIsNotModal) {
  About::ShowInstance();
  About* first = About::Instance();
  ASSERT_NE(first, nullptr);
  About::ShowInstance();
  EXPECT_EQ(About::Instance(), first);
  EXPECT_EQ(CountAboutWindows(), 1);
  EXPECT_TRUE(first->isVisible());
  EXPECT_EQ(first->parentWidget(), nullptr);
  EXPECT_EQ(first->windowModality(), Qt::NonModal);
  EXPECT_EQ(first->windowTitle(), QStringLiteral("Tamblin-关于我们"));
}

TEST_F(AboutTest, CarriesItsTextsAndOkClosesIt) {
  About::ShowInstance();
  About* about = About::Instance();
  EXPECT_EQ(about->findChild<QLabel*>("Label1")->text(), QStringLiteral("Tamblin3.3"));
  EXPECT_EQ(about->findChild<QLabel*>("Label4")->text(),
            QStringLiteral("感谢您使用我们的软件！！"));
  EXPECT_EQ(about->findChild<QLabel*>("Label6")->text(),
            QStringLiteral("录音前请先对系统和软件设置，详见帮助！"));
  EXPECT_EQ(about->findChild<QPushButton*>("Command2")->text(), QStringLiteral("帮助(&H)"));
  auto* ok = about->findChild<QPushButton*>("Command1");
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->text(), QStringLiteral("确定"));
  ok->click();
  FlushDeletes();
  EXPECT_EQ(About::Instance(), nullptr);
  EXPECT_EQ(CountAboutWindows(), 0);

  About::ShowInstance();  // a new window after the old one was closed
  EXPECT_NE(About::Instance(), nullptr);
  EXPECT_EQ(CountAboutWindows(), 1);
}

TEST_F(AboutTest, HelpButtonOpensTheSamePageAsTheMainWindowsHelp) {
  About::ShowInstance();
  About::Instance()->findChild<QPushButton*>("Command2")->click();
  ShellServices::OpenHelp(messages_);
  ASSERT_EQ(opened_.size(), 2u);
  EXPECT_EQ(opened_[0], opened_[1]);
  EXPECT_TRUE(opened_[0].isLocalFile());
  EXPECT_EQ(opened_[0].toLocalFile(), QStringLiteral("/tmp/Tam blin test/my programs/bangzhu.htm"));
}

TEST_F(AboutTest, OutputFolderWithSpacesInThePathStaysOneFileUrl) {
  ShellServices::OpenOutputFolder(messages_);
  ASSERT_EQ(opened_.size(), 1u);
  const QUrl& url = opened_[0];
  EXPECT_EQ(url.scheme(), QStringLiteral("file"));
  EXPECT_EQ(url.toLocalFile(), QStringLiteral("/tmp/Tam blin test/my programs/file"));
  EXPECT_EQ(url.toString(QUrl::FullyEncoded),
            QStringLiteral("file:///tmp/Tam%20blin%20test/my%20programs/file"));
}

TEST_F(AboutTest, APathNothingOpensIsToldWithThePath) {
  ShellServices::OpenHelp(messages_);
  EXPECT_TRUE(messages_.texts.empty()) << "opened";
  handled_ = false;
  ShellServices::OpenHelp(messages_);
  ShellServices::OpenOutputFolder(messages_);
  ASSERT_EQ(messages_.texts.size(), 2u);
  EXPECT_NE(messages_.texts[0].find("\n/tmp/Tam blin test/my programs/bangzhu.htm"), std::string::npos) << messages_.texts[0];
  EXPECT_NE(messages_.texts[1].find("\n/tmp/Tam blin test/my programs/file"), std::string::npos) << messages_.texts[1];
}

}  // namespace
