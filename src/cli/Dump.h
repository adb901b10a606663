#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace quillane {

class OSettings;

// JSON views of the objects, keyed by the field names used in the code.
nlohmann::ordered_json SettingsJson(const OSettings& settings);

// Reads FILE as the extension says and prints its JSON to stdout. Returns the exit status;
// failures print the program's own message on stderr.
int DumpFile(const std::string& path, bool derived);

} // namespace quillane
