#include "app/windows/AccessibleNames.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>


namespace {

struct Named {
  const char* objectName;
  const char* name;
  const char* label = nullptr;  // the caption beside it, announced as its label
};

constexpr Named kNames[] = {
    {"cboDev", QT_TRANSLATE_NOOP("AccessibleNames", "输入设备"), "lblDev"},
    {"cboRecLine", QT_TRANSLATE_NOOP("AccessibleNames", "输入线路"), "lblLine"},
    {"sldVol", QT_TRANSLATE_NOOP("AccessibleNames", "录音音量"), "lblVol"},
    {"spnPreRecord", QT_TRANSLATE_NOOP("AccessibleNames", "预录秒数"), "lblPreRecord"},
    {"cboDev2", QT_TRANSLATE_NOOP("AccessibleNames", "第二输入设备"), "lblDev2"},
    {"spnGain1", QT_TRANSLATE_NOOP("AccessibleNames", "第一输入的增益"), "lblGain1"},
    {"spnGain2", QT_TRANSLATE_NOOP("AccessibleNames", "第二输入的增益"), "lblGain2"},
    {"cboTracks", QT_TRANSLATE_NOOP("AccessibleNames", "轨道"), "lblTracks"},
    {"txtFile", QT_TRANSLATE_NOOP("AccessibleNames", "输出文件"), "lblFile"},
    {"cmdBrowse", QT_TRANSLATE_NOOP("AccessibleNames", "选择输出文件")},
    {"txtWAVFmt", QT_TRANSLATE_NOOP("AccessibleNames", "输出格式"), "lblWAVFmt"},
    {"cmdSelFmt", QT_TRANSLATE_NOOP("AccessibleNames", "选择输出格式")},
    {"cboSamplerate", QT_TRANSLATE_NOOP("AccessibleNames", "取样率"), "lblSamplerate"},
    {"cboFileType", QT_TRANSLATE_NOOP("AccessibleNames", "文件类型"), "lblFileType"},
    {"picAmpl", QT_TRANSLATE_NOOP("AccessibleNames", "波形")},
    {"picFreq", QT_TRANSLATE_NOOP("AccessibleNames", "频谱")},
    {"sldPlayPosition", QT_TRANSLATE_NOOP("AccessibleNames", "播放位置")},
    {"picTakeOverview", QT_TRANSLATE_NOOP("AccessibleNames", "录音概览")},
    {"sbar", QT_TRANSLATE_NOOP("AccessibleNames", "状态栏")},
};

}  // namespace

void AccessibleNames::Apply(QWidget& window) {
  for (const Named& named : kNames) {
    auto* widget = window.findChild<QWidget*>(named.objectName);
    if (widget == nullptr) continue;
    const QString name = tr(named.name);
    widget->setAccessibleName(name);
    // An editable box's or a spin box's text field takes the focus itself.
    if (auto* box = qobject_cast<QComboBox*>(widget); box && box->lineEdit()) box->lineEdit()->setAccessibleName(name);
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(widget)) {
      if (auto* edit = spin->findChild<QLineEdit*>()) edit->setAccessibleName(name);
    }
    if (named.label == nullptr) continue;
    if (auto* label = window.findChild<QLabel*>(named.label)) label->setBuddy(widget);
  }
}

QString AccessibleNames::FromCaption(const QString& caption) {
  QString name = caption.trimmed();
  while (name.endsWith(':') || name.endsWith(QChar(0xFF1A))) name.chop(1);  // ASCII or full-width colon
  return name.trimmed();
}

void AccessibleNames::NameAfter(QWidget& control, QLabel& label) {
  control.setAccessibleName(FromCaption(label.text()));
  label.setBuddy(&control);
}
