#include "files/Colors.h"

#include <algorithm>

#include "app/Exceptions.h"
#include "app/FileIO.h"
#include "data/Record.h"

namespace quillane {

namespace {
[[noreturn]] void RangeError() {
  throw ERangeError("Range check error");
}

bool ValidColourIndex(int32_t state, int32_t yarnType) {
  return state >= 1 && state <= TColorsFile::NoStates && yarnType >= 0 &&
         yarnType < TColorsFile::NoYarnTypes;
}
} // namespace

TColorsFile::TColorsFile(int32_t count) {
  if (count < 0 || count > 65535)
    RangeError();
  Header.Count = static_cast<uint16_t>(count);
  FControlYarn.assign(static_cast<size_t>(count) + 1, 0);
}

int32_t TColorsFile::Colour(int32_t state, int32_t yarnType) const {
  if (!ValidColourIndex(state, yarnType))
    RangeError();
  return Header.Colour[state - 1][yarnType];
}

void TColorsFile::SetColour(int32_t state, int32_t yarnType, int32_t colour) {
  if (!ValidColourIndex(state, yarnType))
    RangeError();
  Header.Colour[state - 1][yarnType] = colour;
}

uint8_t TColorsFile::ControlYarn(int32_t control) const {
  if (control < 0 || control > Capacity())
    RangeError();
  return FControlYarn[static_cast<size_t>(control)];
}

void TColorsFile::SetControlYarn(int32_t control, uint8_t yarnType) {
  if (control < 0 || control > Capacity())
    RangeError();
  FControlYarn[static_cast<size_t>(control)] = yarnType;
}

TBytes TColorsFile::SaveToBytes() const {
  OWriter w;
  w.Reserve(HeaderSize + Header.Count);
  w.WriteByte(Header.Version);
  for (int s = 0; s < NoStates; ++s)
    for (int y = 0; y < NoYarnTypes; ++y)
      w.WriteInteger(Header.Colour[s][y]);
  w.WriteWord(Header.Count);
  // Count never exceeds the array: only the constructor and Load set it, both checked.
  w.Write(FControlYarn.data() + 1, Header.Count);
  return std::move(w.Bytes());
}

void TColorsFile::Save(const std::string& fileName) const {
  WriteFileAtomic(fileName, SaveToBytes());
}

void TColorsFile::LoadFromBytes(std::span<const uint8_t> bytes) {
  OReader r(bytes);
  r.Require(HeaderSize);
  TColorsHeader h;
  h.Version = r.ReadByte();
  for (int s = 0; s < NoStates; ++s)
    for (int y = 0; y < NoYarnTypes; ++y)
      h.Colour[s][y] = r.ReadInteger();
  h.Count = r.ReadWord();
  if (h.Count > Capacity())
    throw EReadError();
  std::span<const uint8_t> yarns = r.ReadSpan(h.Count);
  r.RequireEnd();
  Header = h;
  std::copy(yarns.begin(), yarns.end(), FControlYarn.begin() + 1);
}

void TColorsFile::Load(const std::string& fileName) {
  LoadFromBytes(ReadFileBytes(fileName));
}

} // namespace quillane
