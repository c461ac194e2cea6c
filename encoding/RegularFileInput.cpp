#include "encoding/RegularFileInput.h"

std::string RegularFileInput::Open(const std::string& path) {
  switch (file_.Open(path)) {
    case RepairTarget::OpenResult::Opened: return {};
    case RepairTarget::OpenResult::NotAFile: return file_.Error().empty() ? "not a regular file" : file_.Error();
    case RepairTarget::OpenResult::Failed: break;
  }
  return file_.Error();
}

std::string RegularFileInput::DemuxerUrl() const { return "file:/proc/self/fd/" + std::to_string(file_.fd()); }
