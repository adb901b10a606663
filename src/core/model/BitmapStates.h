#pragma once

#include "elements/BitmapMapping.h"

namespace quillane {

class OPattern;

// Which entries give each control a state in the machine or design view, by the pattern's
// creel and tables; a colour pattern's cells take every entry.
TStatedEntries StatedEntries(const OPattern& pattern, bool machine);

} // namespace quillane
