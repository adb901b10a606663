#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <new>

#include "app/App.h"

namespace quillane::fuzz {

// Every reader may refuse its input with an exception; nothing else may happen.
template <class TBody> int Guarded(TBody body) {
  try {
    body();
  } catch (const std::bad_alloc&) {
    // An allocation the input could provoke is a finding: let libFuzzer see it.
    throw;
  } catch (const std::exception&) {
  }
  return 0;
}

} // namespace quillane::fuzz
