#include "archive_builder.h"

namespace lorvante::test {

void PutLE(std::vector<std::uint8_t>& out, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

namespace {
void PutText(std::vector<std::uint8_t>& out, const std::string& text) {
  out.insert(out.end(), text.begin(), text.end());
}
}  // namespace

std::vector<std::uint8_t> CentralHeader(const EntryLayout& e, std::uint32_t local_offset) {
  std::vector<std::uint8_t> out;
  PutLE(out, e.signature.value_or(0x02014B50), 4);
  PutLE(out, e.version_made_by, 2);
  PutLE(out, e.version_needed, 2);
  PutLE(out, e.flags, 2);
  PutLE(out, e.method, 2);
  PutLE(out, e.mod_time, 2);
  PutLE(out, e.mod_date, 2);
  PutLE(out, e.crc32, 4);
  PutLE(out, e.compressed_size, 4);
  PutLE(out, e.uncompressed_size, 4);
  PutLE(out, static_cast<std::uint32_t>(e.name.size()), 2);
  PutLE(out, static_cast<std::uint32_t>(e.extra.size()), 2);
  PutLE(out, static_cast<std::uint32_t>(e.comment.size()), 2);
  PutLE(out, e.disk_number_start, 2);
  PutLE(out, e.internal_attributes, 2);
  PutLE(out, e.external_attributes, 4);
  PutLE(out, e.local_header_offset.value_or(local_offset), 4);
  PutText(out, e.name);
  PutText(out, e.extra);
  PutText(out, e.comment);
  return out;
}

std::vector<std::uint8_t> ArchiveLayout::Build() const {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i < prefix; ++i) out.push_back(static_cast<std::uint8_t>('a' + i % 26));
  const auto offset_of = [&](std::size_t position) {
    return static_cast<std::uint32_t>(adjust_offsets ? position : position - prefix);
  };

  // Stand-ins for the local headers and data: a signature, zeros and the name.
  std::vector<std::uint32_t> local_offsets;
  for (const EntryLayout& e : entries) {
    local_offsets.push_back(offset_of(out.size()));
    PutLE(out, 0x04034B50, 4);
    out.insert(out.end(), 26, 0);
    PutText(out, e.name);
  }

  const std::size_t central_start = out.size();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::vector<std::uint8_t> header = CentralHeader(entries[i], local_offsets[i]);
    out.insert(out.end(), header.begin(), header.end());
  }
  const auto central_size = static_cast<std::uint32_t>(out.size() - central_start);

  PutLE(out, 0x06054B50, 4);
  PutLE(out, this_disk, 2);
  PutLE(out, central_dir_disk, 2);
  const auto count = static_cast<std::uint16_t>(entries.size());
  PutLE(out, entries_this_disk.value_or(count), 2);
  PutLE(out, total_entries.value_or(count), 2);
  PutLE(out, central_dir_size.value_or(central_size), 4);
  PutLE(out, central_dir_offset.value_or(offset_of(central_start)), 4);
  PutLE(out, comment_length.value_or(static_cast<std::uint16_t>(comment.size())), 2);
  PutText(out, comment);
  return out;
}

}  // namespace lorvante::test
