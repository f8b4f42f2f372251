#pragma once
// Seam over what the application object asks of the system before its dialog exists.
#include <cstdint>
#include <string>

namespace quillet {

class AppShell {
 public:
  virtual ~AppShell() = default;
  virtual bool InitCommonControlsEx(std::uint32_t structSize, std::uint32_t classes) = 0;
  virtual std::u16string LoadString(std::uint32_t id) = 0;
  // Message box with one OK button, titled with the executable's name, no owner.
  virtual void MessageBox(const std::u16string& text) = 0;
  // Creates the main dialog's window, modeless and hidden; its initialisation
  // runs inside this call. False when the window could not be created.
  virtual bool CreateMainDialog() = 0;
};

}  // namespace quillet
