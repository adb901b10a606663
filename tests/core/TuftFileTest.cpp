#include "InterchangeSupport.h"

#include <functional>
#include <random>

#include "app/Exceptions.h"
#include "files/TuftFile.h"

namespace quillane::test {
namespace {

using namespace std::string_literals;

// Everything an object holds, index 0 included, as one comparable list.
std::vector<int> Snapshot(const TTuftFile1& t) {
  std::vector<int> s = {t.NoControls(),   t.NoPlanes(),  t.NoPLines(),
                        t.ReversePattern, t.MachineType, t.OffsetAllowed};
  for (const std::string& text : {t.StyleCode, std::string("|"), t.SizeCode})
    s.insert(s.end(), text.begin(), text.end());
  for (int c = 0; c <= t.NoControls(); ++c)
    s.push_back(t.ControlYarn(c));
  for (int plane = 0; plane < t.NoPlanes(); ++plane)
    for (int p = 0; p <= t.NoPLines(); ++p)
      for (int c = 0; c <= t.NoControls(); ++c)
        s.push_back(t.PlaneBit(plane, c, p));
  return s;
}

std::vector<int> Snapshot(const TTuftFile2& t) {
  std::vector<int> s = {t.NoControls(), t.NoPLines(), t.MachineType, t.OffsetAllowed,
                        t.StepsPerPLine};
  for (int i = 0; i < TTuftFile2::NoColourEntries; ++i)
    s.push_back(static_cast<int>(t.Colour(i)));
  for (int c = 0; c <= t.NoControls(); ++c)
    s.push_back(t.ControlYarn(c));
  for (int p = 0; p <= t.NoPLines(); ++p)
    for (int c = 0; c <= t.NoControls(); ++c)
      s.push_back(t.Cell(c, p));
  return s;
}

// With three planes the control bytes and the reverse byte stand between plane 0 and 1.
TEST(TuftFile1, ControlBytesAndReverseByteFollowPlaneZeroOnly) {
  TTuftFile1 t;
  t.MachineType = 3;
  t.OffsetAllowed = 1; // flag bit 0
  t.StyleCode = "ST";
  t.SizeCode = "SZ";
  t.SetNoControls(3);
  t.SetNoPlanes(3);
  t.SetNoPLines(2);
  for (int plane = 0; plane < 3; ++plane) {
    t.SetPlaneBit(plane, plane + 1, 1, 1);
    t.SetPlaneBit(plane, 3 - plane, 2, 1);
  }
  t.SetControlYarn(1, 0xA1);
  t.SetControlYarn(3, 0xFF);

  Bytes e = Text("3,2,53\r\n\"ST\",\"SZ\"\r\n");
  Put(e, {0x01, 0x04, 0xA1, 0x00, 0xFF, 0x00, 0x02, 0x02, 0x04, 0x01});
  EXPECT_EQ(t.SaveToBytes(), e);
  TTuftFile1 back;
  back.LoadFromBytes(e);
  t.SetControlYarn(1, 0xA2); // a read gives back the control bytes plus 1, 0xFF wraps to 0
  t.SetControlYarn(2, 1);
  t.SetControlYarn(3, 0);
  EXPECT_EQ(Snapshot(back), Snapshot(t));
}

// Packed rows match the bit-by-bit coding at every width, reversed or not.
TEST(TuftFile1, PlaneRowsMatchTheBitByBitCodingAtAnyWidth) {
  std::mt19937 rng(77);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int controls = 0; controls <= 35; ++controls)
    for (uint8_t reverse : {0, 1}) {
      const int pLines = 3;
      TTuftFile1 t, back;
      t.ReversePattern = static_cast<uint8_t>(reverse * 2);
      t.SetNoControls(controls);
      t.SetNoPlanes(2);
      t.SetNoPLines(pLines);
      Bytes e = Text(std::to_string(controls) + ",3,2\r\n\"\",\"\"\r\n");
      Bytes planes[2];
      for (int plane = 0; plane < 2; ++plane)
        for (int p = 1; p <= pLines; ++p) {
          Bytes row((static_cast<size_t>(controls) + 7) / 8, 0);
          for (int c = 1; c <= controls; ++c) {
            const uint8_t v = static_cast<uint8_t>(pick(0, 5) == 0 ? pick(2, 255) : pick(0, 1));
            t.SetPlaneBit(plane, c, p, v);
            const int k = reverse ? controls + 1 - c : c; // its place in the row
            if (v == 1)
              row[static_cast<size_t>(k - 1) / 8] |= static_cast<uint8_t>(1 << ((k - 1) % 8));
          }
          planes[plane] = Cat({planes[plane], row});
        }
      e = Cat({e, planes[0], Bytes(static_cast<size_t>(controls), 0), {reverse}, planes[1]});
      ASSERT_EQ(t.SaveToBytes(), e) << controls << " controls, reverse " << int(reverse);

      back.LoadFromBytes(e);
      for (int plane = 0; plane < 2; ++plane)
        for (int p = 1; p <= pLines; ++p)
          for (int c = 1; c <= controls; ++c)
            ASSERT_EQ(back.PlaneBit(plane, c, p), t.PlaneBit(plane, c, p) == 1 ? 1 : 0)
                << controls << " controls, reverse " << int(reverse) << ", cell " << c;
    }
}

class TuftFile1Save : public TFlowTest {};

// Unwritable content and failed writes return false quietly and keep the previous file.
TEST_F(TuftFile1Save, FailureIsReportedToTheCaller) {
  TTuftFile1 t(Current.File("OK.TUF"));
  t.SetNoControls(2);
  t.SetNoPlanes(1);
  ASSERT_TRUE(t.Save());
  const Bytes good = FileBytes(t.FileName);
  std::vector<std::function<void(TTuftFile1&)>> faults = {
      [](TTuftFile1& f) { f.MachineType = 16; }, // flags past 255
      [](TTuftFile1& f) { f.SetNoPlanes(4); },
      [](TTuftFile1& f) { f.StyleCode = "A\"B"; },
      [](TTuftFile1&) { SetWriteFailureForTesting(5); },
      [&](TTuftFile1& f) { f.FileName = Current.File("no/such/folder/X.TUF"); },
  };
  for (size_t i = 0; i < faults.size(); ++i) {
    TTuftFile1 f = t;
    faults[i](f);
    UI.Shown.clear();
    EXPECT_FALSE(f.Save()) << i;
    EXPECT_TRUE(UI.Shown.empty()) << i;
    EXPECT_EQ(FileBytes(t.FileName), good) << i;
    SetWriteFailureForTesting(std::nullopt);
  }
}

// Each bad header with the error it must give; the body after it is ample.
TEST(TuftFile1, BadHeadersFailWithTheirOwnErrorAndTheLongestGoodOnesRead) {
  enum TKind { Format, Convert };
  const std::pair<const char*, TKind> cases[] = {
      {"2;1,0\r\n\"\",\"\"\r\n", Convert},        // a field runs to the comma: "2;1"
      {"2,1,0\n\"\",\"\"\r\n", Convert},          // and so takes in a lone LF
      {"2,1,0\r\r\"\",\"\"\r\n", Format},         // CR without LF
      {"2,1,0\r\n\"\"\"\"\r\n", Format},          // no comma between the texts
      {"2,1,0\r\n\"\",X\"\r\n", Format},          // text not opened by a quote
      {"2,1,0\r\n\"\",\"\"\n", Format},           // second line without CR
      {"123456789,1,0\r\n\"\",\"\"\r\n", Format}, // nine characters
      {"-1,1,0\r\n\"\",\"\"\r\n", Format},        // negative count
      {"65536,1,0\r\n\"\",\"\"\r\n", Format},     // more controls than a pattern holds
      {"2,1,256\r\n\"\",\"\"\r\n", Format},       // flags past one byte
      {"2x,1,0\r\n\"\",\"\"\r\n", Convert},       // not a number
      {",1,0\r\n\"\",\"\"\r\n", Convert},         // empty field
      {"2,1, 0\r\n\"\",\"\"\r\n", Convert},       // no spaces
      {"65535,65535,6\r\n\"\",\"\"\r\n", Format}, // forged sizes
      {"8,65535,0\r\n\"\",\"\"\r\n", Format},     {"65535,0,0\r\n\"\",\"\"\r\n", Format},
      {"1,1,6\r\n\"\",\"\"\r\n", Format},
  };
  for (auto [header, kind] : cases) {
    TTuftFile1 t = Sentinel1();
    try {
      t.LoadFromBytes(Cat({Text(header), Bytes(64, 0)}));
      ADD_FAILURE() << "accepted " << header;
    } catch (const ETuftFile& e) {
      EXPECT_EQ(kind, Format) << header;
      EXPECT_STREQ(e.what(), "Error reading tuft file");
    } catch (const EConvertError&) {
      EXPECT_EQ(kind, Convert) << header;
    }
    EXPECT_EQ(Snapshot(t), Snapshot(Sentinel1())) << header;
  }

  // A hundred characters is the longest text; eight digits the longest number.
  std::string hundred(100, 'T');
  TTuftFile1 t;
  t.LoadFromBytes(Text("00000002,1,0\r\n\"" + hundred + "\",\"\"\r\n\0\5\6\0"s));
  EXPECT_EQ(t.StyleCode, hundred);
  EXPECT_EQ(t.ControlYarn(2), 7);
  EXPECT_THROW(t.LoadFromBytes(Text("2,1,0\r\n\"" + hundred + "T\",\"\"\r\n\0\5\6\0"s)), ETuftFile);
  // Without controls every row is empty: only the reverse byte is needed.
  t.LoadFromBytes(Text("0,65535,0\r\n\"\",\"\"\r\n\0"s));
  EXPECT_EQ(t.NoPLines(), 65535);
}

Bytes Header2(uint16_t controls, uint16_t pLines) {
  Bytes b = {0, 2};
  PutWord(b, controls);
  PutWord(b, pLines);
  b.resize(74, 0);
  return b;
}

TEST(TuftFile2, HeaderControlBytesAndRunLengthLines) {
  TTuftFile2 t;
  t.MachineType = 11;
  t.OffsetAllowed = 1;
  t.StepsPerPLine = 200;
  t.SetNoControls(20);
  t.SetNoPLines(3);
  for (int i = 1; i <= 16; ++i)
    t.SetColour(i, 0x00010203u * static_cast<uint32_t>(i));
  for (int c = 1; c <= 20; ++c) {
    t.SetControlYarn(c, c == 1 ? 0 : static_cast<uint8_t>(c == 2 ? 5 : 16)); // 0 stays 0
    t.SetCell(c, 1, 3);                                                      // twenty equal cells
    t.SetCell(c, 2, static_cast<uint8_t>(c % 2 + 1));                        // alternating
  } // PLine 3 stays 0: written as 16

  Bytes e = Hex("0002 1400 0300 01 0b 00 c8");
  for (int i = 1; i <= 16; ++i)
    PutCardinal(e, 0x00010203u * static_cast<uint32_t>(i));
  Put(e, {0, 4});
  e.resize(74 + 20, 15);
  Put(e, {2, 0, 0xF2, 0x32, 20, 0});
  for (int c = 1; c <= 20; ++c)
    Put(e, {c % 2});
  Put(e, {2, 0, 0xFF, 0x3F});
  EXPECT_EQ(t.SaveToBytes(), e);

  TTuftFile2 back;
  back.LoadFromBytes(e);
  t.SetControlYarn(1, 1);
  for (int c = 1; c <= 20; ++c)
    t.SetCell(c, 3, 16);
  EXPECT_EQ(Snapshot(back), Snapshot(t));
}

// Runs break at 16 cells; values equal in their low four bits (1 and 17) make one run.
TEST(TuftFile2, RunLinesMatchTheCellByCellCodingAtAnyWidth) {
  std::mt19937 rng(31);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const uint8_t values[] = {0, 1, 2, 15, 16, 17, 18, 32, 255};
  for (int controls = 0; controls <= 260; controls += controls < 200 ? 1 : 28) {
    const int pLines = 5;
    TTuftFile2 t;
    t.SetNoControls(controls);
    t.SetNoPLines(pLines);
    Bytes e = Header2(static_cast<uint16_t>(controls), pLines);
    e.resize(e.size() + static_cast<size_t>(controls), 0);
    for (int p = 1; p <= pLines; ++p) {
      const int runChance = p - 1; // PLine 1 changes at every cell, PLine 5 at one in five
      uint8_t v = values[pick(0, 8)];
      Bytes line;
      int kept = -1, length = 0;
      for (int c = 1; c <= controls; ++c) {
        if (pick(0, runChance * runChance) == 0)
          v = values[pick(0, 8)];
        t.SetCell(c, p, v);
        const int x = (v - 1) & 0x0F;
        if (length > 0 && x == kept && length < 16) {
          ++length;
          continue;
        }
        if (length > 0)
          line.push_back(static_cast<uint8_t>((length - 1) * 16 + kept));
        kept = x;
        length = 1;
      }
      if (length > 0)
        line.push_back(static_cast<uint8_t>((length - 1) * 16 + kept));
      PutWord(e, static_cast<uint16_t>(line.size()));
      e = Cat({e, line});
    }
    ASSERT_EQ(t.SaveToBytes(), e) << controls << " controls";
  }
}

// Cleared: no controls, no PLines, no colours; the other header values stay.
const std::vector<int> Cleared2 = [] {
  std::vector<int> s = {0, 0, 0, 0, 0};
  s.resize(s.size() + TTuftFile2::NoColourEntries + 2, 0);
  return s;
}();

TEST(TuftFile2, BadDataFailsWithTheDataError) {
  Bytes signedColour = Cat({Header2(1, 1), {0, 0, 0}});
  signedColour[10 + 15 * 4 + 3] = 0x80;
  const std::pair<const char*, Bytes> cases[] = {
      {"count above the controls", Cat({Header2(2, 1), {0, 0, 3, 0, 0, 0, 0}})},
      {"runs past the last control", Cat({Header2(2, 1), {0, 0, 2, 0, 0x00, 0x10}})},
      {"colour past the signed range", signedColour},
      {"65535 by 65535 with no lines", Cat({Header2(65535, 65535), Bytes(65535, 0)})},
      {"lines announced that are not there", Cat({Header2(1, 60000), Bytes(101, 0)})},
  };
  for (const auto& [why, bytes] : cases) {
    TTuftFile2 t = Sentinel2();
    t.FileName = "D.TUF";
    try {
      t.LoadFromBytes(bytes);
      ADD_FAILURE() << why;
    } catch (const ETuftFile& e) {
      EXPECT_STREQ(e.what(), "Error in tuft file data: D.TUF") << why;
    }
    EXPECT_EQ(Snapshot(t), Cleared2) << why;
  }
}

// The variant is told by the file's first byte, whatever the file's name holds.
TEST(TuftFile, VersionIsReadFromTheFirstByteOfAnyNamedFile) {
  TTempDir dir;
  const std::string name = dir.File("M\xC3\xBCster.TUF");
  TTuftFile t(name);
  for (const auto& [first, version] : {std::pair<uint8_t, uint8_t>{0, 2}, {'5', 1}}) {
    WriteBytes(name, Bytes{first, 7});
    EXPECT_EQ(t.ReadVersion(), version);
    EXPECT_EQ(t.Version, version);
  }
  WriteBytes(name, Bytes{});
  EXPECT_THROW(t.ReadVersion(), EReadError);
  EXPECT_EQ(t.Version, 1);
  TTuftFile missing(dir.File("none.TUF"));
  EXPECT_THROW(missing.ReadVersion(), EFOpenError);
}

TEST(TuftFile2, SaveRefusesValuesTheHeaderCannotHold) {
  TTempDir dir;
  TTuftFile2 t(dir.File("V.TUF"));
  t.StepsPerPLine = 256;
  EXPECT_THROW(t.Save(), ERangeError);
  t.StepsPerPLine = 255;
  t.SetColour(16, 0x80000000u);
  EXPECT_THROW(t.Save(), ERangeError);
  EXPECT_FALSE(FileExists(t.FileName));
  t.SetColour(16, 0x7FFFFFFFu);
  t.Save();
  EXPECT_EQ(FileBytes(t.FileName).size(), 74u);
}

} // namespace
} // namespace quillane::test
