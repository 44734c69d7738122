#include "codecs/ppmd_allocator.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace lorvante::codecs::ppmd {

namespace {

constexpr std::uint32_t Bytes(unsigned units) {
  return units * kUnitSize;
}

// The unit area takes 7/8 of the memory, in whole units; the text area the rest.
constexpr std::uint32_t kUnitAreaEighths = 7;
constexpr std::uint32_t kEighth = 8;

// The size of the system's huge pages on x86-64 and on most 64-bit ARM systems.
constexpr std::size_t kHugePage = std::size_t{2} << 20;

// Whether the build checks every access (AddressSanitizer).
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressChecks = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressChecks = true;
#else
constexpr bool kAddressChecks = false;
#endif
#else
constexpr bool kAddressChecks = false;
#endif

}  // namespace

bool SubAllocator::Mapping::Map(std::size_t size) {
  Release();
  if constexpr (kAddressChecks) {
    // From the heap, where the sanitizer notices any access past the block.
    data_ = static_cast<std::uint8_t*>(std::calloc(size, 1));
    mapped_ = data_;
    return data_ != nullptr;
  }
  // One huge page more than asked, so that the block can start on a huge page boundary.
  const std::size_t mapped_size = size + kHugePage;
  void* const mapped =
      mmap(nullptr, mapped_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return false;
  mapped_ = mapped;
  mapped_size_ = mapped_size;
  const auto address = reinterpret_cast<std::uintptr_t>(mapped);
  data_ = static_cast<std::uint8_t*>(mapped) + ((kHugePage - address % kHugePage) % kHugePage);
#ifdef MADV_HUGEPAGE
  // Only advice: without it the block is the same, in small pages.
  madvise(data_, size, MADV_HUGEPAGE);
#endif
  return true;
}

void SubAllocator::Mapping::Release() {
  if (mapped_ != nullptr) {
    if constexpr (kAddressChecks) {
      std::free(mapped_);
    } else {
      munmap(mapped_, mapped_size_);
    }
  }
  mapped_ = nullptr;
  mapped_size_ = 0;
  data_ = nullptr;
}

bool SubAllocator::Reserve(std::uint32_t size) {
  // Zeroed, so that nothing is ever read that was not written.
  base_ = nullptr;
  size_ = 0;
  if (!mapping_.Map(std::size_t{kAlign} + size)) return false;
  base_ = mapping_.data();
  size_ = size;
  return true;
}

void SubAllocator::Restart() {
  free_list_.fill(0);
  stamps_.fill(0);
  text = kAlign;
  hi_unit = text + size_;
  lo_unit = units_start = hi_unit - size_ / kEighth / kUnitSize * kUnitAreaEighths * kUnitSize;
  glue_count_ = 0;
}

void SubAllocator::InsertNode(std::uint32_t node, unsigned index) {
  Store(node + kNodeStamp, kEmptyNode);
  Store(node + kNodeNext, free_list_[index]);
  Store(node + kNodeUnits, IndexToUnits(index));
  free_list_[index] = node;
  ++stamps_[index];
}

std::uint32_t SubAllocator::RemoveNode(unsigned index) {
  const std::uint32_t node = free_list_[index];
  free_list_[index] = Load(node + kNodeNext);
  --stamps_[index];
  // The next block of the list is wanted soon, and its link is read then: fetched meanwhile.
  __builtin_prefetch(base_ + free_list_[index]);
  return node;
}

// Files `units` units at `block` (at most kMaxUnits) as one free block, or as two when no size
// class fits: the largest class below, then the rest.
void SubAllocator::InsertBlock(std::uint32_t block, unsigned units) {
  unsigned index = UnitsToIndex(units);
  if (IndexToUnits(index) != units) {
    const unsigned head = IndexToUnits(--index);
    InsertNode(block + Bytes(head), units - head - 1);
  }
  InsertNode(block, index);
}

void SubAllocator::SplitBlock(std::uint32_t block, unsigned old_index, unsigned new_index) {
  const unsigned rest = IndexToUnits(old_index) - IndexToUnits(new_index);
  InsertBlock(block + Bytes(IndexToUnits(new_index)), rest);
}

void SubAllocator::GlueFreeBlocks() {
  glue_count_ = kGlueDelay;
  stamps_.fill(0);
  // A stamp that is no free block's ends the gluing at the gap; the order-0 context always
  // occupies the last unit of the memory.
  if (lo_unit != hi_unit) Store(lo_unit + kNodeStamp, 0);

  // Chain every free block, list by list, each absorbing the free blocks right after it.
  std::uint32_t head = 0;
  std::uint32_t last = 0;
  const auto link = [&](std::uint32_t node) {
    if (last == 0) {
      head = node;
    } else {
      Store(last + kNodeNext, node);
    }
    last = node;
  };
  for (unsigned index = 0; index < kIndexCount; ++index) {
    std::uint32_t next = free_list_[index];
    free_list_[index] = 0;
    while (next != 0) {
      const std::uint32_t node = next;
      next = Load(node + kNodeNext);
      std::uint32_t units = Load(node + kNodeUnits);
      if (units == 0) continue;  // absorbed by a block below it
      link(node);
      for (std::uint32_t after = node + Bytes(units); Load(after + kNodeStamp) == kEmptyNode;
           after = node + Bytes(units)) {
        units += Load(after + kNodeUnits);
        Store(after + kNodeUnits, 0);
        Store(node + kNodeUnits, units);
      }
    }
  }
  if (last != 0) Store(last + kNodeNext, 0);

  // File the glued blocks again.
  for (std::uint32_t node = head; node != 0;) {
    const std::uint32_t next = Load(node + kNodeNext);
    std::uint32_t units = Load(node + kNodeUnits);
    if (units != 0) {
      std::uint32_t block = node;
      for (; units > kMaxUnits; units -= kMaxUnits, block += Bytes(kMaxUnits)) {
        InsertNode(block, kIndexCount - 1);
      }
      InsertBlock(block, units);
    }
    node = next;
  }
}

std::uint32_t SubAllocator::AllocUnitsRare(unsigned index) {
  if (glue_count_ == 0) {
    GlueFreeBlocks();
    if (free_list_[index] != 0) return RemoveNode(index);
  }
  unsigned larger = index;
  do {
    if (++larger == kIndexCount) {
      // No free block is large enough: take the top of the text area, if it has room.
      const std::uint32_t bytes = Bytes(IndexToUnits(index));
      --glue_count_;
      if (units_start - text > bytes) return units_start -= bytes;
      return 0;
    }
  } while (free_list_[larger] == 0);
  const std::uint32_t block = RemoveNode(larger);
  SplitBlock(block, larger, index);
  return block;
}

std::uint32_t SubAllocator::AllocUnits(unsigned index) {
  if (free_list_[index] != 0) return RemoveNode(index);
  const std::uint32_t bytes = Bytes(IndexToUnits(index));
  if (bytes <= hi_unit - lo_unit) {
    const std::uint32_t block = lo_unit;
    lo_unit += bytes;
    return block;
  }
  return AllocUnitsRare(index);
}

std::uint32_t SubAllocator::AllocContext() {
  if (hi_unit != lo_unit) return hi_unit -= kUnitSize;
  if (free_list_[0] != 0) return RemoveNode(0);
  return AllocUnitsRare(0);
}

std::uint32_t SubAllocator::ExpandUnits(std::uint32_t old, unsigned old_units) {
  const unsigned old_index = UnitsToIndex(old_units);
  const unsigned new_index = UnitsToIndex(old_units + 1);
  if (old_index == new_index) return old;
  const std::uint32_t block = AllocUnits(new_index);
  if (block != 0) {
    CopyUnits(block, old, old_units);
    InsertNode(old, old_index);
  }
  return block;
}

std::uint32_t SubAllocator::ShrinkUnits(std::uint32_t old, unsigned old_units, unsigned new_units) {
  const unsigned old_index = UnitsToIndex(old_units);
  const unsigned new_index = UnitsToIndex(new_units);
  if (old_index == new_index) return old;
  if (free_list_[new_index] != 0) {
    const std::uint32_t block = RemoveNode(new_index);
    CopyUnits(block, old, new_units);
    InsertNode(old, old_index);
    return block;
  }
  SplitBlock(old, old_index, new_index);
  return old;
}

void SubAllocator::FreeUnits(std::uint32_t block, unsigned units) {
  InsertNode(block, UnitsToIndex(units));
}

void SubAllocator::FreeSingleUnit(std::uint32_t block) {
  if (block != units_start) {
    InsertNode(block, 0);
  } else {
    units_start += kUnitSize;
  }
}

std::uint32_t SubAllocator::MoveUnitsToTop(std::uint32_t old, unsigned units) {
  const unsigned index = UnitsToIndex(units);
  if (old > units_start + kMoveToTopReach || old > free_list_[index]) return old;
  const std::uint32_t block = RemoveNode(index);
  CopyUnits(block, old, units);
  if (old != units_start) {
    InsertNode(old, index);
  } else {
    units_start += Bytes(IndexToUnits(index));
  }
  return block;
}

void SubAllocator::ExpandTextArea() {
  std::array<std::uint32_t, kIndexCount> count{};
  if (lo_unit != hi_unit) Store(lo_unit + kNodeStamp, 0);
  // The free blocks at the bottom of the unit area join the text area: marked, counted ...
  std::uint32_t node = units_start;
  while (Load(node + kNodeStamp) == kEmptyNode) {
    const std::uint32_t units = Load(node + kNodeUnits);
    Store(node + kNodeStamp, 0);
    ++count[UnitsToIndex(units)];
    node += Bytes(units);
  }
  units_start = node;
  // ... and taken off their lists.
  for (unsigned index = 0; index < kIndexCount; ++index) {
    std::uint32_t previous = 0;  // 0: the list's head
    const auto next_of = [&](std::uint32_t at) {
      return at == 0 ? free_list_[index] : Load(at + kNodeNext);
    };
    while (count[index] != 0) {
      std::uint32_t current = next_of(previous);
      if (current == 0) break;  // the counts and the lists always agree
      while (Load(current + kNodeStamp) == 0) {
        const std::uint32_t after = Load(current + kNodeNext);
        if (previous == 0) {
          free_list_[index] = after;
        } else {
          Store(previous + kNodeNext, after);
        }
        current = after;
        --stamps_[index];
        if (--count[index] == 0 || current == 0) break;
      }
      if (current == 0) break;
      previous = current;
    }
  }
}

std::uint32_t SubAllocator::UsedMemory() const {
  std::uint32_t free_units = 0;
  for (unsigned index = 0; index < kIndexCount; ++index) {
    free_units += stamps_[index] * IndexToUnits(index);
  }
  return size_ - (hi_unit - lo_unit) - (units_start - text) - Bytes(free_units);
}

}  // namespace lorvante::codecs::ppmd
