#include "util/text_line.h"

namespace fh {

bool ReadTextLine(std::FILE* stream, std::string& line) {
  line.clear();
  int c = std::fgetc(stream);
  if (c == EOF) return false;
  while (c != EOF && c != '\n') {
    line.push_back(static_cast<char>(c));
    c = std::fgetc(stream);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

}  // namespace fh
