// The report name of a path against a reference written from the rule, in
// the "C" locale (every byte a character).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace {

std::string Reference(const std::string& path) {
  // After the last separator, or after a drive's colon, whichever is later.
  std::size_t start = 0;
  const std::size_t separator = path.find_last_of("/\\");
  if (separator != std::string::npos) start = separator + 1;
  if (path.size() >= 2 && path[1] == ':' && start < 2) start = 2;
  std::string component = path.substr(start);
  const std::size_t dot = component.rfind('.');
  if (dot != std::string::npos) component.erase(dot);
  return component.substr(0, 255);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path(reinterpret_cast<const char*>(data), size);
  if (platform::FileNamePart(path) != Reference(path)) std::abort();
  return 0;
}
