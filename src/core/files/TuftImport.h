#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace quillane {

class OPattern;

// A new pattern from a tuft control file set: the control file, B.DAT and, for variant 1,
// B.CLR, B being the control file's base name and the companions lying in its folder
// (found by the exact name first, then ignoring case). Without a readable colour file the
// creel comes from the control file and the palette keeps its defaults. Throws with the
// program's message: ETuftFile for a file that is not a tuft control file the program can
// use, the file errors for a missing or short control file or B.DAT.
std::unique_ptr<OPattern> NewPatternFromTuftFile(const std::string& fileName);
// The same with the control file's bytes in memory; `fileName` places the companions.
std::unique_ptr<OPattern> NewPatternFromTuftBytes(const std::string& fileName,
                                                  std::span<const uint8_t> bytes);

// The menu command: the open dialog, then the import. Failures are shown; nullptr when
// cancelled or failed. The caller adds the pattern to the tree and expands it.
std::unique_ptr<OPattern> ImportTuftControlFile();

// --- Shared by the three imports ---------------------------------------------------------

// The companion of a file: its base name with `extension` (".DAT") in its folder, the exact
// name if it exists, else one differing only in case, else the exact name.
std::string CompanionFile(const std::string& fileName, const std::string& extension);

// Refuses a size the pattern file could not hold before anything of that size is built:
// an imported pattern gets a picture of its own size, and the pattern file's reader refuses
// pictures of more than OPicture::MaxPixels pixels. Throws Exception with the reason.
void CheckImportSize(int64_t controls, int64_t pLines);
// One default picture (with its first region) and one default section over the pattern.
void AddDefaultPictureAndSection(OPattern& pattern);
// The rest of a new pattern once the file set its dimensions and machine type: the default
// palette, creel, machine and design tables for `yarnTypes` yarn types, and the default
// picture and section.
void SetUpImportedPattern(OPattern& pattern, uint8_t yarnTypes);
// The settings of a pattern from a file that carries none: the defaults, with the pattern's
// type and dimensions, no reversal, offset allowed and empty size and style codes.
void SetImportedSettings(OPattern& pattern);
// Marks the last region of the last picture as the one the pattern was imported through.
void SetImportRegionFlag(OPattern& pattern);

// The open dialog of an import command with its texts; on confirmation runs `import` with
// the chosen file under the hourglass and shows any failure's message.
struct TImportDialog {
  const char* DefaultExt;
  const char* FilterDescription; // of the files with DefaultExt
  const char* Title;
};
std::unique_ptr<OPattern>
RunImportCommand(const TImportDialog& texts,
                 const std::function<std::unique_ptr<OPattern>(const std::string&)>& import);

} // namespace quillane
