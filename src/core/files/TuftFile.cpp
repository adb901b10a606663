#include "files/TuftFile.h"

#include <utility>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "app/App.h"
#include "app/ByteRows.h"
#include "app/FileIO.h"
#include "app/Simd.h"
#include "data/Record.h"
#include "platform/FileSystem.h"

namespace quillane {

namespace {

[[noreturn]] void RangeError() {
  throw ERangeError("Range check error");
}

void CheckCount(int32_t n, int32_t highest) {
  if (n < 0 || n > highest)
    RangeError();
}

// --- Variant 1 header ------------------------------------------------------------------

[[noreturn]] void ReadingError() {
  throw ETuftFile("Error reading tuft file");
}

uint8_t PeekByte(OReader& r) {
  uint8_t b = r.ReadByte();
  r.Seek(r.Position() - 1);
  return b;
}

void Expect(OReader& r, uint8_t separator) {
  if (r.ReadByte() != separator)
    ReadingError();
}

// A decimal integer up to the next comma or CR, which stays in the stream for the
// separator check that follows.
int32_t ReadIntegerField(OReader& r) {
  constexpr size_t MaxDigits = 8;
  std::string text;
  for (;;) {
    uint8_t c = PeekByte(r);
    if (c == ',' || c == '\r')
      break;
    if (text.size() == MaxDigits)
      ReadingError();
    text.push_back(static_cast<char>(c));
    r.Skip(1);
  }
  size_t i = text.empty() || (text[0] != '-' && text[0] != '+') ? 0 : 1;
  bool valid = i < text.size();
  int32_t value = 0;
  for (size_t k = i; k < text.size() && valid; ++k) {
    valid = text[k] >= '0' && text[k] <= '9';
    value = value * 10 + (text[k] - '0'); // eight digits cannot overflow
  }
  if (!valid)
    throw EConvertError("'" + text + "' is not a valid integer value");
  return text[0] == '-' ? -value : value;
}

// A text between double quotes; the quotes are not part of it.
std::string ReadQuotedText(OReader& r) {
  Expect(r, '"');
  std::string text;
  for (uint8_t c = r.ReadByte(); c != '"'; c = r.ReadByte()) {
    if (text.size() == TTuftFile1::MaxTextLength)
      ReadingError();
    text.push_back(static_cast<char>(c));
  }
  return text;
}

size_t BytesPerRow(int32_t noControls) {
  return (static_cast<size_t>(noControls) + 7) / 8;
}

// A plane row holds control k's bit at bit (k - 1) % 8 of byte (k - 1) / 8. These turn a
// whole row into one cell byte per bit (0 or 1) and back, eight cells at a time.
void UnpackRow(const uint8_t* packed, int32_t n, uint8_t* cells) {
  static const auto cellsOf = [] {
    std::array<std::array<uint8_t, 8>, 256> table{};
    for (size_t b = 0; b < 256; ++b)
      for (size_t i = 0; i < 8; ++i)
        table[b][i] = static_cast<uint8_t>((b >> i) & 1);
    return table;
  }();
  const int32_t whole = n / 8;
  for (int32_t j = 0; j < whole; ++j)
    std::memcpy(cells + 8 * j, cellsOf[packed[j]].data(), 8);
  for (int32_t k = 8 * whole; k < n; ++k)
    cells[k] = (packed[k >> 3] >> (k & 7)) & 1;
}

// Only a cell holding 1 sets its bit. `packed` starts zeroed.
void PackRow(const uint8_t* cells, int32_t n, uint8_t* packed) {
  int32_t k = 0;
  if constexpr (WordsOfBytes) {
    for (; k + 8 <= n; k += 8) {
      uint64_t eight;
      std::memcpy(&eight, cells + k, 8);
      if ((eight & 0xFEFEFEFEFEFEFEFEu) == 0) // every byte 0 or 1
        packed[k >> 3] = GatherBytes(eight);
      else
        for (int32_t i = k; i < k + 8; ++i)
          packed[i >> 3] |= static_cast<uint8_t>((cells[i] == 1 ? 1u : 0u) << (i & 7));
    }
  }
  for (; k < n; ++k)
    packed[k >> 3] |= static_cast<uint8_t>((cells[k] == 1 ? 1u : 0u) << (k & 7));
}

} // namespace

// --- TTuftFile -------------------------------------------------------------------------

uint8_t TTuftFile::ReadVersion() {
  // By path, so that a name outside the system code page opens on Windows too.
  std::ifstream in(sys::PathOf(FileName), std::ios::binary);
  if (!in)
    throw EFOpenError("Cannot open file \"" + FileName + "\". " + std::strerror(errno));
  char first = 0;
  if (!in.get(first))
    throw EReadError();
  Version = first == 0 ? 2 : 1;
  return Version;
}

uint8_t TTuftFile::VersionOf(std::span<const uint8_t> bytes) {
  if (bytes.empty())
    throw EReadError();
  return bytes[0] == 0 ? 2 : 1;
}

// --- TTuftFile1 ------------------------------------------------------------------------

void TTuftFile1::Resize(int32_t noControls, int32_t noPlanes, int32_t noPLines) {
  size_t stride = static_cast<size_t>(noControls) + 1;
  size_t planeSize = stride * (static_cast<size_t>(noPLines) + 1);
  TZeroedBytes bits(static_cast<size_t>(noPlanes) * planeSize);
  int32_t keepControls = std::min(noControls, FNoControls);
  int32_t keepPLines = std::min(noPLines, FNoPLines);
  for (int32_t plane = 0; plane < std::min(noPlanes, FNoPlanes); ++plane)
    for (int32_t p = 0; p <= keepPLines; ++p)
      std::memcpy(bits.data() + plane * planeSize + p * stride, &FPlaneBit[BitIndex(plane, 0, p)],
                  static_cast<size_t>(keepControls) + 1);
  FPlaneBit = std::move(bits);
  FControlYarn.resize(stride, 0);
  FNoControls = noControls;
  FNoPlanes = noPlanes;
  FNoPLines = noPLines;
}

void TTuftFile1::SetNoControls(int32_t n) {
  CheckCount(n, MaxCount);
  Resize(n, FNoPlanes, FNoPLines);
}

void TTuftFile1::SetNoPlanes(int32_t n) {
  CheckCount(n, MaxPlanes);
  Resize(FNoControls, n, FNoPLines);
}

void TTuftFile1::SetNoPLines(int32_t n) {
  CheckCount(n, MaxCount);
  Resize(FNoControls, FNoPlanes, n);
}

uint8_t TTuftFile1::ControlYarn(int32_t control) const {
  if (control < 0 || control > FNoControls)
    RangeError();
  return FControlYarn[static_cast<size_t>(control)];
}

void TTuftFile1::SetControlYarn(int32_t control, uint8_t yarn) {
  if (control < 0 || control > FNoControls)
    RangeError();
  FControlYarn[static_cast<size_t>(control)] = yarn;
}

size_t TTuftFile1::BitIndex(int32_t plane, int32_t control, int32_t pLine) const {
  return static_cast<size_t>(plane) * PlaneSize() + static_cast<size_t>(pLine) * Stride() +
         static_cast<size_t>(control);
}

uint8_t TTuftFile1::PlaneBit(int32_t plane, int32_t control, int32_t pLine) const {
  if (plane < 0 || plane >= FNoPlanes || control < 0 || control > FNoControls || pLine < 0 ||
      pLine > FNoPLines)
    RangeError();
  return FPlaneBit[BitIndex(plane, control, pLine)];
}

const uint8_t* TTuftFile1::PlaneRow(int32_t plane, int32_t pLine) const {
  if (plane < 0 || plane >= FNoPlanes || pLine < 0 || pLine > FNoPLines)
    throw ERangeError("Range check error");
  return &FPlaneBit[BitIndex(plane, 0, pLine)];
}

uint8_t* TTuftFile1::PlaneRow(int32_t plane, int32_t pLine) {
  return const_cast<uint8_t*>(std::as_const(*this).PlaneRow(plane, pLine));
}

void TTuftFile1::SetPlaneBit(int32_t plane, int32_t control, int32_t pLine, uint8_t value) {
  if (plane < 0 || plane >= FNoPlanes || control < 0 || control > FNoControls || pLine < 0 ||
      pLine > FNoPLines)
    RangeError();
  FPlaneBit[BitIndex(plane, control, pLine)] = value;
}

void TTuftFile1::Load() {
  LoadFromBytes(ReadFileBytes(FileName));
}

void TTuftFile1::LoadFromBytes(std::span<const uint8_t> bytes) {
  OReader r(bytes);
  int32_t noControls = ReadIntegerField(r);
  if (noControls < 0 || noControls > MaxCount)
    ReadingError();
  Expect(r, ',');
  int32_t noPLines = ReadIntegerField(r);
  if (noPLines < 0 || noPLines > MaxCount)
    ReadingError();
  Expect(r, ',');
  int32_t flags = ReadIntegerField(r);
  if (flags < 0 || flags > 255)
    ReadingError();
  Expect(r, '\r');
  Expect(r, '\n');
  std::string styleCode = ReadQuotedText(r);
  Expect(r, ',');
  std::string sizeCode = ReadQuotedText(r);
  Expect(r, '\r');
  Expect(r, '\n');

  int32_t noPlanes = ((flags >> 1) & 3) + 1;
  // The whole body must be there before anything is sized after the header's numbers.
  size_t rowBytes = BytesPerRow(noControls);
  size_t planeBytes = rowBytes * static_cast<size_t>(noPLines);
  size_t bodyBytes = planeBytes * static_cast<size_t>(noPlanes) + noControls + 1;
  if (bodyBytes > r.Remaining())
    ReadingError();

  TTuftFile1 t;
  t.Resize(noControls, noPlanes, noPLines);
  std::span<const uint8_t> body = r.ReadSpan(bodyBytes);
  if (r.Remaining() != 0) // the last plane ends the file
    ReadingError();
  std::span<const uint8_t> controlBytes = body.subspan(planeBytes, noControls);
  t.ReversePattern = body[planeBytes + noControls];
  for (int32_t c = 1; c <= noControls; ++c)
    t.FControlYarn[c] = static_cast<uint8_t>(controlBytes[c - 1] + 1);

  bool reverse = t.ReversePattern == 1;
  std::vector<uint8_t> reversed(reverse ? static_cast<size_t>(noControls) : 0);
  for (int32_t plane = 0; plane < noPlanes; ++plane) {
    // Plane 0 comes first, then the control bytes and the reverse byte, then the others.
    size_t start = plane == 0 ? 0 : planeBytes * plane + noControls + 1;
    for (int32_t p = 1; p <= noPLines; ++p) {
      const uint8_t* row = body.data() + start + (p - 1) * rowBytes;
      uint8_t* cells = &t.FPlaneBit[t.BitIndex(plane, 1, p)];
      if (!reverse) {
        UnpackRow(row, noControls, cells);
      } else {
        UnpackRow(row, noControls, reversed.data());
        std::reverse_copy(reversed.begin(), reversed.end(), cells);
      }
    }
  }

  // Nothing below can fail: the object changes only when the whole file has been read.
  ReversePattern = t.ReversePattern;
  MachineType = static_cast<uint8_t>(flags >> 4);
  SizeCode = std::move(sizeCode);
  OffsetAllowed = static_cast<uint8_t>(flags & 1);
  StyleCode = std::move(styleCode);
  FNoControls = noControls;
  FNoPlanes = noPlanes;
  FNoPLines = noPLines;
  FControlYarn = std::move(t.FControlYarn);
  FPlaneBit = std::move(t.FPlaneBit);
}

TBytes TTuftFile1::SaveToBytes() const {
  // Refuse what would come back different or not at all: the two flag bits only tell
  // two and three planes from one, and a quote or an overlong text ends the header early.
  if (FNoPlanes < 1 || FNoPlanes > 3 || MachineType > 15)
    throw ETuftFile("Error saving tuft file");
  for (const std::string* text : {&StyleCode, &SizeCode})
    if (text->size() > MaxTextLength || text->find('"') != std::string::npos)
      throw ETuftFile("Error saving tuft file");

  int flags = (OffsetAllowed != 0 ? 1 : 0) | (FNoPlanes - 1) << 1 | MachineType << 4;
  std::string header = std::to_string(FNoControls) + "," + std::to_string(FNoPLines) + "," +
                       std::to_string(flags) + "\r\n\"" + StyleCode + "\",\"" + SizeCode + "\"\r\n";
  size_t rowBytes = BytesPerRow(FNoControls);
  size_t planeBytes = rowBytes * static_cast<size_t>(FNoPLines);

  TBytes out;
  out.reserve(header.size() + planeBytes * FNoPlanes + FNoControls + 1);
  out.insert(out.end(), header.begin(), header.end());
  bool reverse = ReversePattern != 0;
  std::vector<uint8_t> reversed(reverse ? static_cast<size_t>(FNoControls) : 0);
  for (int32_t plane = 0; plane < FNoPlanes; ++plane) {
    size_t row = out.size();
    out.resize(row + planeBytes, 0);
    for (int32_t p = 1; p <= FNoPLines; ++p, row += rowBytes) {
      const uint8_t* cells = &FPlaneBit[BitIndex(plane, 1, p)];
      if (reverse) {
        std::reverse_copy(cells, cells + FNoControls, reversed.data());
        cells = reversed.data();
      }
      PackRow(cells, FNoControls, out.data() + row);
    }
    if (plane == 0) {
      // The controller takes the creel as it stands, in natural order.
      out.insert(out.end(), FControlYarn.begin() + 1, FControlYarn.end());
      out.push_back(reverse ? 1 : 0);
    }
  }
  return out;
}

bool TTuftFile1::Save() const {
  try {
    WriteFileAtomic(FileName, SaveToBytes());
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// --- TTuftFile2 ------------------------------------------------------------------------

namespace {

// Sixteen cells of each value a run byte can give (its low four bits plus 1).
constexpr auto RunFill = [] {
  std::array<std::array<uint8_t, 16>, 16> fill{};
  for (size_t v = 0; v < 16; ++v)
    fill[v].fill(static_cast<uint8_t>(v + 1));
  return fill;
}();

// Bit i set where cell base + i (i < count) is the last of its run: the row's last cell, or
// one whose next cell differs in the four bits the file keeps.
uint64_t RunEnds(const uint8_t* x, size_t base, size_t count, size_t n) {
  uint64_t ends = 0;
  if (WordsOfBytes && count == 64 && base + 64 < n) {
    for (size_t k = 0; k < 64; k += 8) {
      uint64_t a, b;
      std::memcpy(&a, x + base + k, 8);
      std::memcpy(&b, x + base + k + 1, 8);
      ends |= uint64_t{GatherBytes(NonZeroBytes((a ^ b) & 0x0F0F0F0F0F0F0F0Fu))} << k;
    }
    return ends;
  }
  for (size_t i = 0; i < count && base + i < n; ++i)
    if (base + i + 1 == n || ((x[base + i] ^ x[base + i + 1]) & 0x0F) != 0)
      ends |= uint64_t{1} << i;
  return ends;
}

// Writes the runs that end where `ends` says, from cell `start` on, as bytes
// (length - 1) * 16 + value, a run longer than 16 cells as several.
void WriteRuns(const uint8_t* x, size_t base, uint64_t ends, size_t& start, uint8_t*& o) {
  for (; ends != 0; ends &= ends - 1) {
    const size_t end = base + static_cast<size_t>(std::countr_zero(ends));
    const uint8_t v = static_cast<uint8_t>(x[end] - 1) & 0x0F;
    size_t length = end + 1 - start;
    start = end + 1;
    for (; length > 16; length -= 16)
      *o++ = static_cast<uint8_t>(0xF0 | v);
    *o++ = static_cast<uint8_t>((length - 1) << 4 | v);
  }
}

#if defined(QUILLANE_SSE2)
// Cells base to base + 15 (cell base + 16 must exist) as WriteRuns writes them, every byte
// worked out at once: each cell ending a run finds the end before it by a running maximum
// over the lanes. False, with nothing written, where a run longer than 16 cells ends.
bool EncodeSixteen(const uint8_t* x, size_t base, size_t& start, uint8_t*& o) {
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + base));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + base + 1));
  const __m128i low = _mm_set1_epi8(0x0F);
  const __m128i same = _mm_cmpeq_epi8(_mm_and_si128(_mm_xor_si128(a, b), low), _mm_setzero_si128());
  const unsigned ends = ~static_cast<unsigned>(_mm_movemask_epi8(same)) & 0xFFFFu;
  if (ends == 0)
    return true;
  // Lane i stands for cell base + i as i + 17; the cell before `start` as the same count.
  const __m128i place =
      _mm_setr_epi8(17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32);
  const int64_t before = static_cast<int64_t>(start) - static_cast<int64_t>(base) + 16;
  __m128i last = _mm_or_si128(_mm_slli_si128(_mm_andnot_si128(same, place), 1),
                              _mm_cvtsi32_si128(static_cast<int>(std::max<int64_t>(before, 0))));
  last = _mm_max_epu8(last, _mm_slli_si128(last, 1));
  last = _mm_max_epu8(last, _mm_slli_si128(last, 2));
  last = _mm_max_epu8(last, _mm_slli_si128(last, 4));
  last = _mm_max_epu8(last, _mm_slli_si128(last, 8));
  const __m128i length = _mm_sub_epi8(place, last); // where a run ends: 1 to 32
  if (_mm_movemask_epi8(_mm_andnot_si128(same, _mm_cmpgt_epi8(length, _mm_set1_epi8(16)))) != 0)
    return false;
  const __m128i lengthBits =
      _mm_and_si128(_mm_slli_epi16(_mm_sub_epi8(length, _mm_set1_epi8(1)), 4),
                    _mm_set1_epi8(static_cast<char>(0xF0)));
  alignas(16) uint8_t codes[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(codes),
                  _mm_or_si128(lengthBits, _mm_and_si128(_mm_sub_epi8(a, _mm_set1_epi8(1)), low)));
  for (unsigned e = ends; e != 0; e &= e - 1)
    *o++ = codes[std::countr_zero(e)];
  start = base + 32 - static_cast<size_t>(std::countl_zero(ends)); // after the last end
  return true;
}
#endif

