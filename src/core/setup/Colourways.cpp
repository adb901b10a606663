#include "setup/Colourways.h"

namespace quillane {
// Stubs until the colourways land.
} // namespace quillane
