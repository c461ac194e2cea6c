// The interface language: which one a locale or "--lang" picks, the help page
// that goes with it, and, in both languages, every window's texts: present,
// not clipped, not covering a neighbour, and nothing Chinese left in English.
#include "app/platform/InterfaceLanguage.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QStyle>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "TestDoubles.h"
#include "app/windows/About.h"
#include "app/windows/Form1.h"
#include "app/recording/StatusTexts.h"
#include "app/recording/RecordingEngine.h"
#include "app/windows/FormatChooserDialog.h"
#include "app/windows/meters/LevelMeterView.h"
#include "app/windows/meters/LevelScale.h"
#include "app/windows/meters/MeterPanel.h"
#include "app/windows/SteadyLabel.h"
#include "app/handsfree/ScheduleKeeper.h"
#include "app/platform/ProgramFolder.h"
#include "app/recording/RecordingController.h"
#include "app/windows/SettingChooserDialog.h"
#include "app/windows/TrayIcon.h"
#include "app/windows/frmFXOpts.h"
#include "app/handsfree/frmSchedule.h"
#include "app/review/frmTakeTags.h"
#include "effects/clsDSP.h"
#include "encoding/EncoderFLAC.h"
#include "encoding/EncoderWAV.h"
#include "tests/support/EventLoopWait.h"
#include "tests/support/PipeSourceFeeder.h"
#include "tests/support/PrivatePulseDaemon.h"

namespace {

using Language = InterfaceLanguage::Language;

TEST(InterfaceLanguageTest, ChineseLocalesKeepTheProgramsOwnLanguageAndEveryOtherGetsEnglish) {
  for (const char* name : {"zh_CN", "zh_TW", "zh_HK", "zh_SG", "zh-Hant-TW"}) {
    EXPECT_EQ(InterfaceLanguage::ForLocale(QLocale(name)), Language::Chinese) << name;
  }
  for (const char* name : {"en_US", "en_GB", "de_DE", "ja_JP", "C"}) {
    EXPECT_EQ(InterfaceLanguage::ForLocale(QLocale(name)), Language::English) << name;
  }
  EXPECT_EQ(InterfaceLanguage::FromName("zh"), Language::Chinese);
  EXPECT_EQ(InterfaceLanguage::FromName(" EN "), Language::English);
  for (const char* name : {"", "fr", "zh_CN", "english", "e"}) EXPECT_FALSE(InterfaceLanguage::FromName(name)) << name;
}

TEST(InterfaceLanguageTest, HelpPageAndTextsFollowTheLanguageAndAMissingTranslationLeavesChinese) {
  TempProgramFolder folder;
  QString error;
  ASSERT_TRUE(InterfaceLanguage::Use(Language::English, TAMBLIN_TRANSLATION_FOLDER, &error)) << error.toStdString();
  EXPECT_EQ(ProgramFolder::HelpPage(), folder.Path() + "/help.htm");
  EXPECT_EQ(RecordingController::CheckCaption(), "Notice");
  EXPECT_EQ(InterfaceLanguage::Iso639_2(), "eng") << "the language tags give the texts typed";

  EXPECT_FALSE(InterfaceLanguage::Use(Language::English, folder.Path(), &error));
  EXPECT_TRUE(error.contains(InterfaceLanguage::TranslationFile(folder.Path()))) << error.toStdString();
  EXPECT_EQ(InterfaceLanguage::Current(), Language::Chinese);
  EXPECT_EQ(ProgramFolder::HelpPage(), folder.Path() + "/bangzhu.htm");
  EXPECT_EQ(RecordingController::CheckCaption(), "提示");
  EXPECT_EQ(InterfaceLanguage::Iso639_2(), "zho");
}

// ---------------------------------------------------------------- every text of every window

constexpr int kTouch = 2;  // pixels

bool HasChinese(const QString& text) {
  for (const QChar ch : text) {
    const char16_t c = ch.unicode();
    // CJK ideographs, CJK punctuation, full-width forms.
    if ((c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3000 && c <= 0x303F) || (c >= 0xFF00 && c <= 0xFFEF)) return true;
  }
  return false;
}

// A push button's size hint, without the minimum width the style gives any
// text (80 px in Fusion), which a "..." button need not have: the text's width
// plus the margins the style adds to a text wider than that minimum.
QSize PushButtonNeed(const QPushButton& button) {
  QPushButton probe(QStringLiteral("XXXXXXXXXXXXXXXXXXXX"));
  probe.setFont(button.font());
  probe.setAutoDefault(button.autoDefault());
  probe.setDefault(button.isDefault());
  const auto textWidth = [](const QPushButton& b) {
    return b.fontMetrics().size(Qt::TextShowMnemonic, b.text()).width();
  };
  const int margins = probe.sizeHint().width() - textWidth(probe);
  return {std::min(button.sizeHint().width(), textWidth(button) + margins), button.sizeHint().height()};
}

// What a sibling shows in its parent: a slider its groove and handle, other widgets their whole box.
QRect ShownRect(QWidget* widget) {
  auto* slider = qobject_cast<QSlider*>(widget);
  if (slider == nullptr) return widget->geometry();
  QStyleOptionSlider option;
  option.initFrom(slider);
  option.orientation = slider->orientation();
  option.minimum = slider->minimum();
  option.maximum = slider->maximum();
  option.sliderPosition = slider->sliderPosition();
  option.sliderValue = slider->value();
  option.tickPosition = slider->tickPosition();
  option.tickInterval = slider->tickInterval();
  option.upsideDown = slider->invertedAppearance() != (slider->orientation() == Qt::Vertical);
  const QStyle* style = slider->style();
  const QRect shown = style->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, slider) |
                      style->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
  return shown.translated(slider->geometry().topLeft());
}

