// Every exchange record kind, chosen by the record's own first byte.
#include <memory>

#include "FuzzSupport.h"
#include "elements/Picture.h"
#include "elements/Section.h"
#include "model/Pattern.h"
#include "setup/Creel.h"
#include "setup/DesignTable.h"
#include "setup/MachineTable.h"
#include "setup/Palette.h"
#include "setup/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quillane;
  if (size == 0)
    return 0;
  return fuzz::Guarded([&] {
    OPattern owner;
    std::unique_ptr<ODesignData> object;
    OPicture picture(&owner);
    switch (data[0] % 9) {
    case 0:
      object = std::make_unique<OCreel>(&owner);
      break;
    case 1:
      object = std::make_unique<ODesignTable>(&owner);
      break;
    case 2:
      object = std::make_unique<OMachineTable>(&owner);
      break;
    case 3:
      object = std::make_unique<OPalette>(&owner);
      break;
    case 4:
      object = std::make_unique<OPicture>(&owner);
      break;
    case 5:
      object = std::make_unique<ORegion>(&owner, &picture);
      break;
    case 6:
      object = std::make_unique<OSection>(&owner);
      break;
    default:
      object = std::make_unique<OSettings>(&owner);
      break;
    }
    OReader stream(data, size);
    object->ReadFromStream(stream);
    object->Validate();
    OWriter again;
    object->WriteToStream(again);
  });
}
