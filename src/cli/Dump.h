#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace quillane {

class OCreel;
class OPattern;
class OPicture;
class ORegion;
class OSection;
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
nlohmann::ordered_json SectionJson(const OSection& section);
nlohmann::ordered_json RegionJson(const ORegion& region);
nlohmann::ordered_json PictureJson(const OPicture& picture);
// The pattern as the program holds it; `derived` adds both views' colour grids.
nlohmann::ordered_json PatternJson(OPattern& pattern, bool derived);

// Reads FILE as the extension says and prints its JSON to stdout. Failures throw with the
// program's own message.
int DumpFile(const std::string& path, bool derived);

} // namespace quillane
