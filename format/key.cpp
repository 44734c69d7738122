#include "format/key.h"

#include <cstdint>

namespace lorvante {
namespace {

// 64 printable characters; the key is picked out of them.
constexpr char kKeyMaterial[] =
    "kR7#vQ2m!Lx9@Zp4$Tb8%Hn3^Wc6&Jd1*Fs5(Gy0)Ue-Ai+Ok=Pl;Mq:Nr<Vt>Bw";
static_assert(sizeof kKeyMaterial == 64 + 1);

// Positions into the key material, counted from 1, one per key byte.
constexpr std::int32_t kKeyPositions[8] = {5, 17, 29, 42, 8, 61, 33, 12};

}  // namespace

std::string BuildKey() {
  std::string key;
  for (const std::int32_t position : kKeyPositions) key += kKeyMaterial[position - 1];
  return key;
}

}  // namespace lorvante