// A PLine's runs of one value, up to 16 cells each, as bytes (length - 1) * 16 + value, the
// value wrapped into the four bits the file keeps (0 is stored as 16, 17 as 1). Answers
// how many bytes were written: at most one per cell. The work goes by runs rather than by
// cells: sixteen cells at a time where the machine can, else the ends of 64 at a time.
size_t EncodeRuns(const uint8_t* x, size_t n, uint8_t* out) {
  uint8_t* o = out;
  size_t start = 0; // the first cell of the run not yet written
  size_t base = 0;
#if defined(QUILLANE_SSE2)
  for (; base + 16 < n; base += 16)
    if (!EncodeSixteen(x, base, start, o))
      WriteRuns(x, base, RunEnds(x, base, 16, n), start, o);
#endif
  for (; base < n; base += 64)
    WriteRuns(x, base, RunEnds(x, base, 64, n), start, o);
  return static_cast<size_t>(o - out);
}

} // namespace

TTuftFile2::TTuftFile2() : FColour(NoColourEntries, 0), FControlYarn(1, 0), FCell(1) {}

TTuftFile2::TTuftFile2(std::string fileName) : TTuftFile2() {
  FileName = std::move(fileName);
}

void TTuftFile2::Resize(int32_t noControls, int32_t noPLines) {
  size_t stride = static_cast<size_t>(noControls) + 1;
  TZeroedBytes cells(stride * (static_cast<size_t>(noPLines) + 1));
  size_t keep = static_cast<size_t>(std::min(noControls, FNoControls)) + 1;
  for (int32_t p = 0; p <= std::min(noPLines, FNoPLines); ++p)
    std::memcpy(cells.data() + p * stride, FCell.data() + p * Stride(), keep);
  FCell = std::move(cells);
  FControlYarn.resize(stride, 0);
  FNoControls = noControls;
  FNoPLines = noPLines;
}