// Collects what is wrong with the texts of one window, each with the widget's name.
class TextAudit {
 public:
  explicit TextAudit(bool english) : english_(english) {}

  void Window(QWidget* window) {
    Text(window, "window title", window->windowTitle());
    for (QWidget* widget : window->findChildren<QWidget*>()) {
      if (widget->isVisibleTo(window)) Widget(widget);
    }
  }

  void Menu(const QMenu& menu) {
    for (const QAction* action : menu.actions()) {
      if (!action->isSeparator()) Text(&menu, "menu item " + action->objectName(), action->text());
    }
  }

  const QStringList& Problems() const { return problems_; }

 private:
  void Widget(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
      Text(widget, "label", label->text());
      Fits(widget, label->sizeHint());
      Uncovered(widget, QStyle::alignedRect(label->layoutDirection(), label->alignment(), label->sizeHint(),
                                            label->geometry()));
    } else if (auto* push = qobject_cast<QPushButton*>(widget)) {
      Text(widget, "button", push->text());
      Fits(widget, PushButtonNeed(*push));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      Text(widget, "button", button->text());
      Fits(widget, button->sizeHint());
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
      Text(widget, "group title", group->title());
      Fits(widget, group->minimumSizeHint());
    } else if (auto* tabs = qobject_cast<QTabBar*>(widget)) {
      for (int i = 0; i < tabs->count(); ++i) {
        Text(widget, "tab", tabs->tabText(i));
        if (tabs->tabRect(i).width() < tabs->fontMetrics().horizontalAdvance(tabs->tabText(i))) {
          Problem(widget, "tab clipped: " + tabs->tabText(i));
        }
      }
    } else if (auto* scale = qobject_cast<LevelScale*>(widget)) {
      Fits(widget, scale->minimumSizeHint());
    } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
      for (int i = 0; i < list->count(); ++i) Foreign(widget, list->item(i)->text());
    }
    if (!widget->toolTip().isEmpty()) Foreign(widget, widget->toolTip());
  }

  // A visible text: there, and in English free of Chinese.
  void Text(const QObject* owner, const QString& what, const QString& text) {
    if (text.trimmed().isEmpty()) Problem(owner, what + " is empty");
    Foreign(owner, text);
  }

  void Foreign(const QObject* owner, const QString& text) {
    if (english_ && HasChinese(text)) Problem(owner, "Chinese in English: " + text);
  }

  void Fits(QWidget* widget, QSize need) {
    if (need.width() > widget->width() || need.height() > widget->height()) {
      Problem(widget, QStringLiteral("clipped: needs %1x%2, has %3x%4")
                          .arg(need.width()).arg(need.height()).arg(widget->width()).arg(widget->height()));
    }
  }

  // The label's text must not lie under a sibling control.
  void Uncovered(QWidget* label, const QRect& textRect) {
    const QWidget* parent = label->parentWidget();
    if (parent == nullptr) return;
    for (QObject* child : parent->children()) {
      auto* sibling = qobject_cast<QWidget*>(child);
      if (sibling == nullptr || sibling == label || !sibling->isVisibleTo(parent) || sibling->isWindow()) continue;
      // Edges that touch by a pixel or two (a groove's end above a caption) are not covering.
      const QRect common = ShownRect(sibling) & textRect;
      if (common.width() > kTouch && common.height() > kTouch) Problem(label, "overlaps " + sibling->objectName());
    }
  }

  void Problem(const QObject* owner, const QString& text) {
    problems_ << owner->metaObject()->className() + QStringLiteral(" ") + owner->objectName() + ": " + text;
  }

  bool english_;
  QStringList problems_;
};

