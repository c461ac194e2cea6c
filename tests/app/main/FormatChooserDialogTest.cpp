// FormatChooserDialog over the real catalogue: lists per family, OK returns the
// selected format's bytes and names, Cancel returns nothing.
#include "app/windows/FormatChooserDialog.h"

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <ranges>

#include "encoding/EncoderWAV.h"
#include "encoding/FormatCatalogue.h"

namespace {

WAVEFORMATEX Pcm(int32_t rate, int16_t channels) { return EncoderWAV::MakePCMFormat(rate, channels, 16); }

QPushButton* Button(FormatChooserDialog& dialog, QDialogButtonBox::StandardButton which) {
  return dialog.findChild<QDialogButtonBox*>()->button(which);
}

TEST(FormatChooserDialog, ListsTheCatalogueFamilyByFamily) {
  FormatChooserDialog dialog;
  dialog.Fill(Pcm(22050, 1), "选择声音输出格式");
  EXPECT_EQ(dialog.windowTitle(), "选择声音输出格式");
  auto* families = dialog.findChild<QListWidget*>("lstFamily");
  auto* formats = dialog.findChild<QListWidget*>("lstFormat");
  const std::vector<std::string> expectedFamilies = FormatCatalogue::Families(22050, 1);
  ASSERT_EQ(families->count(), static_cast<int>(expectedFamilies.size()));
  ASSERT_GT(families->count(), 1);
  const std::vector<FormatEntry> all = FormatCatalogue::List(22050, 1);
  size_t listed = 0;
  for (int row = 0; row < families->count(); ++row) {
    families->setCurrentRow(row);
    EXPECT_EQ(families->item(row)->text().toStdString(), expectedFamilies[row]);
    ASSERT_GT(formats->count(), 0) << expectedFamilies[row];
    for (int f = 0; f < formats->count(); ++f) {
      formats->setCurrentRow(f);
      const std::optional<FormatEntry> chosen = dialog.Selected();
      ASSERT_TRUE(chosen);
      EXPECT_EQ(chosen->FormatTag, expectedFamilies[row]);
      EXPECT_EQ(chosen->FormatID, formats->item(f)->text().toStdString());
      // Rows follow the catalogue's order within the family.
      auto inFamily = all | std::views::filter([&](const FormatEntry& e) { return e.FormatTag == chosen->FormatTag; });
      const FormatEntry& expected = *std::ranges::next(inFamily.begin(), f);
      EXPECT_EQ(chosen->format, expected.format);
      EXPECT_EQ(chosen->FormatID, expected.FormatID);
      ++listed;
    }
  }
  EXPECT_EQ(listed, all.size()) << "every catalogue entry appears under its family";
}

TEST(FormatChooserDialog, OpensOnTheRecordingsOwnFormat) {
  FormatChooserDialog dialog;
  for (const auto& [rate, channels] : {std::pair<int32_t, int16_t>{22050, 1}, {44100, 2}, {8000, 1}}) {
    dialog.Fill(Pcm(rate, channels), "选择声音输出格式");
    const std::optional<FormatEntry> selected = dialog.Selected();
    ASSERT_TRUE(selected) << rate;
    EXPECT_EQ(selected->FormatTag, "PCM");
    EXPECT_EQ(selected->format, Pcm(rate, channels).ToBytes()) << rate << " Hz, " << channels << " channels";
  }
}

TEST(FormatChooserDialog, OkTakesTheSelectionAndCancelNothing) {
  FormatChooserDialog dialog;
  QTimer::singleShot(0, &dialog, [&] {
    auto* families = dialog.findChild<QListWidget*>("lstFamily");
    families->setCurrentRow(families->count() - 1);
    Button(dialog, QDialogButtonBox::Ok)->click();
  });
  const std::optional<FormatEntry> chosen = dialog.Choose(Pcm(44100, 2), "选择声音输出格式");
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->FormatTag, FormatCatalogue::Families(44100, 2).back());
  EXPECT_GE(chosen->format.size(), 18u);

  QTimer::singleShot(0, &dialog, [&] { Button(dialog, QDialogButtonBox::Cancel)->click(); });
  EXPECT_FALSE(dialog.Choose(Pcm(44100, 2), "选择声音输出格式"));
}

}  // namespace
