#include "core/watchdog.h"

namespace pantrel {

void watch_process(ProcessApi& process, const std::string& watchedName) {
  // Own copy: the caller's argument is never looked at again.
  const std::string watched = watchedName;
  std::string exeFile;
  for (;;) {
    bool found = false;
    Handle snapshot = process.CreateToolhelp32Snapshot();
    if (!process.Process32First(snapshot, exeFile)) {
      // An unreadable snapshot proves nothing: look again at once.
      if (snapshot != kInvalidHandle) process.CloseHandle(snapshot);
      continue;
    }
    do {
      if (exeFile == watched) found = true;
    } while (process.Process32Next(snapshot, exeFile));
    process.CloseHandle(snapshot);

    if (!found) process.ExitProcess(1);
    process.Sleep(500);
  }
}

}  // namespace pantrel
