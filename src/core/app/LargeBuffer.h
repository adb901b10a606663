#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace quillane {

// Pattern-sized blocks (grids, images, whole files) are mapped straight from the system in
// huge pages where it can. Touching fresh memory a 4 KB page at a time costs more here than
// everything the operations then do with it: a new 36-million-cell grid took ten times as
// long to fault in as to fill. Where mapping is not available the blocks come from the heap.
void* MapLargeBlock(size_t bytes); // nullptr: too small, or take it from the heap; bad_alloc
bool UnmapLargeBlock(void* block) noexcept; // false: not a mapped block, give it to the heap
bool IsLargeBlock(size_t bytes) noexcept;   // false: never a mapped block
// Off: every new block comes from the heap, as where the system cannot map memory.
void AllowLargeBlockMapping(bool allowed) noexcept;

template <class T> struct TLargeAllocator {
  using value_type = T;

  TLargeAllocator() = default;
  template <class U> TLargeAllocator(const TLargeAllocator<U>&) noexcept {}

  T* allocate(size_t n) {
    if (n > SIZE_MAX / sizeof(T))
      throw std::bad_array_new_length();
    if (void* block = MapLargeBlock(n * sizeof(T)))
      return static_cast<T*>(block);
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, size_t n) noexcept {
    if (!IsLargeBlock(n * sizeof(T)) || !UnmapLargeBlock(p))
      std::allocator<T>().deallocate(p, n);
  }
  friend bool operator==(const TLargeAllocator&, const TLargeAllocator&) noexcept { return true; }
};

// A byte block that may be as large as a pattern: a file read whole, an exported file.
using TBytes = std::vector<uint8_t, TLargeAllocator<uint8_t>>;

// A block of bytes, all 0 when made, whose size is set only by making a new one: the cell
// grids and bit planes. Fresh memory is already zero, so it is not cleared a second time.
class TZeroedBytes {
public:
  TZeroedBytes() = default;
  explicit TZeroedBytes(size_t n);
  TZeroedBytes(const TZeroedBytes& other);
  TZeroedBytes(TZeroedBytes&& other) noexcept;
  TZeroedBytes& operator=(TZeroedBytes other) noexcept;
  ~TZeroedBytes();

  size_t size() const { return Size; }
  bool empty() const { return Size == 0; }
  uint8_t* data() { return Block; }
  const uint8_t* data() const { return Block; }
  uint8_t& operator[](size_t i) { return Block[i]; }
  const uint8_t& operator[](size_t i) const { return Block[i]; }
  uint8_t* begin() { return Block; }
  uint8_t* end() { return Block + Size; }
  const uint8_t* begin() const { return Block; }
  const uint8_t* end() const { return Block + Size; }

  friend bool operator==(const TZeroedBytes& a, const TZeroedBytes& b);

private:
  uint8_t* Block = nullptr;
  size_t Size = 0;
};

} // namespace quillane