void TTuftFile2::SetNoControls(int32_t n) {
  CheckCount(n, MaxCount);
  Resize(n, FNoPLines);
}

void TTuftFile2::SetNoPLines(int32_t n) {
  CheckCount(n, MaxCount);
  Resize(FNoControls, n);
}

uint32_t TTuftFile2::Colour(int32_t index) const {
  if (index < 0 || index >= NoColourEntries)
    RangeError();
  return FColour[static_cast<size_t>(index)];
}

void TTuftFile2::SetColour(int32_t index, uint32_t colour) {
  if (index < 0 || index >= NoColourEntries)
    RangeError();
  FColour[static_cast<size_t>(index)] = colour;
}

uint8_t TTuftFile2::ControlYarn(int32_t control) const {
  if (control < 0 || control > FNoControls)
    RangeError();
  return FControlYarn[static_cast<size_t>(control)];
}

void TTuftFile2::SetControlYarn(int32_t control, uint8_t yarn) {
  if (control < 0 || control > FNoControls)
    RangeError();
  FControlYarn[static_cast<size_t>(control)] = yarn;
}

const uint8_t* TTuftFile2::CellRow(int32_t pLine) const {
  if (pLine < 0 || pLine > FNoPLines)
    throw ERangeError("Range check error");
  return FCell.data() + static_cast<size_t>(pLine) * Stride();
}

