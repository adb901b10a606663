// The derived colour grids: each view's colours worked out from the states.
#include "model/PaintBatch.h"
#include "model/Pattern.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"

namespace quillane {

int OPattern::HighestYarnTypeInUse() const {
  int highest = 0;
  for (int c = 1; c <= NoControls; ++c)
    highest = std::max<int>(highest, Creel->GetYarnType(c));
  return highest;
}

void OPattern::ComputeMachineColours(const TWorkDone& done) {
  if (PatternMode == pmColours)
    return;
  const OMachineTable& table = *MachineTable;
  // Entries above NoColours are refused by the cell setter: they keep the old value.
  bool refused = false;
  const std::vector<TByteMap> colourOf = PerYarnType(HighestYarnTypeInUse(), [&](int y, int s) {
    const uint8_t colour = table.GetColour(y, s);
    refused = refused || colour > NoColours;
    return colour;
  });
  std::vector<const uint8_t*> mapOfControl(size_t{NoControls} + 1);
  for (int c = 1; c <= NoControls; ++c)
    mapOfControl[static_cast<size_t>(c)] = colourOf[Creel->GetYarnType(c)].data();
  for (int p = 1; p <= NoPLines; ++p) {
    if (done)
      done(p - 1, NoPLines);
    const uint8_t* states = States.Row(p);
    uint8_t* colours = MachineColours.Row(p);
    if (!refused) {
      for (int c = 1; c <= NoControls; ++c)
        colours[c] = mapOfControl[static_cast<size_t>(c)][states[c]];
    } else {
      for (int c = 1; c <= NoControls; ++c) {
        const uint8_t v = mapOfControl[static_cast<size_t>(c)][states[c]];
        if (v <= NoColours)
          colours[c] = v;
      }
    }
  }
}

void OPattern::ComputeDesignColours(const TWorkDone& done) {
  if (PatternMode == pmColours)
    return;
  const ODesignTable& table = *DesignTable;
  // One state-by-state table per pair of yarn types that occurs, made once per pass and
  // only as large as the states the design table holds, plus a row and a column of zeros
  // where every state above those falls (such a state has no colour, as in the table): a
  // creel of many yarn types meets tens of thousands of pairs.
  const size_t side = size_t{table.NoStates()} + 2;
  std::array<uint32_t, 256> rowAt{}, columnOf{}; // of each state in a pair's table
  for (size_t s = 0; s < 256; ++s) {
    columnOf[s] = static_cast<uint32_t>(std::min(s, side - 1));
    rowAt[s] = static_cast<uint32_t>(columnOf[s] * side);
  }
  std::vector<int32_t> slotOf(size_t{256} * 256, -1); // each pair's table, in order met
  std::vector<std::pair<int, int>> slotPair;
  std::vector<size_t> slotOfPair;
  struct TPair {
    int Odd, Even;
    const uint8_t* Map;
  };
  std::vector<TPair> pairs;
  for (int odd = 1; odd <= NoControls; odd += 2) {
    const int even = Partner(odd);
    const int oddType = Creel->GetYarnType(odd), evenType = Creel->GetYarnType(even);
    int32_t& slot = slotOf[static_cast<size_t>(oddType) * 256 + static_cast<size_t>(evenType)];
    if (slot < 0) {
      slot = static_cast<int32_t>(slotPair.size());
      slotPair.emplace_back(oddType, evenType);
    }
    pairs.push_back({odd, even, nullptr});
    slotOfPair.push_back(static_cast<size_t>(slot));
  }
  TBytes maps(slotPair.size() * side * side, 0);
  for (size_t slot = 0; slot < slotPair.size(); ++slot)
    for (size_t so = 0; so + 1 < side; ++so)
      for (size_t se = 0; se + 1 < side; ++se)
        maps[(slot * side + so) * side + se] =
            table.GetColour(slotPair[slot].first, slotPair[slot].second, static_cast<int>(so),
                            static_cast<int>(se));
  for (size_t i = 0; i < pairs.size(); ++i)
    pairs[i].Map = maps.data() + slotOfPair[i] * side * side;
  const uint8_t noColours = NoColours; // not reread after every store
  const int noControls = NoControls;
  // A PLine at a time, as the grid lies in memory.
  for (int p = 1; p <= NoPLines; ++p) {
    if (done)
      done(p - 1, NoPLines);
    const uint8_t* states = States.Row(p);
    uint8_t* colours = DesignColours.Row(p);
    for (const TPair& pair : pairs) {
      const uint8_t k = pair.Map[rowAt[states[pair.Odd]] + columnOf[states[pair.Even]]];
      if (k > noColours)
        continue;
      colours[pair.Odd] = k;
      if (pair.Odd + 1 <= noControls)
        colours[pair.Odd + 1] = k;
    }
  }
}

void OPattern::BringUpToDate(TView view, const TWorkDone& done) {
  if (view == UpToDate)
    return;
  UpToDate = view;
  if (view == TView::Machine)
    ComputeMachineColours(done);
  else if (view == TView::Design)
    ComputeDesignColours(done);
}

} // namespace quillane
