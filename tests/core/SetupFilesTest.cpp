#include "TestSupport.h"

#include <functional>

#include "app/Exceptions.h"
#include "model/Pattern.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"

namespace quillane::test {
namespace {

class SetupFiles : public TFlowTest {};

Bytes Record(const ODesignData& d) {
  OWriter w;
  d.WriteToStream(w);
  return w.Bytes();
}

// Each kind's exchange file, imported into a pattern it fits and exported again, comes back
// byte for byte.
TEST_F(SetupFiles, EveryKindRoundTripsThroughItsExchangeFile) {
  OPattern p;
  p.SetNoControls(5);
  p.SetNoYarnTypes(3);
  p.SetMachineType(0); // a state pattern with two states
  p.SetNoColours(16);
  const std::initializer_list<ODesignData*> objects = {p.Palette.get(), p.MachineTable.get(),
                                                       p.DesignTable.get(), p.Creel.get()};
  for (ODesignData* d : objects)
    d->SetDefaults();
  for (ODesignData* d : objects)
    d->Update();

  Bytes palette = {4, 2, 16};
  for (uint32_t i = 0; i <= 17; ++i)
    PutCardinal(palette, 0x00030201u * i);
  Bytes design = {2, 1, 3, 2, 16};
  for (int i = 0; i < 36; ++i)
    design.push_back(static_cast<uint8_t>(16 - i % 17));
  const std::pair<ODesignData*, Bytes> cases[] = {
      {p.Palette.get(), palette},
      {p.Creel.get(), {1, 1, 7, 0, 5, 0, 3, 1, 2, 0, 3}},
      {p.MachineTable.get(), {3, 2, 3, 2, 16, 15, 14, 13, 12, 11, 2}},
      {p.DesignTable.get(), design}};
  for (const auto& [object, bytes] : cases) {
    const std::string in = Current.File("in." + object->GetExtension());
    const std::string out = Current.File("out." + object->GetExtension());
    WriteBytes(in, bytes);
    UI.FileAnswers = {in, out};
    object->Import();
    object->Export();
    EXPECT_TRUE(UI.Errors().empty()) << object->GetExtension();
    EXPECT_EQ(FileBytes(out), bytes) << object->GetExtension();
  }
  EXPECT_EQ(p.Creel->GetYarnType(5), 3);
  EXPECT_EQ(p.MachineTable->GetState(3, 11), 2);
  EXPECT_EQ(p.DesignTable->GetOddState(1, 1, 16), 1);
}

// Wrong headers fail with the kind's text before reading on; records cut anywhere, or with
// counts that promise more bytes than remain, fail with the read error before anything grows.
// Either way the object keeps what it had.
TEST(SetupRecords, BadRecordsFailAndChangeNothing) {
  struct TCase {
    std::function<std::unique_ptr<ODesignData>()> Make;
    Bytes Good;
    std::vector<Bytes> Forged;
    std::vector<std::pair<int, int>> BadHeaders;
    const char* HeaderError;
  };
  const TCase cases[] = {
      {[] { return std::make_unique<OPalette>(nullptr); },
       {4, 1, 2, 1, 2, 3, 4, 5, 6, 7, 8},
       {{4, 2, 255, 1, 2, 3, 4}},
       {{9, 2}, {4, 0}, {4, 3}},
       "Error reading palette data"},
      {[] { return std::make_unique<OCreel>(nullptr); },
       {1, 1, 2, 1, 5, 0, 1, 2, 3, 1, 2},
       {{1, 1, 2, 1, 255, 255, 1, 2, 3, 1, 2}},
       {{2, 1}, {1, 0}, {1, 2}},
       "Error reading creel data"},
      {[] { return std::make_unique<OMachineTable>(nullptr); },
       {3, 1, 3, 2, 1, 2, 3, 4, 5, 6, 4, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       {{3, 2, 255, 255, 1, 2, 3}, {3, 1, 1, 1, 1, 255, 255, 0}},
       {{2, 2}, {3, 0}, {3, 3}},
       "Error reading machine table data"},
      {[] { return std::make_unique<ODesignTable>(nullptr); },
       {2, 1, 1, 2, 5, 1, 2, 3, 4},
       {{2, 1, 255, 255, 16, 1, 2, 3}}, // four gigabytes promised
       {{1, 1}, {2, 0}, {2, 2}},
       "Error reading design table data"},
  };
  for (const TCase& c : cases) {
    std::unique_ptr<ODesignData> d = c.Make();
    OReader good(c.Good);
    d->ReadFromStream(good);
    EXPECT_EQ(good.Remaining(), 0u);
    const Bytes before = Record(*d);

    for (auto [kind, version] : c.BadHeaders) {
      Bytes b = c.Good;
      b[0] = static_cast<uint8_t>(kind);
      b[1] = static_cast<uint8_t>(version);
      OReader r(b);
      try {
        d->ReadFromStream(r);
        ADD_FAILURE() << c.HeaderError << ": accepted " << kind << ", " << version;
      } catch (const EDesignData& e) {
        EXPECT_STREQ(e.what(), c.HeaderError);
      }
      EXPECT_EQ(r.Position(), 2u);
    }
    std::vector<OReader> readers;
    for (const Bytes& f : c.Forged)
      readers.emplace_back(f);
    for (size_t n = 0; n < c.Good.size(); ++n)
      readers.emplace_back(c.Good.data(), n);
    for (OReader& r : readers) {
      EXPECT_THROW(d->ReadFromStream(r), EReadError) << c.HeaderError << " " << r.TotalSize();
      EXPECT_EQ(Record(*d), before) << c.HeaderError << " " << r.TotalSize();
    }
  }
}

TEST(SetupRecords, LookupsBeforeValidationThrowWithTheClassName) {
  OCreel creel(nullptr);
  OMachineTable machine(nullptr);
  ODesignTable design(nullptr);
  const std::pair<std::function<void()>, const char*> lookups[] = {
      {[&] { creel.GetYarnType(1); }, "Creel needs validating"},
      {[&] { OCreel(nullptr).Assign(creel); }, "Creel needs validating"},
      {[&] { machine.GetColour(1, 1); }, "MachineTable needs validating"},
      {[&] { machine.GetState(1, 1); }, "MachineTable needs validating"},
      {[&] { machine.GetYarnType(1, 1); }, "MachineTable needs validating"},
      {[&] { design.GetColour(1, 1, 1, 1); }, "DesignTable needs validating"},
      {[&] { design.GetOddState(1, 1, 1); }, "DesignTable needs validating"},
      {[&] { design.GetEvenState(1, 1, 1); }, "DesignTable needs validating"},
  };
  for (const auto& [lookup, text] : lookups) {
    try {
      lookup();
      ADD_FAILURE() << text;
    } catch (const EAssertionFailed& e) {
      EXPECT_STREQ(e.what(), text);
    }
  }
}

} // namespace
} // namespace quillane::test
