// The DES key of the encrypted files. It is not stored whole: BuildKey composes it at run time
// from a key-material text and a table of positions into it.
#pragma once

#include <string>

namespace lorvante {

// The 8-character key.
std::string BuildKey();

}  // namespace lorvante
