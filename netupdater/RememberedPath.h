#pragma once

#include <string>

// The download path kept between runs: the path's 8-bit bytes alone, with no terminator or
// line end. Only the first 1000 bytes of the file count.
std::string ReadRememberedPath(const std::string& file);

// Creates or empties `file` and writes `path` into it; a file that cannot be written is
// quietly left as it is.
void WriteRememberedPath(const std::string& file, const std::string& path);
