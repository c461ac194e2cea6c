// CodecLibraryError: a codec-library failure in words, "<call>: <the library's
// text for the error code>", so messages keep the library's own cause.
#pragma once

#include <string>

class CodecLibraryError {
 public:
  static std::string Text(const std::string& call, int code);
};
