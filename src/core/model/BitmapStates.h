#pragma once

#include <cstdint>

#include "elements/BitmapMapping.h"

namespace quillane {

class OPattern;

// Which entries give each control a state in the machine or design view, by the pattern's
// creel and tables; in a colour pattern, the entries ColourTufts.
TStatedEntries StatedEntries(const OPattern& pattern, bool machine);

// In a colour pattern, whether some yarn type shows the colour in the machine table (the
// yarn the export codes for it); a state pattern's colours are asked per yarn type instead,
// so there every colour answers true.
bool ColourTufts(const OPattern& pattern, uint8_t colour);

} // namespace quillane
