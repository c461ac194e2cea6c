#include "common/FileTypes.h"

#include <cctype>
#include <stdexcept>

namespace {
bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}
}  // namespace

const FileTypes::Row& FileTypes::Of(FileType type) {
  if (type < 0 || type >= kCount) throw std::out_of_range("file type " + std::to_string(type));
  return kRows[static_cast<size_t>(type)];
}

std::optional<FileTypes::FileType> FileTypes::Named(std::string_view name) {
  for (const Row& row : kRows) {
    if (name == row.name) return row.type;
  }
  return std::nullopt;
}

std::optional<FileTypes::FileType> FileTypes::OfPath(std::string_view path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) return std::nullopt;
  return OfExtension(path.substr(dot + 1));
}

std::optional<FileTypes::FileType> FileTypes::OfExtension(std::string_view extension) {
  for (const Row& row : kRows) {
    if (SameIgnoringCase(extension, row.extension)) return row.type;
  }
  return std::nullopt;
}

std::string FileTypes::Names(std::string_view separator) {
  std::string names;
  for (const Row& row : kRows) {
    if (!names.empty()) names += separator;
    names += row.name;
  }
  return names;
}
