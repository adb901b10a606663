#include "InterchangeSupport.h"
#include "PatternSupport.h"

#include <gmock/gmock.h>

#include <functional>

#include "files/CmcFile.h"
#include "files/Colors.h"
#include "setup/DesignTable.h"

namespace quillane::test {
namespace {

using TRead = std::function<std::string(std::span<const uint8_t>)>;

// The failure's message, "accepted", or "changed" when the failed read altered its object.
std::string Outcome(const std::function<void()>& read, const std::function<bool()>& kept) {
  try {
    read();
    return "accepted";
  } catch (const std::exception& e) {
    return kept() ? e.what() : "changed by: " + std::string(e.what());
  }
}

// A design record read into a fresh object, which must write back as before.
template <class TMake> TRead RecordInto(TMake make) {
  return [make](std::span<const uint8_t> cut) {
    auto d = make();
    const Bytes before = RecordBytes(*d);
    OReader r(cut.data(), cut.size());
    return Outcome([&] { d->ReadFromStream(r); }, [&] { return RecordBytes(*d) == before; });
  };
}

template <class T, class... TArgs> TRead Fresh(TArgs... args) {
  return RecordInto([=] { return std::make_unique<T>(nullptr, args...); });
}

template <class TFile> Bytes Saved(TFile f) {
  return f.SaveToBytes();
}

class TruncatedFiles : public TFlowTest {};

// Every reader fails at every cut and keeps its object (a variant-2 tuft file is cleared).
TEST_F(TruncatedFiles, EveryReaderFailsAtEveryOffsetAndKeepsItsObject) {
  OPicture picture(nullptr);
  TTuftFile1 tuft1 = Sentinel1();
  tuft1.SetNoPlanes(3);
  tuft1.SizeCode = "SZ";
  TTuftFile2 tuft2 = Sentinel2();
  tuft2.SetCell(1, 1, 2);
  TColorsFile colours(6);
  colours.SetColour(1, 1, 0x111111);
  colours.SetControlYarn(6, 16);
  OSettings settings(nullptr);
  settings.NoControls = 0x1234;
  settings.SetDescription("Berber loop");
  settings.FileVersion = 6;
  auto pattern = BarePattern(3, 2);
  AddSection(*pattern, {1, 1, 3, 2}, {1, 1, 3, 2});
  AddSection(*pattern, {1, 1, 2, 2}, {1, 1, 2, 2}, 1, 0, 2);
  AddRegion(AddPicture(*pattern, 3, 2), {1, 1, 3, 2}, {1, 1, 3, 2});
  OPicture& shown = AddPicture(*pattern, 4, 3);
  AddRegion(shown, {1, 1, 3, 2}, {1, 1, 3, 2}).ImportFlag = 1;
  AddRegion(shown, {1, 1, 3, 2}, {1, 1, 2, 3}, 0, 0, 1);

  auto importer = [](auto read) -> TRead {
    return [read](std::span<const uint8_t> cut) {
      return Outcome([&] { read(cut); }, [] { return true; });
    };
  };
  const struct {
    const char* Name;
    Bytes File;
    TRead Read;
    std::vector<std::string> Messages = {"Stream read error"};
  } rows[] = {
      {"settings", RecordBytes(settings), Fresh<OSettings>()},
      {"palette", {4, 1, 2, 1, 2, 3, 4, 5, 6, 7, 8}, Fresh<OPalette>()},
      {"creel", {1, 1, 2, 1, 5, 0, 1, 2, 3, 1, 2}, Fresh<OCreel>()},
      {"machine table",
       {3, 1, 3, 2, 1, 2, 3, 4, 5, 6, 4, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       Fresh<OMachineTable>()},
      {"design table", {2, 1, 1, 2, 5, 1, 2, 3, 4}, Fresh<ODesignTable>()},
      {"section", RecordBytes(*pattern->Sections->Get(1)), Fresh<OSection>()},
      {"region", RecordBytes(*shown.Regions.Get(1)), Fresh<ORegion>(&picture)},
      {"picture", RecordBytes(shown), Fresh<OPicture>()},
      {"pattern",
       RecordBytes(*pattern), // a new pattern is discarded whole when reading fails
       importer([](std::span<const uint8_t> cut) {
         OReader r(cut.data(), cut.size());
         OPattern().ReadFromStream(r);
       })},
      {"option file", settings.OptionFileBytes(),
       [](std::span<const uint8_t> cut) {
         OSettings s(nullptr);
         s.SetDescription("kept");
         s.FileVersion = 2;
         const Bytes before = RecordBytes(s);
         return Outcome([&] { s.ReadOptionBytes(cut); }, [&] { return RecordBytes(s) == before; });
       }},
      {"colour file", colours.SaveToBytes(),
       [](std::span<const uint8_t> cut) {
         TColorsFile f(6);
         return Outcome([&] { f.LoadFromBytes(cut); },
                        [&] { return Saved(f) == Saved(TColorsFile(6)); });
       }},
      {"tuft file 1",
       tuft1.SaveToBytes(),
       [&](std::span<const uint8_t> cut) {
         TTuftFile1 t = Sentinel1();
         return Outcome([&] { t.LoadFromBytes(cut); },
                        [&] { return Saved(t) == Saved(Sentinel1()); });
       },
       {"Stream read error", "Error reading tuft file"}},
      {"tuft file 2",
       tuft2.SaveToBytes(),
       [&](std::span<const uint8_t> cut) {
         TTuftFile2 t = tuft2;
         t.FileName = "/x/CUT.TUF";
         return Outcome([&] { t.LoadFromBytes(cut); },
                        [&] { return Saved(t) == Saved(TTuftFile2()); });
       },
       {"Stream read error", "Error in tuft file data: /x/CUT.TUF"}},
      {"CMC import",
       Car(2, 9, 16, 10, 1064),
       importer(NewPatternFromCmcBytes),
       {"Error reading CMC file"}},
      {"NED import",
       Ned(3, 2, {1, 0, 0, 0, 2, 255}),
       importer(NewPatternFromNedBytes),
       {"Error reading NED Graphics file"}},
  };
  for (const auto& row : rows)
    for (size_t n = 0; n < row.File.size(); ++n)
      ASSERT_THAT(row.Messages, ::testing::Contains(row.Read({row.File.data(), n})))
          << row.Name << " cut at " << n << " of " << row.File.size();
}

} // namespace
} // namespace quillane::test
