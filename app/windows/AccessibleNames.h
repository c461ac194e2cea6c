// AccessibleNames: the names a screen reader speaks for the main window's
// controls that show no caption of their own (lists, boxes, the slider, the
// "..." buttons, the pictures), in the interface language.
#pragma once

#include <QCoreApplication>

class QWidget;

class AccessibleNames {
  Q_DECLARE_TR_FUNCTIONS(AccessibleNames)

 public:
  // Names every such control found among `window`'s children by its objectName.
  static void Apply(QWidget& window);
  // A caption as a spoken name: "长度 (毫秒):" is "长度 (毫秒)".
  static QString FromCaption(const QString& caption);
  // Names `control` after the caption `label` beside it, which becomes its label.
  static void NameAfter(QWidget& control, class QLabel& label);
};