std::string Listed(const QStringList& problems) { return problems.join('\n').toStdString(); }

class InterfaceTextFitTest : public ::testing::TestWithParam<Language> {
 protected:
  void SetUp() override {
    QString error;
    ASSERT_TRUE(InterfaceLanguage::Use(GetParam(), TAMBLIN_TRANSLATION_FOLDER, &error)) << error.toStdString();
  }
  void TearDown() override { InterfaceLanguage::Use(Language::Chinese, {}); }

  bool English() const { return GetParam() == Language::English; }

  // The window's problems once it is laid out on the screen.
  QStringList Audit(QWidget* window) {
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    QCoreApplication::processEvents();
    TextAudit audit(English());
    audit.Window(window);
    return audit.Problems();
  }

  TempProgramFolder folder;
  RecordingMessages messages;
  ScriptedQuestions questions;
  StubFileDialog fileDialog;
  ScriptedChooser chooser;
};

TEST_P(InterfaceTextFitTest, MainWindowIdleRecordingAndPausedWithItsTrayMenu) {
  ASSERT_TRUE(EnsurePulseServer());
  PipeSourceFeeder feeder("tamblin_fit_" + std::to_string(::getpid()), 44100, 2, "Fit-Pipe");
  ASSERT_TRUE(feeder.Loaded());
  Form1 form(Form1::Services{&messages, &fileDialog, &chooser, true, &questions});
  form.Load();
  EXPECT_EQ(Listed(Audit(&form)), "") << "idle";
  form.findChild<QPushButton*>("cmdComputerSound")->click();  // its rows and level bars stay for the take
  ASSERT_TRUE(form.Engine().SecondInputChoice().Active());
  EXPECT_EQ(Listed(Audit(&form)), "") << "a second input chosen";
  RecordingSchedule::Plan waiting;
  waiting.start = RecordingSchedule::Plan::Start::After;
  waiting.startDelay = std::chrono::hours{23};
  form.Schedule().Apply(waiting, HandsFreeSettings{});
  EXPECT_EQ(Listed(Audit(&form)), "") << "a start waiting";
  form.Schedule().Cancel();

  auto* device = form.findChild<QComboBox*>("cboDev");
  const int index = device->findText(QString::fromStdString(feeder.Description()));
  ASSERT_GE(index, 0);
  device->setCurrentIndex(index);
  emit device->activated(index);
  feeder.FeedContinuously();
  form.findChild<QPushButton*>("cmdDo")->click();
  form.Engine().WaitUntilHandled();
  ASSERT_TRUE(form.Controller().IsRecording()) << (messages.shown.empty() ? "" : messages.shown.back().text);
  QTest::qWait(300);  // status texts of a running recording
  EXPECT_EQ(Listed(Audit(&form)), "") << "recording";
  form.findChild<QPushButton*>("cmdPause")->click();
  EXPECT_EQ(Listed(Audit(&form)), "") << "paused";

  auto* tray = form.findChild<TrayIcon*>();
  ASSERT_NE(tray, nullptr);
  TextAudit menu(English());
  menu.Menu(*tray->Menu());
  EXPECT_EQ(Listed(menu.Problems()), "") << "tray menu";
  form.findChild<QPushButton*>("cmdDo")->click();
  feeder.StopFeeding();
  form.Engine().WaitUntilHandled();
  QTest::qWait(100);  // the stop's loudness in its line
  EXPECT_EQ(Listed(Audit(&form)), "") << "stopped";
  // What the stop reports (input lost on a busy machine) is in the language too.
  for (const auto& shown : messages.shown) {
    EXPECT_EQ(English() && HasChinese(QString::fromStdString(shown.title + shown.text)), false) << shown.text;
  }
}

