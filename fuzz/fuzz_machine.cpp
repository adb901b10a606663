// The machine profile file (NAME.machine.json).
#include <cstdlib>

#include "FuzzSupport.h"
#include "production/MachineProfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quillane;
  return fuzz::Guarded([&] {
    const TMachineProfile profile = ReadMachineProfile({data, size});
    // What was accepted is written so that it reads back the same.
    if (!(ReadMachineProfile(MachineProfileBytes(profile)) == profile))
      std::abort();
    (void)WorkingWidthMm(profile);
  });
}
