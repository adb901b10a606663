#include "app/LargeBuffer.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <utility>

#if defined(__has_include)
#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif
#endif
#if defined(MAP_ANONYMOUS) && defined(MAP_FAILED)
#define QUILLANE_MAPPING 1
#endif

namespace quillane {

namespace {

#if defined(__SANITIZE_ADDRESS__)
#define QUILLANE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLANE_ASAN 1
#endif
#endif

#if defined(QUILLANE_ASAN) || !defined(QUILLANE_MAPPING)
// The sanitizers guard heap blocks only: keep every block on the heap so overruns of
// large grids are still caught. Where the system cannot map memory, the heap is all there is.
constexpr size_t Threshold = SIZE_MAX;
#else
constexpr size_t Threshold = size_t{1} << 20;
#endif

std::atomic<bool> MappingAllowed{true};

// Blocks of a huge page or more are mapped whole huge pages long, on a huge-page boundary:
// only those pages are huge. Everything else is 4 KB pages, each of which costs more on
// its first touch here (about 5 microseconds) than a pass over its bytes; the few unused
// bytes at the end cost less than that.
constexpr size_t HugePage = size_t{2} << 20;

size_t MappedSize(size_t bytes) {
  return bytes >= HugePage && bytes <= SIZE_MAX - HugePage
             ? (bytes + HugePage - 1) & ~(HugePage - 1)
             : bytes;
}

// The mapped blocks and their mapped lengths: a block is given back the way it was taken,
// whatever its size says, since one the system would not map came from the heap.
struct TMappedBlocks {
  std::mutex Lock;
  std::unordered_map<void*, size_t> Length;
};
TMappedBlocks& Mapped() {
  static TMappedBlocks* blocks = new TMappedBlocks; // outlives every static that holds a block
  return *blocks;
}

} // namespace

bool IsLargeBlock(size_t bytes) noexcept {
  return bytes >= Threshold;
}

void AllowLargeBlockMapping(bool allowed) noexcept {
  MappingAllowed = allowed;
}

void* MapLargeBlock(size_t bytes) {
#if defined(QUILLANE_MAPPING)
  if (!IsLargeBlock(bytes) || !MappingAllowed)
    return nullptr;
  const size_t size = MappedSize(bytes);
  const size_t slack = size % HugePage == 0 ? HugePage : 0; // room to find the boundary in
  if (size > SIZE_MAX - slack)
    throw std::bad_alloc();
  void* mapped =
      ::mmap(nullptr, size + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) {
    if (errno == ENOMEM)
      throw std::bad_alloc();
    return nullptr; // mapping refused for another reason: the heap may still have room
  }
  const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t block = slack == 0 ? start : (start + slack - 1) & ~uintptr_t{slack - 1};
  if (block > start)
    ::munmap(mapped, block - start);
  if (start + slack > block)
    ::munmap(reinterpret_cast<void*>(block + size), start + slack - block);
  void* const result = reinterpret_cast<void*>(block);
  try {
    std::lock_guard<std::mutex> hold(Mapped().Lock);
    Mapped().Length.emplace(result, size);
  } catch (...) {
    ::munmap(result, size);
    throw std::bad_alloc();
  }
#if defined(MADV_HUGEPAGE)
  // A hint: without it the block works the same, only slower to touch. The block is not
  // committed here: pages are taken as they are first written, so that running out of
  // memory shows as it does for any heap block, not as a process killed while committing.
  ::madvise(result, size, MADV_HUGEPAGE);
#endif
  return result;
#else
  (void)bytes;
  return nullptr;
#endif
}

bool UnmapLargeBlock(void* block) noexcept {
#if defined(QUILLANE_MAPPING)
  size_t size = 0;
  {
    std::lock_guard<std::mutex> hold(Mapped().Lock);
    auto found = Mapped().Length.find(block);
    if (found == Mapped().Length.end())
      return false;
    size = found->second;
    Mapped().Length.erase(found);
  }
  ::munmap(block, size);
  return true;
#else
  (void)block;
  return false;
#endif
}

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
  if (!IsLargeBlock(Size) || !UnmapLargeBlock(Block))
    std::free(Block);
}

bool operator==(const TZeroedBytes& a, const TZeroedBytes& b) {
  return a.Size == b.Size && (a.Size == 0 || std::memcmp(a.Block, b.Block, a.Size) == 0);
}

} // namespace quillane
