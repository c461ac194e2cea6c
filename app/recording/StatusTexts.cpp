#include "app/recording/StatusTexts.h"

#include <cmath>

namespace {

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

// Whole number rounded half to even, with exactly one decimal: 1023.95 -> "1024.0".
std::string OneDecimal(double value) {
  const auto tenths = static_cast<int64_t>(std::nearbyint(value * 10.0));
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

}  // namespace

std::string StatusTexts::Size(const RecordingMonitor::Snapshot& shown) {
  if (!shown.capturing) return ToUtf8(tr("文件大小: %1").arg("0 Bytes"));
  return ToUtf8(tr("文件大小: %1").arg(Q(FormatSize(static_cast<double>(shown.fileBytes)))));
}

std::string StatusTexts::Length(const RecordingMonitor::Snapshot& shown) {
  if (!shown.capturing) return ToUtf8(tr("长度: %1").arg("0:00"));
  const QString length = Q(FormatLength(shown.lengthMs));
  return ToUtf8(shown.paused ? tr("长度: %1 (已暂停)").arg(length) : tr("长度: %1").arg(length));
}

std::string StatusTexts::LengthWithHandsFree(const RecordingMonitor::Snapshot& shown) {
  const std::string length = Length(shown);
  if (shown.waitingForSound) return length + "  " + ToUtf8(tr("等待声音…"));
  if (shown.take > 0) return length + "  " + ToUtf8(tr("第 %1 段").arg(shown.take));
  return length;
}

std::string StatusTexts::Lost(const RecordingMonitor::Snapshot& shown) {
  return ToUtf8(tr("输入丢失: %1").arg(shown.capturing ? shown.lostCount : 0));
}

std::string StatusTexts::FormatSize(double S) {
  if (S < 0) return {};
  if (S <= 1023) return std::to_string(static_cast<int64_t>(S)) + " bytes";
  if (S <= 1048575) return std::to_string(static_cast<int64_t>(std::nearbyint(S / 1024))) + " KB";
  if (S <= 1073741823) return OneDecimal(S / 1048576) + " MB";
  return OneDecimal(S / 1073741824) + " GB";
}

std::string StatusTexts::FormatLength(int32_t ms) {
  const auto s = static_cast<int64_t>(std::nearbyint(ms / 1000.0));
  const int64_t r = s % 60;
  return std::to_string(s / 60) + ":" + (r < 10 && r > -10 ? "0" : "") + std::to_string(r);
}
