#include "app/LargeBuffer.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace quillane {

namespace {

#if defined(__SANITIZE_ADDRESS__)
#define QUILLANE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLANE_ASAN 1
#endif
#endif

#ifdef QUILLANE_ASAN
// The sanitizers guard heap blocks only: keep every block on the heap so overruns of
// large grids are still caught.
constexpr size_t Threshold = SIZE_MAX;
#else
constexpr size_t Threshold = size_t{1} << 20;
#endif

#ifndef MADV_POPULATE_WRITE
constexpr int MADV_POPULATE_WRITE = 23; // Linux 5.14; older kernels refuse it harmlessly
#endif

} // namespace

bool IsLargeBlock(size_t bytes) noexcept { return bytes >= Threshold; }

namespace {
// Blocks of a huge page or more are mapped whole huge pages long, on a huge-page boundary:
// only those pages are huge. Everything else is 4 KB pages, each of which costs more on
// its first touch here (about 5 microseconds, even after it was committed) than a pass
// over its bytes; the few unused bytes at the end cost less than that.
constexpr size_t HugePage = size_t{2} << 20;

size_t MappedSize(size_t bytes) {
  return bytes >= HugePage && bytes <= SIZE_MAX - HugePage ? (bytes + HugePage - 1) & ~(HugePage - 1)
                                                            : bytes;
}
} // namespace

void* MapLargeBlock(size_t bytes) {
  if (!IsLargeBlock(bytes))
    return nullptr;
  const size_t size = MappedSize(bytes);
  const size_t slack = size % HugePage == 0 ? HugePage : 0; // room to find the boundary in
  if (size > SIZE_MAX - slack)
    throw std::bad_alloc();
  void* mapped = ::mmap(nullptr, size + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED)
    throw std::bad_alloc();
  const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t block = slack == 0 ? start : (start + slack - 1) & ~uintptr_t{slack - 1};
  if (block > start)
    ::munmap(mapped, block - start);
  if (start + slack > block)
    ::munmap(reinterpret_cast<void*>(block + size), start + slack - block);
  // Both are hints: without them the block works the same, only slower to touch.
  ::madvise(reinterpret_cast<void*>(block), size, MADV_HUGEPAGE);
  ::madvise(reinterpret_cast<void*>(block), size, MADV_POPULATE_WRITE);
  return reinterpret_cast<void*>(block);
}

void UnmapLargeBlock(void* block, size_t bytes) noexcept { ::munmap(block, MappedSize(bytes)); }

TZeroedBytes::TZeroedBytes(size_t n) : Size(n) {
  if (n == 0)
    return;
  void* block = MapLargeBlock(n);
  if (!block && !(block = std::calloc(n, 1)))
    throw std::bad_alloc();
  Block = static_cast<uint8_t*>(block);
}

TZeroedBytes::TZeroedBytes(const TZeroedBytes& other) : TZeroedBytes(other.Size) {
  if (Size > 0)
    std::memcpy(Block, other.Block, Size);
}

TZeroedBytes::TZeroedBytes(TZeroedBytes&& other) noexcept
    : Block(std::exchange(other.Block, nullptr)), Size(std::exchange(other.Size, 0)) {}

TZeroedBytes& TZeroedBytes::operator=(TZeroedBytes other) noexcept {
  std::swap(Block, other.Block);
  std::swap(Size, other.Size);
  return *this;
}

TZeroedBytes::~TZeroedBytes() {
  if (IsLargeBlock(Size))
    UnmapLargeBlock(Block, Size);
  else
    std::free(Block);
}

bool operator==(const TZeroedBytes& a, const TZeroedBytes& b) {
  return a.Size == b.Size && (a.Size == 0 || std::memcmp(a.Block, b.Block, a.Size) == 0);
}

} // namespace quillane