uint8_t* TTuftFile2::CellRow(int32_t pLine) {
  return const_cast<uint8_t*>(std::as_const(*this).CellRow(pLine));
}

uint8_t TTuftFile2::Cell(int32_t control, int32_t pLine) const {
  if (control < 0 || control > FNoControls || pLine < 0 || pLine > FNoPLines)
    RangeError();
  return FCell[static_cast<size_t>(pLine) * Stride() + static_cast<size_t>(control)];
}

void TTuftFile2::SetCell(int32_t control, int32_t pLine, uint8_t value) {
  if (control < 0 || control > FNoControls || pLine < 0 || pLine > FNoPLines)
    RangeError();
  FCell[static_cast<size_t>(pLine) * Stride() + static_cast<size_t>(control)] = value;
}

void TTuftFile2::Clear() {
  // The colour entries stay, zeroed, so that the accessors keep working.
  FColour.assign(NoColourEntries, 0);
  FCell = TZeroedBytes(1);
  FControlYarn.assign(1, 0);
  FNoControls = 0;
  FNoPLines = 0;
}

void TTuftFile2::DataError() const {
  throw ETuftFile("Error in tuft file data: " + FileName);
}

void TTuftFile2::Load() {
  TBytes bytes;
  try {
    bytes = ReadFileBytes(FileName);
  } catch (...) {
    Clear();
    throw;
  }
  LoadFromBytes(bytes);
}

