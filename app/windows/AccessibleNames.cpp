#include "app/windows/AccessibleNames.h"

#include <QComboBox>
#include <QLineEdit>
#include <QWidget>

namespace {

struct Named {
  const char* objectName;
  const char* name;
};

constexpr Named kNames[] = {
    {"cboDev", QT_TRANSLATE_NOOP("AccessibleNames", "输入设备")},
    {"cboRecLine", QT_TRANSLATE_NOOP("AccessibleNames", "输入线路")},
    {"sldVol", QT_TRANSLATE_NOOP("AccessibleNames", "录音音量")},
    {"txtFile", QT_TRANSLATE_NOOP("AccessibleNames", "输出文件")},
    {"cmdBrowse", QT_TRANSLATE_NOOP("AccessibleNames", "选择输出文件")},
    {"txtWAVFmt", QT_TRANSLATE_NOOP("AccessibleNames", "输出格式")},
    {"cmdSelFmt", QT_TRANSLATE_NOOP("AccessibleNames", "选择输出格式")},
    {"cboSamplerate", QT_TRANSLATE_NOOP("AccessibleNames", "取样率")},
    {"cboFileType", QT_TRANSLATE_NOOP("AccessibleNames", "文件类型")},
    {"picAmpl", QT_TRANSLATE_NOOP("AccessibleNames", "波形")},
    {"picFreq", QT_TRANSLATE_NOOP("AccessibleNames", "频谱")},
    {"sldPlayPosition", QT_TRANSLATE_NOOP("AccessibleNames", "播放位置")},
};

}  // namespace

void AccessibleNames::Apply(QWidget& window) {
  for (const Named& named : kNames) {
    auto* widget = window.findChild<QWidget*>(named.objectName);
    if (widget == nullptr) continue;
    const QString name = tr(named.name);
    widget->setAccessibleName(name);
    // An editable box's text field takes the focus itself.
    if (auto* box = qobject_cast<QComboBox*>(widget); box && box->lineEdit()) box->lineEdit()->setAccessibleName(name);
  }
}
