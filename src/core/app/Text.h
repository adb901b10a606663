#pragma once

#include <string>
#include <string_view>

namespace quillane {

// Texts in the files are single-byte Windows-1252; these convert at the edges of the
// program (JSON output, the UI). Bytes the code page leaves undefined map to U+FFFD one way
// and characters outside it to '?' the other way.
std::string Windows1252ToUtf8(std::string_view bytes);
std::string Utf8ToWindows1252(std::string_view utf8);

} // namespace quillane
