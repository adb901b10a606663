#include "TestSupport.h"

#include "app/Exceptions.h"
#include "model/Pattern.h"
#include "setup/Settings.h"

namespace quillane::test {
namespace {

// A settings object with a distinct value in every field.
void FillDistinct(OSettings& s) {
  s.MachineType = 4;
  s.NoControls = 0x1234;
  s.NoPLines = 0xABCD;
  s.ReversePattern = 1;
  s.OffsetAllowed = 1;
  s.StepsPerPLine = 7;
  s.SetSizeCode("12,40,53");
  s.SetStyleCode("STYLE");
  s.AllowChangeControlMode = 1;
  s.AllowChangePatternLength = 0;
  s.AllowChangePatternOffset = 1;
  s.AllowInvertPattern = 0;
  s.AutoStart = 1;
  s.CamStart = 42;
  s.ControlMode = 2;
  s.SetDescription("Berber loop");
  s.FileVersion = 6;
  s.InvertFlag = 1;
  s.LengthMultiplier = 1.5f;
  s.NeedleSpacing = 0.125f;
  s.Offset = -300;
  s.OffsetMode = 1;
  s.PLineSpacing = 0.25f;
  s.PLineStart = 513;
  s.InverseStitchCount = 0.125f;
  s.TestFlag = 1;
}

TEST(Settings, RecordIsTheExactFieldSequence) {
  OSettings s(nullptr);
  FillDistinct(s);
  OWriter w;
  s.WriteToStream(w);

  Bytes e;
  Put(e, {9, 1, 4});
  PutWord(e, 0x1234);
  PutWord(e, 0xABCD);
  Put(e, {1, 1, 7});
  PutText(e, "12,40,53", 15);
  PutText(e, "STYLE", 15);
  Put(e, {1, 0, 1, 0, 1, 42, 2});
  PutText(e, "Berber loop", 64);
  Put(e, {6, 1});
  PutSingle(e, 1.5f);
  PutSingle(e, 0.125f);
  PutWord(e, static_cast<uint16_t>(-300));
  Put(e, {1});
  PutSingle(e, 0.25f);
  PutWord(e, 513);
  PutSingle(e, 0.125f);
  Put(e, {1});
  ASSERT_EQ(e.size(), OSettings::RecordSize);
  EXPECT_EQ(w.Bytes(), e);

  OSettings back(nullptr);
  OReader r(w.Bytes());
  back.ReadFromStream(r);
  EXPECT_EQ(r.Remaining(), 0u);
  OWriter again;
  back.WriteToStream(again);
  EXPECT_EQ(again.Bytes(), e);
}

TEST(Settings, BadRecordsFailAndChangeNothing) {
  OSettings good(nullptr);
  FillDistinct(good);
  OWriter w;
  good.WriteToStream(w);
  const Bytes record = w.Bytes();

  for (auto [kind, version] : {std::pair{4, 1}, std::pair{9, 0}, std::pair{9, 2}}) {
    Bytes b = record;
    b[0] = static_cast<uint8_t>(kind);
    b[1] = static_cast<uint8_t>(version);
    OSettings s(nullptr);
    OReader r(b);
    try {
      s.ReadFromStream(r);
      FAIL() << "accepted kind " << kind << " version " << version;
    } catch (const EDesignData& e) {
      EXPECT_STREQ(e.what(), "Error reading settings data");
    }
    EXPECT_EQ(r.Position(), 2u) << "nothing after the header is read";
  }

  // Cut at every length: a stream read error, and the object keeps what it had.
  for (size_t n = 2; n < record.size(); ++n) {
    OSettings s(nullptr);
    s.SetDescription("untouched");
    OReader r(record.data(), n);
    EXPECT_THROW(s.ReadFromStream(r), EReadError) << n;
    EXPECT_EQ(s.GetDescription(), "untouched");
    EXPECT_EQ(s.MachineType, 0);
  }
}

TEST(Settings, OversizedLengthBytesAreClampedToTheField) {
  OSettings s(nullptr);
  OWriter w;
  s.WriteToStream(w);
  Bytes b = w.Bytes();
  b[10] = 200; // SizeCode's length byte
  b[49] = 255; // Description's length byte
  OReader r(b);
  s.ReadFromStream(r);
  EXPECT_EQ(s.GetSizeCode().size(), 15u);
  EXPECT_EQ(s.GetDescription().size(), 64u);
}

TEST(Settings, TextsKeepRoomForTheirZeroByte) {
  OSettings s(nullptr);
  s.SetDescription(std::string(70, 'x'));
  EXPECT_EQ(s.GetDescription(), std::string(63, 'x'));
  EXPECT_EQ(s.Description.Chars[63], 0);
  s.SetSizeCode("ABCDEFGHIJKLMNOPQ");
  EXPECT_EQ(s.GetSizeCode(), "ABCDEFGHIJKLMN");
  s.SetStyleCode("");
  EXPECT_EQ(s.StyleCode.Length, 0);
}

TEST(Settings, StitchCountIsStoredAsItsReciprocal) {
  OSettings s(nullptr);
  s.SetStitchCount(8);
  EXPECT_FLOAT_EQ(s.InverseStitchCount, 0.125f);
  EXPECT_FLOAT_EQ(s.GetStitchCount(), 8);
  for (float entry : {0.0f, -3.0f}) {
    s.SetStitchCount(entry);
    EXPECT_EQ(s.InverseStitchCount, 0.0f);
    EXPECT_EQ(s.GetStitchCount(), 0.0f);
  }
}

TEST(Settings, ClearKeepsReverseAndSetsVersionSix) {
  OSettings s(nullptr);
  FillDistinct(s);
  s.Clear();
  EXPECT_EQ(s.ReversePattern, 1);
  EXPECT_EQ(s.FileVersion, 6);
  EXPECT_EQ(s.NoControls, 0);
  EXPECT_EQ(s.GetDescription(), "");
  EXPECT_EQ(s.LengthMultiplier, 0.0f);
}

// Option file layouts: expected bytes built field by field for the values of FillDistinct.
Bytes ExpectedOptionFile(int version) {
  Bytes e;
  auto description = [&] {
    PutText(e, "Berber loop", 64, false);
  };
  auto block = [&] {
    for (int i = 0; i < 16; ++i)
      e.push_back(static_cast<uint8_t>(i));
  };
  auto reals = [&] {
    PutSingle(e, 0.125f);
    PutSingle(e, 0.25f);
    PutSingle(e, 0.125f);
    PutSingle(e, 1.5f);
  };
  const uint16_t offset = static_cast<uint16_t>(-300);
  Put(e, {version});
  if (version < 1 || version > 6)
    return e;
  if (version == 3) {
    Put(e, {2, 1});
    reals();
    Put(e, {0});
    PutWord(e, offset);
    Put(e, {1, 1, 1, 0, 1, 4});
    PutWord(e, 0x1234);
    PutWord(e, 0xABCD);
    Put(e, {7, 1});
    block();
    description();
    return e;
  }
  Put(e, {2, 1, 0});
  reals();
  Put(e, {0, 0});
  PutWord(e, offset);
  Put(e, {1});
  if (version == 1) {
    Put(e, {0});
    return e;
  }
  Put(e, {1, 1, 0});
  if (version == 2)
    return e;
  Put(e, {0, 1, 4});
  PutWord(e, 0x1234);
  PutWord(e, 0xABCD);
  Put(e, {7, 1});
  block();
  description();
  if (version >= 5)
    Put(e, {1});
  if (version >= 6) {
    Put(e, {42});
    PutWord(e, 513);
  }
  return e;
}

TEST(Settings, OptionFileOfEveryVersionHasItsExactLayout) {
  const std::pair<int, size_t> sizes[] = {{0, 1}, {1, 26}, {2, 28}, {3, 114}, {4, 117},
                                          {5, 118}, {6, 121}, {7, 1}, {255, 1}};
  for (auto [version, size] : sizes) {
    OSettings s(nullptr);
    FillDistinct(s);
    s.SetFileVersion(static_cast<uint8_t>(version));
    Bytes written = s.OptionFileBytes();
    EXPECT_EQ(written.size(), size) << "version " << version;
    EXPECT_EQ(written, ExpectedOptionFile(version)) << "version " << version;
  }
}

TEST(Settings, OptionFileReadsBackTheFieldsItCarriesAndKeepsTheRest) {
  for (int version = 0; version <= 7; ++version) {
    OSettings source(nullptr);
    FillDistinct(source);
    source.SetFileVersion(static_cast<uint8_t>(version));
    Bytes file = source.OptionFileBytes();

    OSettings target(nullptr);
    target.MachineType = 11;
    target.NoControls = 5;
    target.NoPLines = 6;
    target.OffsetAllowed = 0;
    target.SetSizeCode("SZ");
    target.SetDescription("before");
    target.CamStart = 9;
    target.OffsetMode = 0;
    target.AutoStart = 0;
    target.ControlMode = 1;
    target.ReadOptionBytes(file);

    EXPECT_EQ(target.FileVersion, version);
    // Never taken from the option file.
    EXPECT_EQ(target.MachineType, 11);
    EXPECT_EQ(target.NoControls, 5);
    EXPECT_EQ(target.NoPLines, 6);
    EXPECT_EQ(target.OffsetAllowed, 0);
    EXPECT_EQ(target.GetSizeCode(), "SZ");

    const bool any = version >= 1 && version <= 6;
    EXPECT_EQ(target.ControlMode, any ? 2 : 1) << version;
    EXPECT_EQ(target.Offset, any ? -300 : 0) << version;
    EXPECT_EQ(target.NeedleSpacing, any ? 0.125f : 0.0f) << version;
    EXPECT_EQ(target.AutoStart, any && version >= 2 ? 1 : 0) << version;
    EXPECT_EQ(target.GetDescription(), any && version >= 3 ? "Berber loop" : "before") << version;
    EXPECT_EQ(target.StepsPerPLine, any && version >= 3 ? 7 : 0) << version;
    EXPECT_EQ(target.OffsetMode, any && version >= 5 ? 1 : 0) << version;
    EXPECT_EQ(target.CamStart, any && version == 6 ? 42 : 9) << version;
    EXPECT_EQ(target.PLineStart, any && version == 6 ? 513 : 0) << version;
  }
}

TEST(Settings, ShortOptionFileFailsAndChangesNothing) {
  OSettings source(nullptr);
  FillDistinct(source);
  Bytes file = source.OptionFileBytes();
  for (size_t n = 0; n < file.size(); ++n) {
    OSettings target(nullptr);
    target.SetDescription("kept");
    target.FileVersion = 2;
    EXPECT_THROW(target.ReadOptionBytes({file.data(), n}), EReadError) << n;
    EXPECT_EQ(target.GetDescription(), "kept");
    EXPECT_EQ(target.FileVersion, 2);
    EXPECT_EQ(target.ControlMode, 0);
  }
}

TEST(Settings, OptionFileDescriptionWithoutZeroIsCutToItsLimit) {
  OSettings source(nullptr);
  FillDistinct(source);
  Bytes file = source.OptionFileBytes();
  std::fill(file.end() - 3 - 1 - 64, file.end() - 3 - 1, 'D'); // 64 characters, no zero
  OSettings target(nullptr);
  target.ReadOptionBytes(file);
  EXPECT_EQ(target.GetDescription(), std::string(63, 'D'));
}

class SettingsFiles : public TFlowTest {};

TEST_F(SettingsFiles, OptionFileOnDiskRoundTripsAndReplacesAtomically) {
  OSettings s(nullptr);
  FillDistinct(s);
  const std::string dat = Current.File("B.DAT");
  WriteBytes(dat, Bytes(5, 0xEE));
  s.WriteOptionFile(dat);
  EXPECT_EQ(FileBytes(dat), ExpectedOptionFile(6));

  SetWriteFailureForTesting(10);
  s.FileVersion = 3;
  EXPECT_THROW(s.WriteOptionFile(dat), EWriteError);
  EXPECT_EQ(FileBytes(dat), ExpectedOptionFile(6)) << "a failed write keeps the old file";
  SetWriteFailureForTesting(std::nullopt);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Current.Path),
                          std::filesystem::directory_iterator()),
            1)
      << "no temporary file is left behind";

  OSettings back(nullptr);
  back.ReadOptionFile(dat);
  EXPECT_EQ(back.CamStart, 42);
  EXPECT_THROW(back.ReadOptionFile(Current.File("missing.DAT")), EFOpenError);
}

