// Saves pictures of the four effects dialog pages, the About window and the
// output format chooser:
//   app_dialogs_screenshots <folder> [equalizer bands, 1..10] [zh|en]
// writes fxopts-echo.png, fxopts-shift.png, fxopts-eq.png, fxopts-ampl.png,
// about.png, format-chooser.png, schedule.png and take-tags.png. Meant for a real X server (Xvfb) so fonts render as users see them.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabBar>
#include <cstdio>
#include <cstdlib>

#include "app/windows/About.h"
#include "app/windows/AppFont.h"
#include "app/windows/FormatChooserDialog.h"
#include "app/platform/InterfaceLanguage.h"
#include "app/windows/frmFXOpts.h"
#include "app/handsfree/frmSchedule.h"
#include "app/review/frmTakeTags.h"
#include "effects/clsDSP.h"
#include "encoding/EncoderWAV.h"

namespace {

bool Save(QWidget* widget, const QDir& folder, const char* name) {
  QApplication::processEvents();
  const QString path = folder.filePath(QString::fromLatin1(name));
  if (!widget->grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  AppFont::UseCjkFont(app);  // as the program does
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!folder.exists()) QDir().mkpath(folder.path());

  clsDSP dsp;
  dsp.samplerate(44100);
  dsp.Channels(2);
  if (argc > 2) dsp.EqualizerBands(std::atoi(argv[2]));
  const auto language = InterfaceLanguage::FromName(argc > 3 ? argv[3] : "zh");
  if (QString error; !language || !InterfaceLanguage::Use(*language, TAMBLIN_TRANSLATION_FOLDER, &error)) {
    std::fprintf(stderr, "language %s: %s\n", argc > 3 ? argv[3] : "zh", language ? qPrintable(error) : "zh or en");
    return 2;
  }
  // A shaped curve shows the gradient better than a flat one.
  const float gains[] = {6, 9, 3, 0, -4, -8, 2, 5, -2, 7};
  for (int i = 0; i < dsp.EqualizerBands(); ++i) dsp.EqualizerBandGainDB(i, gains[i]);

  frmFXOpts dialog;
  dialog.Load(dsp);
  dialog.show();
  auto* strip = dialog.findChild<QTabBar*>(QStringLiteral("strip"));
  const char* names[] = {"fxopts-echo.png", "fxopts-shift.png", "fxopts-eq.png", "fxopts-ampl.png"};
  bool ok = true;
  for (int i = 0; i < 4; ++i) {
    strip->setCurrentIndex(i);
    ok = Save(&dialog, folder, names[i]) && ok;
  }
  dialog.hide();

  About::ShowInstance();
  ok = Save(About::Instance(), folder, "about.png") && ok;

  FormatChooserDialog chooser;
  chooser.Fill(EncoderWAV::MakePCMFormat(44100, 2, 16),
               QCoreApplication::translate("OutputChooser", "选择声音输出格式").toStdString());
  chooser.show();
  ok = Save(&chooser, folder, "format-chooser.png") && ok;

  frmSchedule schedule;
  RecordingSchedule::Plan plan;
  plan.start = RecordingSchedule::Plan::Start::After;
  plan.startDelay = std::chrono::minutes{90};
  plan.stop = RecordingSchedule::Plan::Stop::After;
  plan.stopAfter = std::chrono::minutes{45};
  HandsFreeSettings handsFree;
  handsFree.sound.enabled = true;
  schedule.Load(plan, handsFree, true);
  schedule.show();
  ok = Save(&schedule, folder, "schedule.png") && ok;

  frmTakeTags tags;
  TakeMetadata take{.title = "第三讲 采样与量化", .start = std::chrono::system_clock::now(), .comment = "教室 203"};
  tags.LoadTake(QStringLiteral("录音12.flac"), take);
  tags.show();
  ok = Save(&tags, folder, "take-tags.png") && ok;
  return ok ? 0 : 1;
}