void TTuftFile2::LoadFromBytes(std::span<const uint8_t> bytes) {
  try {
    OReader r(bytes);
    r.Require(HeaderSize);
    r.Skip(2);
    TTuftFile2 t;
    t.FileName = FileName;
    int32_t noControls = r.ReadWord();
    int32_t noPLines = r.ReadWord();
    t.OffsetAllowed = r.ReadByte();
    t.MachineType = r.ReadByte();
    r.Skip(1);
    t.StepsPerPLine = r.ReadByte();
    for (int i = 1; i < NoColourEntries; ++i) {
      t.FColour[i] = r.ReadCardinal();
      if (t.FColour[i] > 0x7FFFFFFFu)
        DataError();
    }
    if ((static_cast<size_t>(noControls) + 1) * (static_cast<size_t>(noPLines) + 1) > MaxCells)
      DataError();
    std::span<const uint8_t> controlBytes = r.ReadSpan(static_cast<size_t>(noControls));
    // Every line has at least its count: a file too short for that many is not sized for.
    if (r.Remaining() / 2 < static_cast<size_t>(noPLines))
      DataError();

    t.Resize(noControls, noPLines);
    for (int32_t c = 1; c <= noControls; ++c)
      t.FControlYarn[c] = static_cast<uint8_t>(controlBytes[c - 1] + 1);
    for (int32_t p = 1; p <= noPLines; ++p) {
      if (r.Remaining() < 2)
        DataError();
      size_t n = r.ReadWord();
      if (n > static_cast<size_t>(noControls) || n > r.Remaining())
        DataError();
      uint8_t* cells = t.FCell.data() + p * t.Stride();
      int32_t c = 1;
      for (uint8_t run : r.ReadSpan(n)) {
        const int32_t length = (run >> 4) + 1;
        if (length > noControls + 1 - c)
          DataError();
        // Runs are short: where the row has room, sixteen bytes of the value are copied at
        // once and what lies past the run is written again by the next one.
        const uint8_t* value = RunFill[run & 0x0F].data();
        if (c + 16 <= noControls + 1)
          std::memcpy(cells + c, value, 16);
        else
          std::memcpy(cells + c, value, static_cast<size_t>(length));
        c += length;
      }
      // A line that stops short leaves the rest of its cells empty.
      std::memset(cells + c, 0, static_cast<size_t>(std::min(15, noControls + 1 - c)));
    }
    if (r.Remaining() != 0) // the last line ends the file
      DataError();
    FColour = std::move(t.FColour);
    FControlYarn = std::move(t.FControlYarn);
    FCell = std::move(t.FCell);
    FNoControls = noControls;
    FNoPLines = noPLines;
    MachineType = t.MachineType;
    OffsetAllowed = t.OffsetAllowed;
    StepsPerPLine = t.StepsPerPLine;
  } catch (...) {
    Clear();
    throw;
  }
}