TEST_F(SettingsFiles, NewDefaultsWithoutDefaultFile) {
  OPattern p;
  p.SetNoControls(100);
  p.SetNoPLines(80);
  p.Settings->SetDefaults();
  const OSettings& s = *p.Settings;
  EXPECT_EQ(s.FileVersion, 6);
  EXPECT_EQ(s.GetDescription(), "Default ControlSetup");
  EXPECT_EQ(s.AllowChangeControlMode + s.AllowChangePatternLength + s.AllowChangePatternOffset +
                s.AllowInvertPattern,
            4);
  EXPECT_EQ(s.StepsPerPLine, 1);
  EXPECT_EQ(s.OffsetAllowed, 1);
  EXPECT_EQ(s.LengthMultiplier, 1.0f);
  EXPECT_EQ(s.NoControls, 100);
  EXPECT_EQ(s.NoPLines, 80);
}

TEST_F(SettingsFiles, AssignResizesTheOwnerPattern) {
  OPattern p;
  p.SetNoControls(100);
  p.SetNoPLines(100);
  p.States.Set(100, 100, 2);
  OSettings edited(&p);
  edited.Assign(*p.Settings);
  edited.NoControls = 120;
  edited.MachineType = 3;
  p.Settings->Assign(edited);
  EXPECT_EQ(p.NoControls, 120);
  EXPECT_EQ(p.States.Controls(), 120);
  EXPECT_EQ(p.States.Get(100, 100), 2);
  EXPECT_EQ(p.NoStates, 3);
  EXPECT_EQ(p.GetStateName(2), "Medium");
}

} // namespace
} // namespace quillane::test
