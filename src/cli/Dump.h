#pragma once

#include <nlohmann/json.hpp>
#include <optional>
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
// The pattern's fields before its grids, and its element lists after them.
nlohmann::ordered_json PatternHeadJson(const OPattern& pattern);
nlohmann::ordered_json PatternTailJson(const OPattern& pattern);

// Reads FILE as the extension says and prints its JSON to stdout, the grids of a pattern
// PLine by PLine as they are written (`derived` adds both views' colour grids, `cells`
// false leaves every grid out). Failures throw with the program's own message.
int DumpFile(const std::string& path, bool derived, bool cells);
// A pattern's sizes, counts of its objects and of each value in its cells, as JSON; with a
// width, also the repeat fit across broadloom that wide.
int PrintInfo(const std::string& path, std::optional<double> fitWidth = std::nullopt);

} // namespace quillane
