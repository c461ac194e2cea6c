// TargetRules: how opening an output file treats a path that already exists.
// The defaults replace whatever is there, as a save after "replace it?" does;
// the recording controller narrows them for files the user did not confirm.
#pragma once

struct TargetRules {
  // false: a regular file that already holds bytes is left untouched and the
  // open is refused as "holds data".
  bool replaceData = true;
  // false: a symbolic link is not followed; it counts as taken, like a file
  // that holds data (a numbered file is ours only as a plain file).
  bool followLinks = true;
};
