// The unzip library run in a process of its own that the kernel confines (the worker program
// lorvante-unzip-worker, in the program's private folder): the program keeps the windows and the
// terminal and answers the library's callbacks, which reach it over a socket.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "unzdll/unzdll_api.h"

namespace lorvante {

// The worker program beside this program; empty when it is not there.
std::string ConfinedUnzipWorker();

struct ConfinedUnzip {
  std::string worker;                 // the worker program
  std::string library;                // the unzip library it loads
  std::vector<std::string> writable;  // folders it may write below
  std::vector<std::string> readable;  // paths it may read besides the system's
};

// Runs UnzDllExec with `params` in the worker: every callback reaches `params.Callback` on this
// thread, with `params.Caller`, in the library's order; a callback that asks to stop stops the
// run at the library's next callback. While no callback comes, `idle` is called now and then;
// true from it stops the run too. Returns the library's result. Raises ZipException when the
// worker cannot be started or ends before the library returned (killed, crashed), with the
// reason.
int RunConfinedUnzip(const TUnzipParams& params, const ConfinedUnzip& how,
                     const std::function<bool()>& idle);

}  // namespace lorvante
