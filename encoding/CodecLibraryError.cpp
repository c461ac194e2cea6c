#include "encoding/CodecLibraryError.h"

extern "C" {
#include <libavutil/error.h>
}

std::string CodecLibraryError::Text(const std::string& call, int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return call + ": " + text;
}
