// The memory of a PPMd model: one block of the size the stream's header sets, holding the text of
// the symbols seen (growing up from the bottom) and the units of 12 bytes the contexts and their
// symbol lists are made of. Units are handed out from the free lists (38 sizes, 1 to 128 units),
// from the gap between the two ends of the unit area, or at last from the top of the text area;
// adjacent free blocks are glued together from time to time. How it hands out memory decides when
// the model is full, so it behaves exactly as the writer's does; positions are offsets into the
// block, 0 being none.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace lorvante::codecs::ppmd {

inline constexpr std::uint32_t kUnitSize = 12;
inline constexpr unsigned kIndexCount = 38;
inline constexpr unsigned kMaxUnits = 128;

// The size classes of blocks: units of each class, and the class that holds a number of units.
struct SizeClassTables {
  std::array<std::uint8_t, kIndexCount> index_to_units{};
  std::array<std::uint8_t, kMaxUnits> units_to_index{};
};
constexpr SizeClassTables MakeSizeClassTables() {
  // 1-4 units in steps of 1, then 4 sizes in steps of 2, 4 in steps of 3, the rest by 4.
  constexpr unsigned kFineClasses = 12;
  constexpr unsigned kClassesPerStep = 4;
  constexpr unsigned kCoarseStep = 4;
  SizeClassTables tables;
  unsigned units = 0;
  for (unsigned index = 0; index < kIndexCount; ++index) {
    const unsigned step = index >= kFineClasses ? kCoarseStep : index / kClassesPerStep + 1;
    for (unsigned i = 0; i < step; ++i) tables.units_to_index[units++] = index;
    tables.index_to_units[index] = static_cast<std::uint8_t>(units);
  }
  return tables;
}
inline constexpr SizeClassTables kSizeClasses = MakeSizeClassTables();

class SubAllocator {
 public:
  // Reserves `size` bytes; false when the system has not got them.
  bool Reserve(std::uint32_t size);
  // Forgets everything: the text area is empty, the unit area wholly free.
  void Restart();

  std::uint8_t* base() { return base_; }
  std::uint32_t size() const { return size_; }

  static unsigned UnitsToIndex(unsigned units) { return kSizeClasses.units_to_index[units - 1]; }
  static unsigned IndexToUnits(unsigned index) { return kSizeClasses.index_to_units[index]; }

  // Each returns 0 when the memory is full.
  std::uint32_t AllocUnits(unsigned index);
  std::uint32_t AllocContext();
  // The `old_units` units at `old` grown by one unit, moved when their size class changes.
  std::uint32_t ExpandUnits(std::uint32_t old, unsigned old_units);
  // Never fails: the block shrinks in place when no smaller one is free.
  std::uint32_t ShrinkUnits(std::uint32_t old, unsigned old_units, unsigned new_units);
  void FreeUnits(std::uint32_t block, unsigned units);
  // Frees one unit; the lowest unit of the area is given back to the text area instead.
  void FreeSingleUnit(std::uint32_t block);
  // Moves a block near the bottom of the unit area up to a free block of its size, if one lies
  // higher, so that the bottom may return to the text area.
  std::uint32_t MoveUnitsToTop(std::uint32_t old, unsigned units);
  // Gives the free blocks at the bottom of the unit area to the text area.
  void ExpandTextArea();
  std::uint32_t UsedMemory() const;
  // After a cut, free blocks are glued at the next shortage.
  void ResetGlue() { glue_count_ = 0; }

  // The text area: [text_start, text) holds symbols, up to units_start.
  std::uint32_t text_start() const { return kAlign; }
  std::uint32_t text = 0;
  std::uint32_t units_start = 0;
  // The gap inside the unit area: lo_unit grows up, hi_unit (contexts) grows down.
  std::uint32_t lo_unit = 0;
  std::uint32_t hi_unit = 0;

 private:
  // The text starts past a few bytes, so that no position is 0 (none).
  static constexpr std::uint32_t kAlign = 4;
  static constexpr std::uint32_t kEmptyNode = 0xFFFFFFFF;
  static constexpr unsigned kGlueDelay = 1u << 13;
  static constexpr std::uint32_t kMoveToTopReach = 16 * 1024;

  // A free block: a stamp (all ones), the next block of its list, its size in units.
  static constexpr std::uint32_t kNodeStamp = 0;
  static constexpr std::uint32_t kNodeNext = 4;
  static constexpr std::uint32_t kNodeUnits = 8;

  std::uint32_t Load(std::uint32_t at) const {
    std::uint32_t value;
    std::memcpy(&value, base_ + at, sizeof value);
    return value;
  }
  void Store(std::uint32_t at, std::uint32_t value) {
    std::memcpy(base_ + at, &value, sizeof value);
  }
  void CopyUnits(std::uint32_t to, std::uint32_t from, unsigned units) {
    std::memmove(base_ + to, base_ + from, std::size_t{units} * kUnitSize);
  }

  void InsertNode(std::uint32_t node, unsigned index);
  std::uint32_t RemoveNode(unsigned index);
  void SplitBlock(std::uint32_t block, unsigned old_index, unsigned new_index);
  void InsertBlock(std::uint32_t block, unsigned units);
  void GlueFreeBlocks();
  std::uint32_t AllocUnitsRare(unsigned index);

  // The block, mapped by itself: zeroed by the system page by page as it is first touched, and
  // in huge pages where the system offers them (a model touches its memory all over).
  class Mapping {
   public:
    Mapping() = default;
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;
    ~Mapping() { Release(); }
    // False when the system has not got `size` bytes.
    bool Map(std::size_t size);
    std::uint8_t* data() const { return data_; }

   private:
    void Release();
    void* mapped_ = nullptr;
    std::size_t mapped_size_ = 0;
    std::uint8_t* data_ = nullptr;
  };
  Mapping mapping_;
  std::uint8_t* base_ = nullptr;
  std::uint32_t size_ = 0;
  std::array<std::uint32_t, kIndexCount> free_list_{};
  std::array<std::uint32_t, kIndexCount> stamps_{};
  std::uint32_t glue_count_ = 0;
};

}  // namespace lorvante::codecs::ppmd
