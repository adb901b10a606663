#include "setup/DesignTable.h"

#include "app/Exceptions.h"
#include "data/DesignOwner.h"

namespace quillane {

namespace {
// Every combination in loop order, the even state fastest; `f` gets (a, b, sa, sb).
template <class F> void ForEachCombination(int yarnTypes, int states, F f) {
  for (int a = 1; a <= yarnTypes; ++a)
    for (int b = 1; b <= yarnTypes; ++b)
      for (int sa = 1; sa <= states; ++sa)
        for (int sb = 1; sb <= states; ++sb)
          f(a, b, sa, sb);
}
} // namespace

ODesignTable::ODesignTable(ODesignOwner* owner) : ODesignData(owner) {
  ODesignTable::Clear();
}

std::unique_ptr<ODesignData> ODesignTable::NewEmpty() const {
  return std::make_unique<ODesignTable>(Owner);
}

void ODesignTable::CheckValidated() const {
  if (Unvalidated)
    throw EAssertionFailed("DesignTable needs validating");
}

OPaletteEntry ODesignTable::GetColour(int oddYarnType, int evenYarnType, int oddState,
                                      int evenState) const {
  CheckValidated();
  return ColourTable.Get({oddYarnType, evenYarnType, oddState, evenState});
}

OState ODesignTable::GetOddState(int oddYarnType, int evenYarnType, int colour) const {
  CheckValidated();
  return OddStateTable.Get({oddYarnType, evenYarnType, colour});
}

OState ODesignTable::GetEvenState(int oddYarnType, int evenYarnType, int colour) const {
  CheckValidated();
  return EvenStateTable.Get({oddYarnType, evenYarnType, colour});
}

OPaletteEntry ODesignTable::ColourEntry(int oddYarnType, int evenYarnType, int oddState,
                                        int evenState) const {
  return ColourTable.Get({oddYarnType, evenYarnType, oddState, evenState});
}

void ODesignTable::SetColour(int oddYarnType, int evenYarnType, int oddState, int evenState,
                             OPaletteEntry colour) {
  if (colour > ColourCount ||
      !ColourTable.Contains({oddYarnType, evenYarnType, oddState, evenState}))
    return;
  ColourTable.Set({oddYarnType, evenYarnType, oddState, evenState}, colour);
  // Kept current for this combination only: a rebuild lets the last combination win.
  Clean = false;
  OddStateTable.Set({oddYarnType, evenYarnType, colour}, static_cast<uint8_t>(oddState));
  EvenStateTable.Set({oddYarnType, evenYarnType, colour}, static_cast<uint8_t>(evenState));
}

void ODesignTable::SetColourAndMirror(const TDesignCombination& c, OPaletteEntry colour) {
  SetColour(c.OddYarnType, c.EvenYarnType, c.OddState, c.EvenState, colour);
  SetColour(c.EvenYarnType, c.OddYarnType, c.EvenState, c.OddState, colour);
}

void ODesignTable::Reshape() {
  ColourTable.Resize({YarnTypeCount, YarnTypeCount, StateCount, StateCount});
  OddStateTable.Resize({YarnTypeCount, YarnTypeCount, ColourCount});
  EvenStateTable.Resize({YarnTypeCount, YarnTypeCount, ColourCount});
  Unvalidated = true;
  Clean = false;
}

void ODesignTable::SetNoColours(uint8_t n) {
  if (n == ColourCount)
    return;
  ColourCount = n;
  Reshape();
}

void ODesignTable::SetNoStates(uint8_t n) {
  if (n == StateCount)
    return;
  StateCount = n;
  Reshape();
}

void ODesignTable::SetNoYarnTypes(uint8_t n) {
  if (n == YarnTypeCount)
    return;
  YarnTypeCount = n;
  Reshape();
}

void ODesignTable::BuildStateTables() {
  OddStateTable.Fill(0);
  EvenStateTable.Fill(0);
  // The last combination in loop order wins: the highest odd state, then the highest even one.
  ColourTable.ForEachCounted([&](const TByteTable<4>::TIndex& i, uint8_t& c) {
    if (c != 0) {
      OddStateTable.Set({i[0], i[1], c}, static_cast<uint8_t>(i[2]));
      EvenStateTable.Set({i[0], i[1], c}, static_cast<uint8_t>(i[3]));
    }
  });
}

void ODesignTable::Validate() {
  Unvalidated = false;
  if (Clean)
    return;
  Clean = true;
  // Clears the colours above the count and builds the state tables in one pass, as
  // BuildStateTables would after the clearing: the last combination in loop order wins.
  // Both state tables have the colour rows of the yarn type pair at hand.
  OddStateTable.Fill(0);
  EvenStateTable.Fill(0);
  int odd = -1, even = -1;
  uint8_t* oddStates = nullptr;
  uint8_t* evenStates = nullptr;
  ColourTable.ForEachCounted([&](const TByteTable<4>::TIndex& i, uint8_t& c) {
    if (c > ColourCount)
      c = 0;
    if (c == 0)
      return;
    if (i[0] != odd || i[1] != even) {
      odd = i[0];
      even = i[1];
      oddStates = OddStateTable.Entries({odd, even, 0});
      evenStates = EvenStateTable.Entries({odd, even, 0});
    }
    if (oddStates && evenStates) {
      oddStates[c] = static_cast<uint8_t>(i[2]);
      evenStates[c] = static_cast<uint8_t>(i[3]);
    }
  });
}

void ODesignTable::Assign(const ODesignTable& source) {
  source.CheckValidated(); // before anything changes
  if (&source != this) {
    // One reshape for the three counts: each reshape copies the whole table.
    if (ColourCount != source.ColourCount || StateCount != source.StateCount ||
        YarnTypeCount != source.YarnTypeCount) {
      ColourCount = source.ColourCount;
      StateCount = source.StateCount;
      YarnTypeCount = source.YarnTypeCount;
      Reshape();
    }
    // A validated source holds no colour above the count; the state tables are rebuilt by
    // the Validate that must follow, unless a clean source's (of the same shape by now) are
    // what it would build.
    ColourTable.CopyCounted(source.ColourTable);
    if (source.Clean) {
      OddStateTable = source.OddStateTable;
      EvenStateTable = source.EvenStateTable;
    }
    Unvalidated = true;
    Clean = source.Clean;
  } else {
    Unvalidated = true;
  }
  if (Owner)
    Owner->ApplyDesignTable();
}

size_t ODesignTable::NoCombinations() const {
  const size_t y = YarnTypeCount;
  const size_t s = StateCount;
  return y * y * s * s;
}

TDesignCombination ODesignTable::CombinationAt(size_t index) const {
  if (index >= NoCombinations())
    return {};
  const size_t y = YarnTypeCount;
  const size_t s = StateCount;
  TDesignCombination c;
  c.EvenState = static_cast<int>(index % s) + 1;
  index /= s;
  c.OddState = static_cast<int>(index % s) + 1;
  index /= s;
  c.EvenYarnType = static_cast<int>(index % y) + 1;
  c.OddYarnType = static_cast<int>(index / y) + 1;
  return c;
}

void ODesignTable::Clear() {
  ColourCount = 0;
  StateCount = 0;
  YarnTypeCount = 0;
  ColourTable.Clear();
  OddStateTable.Clear();
  EvenStateTable.Clear();
  Unvalidated = true;
  Clean = false;
}

void ODesignTable::SetDefaults() {
  if (!LoadDefault() && ColourCount > 0) {
    // Stored straight into the colour table; the state tables wait for validation.
    int k = 1;
    ForEachCombination(YarnTypeCount, StateCount, [&](int a, int b, int sa, int sb) {
      ColourTable.Set({a, b, sa, sb}, static_cast<uint8_t>(k));
      k = k >= ColourCount ? 1 : k + 1;
    });
  }
  Unvalidated = true;
  Clean = false;
}

void ODesignTable::Update() {
  if (!Owner)
    return;
  SetNoColours(Owner->NoColours);
  SetNoStates(Owner->NoStates);
  SetNoYarnTypes(Owner->NoYarnTypes);
  if (Unvalidated)
    Validate();
}

void ODesignTable::ReadFromStream(OReader& stream) {
  ReadHeader(stream, 1, 1);
  const uint8_t yarnTypes = stream.ReadByte();
  const uint8_t states = stream.ReadByte();
  const uint8_t colours = stream.ReadByte();
  // The counts decide the size of the table; the bytes must be there before it grows.
  const size_t y = yarnTypes;
  const size_t s = states;
  std::span<const uint8_t> cells = stream.ReadSpan(y * y * s * s);
  SetNoYarnTypes(yarnTypes);
  SetNoStates(states);
  SetNoColours(colours);
  size_t i = 0;
  ForEachCombination(yarnTypes, states, [&](int a, int b, int sa, int sb) {
    ColourTable.Set({a, b, sa, sb}, cells[i++]);
  });
  // The state tables are not built yet.
  Unvalidated = true;
  Clean = false;
}

void ODesignTable::WriteToStream(OWriter& w) const {
  w.Reserve(w.Size() + 5 + NoCombinations());
  w.WriteByte(static_cast<uint8_t>(TDesignRecordKind::DesignTable));
  w.WriteByte(1);
  w.WriteByte(YarnTypeCount);
  w.WriteByte(StateCount);
  w.WriteByte(ColourCount);
  ForEachCombination(YarnTypeCount, StateCount, [&](int a, int b, int sa, int sb) {
    w.WriteByte(ColourTable.Get({a, b, sa, sb}));
  });
}

void ODesignTable::Export() {
  ExportFlow();
}

void ODesignTable::Import() {
  ImportFlow([this](OReader& stream) {
    ODesignTable temp(Owner);
    temp.ReadFromStream(stream);
    stream.RequireEnd();
    // Fitted to the pattern and validated as Update does, before it is taken.
    temp.Update();
    if (temp.NeedsValidating())
      temp.Validate();
    Assign(temp);
  });
}

TYarnPairs::TYarnPairs(const OCreel& creel) : Count(creel.NoYarnTypes()) {
  const size_t side = static_cast<size_t>(Count) + 1;
  Flags.assign(side * side, 0);
  const int n = creel.NoControls();
  for (int odd = 1; odd <= n; odd += 2) {
    const int even = odd < n ? odd + 1 : odd - 1;
    const int a = creel.GetYarnType(odd);
    const int b = creel.GetYarnType(even);
    if (a <= Count && b <= Count)
      Flags[static_cast<size_t>(a) * side + static_cast<size_t>(b)] = 1;
  }
}

bool TYarnPairs::InUse(int oddYarnType, int evenYarnType) const {
  if (oddYarnType < 0 || evenYarnType < 0 || oddYarnType > Count || evenYarnType > Count)
    return false;
  const size_t side = static_cast<size_t>(Count) + 1;
  return Flags[static_cast<size_t>(oddYarnType) * side + static_cast<size_t>(evenYarnType)] != 0;
}

} // namespace quillane
