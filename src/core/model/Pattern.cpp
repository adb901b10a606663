#include "model/Pattern.h"
#include "model/PaintBatch.h"

#include "elements/Picture.h"
#include "elements/Section.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "setup/Settings.h"

namespace quillane {

namespace {
const TMachineTypeInfo MachineTypes[MaxMachineType + 1] = {
    {"UTPA", pmStates, 1, 2, {"High", "Low", nullptr}},
    {"ICN", pmStates, 1, 2, {"On", "Off", nullptr}},
    {"SCROLL2", pmStates, 1, 2, {"High", "Low", nullptr}},
    {"SCROLL3", pmStates, 3, 3, {"High", "Medium", "Low"}},
    {"HLCS", pmStates, 2, 3, {"Low", "Cut", "High"}},
    {"LCL", pmStates, 1, 2, {"High", "Low", nullptr}},
    {"UTPA2", pmStates, 1, 2, {"High", "Low", nullptr}},
    {"ICN2", pmStates, 1, 2, {"High", "Low", nullptr}},
    {"LCL2", pmStates, 1, 2, {"High", "Low", nullptr}},
    {"FRS", pmStates, 1, 2, {"High", "Low", nullptr}},
    {"SCROLL2S", pmStates, 1, 2, {"High", "Low", nullptr}},
    {"COLORTEC", pmColours, 1, 1, {"Color", nullptr, nullptr}},
    {"TWEAVER", pmColours, 1, 1, {"Color", nullptr, nullptr}},
    {"FRS2", pmStates, 1, 2, {"High", "Low", nullptr}},
};
} // namespace

const TMachineTypeInfo& MachineTypeInfo(int machineType) {
  return MachineTypes[machineType >= 0 && machineType <= MaxMachineType ? machineType : 0];
}

namespace {
int32_t PatternCounter = 0;
} // namespace

int32_t OPattern::PatternsCreated() {
  return PatternCounter;
}

void OPattern::GiveBackNumbers(int32_t count) {
  if (count >= 0 && count < PatternCounter)
    PatternCounter = count;
}

OPattern::OPattern() : OPattern(TUncounted{}) {
  OwnNumber = ++PatternCounter;
  FileName = "Pattern" + std::to_string(PatternCounter) + ".pat";
}

OPattern::OPattern(TUncounted)
    : Creel(std::make_unique<OCreel>(this)), DesignTable(std::make_unique<ODesignTable>(this)),
      MachineTable(std::make_unique<OMachineTable>(this)),
      Palette(std::make_unique<OPalette>(this)), Pictures(std::make_unique<OPictureList>(this)),
      Sections(std::make_unique<OSectionList>(this)), Settings(std::make_unique<OSettings>(this)) {}

void OPattern::SetModified(uint8_t modified) {
  if (modified == ModifiedFlag)
    return;
  ModifiedFlag = modified;
  Events.Notify({TPatternChange::TKind::Modified});
}

void OPattern::ElementsChanged(TDesignRecordKind kind, const OPicture* picture) {
  Events.Notify({TPatternChange::TKind::Elements, {}, picture, false, kind});
}

void OPattern::SetupApplied(TDesignRecordKind kind) {
  Events.Notify({TPatternChange::TKind::Setup, {}, nullptr, false, kind});
}

OPattern::~OPattern() = default;

void OPattern::SetNoControls(uint16_t n) {
  if (n == NoControls)
    return;
  NoControls = n;
  DesignColours.Resize(NoControls, NoPLines);
  MachineColours.Resize(NoControls, NoPLines);
  States.Resize(NoControls, NoPLines);
  Creel->SetNoControls(n);
  Settings->NoControls = n;
}

void OPattern::SetNoPLines(uint16_t n) {
  if (n == NoPLines)
    return;
  NoPLines = n;
  DesignColours.Resize(NoControls, NoPLines);
  MachineColours.Resize(NoControls, NoPLines);
  States.Resize(NoControls, NoPLines);
  Settings->NoPLines = n;
}

void OPattern::SetNoColours(uint8_t n) {
  if (n == NoColours)
    return;
  NoColours = n;
  DesignTable->SetNoColours(n);
  MachineTable->SetNoColours(n);
}

void OPattern::SetNoStates(uint8_t n) {
  if (n == NoStates)
    return;
  NoStates = n;
  DesignTable->SetNoStates(n);
  MachineTable->SetNoStates(n);
}

// The creel learns the new count only at the next Update.
void OPattern::SetNoYarnTypes(uint8_t n) {
  if (n == NoYarnTypes)
    return;
  NoYarnTypes = n;
  DesignTable->SetNoYarnTypes(n);
  MachineTable->SetNoYarnTypes(n);
}

void OPattern::SetMachineType(uint8_t type) {
  MachineType = type;
  Settings->MachineType = type;
  if (type > MaxMachineType)
    return; // stored, but it means nothing else
  const TMachineTypeInfo& info = MachineTypes[type];
  PatternMode = info.PatternMode;
  ControlDataFormat = info.ControlDataFormat;
  SetNoStates(info.NoStates);
  for (int i = 0; i < 3; ++i)
    if (info.StateNames[i])
      StateNames[static_cast<size_t>(i) + 1] = info.StateNames[i];
}

void OPattern::ApplySettings() {
  SetNoControls(Settings->NoControls);
  SetNoPLines(Settings->NoPLines);
  SetMachineType(Settings->MachineType);
  Settings->Validate();
  SetupApplied(TDesignRecordKind::Settings);
}

void OPattern::ApplyPalette() {
  SetNoColours(Palette->NoColours());
  Palette->Validate();
  SetupApplied(TDesignRecordKind::Palette);
}

void OPattern::ApplyMachineTable() {
  SetNoYarnTypes(MachineTable->NoYarnTypes());
  MachineTable->Validate();
  SetupApplied(TDesignRecordKind::MachineTable);
}

void OPattern::ApplyDesignTable() {
  DesignTable->Validate();
  SetupApplied(TDesignRecordKind::DesignTable);
}

void OPattern::ApplyCreel() {
  Creel->Validate();
  SetupApplied(TDesignRecordKind::Creel);
}

static std::string ElementName(const char* kind, int32_t number, int32_t& counter) {
  return std::string(kind) + std::to_string(number) + "-" + std::to_string(++counter);
}

std::string OPattern::NewPictureName() {
  return ElementName("Picture", OwnNumber, PictureCounter);
}
std::string OPattern::NewRegionName() {
  return ElementName("Region", OwnNumber, RegionCounter);
}
std::string OPattern::NewSectionName() {
  return ElementName("Section", OwnNumber, SectionCounter);
}
std::string OPattern::NewWindowName() {
  return ElementName("Window", OwnNumber, WindowCounter);
}

std::string OPattern::GetStateName(int index) const {
  return index >= 0 && index < 5 ? StateNames[static_cast<size_t>(index)] : std::string();
}

} // namespace quillane
