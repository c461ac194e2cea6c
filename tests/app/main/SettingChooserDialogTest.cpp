// SettingChooserDialog: lists a type's choices, starts on the setting in use,
// and answers with the value of the selected row (none when nothing is selected).
#include "app/windows/SettingChooserDialog.h"

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>

namespace {

const std::vector<EncoderSetting> kChoices = {{64, "64 kbit/s CBR"}, {128, "128 kbit/s CBR"}, {192, "192 kbit/s CBR"}};

TEST(SettingChooserDialogTest, StartsOnTheSettingInUseAndAnswersTheSelectedValue) {
  SettingChooserDialog dialog;
  dialog.Fill(kChoices, 128, "选择声音输出格式");
  EXPECT_EQ(dialog.windowTitle(), "选择声音输出格式");
  auto* list = dialog.findChild<QListWidget*>("lstSetting");
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->count(), 3);
  EXPECT_EQ(list->item(2)->text(), "192 kbit/s CBR");
  EXPECT_EQ(list->currentRow(), 1);
  EXPECT_EQ(dialog.Selected(), 128);
  list->setCurrentRow(2);
  EXPECT_EQ(dialog.Selected(), 192);

  // A current value that is no choice selects nothing: OK cannot answer.
  dialog.Fill(kChoices, 7, "t");
  EXPECT_EQ(dialog.Selected(), std::nullopt);
  const auto* buttons = dialog.findChild<QDialogButtonBox*>();
  EXPECT_FALSE(buttons->button(QDialogButtonBox::Ok)->isEnabled());
  EXPECT_EQ(buttons->button(QDialogButtonBox::Ok)->text(), "确定");
}

}  // namespace
