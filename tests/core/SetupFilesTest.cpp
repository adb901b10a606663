#include "TestSupport.h"

#include "model/Pattern.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"

namespace quillane::test {
namespace {

class SetupFiles : public TFlowTest {};

// Each kind's exchange file, imported into a pattern it fits and exported again, comes back
// byte for byte.
TEST_F(SetupFiles, EveryKindRoundTripsThroughItsExchangeFile) {
  OPattern p;
  p.SetNoControls(5);
  p.SetNoYarnTypes(3);
  p.SetMachineType(0); // a state pattern with two states
  p.SetNoColours(16);
  for (ODesignData* d : std::initializer_list<ODesignData*>{p.Palette.get(), p.MachineTable.get(),
                                                            p.DesignTable.get(), p.Creel.get()})
    d->SetDefaults();
  for (ODesignData* d : std::initializer_list<ODesignData*>{p.Palette.get(), p.MachineTable.get(),
                                                            p.DesignTable.get(), p.Creel.get()})
    d->Update();

  Bytes palette = {4, 2, 16};
  for (uint32_t i = 0; i <= 17; ++i)
    PutCardinal(palette, 0x00030201u * i);
  Bytes creel = {1, 1, 7, 0, 5, 0, 3, 1, 2, 0, 3};
  Bytes machine = {3, 2, 3, 2, 16, 15, 14, 13, 12, 11, 2};
  Bytes design = {2, 1, 3, 2, 16};
  for (int i = 0; i < 36; ++i)
    design.push_back(static_cast<uint8_t>(16 - i % 17));

  const std::pair<ODesignData*, Bytes> cases[] = {{p.Palette.get(), palette},
                                                  {p.Creel.get(), creel},
                                                  {p.MachineTable.get(), machine},
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

} // namespace
} // namespace quillane::test
