// Wildcard matching shared by every platform's directory search.
#include "platform/platform.h"

namespace platform {
namespace {

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

}  // namespace platform
