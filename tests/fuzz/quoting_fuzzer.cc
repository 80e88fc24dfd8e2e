// The quoting of a path for /bin/sh, checked by reading it back the way sh
// reads a double-quoted word: the path must come back unchanged, and
// nothing in it may be left for the shell to expand.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "worker/worker.h"

namespace {

// Returns false when the word is not one double-quoted string whose inside
// sh takes literally.
bool ReadDoubleQuoted(const std::string& word, std::string* value) {
  if (word.size() < 2 || word.front() != '"' || word.back() != '"') return false;
  value->clear();
  for (std::size_t i = 1; i + 1 < word.size(); ++i) {
    const char c = word[i];
    if (c == '\\' && i + 2 < word.size()) {
      const char next = word[i + 1];
      if (next == '$' || next == '`' || next == '"' || next == '\\' || next == '\n') {
        if (next != '\n') *value += next;  // backslash-newline is a line continuation
        ++i;
        continue;
      }
      *value += c;
    } else if (c == '$' || c == '`' || c == '"' || c == '\\') {
      return false;  // expansion, command substitution, or an early end of the quotes
    } else {
      *value += c;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path(reinterpret_cast<const char*>(data), size);
  if (path.find('\0') != std::string::npos) return 0;  // no path holds NUL
  std::string value;
  if (!ReadDoubleQuoted(platform::QuoteForInterpreter(path), &value) || value != path) std::abort();
  // The command line is the fixed words, then that quoted path.
  const std::string line = ToolCommandLine(ToolArguments(2, path));
  const std::string quoted = platform::QuoteForInterpreter(path);
  if (line.size() < quoted.size() || line.compare(line.size() - quoted.size(), quoted.size(), quoted) != 0) {
    std::abort();
  }
  return 0;
}
