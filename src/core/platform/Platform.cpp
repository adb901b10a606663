#include "platform/Platform.h"

namespace quillane {

namespace {
bool Glob(const char* pattern, const char* name) {
  for (; *pattern != 0; ++pattern, ++name) {
    if (*pattern == '*') {
      for (const char* rest = name;; ++rest) {
        if (Glob(pattern + 1, rest))
          return true;
        if (*rest == 0)
          return false;
      }
    }
    if (*pattern != *name)
      return false;
  }
  return *name == 0;
}
} // namespace

TFileFilter TFileFilter::ForExtension(std::string description, const std::string& extension) {
  std::string lower = extension;
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return {std::move(description), {"*." + extension, "*." + lower}};
}

bool TFileFilter::Matches(const std::string& fileName) const {
  const size_t slash = fileName.find_last_of('/');
  const std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
  for (const std::string& pattern : Patterns)
    if (Glob(pattern.c_str(), name.c_str()))
      return true;
  return false;
}

} // namespace quillane
