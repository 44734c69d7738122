// Decoding of the records the component reads, field by field, little-endian.
#include "zip/Zip.h"
#include "platform/byte_cursor.h"

#include <algorithm>

namespace lorvante {

bool TEOCHInfo::Decode(std::span<const std::uint8_t> bytes) {
  ByteCursor in(bytes.first(std::min(bytes.size(), kEndOfCentralDirSize)));
  TEOCHInfo r;
  r.Signature = in.U32();
  r.ThisDisk = in.U16();
  r.CentralDirDisk = in.U16();
  r.EntriesThisDisk = in.U16();
  r.TotalEntries = in.U16();
  r.CentralDirSize = in.U32();
  r.CentralDirOffset = in.U32();
  r.CommentLength = in.U16();
  if (!in.ok()) return false;
  r.ZipComment = std::move(ZipComment);
  r.RecordPosition = RecordPosition;
  *this = std::move(r);
  return true;
}

std::vector<std::uint8_t> TEOCHInfo::Encode() const {
  std::vector<std::uint8_t> out;
  out.reserve(kEndOfCentralDirSize);
  const auto put = [&out](std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  };
  put(Signature, 4);
  put(ThisDisk, 2);
  put(CentralDirDisk, 2);
  put(EntriesThisDisk, 2);
  put(TotalEntries, 2);
  put(CentralDirSize, 4);
  put(CentralDirOffset, 4);
  put(CommentLength, 2);
  return out;
}

bool TFileInfo::Decode(std::span<const std::uint8_t> bytes) {
  ByteCursor in(bytes.first(std::min(bytes.size(), kCentralHeaderSize)));
  TFileInfo h;
  h.Signature = in.U32();
  h.VersionMadeBy = in.U16();
  h.VersionNeeded = in.U16();
  h.GeneralFlags = in.U16();
  h.Method = in.U16();
  h.ModTime = in.U16();
  h.ModDate = in.U16();
  h.Crc32 = in.U32();
  h.CompressedSize = in.U32();
  h.UncompressedSize = in.U32();
  h.NameLength = in.U16();
  h.ExtraLength = in.U16();
  h.CommentLength = in.U16();
  h.DiskNumberStart = in.U16();
  h.InternalAttributes = in.U16();
  h.ExternalAttributes = in.U32();
  h.LocalHeaderOffset = in.U32();
  if (!in.ok()) return false;
  h.FileName = std::move(FileName);
  h.ExtraField = std::move(ExtraField);
  h.FileComment = std::move(FileComment);
  *this = std::move(h);
  Encrypted = (GeneralFlags & 0x0001) != 0 ? 1 : 0;
  return true;
}

}  // namespace lorvante