// The status bar with each panel at the widest text it holds, beside the
// schedule's countdown: during a recording with a stop coming, and between
// recordings with a start waiting, after a take that showed its widest texts.
TEST_P(InterfaceTextFitTest, StatusBarShowsTheCountdownBesideEveryPanelsWidestText) {
  ASSERT_TRUE(EnsurePulseServer());
  Form1 form(Form1::Services{&messages, &fileDialog, &chooser, false, &questions});
  form.Load();
  const auto text = [](const char* context, const char* source) { return QCoreApplication::translate(context, source); };
  const QString size = QString::fromStdString(StatusTexts::FormatSize(1073741823.0));
  RecordingMonitor::Snapshot pausedTake;
  pausedTake.capturing = pausedTake.paused = true;
  pausedTake.fileBytes = 1073741823;
  pausedTake.lengthMs = 36000000;
  pausedTake.lostCount = 9999;
  pausedTake.take = 99;
  const std::pair<const char*, QString> recording[] = {
      {"sbarPanel1", QString::fromStdString(StatusTexts::Size(pausedTake))},
      {"sbarPanel2", QString::fromStdString(StatusTexts::LengthWithHandsFree(pausedTake))},
      {"sbarPanel3", QString::fromStdString(StatusTexts::Lost(pausedTake))},
      {"sbarClips", MeterPanel::ClipsText({9999, 9999})},
  };
  auto* countdown = form.findChild<QLabel*>("sbarSchedule");
  ASSERT_NE(countdown, nullptr);
  auto* bar = form.findChild<QWidget*>("sbar");
  const auto auditCountdown = [&](const QString& caption, const char* when) {
    countdown->setText(caption);
    countdown->show();
    EXPECT_EQ(Listed(Audit(&form)), "") << when << ": " << caption.toStdString();
    // Panels wider than the window run past its edge, the countdown last.
    EXPECT_LE(bar->width(), form.width()) << when << ": " << caption.toStdString();
  };

  auto* ticks = form.findChild<QTimer*>("tmrVis");
  ticks->stop();  // the idle texts stay away
  for (const auto& [name, widest] : recording) form.findChild<SteadyLabel*>(name)->Show(widest);
  auditCountdown(text("ScheduleKeeper", "定时: %1 后停止录音").arg("23:59:59"), "recording");
  auditCountdown(text("ScheduleKeeper", "定时: 文件达到 %1 时停止录音").arg(size), "recording");

  auto* sizePanel = form.findChild<SteadyLabel*>("sbarPanel1");
  sizePanel->Show(text("Form1", "正在完成文件, 还有 %1 秒的录音待写入…").arg(60));
  ticks->start();
  ASSERT_TRUE(WaitFor([&] { return sizePanel->text() == text("StatusTexts", "文件大小: %1").arg("0 Bytes"); }));
  auditCountdown(text("ScheduleKeeper", "定时: %1 后开始录音").arg("23:59:59"), "after a take");
}

TEST_P(InterfaceTextFitTest, EffectsDialogOnEveryPage) {
  clsDSP dsp;
  frmFXOpts dialog;
  dialog.Load(dsp);
  auto* strip = dialog.findChild<QTabBar*>("strip");
  ASSERT_NE(strip, nullptr);
  for (int page = 0; page < strip->count(); ++page) {
    strip->setCurrentIndex(page);
    EXPECT_EQ(Listed(Audit(&dialog)), "") << "page " << page;
  }
}

TEST_P(InterfaceTextFitTest, ScheduleDialogWithEveryChoiceEnabled) {
  frmSchedule dialog;
  RecordingSchedule::Plan plan;
  plan.start = RecordingSchedule::Plan::Start::After;
  plan.startDelay = std::chrono::hours{23};
  plan.stop = RecordingSchedule::Plan::Stop::Size;
  plan.stopBytes = int64_t{1} << 40;
  HandsFreeSettings handsFree;
  handsFree.sound.enabled = true;
  handsFree.sound.afterSilence = SoundActivation::AfterSilence::NewFile;
  handsFree.splitMinutes = 1440;
  dialog.Load(plan, handsFree, true);
  EXPECT_EQ(Listed(Audit(&dialog)), "");
}

