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
  // The program's part of the session end (its mutex), run by the form in
  // its orderly end, which finishes before the handler returns, as the
  // process may be ended after it.
  std::function<void()> OnSessionEnd;

  void Terminate() { windowing_.Quit(); }
  bool Terminated() const { return windowing_.QuitRequested(); }

 private:
  Windowing& windowing_;
};

}  // namespace zr
