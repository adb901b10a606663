#include "data/Record.h"

#include <bit>
#include <cstring>

#include "app/Exceptions.h"

namespace quillane {

void OReader::Seek(size_t position) {
  if (position > Size)
    throw EReadError();
  Pos = position;
}

void OReader::Require(size_t n) const {
  if (n > Size - Pos)
    throw EReadError();
}

void OReader::RequireEnd() const {
  if (Pos != Size)
    throw EReadError();
}

void OReader::Read(void* destination, size_t n) {
  Require(n);
  if (n > 0)
    std::memcpy(destination, Data + Pos, n);
  Pos += n;
}

std::span<const uint8_t> OReader::ReadSpan(size_t n) {
  Require(n);
  std::span<const uint8_t> result(Data + Pos, n);
  Pos += n;
  return result;
}

void OReader::Skip(size_t n) {
  Require(n);
  Pos += n;
}

uint8_t OReader::ReadByte() {
  Require(1);
  return Data[Pos++];
}

uint16_t OReader::ReadWord() {
  Require(2);
  uint16_t v = static_cast<uint16_t>(Data[Pos] | (Data[Pos + 1] << 8));
  Pos += 2;
  return v;
}

int16_t OReader::ReadSmallInt() {
  return static_cast<int16_t>(ReadWord());
}

uint32_t OReader::ReadCardinal() {
  Require(4);
  uint32_t v = static_cast<uint32_t>(Data[Pos]) | (static_cast<uint32_t>(Data[Pos + 1]) << 8) |
               (static_cast<uint32_t>(Data[Pos + 2]) << 16) |
               (static_cast<uint32_t>(Data[Pos + 3]) << 24);
  Pos += 4;
  return v;
}

int32_t OReader::ReadInteger() {
  return static_cast<int32_t>(ReadCardinal());
}

float OReader::ReadSingle() {
  return std::bit_cast<float>(ReadCardinal());
}

TRect OReader::ReadRect() {
  TRect r;
  r.Left = ReadInteger();
  r.Top = ReadInteger();
  r.Right = ReadInteger();
  r.Bottom = ReadInteger();
  return r;
}

void OWriter::Write(const void* source, size_t n) {
  const auto* p = static_cast<const uint8_t*>(source);
  Buffer.insert(Buffer.end(), p, p + n);
}

void OWriter::WriteWord(uint16_t value) {
  Buffer.push_back(static_cast<uint8_t>(value));
  Buffer.push_back(static_cast<uint8_t>(value >> 8));
}

void OWriter::WriteCardinal(uint32_t value) {
  for (int i = 0; i < 4; ++i)
    Buffer.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void OWriter::WriteSingle(float value) {
  WriteCardinal(std::bit_cast<uint32_t>(value));
}

void OWriter::WriteRect(const TRect& rect) {
  WriteInteger(rect.Left);
  WriteInteger(rect.Top);
  WriteInteger(rect.Right);
  WriteInteger(rect.Bottom);
}

} // namespace quillane
