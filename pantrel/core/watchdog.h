#pragma once
#include <string>

#include "platform/process.h"

namespace pantrel {

// Ends the program with exit code 1 as soon as no running process bears the
// watched executable name. Looks twice a second; never returns by itself.
void watch_process(ProcessApi& process, const std::string& watchedName);

}  // namespace pantrel