// Before a recording (the start disabled, its hint shown) and after one; every
// field has a spoken name in the language.
TEST_P(InterfaceTextFitTest, TakeTagsDialogBeforeAndAfterARecording) {
  frmTakeTags dialog;
  dialog.LoadNext({});
  EXPECT_EQ(Listed(Audit(&dialog)), "") << "before";
  for (const char* field : {"txtTitle", "dtpStart", "txtSoftware", "txtComment"}) {
    const QString name = dialog.findChild<QWidget*>(field)->accessibleName();
    EXPECT_FALSE(name.isEmpty() || (English() && HasChinese(name))) << field << ": " << name.toStdString();
  }
  TakeMetadata tags;
  tags.title = std::string(60, 'x');
  tags.comment = "排练";
  dialog.LoadTake("interview 12.flac", tags);  // a file name is the user's, not the interface's
  EXPECT_EQ(Listed(Audit(&dialog)), "") << "after";
}

TEST_P(InterfaceTextFitTest, AboutFormatChooserAndSettingChooser) {
  About::ShowInstance();
  ASSERT_NE(About::Instance(), nullptr);
  EXPECT_EQ(Listed(Audit(About::Instance())), "");
  About::Instance()->close();

  FormatChooserDialog formats;
  formats.Fill(EncoderWAV::MakePCMFormat(22050, 1, 16), QCoreApplication::translate("OutputChooser", "选择声音输出格式").toStdString());
  EXPECT_EQ(Listed(Audit(&formats)), "");

  SettingChooserDialog settings;
  EncoderFLAC flac;
  settings.Fill(flac.SettingChoices(), 5, QCoreApplication::translate("OutputChooser", "选择声音输出格式").toStdString());
  EXPECT_EQ(Listed(Audit(&settings)), "");
}

// What a screen reader hears: every control that takes the focus, and every
// picture, has a name in the interface language; the level meters tell their
// reading; Tab reaches every control.
TEST_P(InterfaceTextFitTest, EveryControlHasAnAccessibleNameAndTheMetersTellTheirReading) {
  ASSERT_TRUE(EnsurePulseServer());
  Form1 form(Form1::Services{&messages, &fileDialog, &chooser, false, &questions});
  form.Load();
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  form.findChild<QPushButton*>("cmdComputerSound")->click();  // the second input's controls and bars too
  ASSERT_TRUE(form.findChild<QWidget*>("pnlSecondInput")->isVisible());
  QStringList unnamed;
  QList<QWidget*> controls;
  for (QWidget* widget : form.findChildren<QWidget*>()) {
    const bool control = (widget->focusPolicy() & Qt::TabFocus) != 0 || qobject_cast<PictureView*>(widget) != nullptr;
    if (!control || !widget->isVisibleTo(&form)) continue;
    if ((widget->focusPolicy() & Qt::TabFocus) != 0) controls << widget;
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    const QString name = accessible ? accessible->text(QAccessible::Name) : QString();
    if (name.trimmed().isEmpty() || (English() && HasChinese(name))) {
      unnamed << widget->metaObject()->className() + QStringLiteral(" ") + widget->objectName() + ": '" + name + "'";
    }
  }
  EXPECT_EQ(Listed(unnamed), "");
  EXPECT_GT(controls.size(), 20);

  auto* meter = form.findChild<LevelMeterView*>("picVUL");
  ASSERT_NE(meter, nullptr);
  meter->Reading(0.25f, true);
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(meter);
  ASSERT_NE(accessible, nullptr);
  const QString minus(QChar(0x2212));
  EXPECT_EQ(accessible->text(QAccessible::Name), English() ? "Left level" : "左声道电平");
  EXPECT_EQ(accessible->text(QAccessible::Value), minus + (English() ? "12 dB, clipped" : "12 dB, 已削波"));

  // Tab from the first control reaches every enabled one.
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  form.findChild<QWidget*>("cboDev")->setFocus();
  QList<QWidget*> reached;
  for (int press = 0; press < 2 * controls.size(); ++press) {
    reached << QApplication::focusWidget();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  for (QWidget* control : controls) {
    const bool found = std::any_of(reached.begin(), reached.end(), [&](QWidget* at) {
      return at != nullptr && (at == control || control->isAncestorOf(at) || at->isAncestorOf(control));
    });
    EXPECT_TRUE(found || !control->isEnabled()) << control->objectName().toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, InterfaceTextFitTest, ::testing::Values(Language::Chinese, Language::English),
                         [](const auto& info) { return info.param == Language::English ? "English" : "Chinese"; });

}  // namespace
