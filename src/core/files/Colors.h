#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/LargeBuffer.h"

namespace quillane {

// The file header exactly as it lies in the file: packed, so the colour table starts at
// offset 1. Its bytes are still read and written field by field, little-endian.
#pragma pack(push, 1)
struct TColorsHeader {
  uint8_t Version = 2;
  int32_t Colour[3][27] = {}; // [state - 1][yarn type]
  uint16_t Count = 0;
};
#pragma pack(pop)
static_assert(sizeof(TColorsHeader) == 327, "the colour file header is 327 bytes");

// The colour file (.CLR) beside a variant-1 tuft control file: the colour of every yarn
// type in every state and the yarn type of every control.
class TColorsFile {
public:
  // Sized for `count` controls (0 to 65535, else ERangeError); never resized afterwards.
  explicit TColorsFile(int32_t count);

  uint8_t Version() const { return Header.Version; }
  uint16_t Count() const { return Header.Count; }
  // The count this object was created for: the most controls a file may bring.
  int32_t Capacity() const { return static_cast<int32_t>(FControlYarn.size()) - 1; }

  // States 1 to 3, yarn types 0 to 26, controls 0 to Capacity(); else ERangeError.
  int32_t Colour(int32_t state, int32_t yarnType) const;
  void SetColour(int32_t state, int32_t yarnType, int32_t colour);
  uint8_t ControlYarn(int32_t control) const;
  void SetControlYarn(int32_t control, uint8_t yarnType);

  // Header, then Count yarn types from control 1, committed in one atomic step.
  void Save(const std::string& fileName) const;
  TBytes SaveToBytes() const;

  // Takes the header and Count yarn types from the file; entries past the file's count
  // keep their values. A short file, or one with more controls than Capacity(), is
  // EReadError, and leaves this object as it was.
  void Load(const std::string& fileName);
  void LoadFromBytes(std::span<const uint8_t> bytes);

  static constexpr size_t HeaderSize = sizeof(TColorsHeader);
  static constexpr int32_t NoStates = 3;
  static constexpr int32_t NoYarnTypes = 27; // 0 to 26, 0 never filled

private:
  TColorsHeader Header;
  TBytes FControlYarn;
};

} // namespace quillane
