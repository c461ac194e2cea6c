// Form1Fixture: a main window with recording and scripted services in a
// temporary program folder, made anew by Restart (a program's restart: the
// closing window saves its choices), and its controls found and chosen by name.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <memory>

#include "TestDoubles.h"
#include "app/windows/Form1.h"

// The child of `window` named `name`; a failure when there is none.
template <typename T>
T* FindNamed(const QWidget& window, const char* name) {
  T* widget = window.findChild<T*>(name);
  EXPECT_NE(widget, nullptr) << name;
  return widget;
}

class Form1Fixture : public ::testing::Test {
 protected:
  // Closes the window there is (its choices are saved) and starts a new one.
  void Restart() {
    form.reset();
    form = std::make_unique<Form1>(Form1::Services{&messages, &fileDialog, &chooser, false, &questions, &settings});
    form->Load();
  }
  template <typename T>
  T* Find(const char* name) const {
    return FindNamed<T>(*form, name);
  }
  // Item `index` of the box, as the user's choice.
  void Choose(const char* box, int index) {
    auto* combo = Find<QComboBox>(box);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
  }

  TempProgramFolder folder;
  RecordingMessages messages;
  ScriptedQuestions questions;
  StubFileDialog fileDialog;
  ScriptedChooser chooser;
  ScriptedSettingChooser settings;
  std::unique_ptr<Form1> form;
};
