// The library's failures are the platform's (platform/failure.h): one type from the system call
// to the skip reason, named here in the library's namespace.
#pragma once

#include "platform/failure.h"

namespace unzdll {

using lorvante::Failure;

}  // namespace unzdll