TBytes TTuftFile2::SaveToBytes() const {
  if (StepsPerPLine < 0 || StepsPerPLine > 255)
    RangeError();
  for (int i = 1; i < NoColourEntries; ++i)
    if (FColour[i] > 0x7FFFFFFFu)
      RangeError();

  OWriter w;
  w.Reserve(HeaderSize + Stride() + (Stride() + 2) * static_cast<size_t>(FNoPLines));
  w.WriteByte(0);
  w.WriteByte(2);
  w.WriteWord(static_cast<uint16_t>(FNoControls));
  w.WriteWord(static_cast<uint16_t>(FNoPLines));
  w.WriteByte(OffsetAllowed);
  w.WriteByte(MachineType);
  w.WriteByte(0);
  w.WriteByte(static_cast<uint8_t>(StepsPerPLine));
  for (int i = 1; i < NoColourEntries; ++i)
    w.WriteCardinal(FColour[i]);
  for (int32_t c = 1; c <= FNoControls; ++c)
    w.WriteByte(FControlYarn[c] == 0 ? 0 : static_cast<uint8_t>(FControlYarn[c] - 1));

  TBytes& out = w.Bytes();
  for (int32_t p = 1; p <= FNoPLines; ++p) {
    const size_t at = out.size() + 2; // after the line's byte count
    out.resize(at + static_cast<size_t>(FNoControls));
    const size_t n = EncodeRuns(FCell.data() + p * Stride() + 1, static_cast<size_t>(FNoControls),
                                out.data() + at);
    out.resize(at + n);
    out[at - 2] = static_cast<uint8_t>(n);
    out[at - 1] = static_cast<uint8_t>(n >> 8);
  }
  return std::move(out);
}

void TTuftFile2::Save() const {
  WriteFileAtomic(FileName, SaveToBytes());
}

} // namespace quillane
