#include "setup/MachineTable.h"

#include <vector>

#include "app/Exceptions.h"
#include "data/DesignOwner.h"

namespace quillane {

OMachineTable::OMachineTable(ODesignOwner* owner) : ODesignData(owner) {
  OMachineTable::Clear();
}

std::unique_ptr<ODesignData> OMachineTable::NewEmpty() const {
  return std::make_unique<OMachineTable>(Owner);
}

void OMachineTable::CheckValidated() const {
  if (Unvalidated)
    throw EAssertionFailed("MachineTable needs validating");
}

OPaletteEntry OMachineTable::GetColour(int yarnType, int state) const {
  CheckValidated();
  return ColourTable.Get({yarnType, state});
}

OState OMachineTable::GetState(int yarnType, int colour) const {
  CheckValidated();
  // A table of no pattern answers as in a state pattern.
  const uint8_t mode = Owner ? Owner->PatternMode : pmStates;
  if (mode == pmStates)
    return StateTable.Get({yarnType, colour});
  return mode == pmColours ? 1 : 0;
}

OYarnType OMachineTable::GetYarnType(int colour, int state) const {
  CheckValidated();
  return YarnTypeTable.Get({colour, state});
}

OPaletteEntry OMachineTable::ColourEntry(int yarnType, int state) const {
  return ColourTable.Get({yarnType, state});
}

void OMachineTable::SetColour(int yarnType, int state, OPaletteEntry colour) {
  if (colour > ColourCount || !ColourTable.Contains({yarnType, state}))
    return;
  ColourTable.Set({yarnType, state}, colour);
  StateTable.Set({yarnType, colour}, static_cast<uint8_t>(state));
  YarnTypeTable.Set({colour, state}, static_cast<uint8_t>(yarnType));
}

void OMachineTable::Reshape() {
  ColourTable.Resize({YarnTypeCount, StateCount});
  StateTable.Resize({YarnTypeCount, ColourCount});
  YarnTypeTable.Resize({ColourCount, StateCount});
  Unvalidated = true;
}

void OMachineTable::SetNoColours(uint8_t n) {
  if (n == ColourCount)
    return;
  ColourCount = n;
  Reshape();
}

void OMachineTable::SetNoStates(uint8_t n) {
  if (n == StateCount)
    return;
  StateCount = n;
  Reshape();
}

void OMachineTable::SetNoYarnTypes(uint8_t n) {
  if (n == YarnTypeCount)
    return;
  YarnTypeCount = n;
  Reshape();
}

void OMachineTable::SetUndefinedState(OState state) {
  Undefined = state == 0 || state > StateCount ? 1 : state;
}

void OMachineTable::Assign(const OMachineTable& source) {
  source.CheckValidated(); // before anything changes
  if (&source != this) {
    SetNoColours(source.ColourCount);
    SetNoStates(source.StateCount);
    SetNoYarnTypes(source.YarnTypeCount);
    Owner = source.Owner;
    SetUndefinedState(source.Undefined);
    for (int y = 1; y <= YarnTypeCount; ++y)
      for (int s = 1; s <= StateCount; ++s)
        SetColour(y, s, source.GetColour(y, s));
  }
  Unvalidated = true;
  if (Owner)
    Owner->ApplyMachineTable();
}

void OMachineTable::Clear() {
  ColourCount = 0;
  StateCount = 0;
  YarnTypeCount = 0;
  ColourTable.Clear();
  StateTable.Clear();
  YarnTypeTable.Clear();
  Unvalidated = true;
}

void OMachineTable::SetDefaults() {
  if (!LoadDefault() && ColourCount > 0) {
    // The palette colours handed out in turn, yarn type by yarn type.
    int k = 1;
    for (int y = 1; y <= YarnTypeCount; ++y)
      for (int s = 1; s <= StateCount; ++s) {
        SetColour(y, s, static_cast<OPaletteEntry>(k));
        k = k >= ColourCount ? 1 : k + 1;
      }
  }
  Unvalidated = true;
}

void OMachineTable::Update() {
  if (!Owner)
    return;
  SetNoColours(Owner->NoColours);
  SetNoStates(Owner->NoStates);
  SetNoYarnTypes(Owner->NoYarnTypes);
  if (Unvalidated)
    Validate();
}

void OMachineTable::Validate() {
  Unvalidated = false;
  for (int y = 1; y <= YarnTypeCount; ++y)
    for (int s = 1; s <= StateCount; ++s)
      if (ColourTable.Get({y, s}) > ColourCount)
        SetColour(y, s, 0);
  // Rebuilt in loop order, so the highest state and the highest yarn type win. Both start
  // from nothing, also with no yarn types, so nothing of an earlier, larger table is left.
  StateTable.Fill(0);
  YarnTypeTable.Fill(0);
  for (int y = 1; y <= YarnTypeCount; ++y)
    for (int s = 1; s <= StateCount; ++s) {
      const uint8_t c = ColourTable.Get({y, s});
      if (c > 0) {
        StateTable.Set({y, c}, static_cast<uint8_t>(s));
        YarnTypeTable.Set({c, s}, static_cast<uint8_t>(y));
      }
    }
}

void OMachineTable::ReadFromStream(OReader& stream) {
  const uint8_t version = ReadHeader(stream, 1, 2);
  const uint8_t yarnTypes = stream.ReadByte();
  const uint8_t states = stream.ReadByte();
  // Everything is read before anything changes, so a short record leaves the table as it was.
  const size_t cells = static_cast<size_t>(yarnTypes) * states;
  std::span<const uint8_t> colours = stream.ReadSpan(cells);
  uint8_t undefined = 1;
  if (version == 2) {
    undefined = stream.ReadByte();
  } else {
    // An old table of no use any more.
    const size_t a = stream.ReadByte();
    const size_t b = stream.ReadByte();
    stream.Skip(a * b);
  }
  SetNoYarnTypes(yarnTypes);
  SetNoStates(states);
  for (int y = 1; y <= yarnTypes; ++y)
    for (int s = 1; s <= states; ++s)
      ColourTable.Set({y, s}, colours[static_cast<size_t>((y - 1) * states + (s - 1))]);
  SetUndefinedState(undefined);
  // The inverse tables are not built yet.
  Unvalidated = true;
}

void OMachineTable::WriteToStream(OWriter& s) const {
  s.Reserve(s.Size() + 5 + static_cast<size_t>(YarnTypeCount) * StateCount);
  s.WriteByte(static_cast<uint8_t>(TDesignRecordKind::MachineTable));
  s.WriteByte(2);
  s.WriteByte(YarnTypeCount);
  s.WriteByte(StateCount);
  for (int y = 1; y <= YarnTypeCount; ++y)
    for (int st = 1; st <= StateCount; ++st)
      s.WriteByte(ColourTable.Get({y, st}));
  s.WriteByte(Undefined);
}

void OMachineTable::Export() {
  ExportFlow();
}

void OMachineTable::Import() {
  ImportFlow([this](OReader& stream) {
    OMachineTable temp(Owner);
    temp.ReadFromStream(stream);
    stream.RequireEnd();
    // Fitted to the pattern and validated as Update does, before it is taken.
    temp.Update();
    if (temp.NeedsValidating())
      temp.Validate();
    Assign(temp);
  });
}

} // namespace quillane
