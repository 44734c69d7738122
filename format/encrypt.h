// The encrypting side of the file format, for the companion encryptor and the tests: a payload
// is DES-ECB encrypted under the program's key, the last block filled with zero bytes, and a zip
// payload is preceded by the tag.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace lorvante {

std::vector<std::uint8_t> EncryptPayload(std::span<const std::uint8_t> payload, bool tagged);

// A gzip stream whose header passes the payload check: no name, no extra flags, Unix.
// `level` 2 to 8 (zlib marks levels 1 and 9 in the extra flags).
std::vector<std::uint8_t> GzipPayload(std::span<const std::uint8_t> text, int level = 6);

}  // namespace lorvante
