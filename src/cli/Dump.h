#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace quillane {

class OCreel;
class ODesignTable;
class OMachineTable;
class OPalette;
class OSettings;

// JSON views of the objects, keyed by the field names used in the code. The tables show
// what they store, validated or not.
nlohmann::ordered_json SettingsJson(const OSettings& settings);
nlohmann::ordered_json PaletteJson(const OPalette& palette);
nlohmann::ordered_json CreelJson(const OCreel& creel);
nlohmann::ordered_json MachineTableJson(const OMachineTable& table);
nlohmann::ordered_json DesignTableJson(const ODesignTable& table);

// Reads FILE as the extension says and prints its JSON to stdout. Returns the exit status;
// failures print the program's own message on stderr.
int DumpFile(const std::string& path, bool derived);

} // namespace quillane
