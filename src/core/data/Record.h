#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/LargeBuffer.h"

namespace quillane {

// Which view's colours and image are made: none yet, the machine view's or the design
// view's. A pattern keeps one view's colours at a time.
enum class TView : uint8_t { None = 0, Machine = 1, Design = 2 };

// Record kind codes: the first byte of every stored record.
enum class TDesignRecordKind : uint8_t {
  Creel = 1,
  DesignTable = 2,
  MachineTable = 3,
  Palette = 4,
  Pattern = 5,
  Picture = 6,
  Region = 7,
  Section = 8,
  Settings = 9,
  // Never in a file: the notice that the pattern's colourways, or the one shown, changed.
  Colourways = 10,
};

// An area of the pattern: controls across, PLines down, both from 1 and inclusive.
// Stored exactly as set, never normalised.
struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  friend bool operator==(const TRect&, const TRect&) = default;
};

// A fixed-size text field: a length byte and Capacity character bytes, stored whole.
// Bytes past the text are kept as they are, because the files carry them.
template <size_t Capacity> struct TShortString {
  uint8_t Length = 0;
  std::array<char, Capacity> Chars{};

  std::string Text() const {
    size_t n = Length < Capacity ? Length : Capacity;
    return std::string(Chars.data(), n);
  }
  // Stores the text, cut so that a zero byte still fits after it.
  void SetText(std::string_view text);
  // Keeps the first n characters followed by a zero byte, or Capacity - 1 when n is longer.
  void SetTextLength(size_t n);
  // Sets the length from the contents: the text ends at its first zero byte.
  void SetLengthFromContents();
  friend bool operator==(const TShortString&, const TShortString&) = default;
};

// Reads a record field by field from bytes in memory. Every read is checked against
// what remains, so a short record ends in the stream read error and never reads past.
class OReader {
public:
  OReader() = default;
  OReader(const uint8_t* data, size_t size) : Data(data), Size(size) {}
  explicit OReader(std::span<const uint8_t> bytes) : Data(bytes.data()), Size(bytes.size()) {}

  size_t Position() const { return Pos; }
  size_t Remaining() const { return Size - Pos; }
  size_t TotalSize() const { return Size; }
  void Seek(size_t position);
  // Throws the stream read error unless n bytes remain.
  void Require(size_t n) const;
  // Throws the stream read error unless everything was read: a file holds exactly its
  // record, and bytes left over mean it is not the file it claims to be.
  void RequireEnd() const;

  void Read(void* destination, size_t n);
  std::span<const uint8_t> ReadSpan(size_t n);
  void Skip(size_t n);
  uint8_t ReadByte();
  uint16_t ReadWord();
  int16_t ReadSmallInt();
  int32_t ReadInteger();
  uint32_t ReadCardinal();
  float ReadSingle();
  uint32_t ReadColour() { return ReadCardinal(); }
  TRect ReadRect();
  template <size_t N> void ReadShortString(TShortString<N>& field) {
    field.Length = ReadByte();
    Read(field.Chars.data(), N);
    if (field.Length > N)
      field.Length = static_cast<uint8_t>(N);
  }

private:
  const uint8_t* Data = nullptr;
  size_t Size = 0;
  size_t Pos = 0;
};

// Builds a record in memory; the bytes are committed to disk in one step afterwards.
class OWriter {
public:
  TBytes& Bytes() { return Buffer; }
  const TBytes& Bytes() const { return Buffer; }
  size_t Size() const { return Buffer.size(); }

  void Reserve(size_t n) { Buffer.reserve(n); }
  void Write(const void* source, size_t n);
  void WriteByte(uint8_t value) { Buffer.push_back(value); }
  void WriteWord(uint16_t value);
  void WriteSmallInt(int16_t value) { WriteWord(static_cast<uint16_t>(value)); }
  void WriteInteger(int32_t value) { WriteCardinal(static_cast<uint32_t>(value)); }
  void WriteCardinal(uint32_t value);
  void WriteSingle(float value);
  void WriteColour(uint32_t colour) { WriteCardinal(colour); }
  void WriteRect(const TRect& rect);
  template <size_t N> void WriteShortString(const TShortString<N>& field) {
    WriteByte(field.Length);
    Write(field.Chars.data(), N);
  }

private:
  TBytes Buffer;
};

// The free form of TShortString::SetTextLength that the program's flows call.
template <size_t N> void SetTextLength(TShortString<N>& field, size_t length) {
  field.SetTextLength(length);
}

template <size_t Capacity> void TShortString<Capacity>::SetTextLength(size_t n) {
  if (n > Capacity - 1)
    n = Capacity - 1;
  Chars[n] = 0;
  Length = static_cast<uint8_t>(n);
}

template <size_t Capacity> void TShortString<Capacity>::SetText(std::string_view text) {
  size_t n = text.size() < Capacity - 1 ? text.size() : Capacity - 1;
  for (size_t i = 0; i < n; ++i)
    Chars[i] = text[i];
  SetTextLength(n);
}

template <size_t Capacity> void TShortString<Capacity>::SetLengthFromContents() {
  size_t n = 0;
  while (n < Capacity - 1 && Chars[n] != 0)
    ++n;
  Chars[n] = 0;
  Length = static_cast<uint8_t>(n);
}

} // namespace quillane
