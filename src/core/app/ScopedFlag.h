#pragma once

namespace quillane {

// Holds a flag set for its lifetime: a guard against re-entry that neither an early return
// nor an exception leaves set.
class TScopedFlag {
public:
  explicit TScopedFlag(bool& flag) : Flag(flag) { Flag = true; }
  ~TScopedFlag() { Flag = false; }
  TScopedFlag(const TScopedFlag&) = delete;
  TScopedFlag& operator=(const TScopedFlag&) = delete;

private:
  bool& Flag;
};

} // namespace quillane
