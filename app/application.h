// The application object: its title and the request to end the message loop.
#pragma once

#include <functional>
#include <string>

#include "platform/windowing.h"

namespace zr {

class TApplication {
 public:
  explicit TApplication(Windowing& windowing) : windowing_(windowing) {}

  std::string Title;
  // Runs when Windows ends the session: the program must finish its orderly
  // end before the handler returns, as the process may be ended after it.
  std::function<void()> OnSessionEnd;

  void Terminate() { windowing_.Quit(); }
  bool Terminated() const { return windowing_.QuitRequested(); }

 private:
  Windowing& windowing_;
};

}  // namespace zr
