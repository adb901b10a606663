#include "production/ColourwaysFile.h"

namespace quillane {
// Stubs until the colourways land.
} // namespace quillane
