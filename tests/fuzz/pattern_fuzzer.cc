// Wildcard matching against a plain recursive reference.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Straight from the definition, memoised so long stars stay cheap.
bool Reference(const std::string& name, std::size_t n, const std::string& pattern, std::size_t p,
               std::vector<signed char>& memo) {
  signed char& known = memo[n * (pattern.size() + 1) + p];
  if (known >= 0) return known;
  bool result;
  if (p == pattern.size()) {
    result = n == name.size();
  } else if (pattern[p] == '*') {
    result = Reference(name, n, pattern, p + 1, memo) ||
             (n < name.size() && Reference(name, n + 1, pattern, p, memo));
  } else {
    result = n < name.size() && (pattern[p] == '?' || Fold(pattern[p]) == Fold(name[n])) &&
             Reference(name, n + 1, pattern, p + 1, memo);
  }
  known = result;
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t split = data[0] % (input.size() + 1);
  const std::string name = input.substr(0, split);
  const std::string pattern = input.substr(split);
  std::vector<signed char> memo((name.size() + 1) * (pattern.size() + 1), -1);
  if (platform::MatchesPattern(name, pattern) != Reference(name, 0, pattern, 0, memo)) std::abort();
  return 0;
}
