// AppFont: picks one CJK-capable font family for the whole program, so Latin and
// Chinese text share metrics instead of mixing a Latin face with a fallback.
#pragma once

class QApplication;

class AppFont {
 public:
  // Keeps the platform's point size; does nothing when no such family is installed.
  static void UseCjkFont(QApplication& app);
};
