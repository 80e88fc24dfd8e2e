// The text rules every platform shares: wildcard matching for the directory
// search, the report name of a path, and command-line quoting for programs
// that split their command line themselves.
#include <algorithm>

#include "platform/platform.h"

namespace platform {
namespace {

// The longest report name, as the longest file name component.
constexpr std::size_t kMaxNameBytes = 255;

char FoldCase(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool MatchesPattern(const std::string& name, const std::string& pattern) {
  // Greedy matching with one backtrack point: on a mismatch, let the most
  // recent '*' swallow one more character. Linear in practice, and never
  // worse than quadratic, whatever the input.
  std::size_t n = 0;
  std::size_t p = 0;
  std::size_t star = std::string::npos;
  std::size_t star_n = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      star_n = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string::npos) {
      p = star + 1;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::string FileNamePart(const std::string& path) {
  std::size_t start = 0;
  std::size_t dot = std::string::npos;
  // Character by character: in a double-byte encoding the second byte of a
  // character may have the value of '\\' and is still no separator.
  for (std::size_t i = 0; i < path.size();) {
    const std::size_t length = CharacterLength(path.data() + i, path.size() - i);
    if (length == 1) {
      const char c = path[i];
      if (c == '/' || c == '\\' || (c == ':' && i == 1)) {
        start = i + 1;
        dot = std::string::npos;
      } else if (c == '.') {
        dot = i;
      }
    }
    i += length;
  }
  const std::size_t end = dot == std::string::npos ? path.size() : dot;
  return path.substr(start, std::min<std::size_t>(end - start, kMaxNameBytes));
}

std::string QuoteForCommandLine(const std::string& argument) {
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count only before a quote: double them there, and escape
    // the quote itself.
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + '"';
}

}  // namespace platform
