#include "tests/unzdll/zip_builder.h"

#include <zip.h>
#include <zlib.h>

#include <stdexcept>

namespace unzdll::test {
namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(value & 0xff);
  out.push_back((value >> 8) & 0xff);
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  Put16(out, value & 0xffff);
  Put16(out, value >> 16);
}
void PutBytes(std::vector<std::uint8_t>& out, const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  out.insert(out.end(), p, p + size);
}

std::vector<std::uint8_t> Extra(const ZipItem& item) {
  std::vector<std::uint8_t> extra;
  if (item.unix_mtime) {
    Put16(extra, 0x5455);
    Put16(extra, 5);
    extra.push_back(1);
    Put32(extra, static_cast<std::uint32_t>(*item.unix_mtime));
  }
  return extra;
}

}  // namespace

std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& data) {
  z_stream zs{};
  if (deflateInit2(&zs, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  std::vector<std::uint8_t> out(deflateBound(&zs, data.size()) + 16);
  zs.next_in = const_cast<Bytef*>(data.data());
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  if (deflate(&zs, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

std::vector<std::uint8_t> BuildZip(const std::vector<ZipItem>& items, const ZipLayout& layout) {
  std::vector<std::uint8_t> out = layout.prefix;
  const std::uint32_t base = layout.adjust_offsets ? 0 : static_cast<std::uint32_t>(out.size());
  struct Written {
    std::uint32_t offset, crc, compressed, size;
  };
  std::vector<Written> written;
  for (const ZipItem& item : items) {
    const std::vector<std::uint8_t> stored = item.method == 8 ? Deflate(item.data) : item.data;
    Written w{};
    w.crc = item.crc.value_or(crc32(0, item.data.data(), static_cast<uInt>(item.data.size())));
    w.compressed = static_cast<std::uint32_t>(stored.size());
    w.size = item.declared_size.value_or(static_cast<std::uint32_t>(item.data.size()));
    if (item.local_of) {
      written.push_back(written.at(*item.local_of));
      continue;
    }
    w.offset = static_cast<std::uint32_t>(out.size()) - base;
    const auto extra = Extra(item);
    Put32(out, 0x04034b50);
    Put16(out, 20);
    Put16(out, item.flags);
    Put16(out, item.method);
    Put16(out, item.dos_time);
    Put16(out, item.dos_date);
    Put32(out, w.crc);
    Put32(out, w.compressed);
    Put32(out, w.size);
    Put16(out, static_cast<std::uint32_t>(item.name.size()));
    Put16(out, static_cast<std::uint32_t>(extra.size()));
    PutBytes(out, item.name.data(), item.name.size());
    PutBytes(out, extra.data(), extra.size());
    PutBytes(out, stored.data(), stored.size());
    written.push_back(w);
  }
  const std::uint32_t cd_offset = static_cast<std::uint32_t>(out.size()) - base;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const ZipItem& item = items[i];
    const Written& w = written[i];
    const auto extra = Extra(item);
    Put32(out, 0x02014b50);
    Put16(out, item.made_by);
    Put16(out, 20);
    Put16(out, item.flags);
    Put16(out, item.method);
    Put16(out, item.dos_time);
    Put16(out, item.dos_date);
    Put32(out, w.crc);
    Put32(out, w.compressed);
    Put32(out, w.size);
    Put16(out, static_cast<std::uint32_t>(item.name.size()));
    Put16(out, static_cast<std::uint32_t>(extra.size()));
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, 0);
    Put32(out, item.external);
    Put32(out, w.offset);
    PutBytes(out, item.name.data(), item.name.size());
    PutBytes(out, extra.data(), extra.size());
  }
  const std::uint32_t cd_size = static_cast<std::uint32_t>(out.size()) - base - cd_offset;
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<std::uint32_t>(items.size()));
  Put16(out, static_cast<std::uint32_t>(items.size()));
  Put32(out, cd_size);
  Put32(out, cd_offset);
  Put16(out, 0);
  PutBytes(out, layout.trailer.data(), layout.trailer.size());
  return out;
}

void WriteLibzipArchive(const std::string& path, const std::vector<LibzipItem>& items) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (archive == nullptr) throw std::runtime_error("zip_open for writing");
  for (const LibzipItem& item : items) {
    zip_source_t* source = zip_source_buffer(archive, item.data.data(), item.data.size(), 0);
    const zip_int64_t index = zip_file_add(archive, item.name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) throw std::runtime_error("zip_file_add");
    zip_set_file_compression(archive, index, item.compression, 0);
    if (item.encryption != 0 &&
        zip_file_set_encryption(archive, index, item.encryption, item.password.c_str()) != 0) {
      throw std::runtime_error("zip_file_set_encryption");
    }
  }
  if (zip_close(archive) != 0) throw std::runtime_error("zip_close");
}

}  // namespace unzdll::test
