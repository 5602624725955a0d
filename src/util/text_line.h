// Reading configuration files line by line.
//
// Thread safety: touches only its arguments.
#pragma once

#include <cstdio>
#include <string>

namespace fh {

// Reads the next line of stream into line, of any length, without its line
// end (LF or CRLF). false at the end of the stream with nothing read (line is
// then empty); a last line without a line end still counts. Throws
// std::bad_alloc when memory runs out.
bool ReadTextLine(std::FILE* stream, std::string& line);

}  // namespace fh
