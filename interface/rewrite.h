// rewrite.h: the one way this program rewrites a file (the access file): the
// new bytes go to a temporary file beside it, which is then renamed over it.
// Tested by rewrite_test.cc.
#pragma once

#include <string>

// Replaces the file at path with bytes. A reader at the same moment sees the
// old content or the new, never a part; when writing fails the old file stays
// as it was and no temporary file is left. Whether the file was replaced.
bool RewriteFile(const std::string& path, const std::string& bytes);
