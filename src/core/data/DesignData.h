#pragma once

#include <functional>
#include <memory>
#include <string>

#include "data/Record.h"

namespace quillane {

class ODesignOwner;

// The texts that tell the exchange flows of one kind apart.
struct TKindTexts {
  const char* Extension;
  const char* FilterDescription; // of the files with Extension
  const char* ExportTitle;
  const char* CreatingError;
  const char* WritingError;
  const char* ImportTitle;
  const char* ImportReadError;
  const char* NotFoundError;
  const char* HeaderError;
};

// The texts of every exchange kind, kept in one place. Not defined for the pattern.
const TKindTexts& KindTexts(TDesignRecordKind kind);

// Base of every stored setup object and design element.
class ODesignData {
public:
  explicit ODesignData(ODesignOwner* owner) : Owner(owner) {}
  virtual ~ODesignData() = default;
  ODesignData(const ODesignData&) = delete;
  ODesignData& operator=(const ODesignData&) = delete;

  // The pattern this object belongs to; null for a free-standing copy.
  ODesignOwner* Owner;
  // An element's name in the tree, given once: an element that an undo or redo brings back
  // comes back under it. Never stored and never copied.
  std::string NodeName;

  // The nine operations, in their fixed slot order.
  virtual void Export() = 0;
  virtual void Import() = 0;
  virtual std::string GetExtension() const = 0;
  virtual void SetDefaults() = 0;
  virtual void Clear() = 0;
  virtual void Update() = 0;
  virtual void ReadFromStream(OReader& stream) = 0;
  virtual void WriteToStream(OWriter& stream) const = 0;
  virtual void Validate() = 0;

  virtual TDesignRecordKind Kind() const = 0;

  // Loads this object from the kind's DEFAULT file; true when one was read. A missing file
  // is passed over silently, a damaged one with a warning through the seam.
  bool LoadDefault();

protected:
  // A fresh, cleared object of the same class and owner, to try a read on.
  virtual std::unique_ptr<ODesignData> NewEmpty() const = 0;

  // The shared exchange flows. `readAndAssign` reads a temporary object of the same
  // class from the stream, adjusts it and assigns it to this object.
  void ExportFlow();
  void ImportFlow(const std::function<void(OReader&)>& readAndAssign);

  // Reads and checks a record header; raises EDesignData with the kind's header error.
  // Returns the version.
  uint8_t ReadHeader(OReader& stream, uint8_t lowestVersion, uint8_t highestVersion) const;
};

// Tries the DEFAULT files of a kind in order (current design directory, then start
// directory; the exact name, then the extension in lower case). `tryRead` gets the
// bytes of each file found and returns true once one was taken.
bool LoadDefaultFile(const std::string& extension,
                     const std::function<bool(const TBytes&)>& tryRead);

} // namespace quillane
