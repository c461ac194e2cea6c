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
};
