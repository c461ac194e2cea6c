#include "tagging/LabelFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "common/FileTypes.h"
#include "tagging/AtomicReplacement.h"
#include "tagging/MetadataTexts.h"

namespace {

bool IsSeconds(std::string_view field) {
  const size_t dot = field.find('.');
  return dot != std::string_view::npos && dot > 0 && field.size() - dot - 1 == 6 &&
         std::all_of(field.begin(), field.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; }) &&
         field.find('.', dot + 1) == std::string_view::npos;
}

bool IsLabelLine(std::string_view line) {
  const size_t first = line.find('\t');
  if (first == std::string_view::npos) return false;
  const size_t second = line.find('\t', first + 1);
  return second != std::string_view::npos && IsSeconds(line.substr(0, first)) &&
         IsSeconds(line.substr(first + 1, second - first - 1)) &&
         line.find('\t', second + 1) == std::string_view::npos;
}

// The existing file at `path` is missing or a label file (read at most kMaxExistingBytes).
std::string ExistingIsReplaceable(const std::string& path) {
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!file.valid()) return errno == ENOENT ? "" : FileDescriptor::SystemError("open");
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) return FileDescriptor::SystemError("fstat");
  if (!S_ISREG(status.st_mode) || status.st_size > LabelFile::kMaxExistingBytes) return "a file of another kind is there";
  std::string text(static_cast<size_t>(status.st_size), '\0');
  if (::pread(file.get(), text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
    return FileDescriptor::SystemError("read");
  }
  return LabelFile::IsLabelText(text) ? "" : "a file of another kind is there";
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Anything under the name of a recording of another type with the same stem,
// which may own "<stem>.txt".
bool AnotherTypeBeside(const std::filesystem::path& recording) {
  const std::string own = Lower(recording.extension().string());
  for (const FileTypes::Row& type : FileTypes::kRows) {
    const std::string extension = std::string(".") + type.extension;
    if (own == extension) continue;
    struct stat status {};
    if (::lstat(std::filesystem::path(recording).replace_extension(extension).c_str(), &status) == 0) return true;
  }
  return false;
}

}  // namespace

std::string LabelFile::PathFor(const std::string& recording) {
  const std::filesystem::path path(recording);
  if (AnotherTypeBeside(path)) return recording + ".txt";
  return std::filesystem::path(path).replace_extension(".txt").string();
}

std::string LabelFile::Text(const std::vector<TakeMetadata::Marker>& markers, int32_t rate) {
  std::string text;
  for (const auto& marker : markers) {
    std::string name = marker.name;
    std::replace_if(name.begin(), name.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    const std::string at = MetadataTexts::LabelSeconds(marker.frame, rate);
    text += at + '\t' + at + '\t' + name + '\n';
  }
  return text;
}

bool LabelFile::IsLabelText(std::string_view text) {
  if (text.empty() || text.back() != '\n') return false;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\n', start);
    if (!IsLabelLine(text.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

std::string LabelFile::Write(const std::string& recording, const std::vector<TakeMetadata::Marker>& markers,
                             int32_t rate) {
  const std::string path = PathFor(recording);
  if (std::string refused = ExistingIsReplaceable(path); !refused.empty()) return path + ": " + refused;
  AtomicReplacement file;
  if (std::string error = file.OpenEmpty(path); !error.empty()) return path + ": " + error;
  const std::string text = Text(markers, rate);
  if (!FileDescriptor::WriteAll(file.fd(), text.data(), text.size(), 0)) {
    return path + ": " + FileDescriptor::SystemError("write");
  }
  if (std::string error = file.Commit(); !error.empty()) return path + ": " + error;
  return {};
}
