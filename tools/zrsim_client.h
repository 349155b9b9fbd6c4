// Hands command lines to a running zrmon-sim.exe through its control window
// (tools/zrsim_protocol.h): used by zrsim.exe and by the fault driver.
#pragma once

#include <windows.h>

#include <string>

#include "tools/zrsim_protocol.h"

namespace zr {

class SimClient {
 public:
  enum class Result { Taken, Refused, NoAnswer };

  // Creates the window that receives refusals; the control window is found
  // anew for every command (zrmon-sim.exe may have been restarted).
  SimClient() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ReplyProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"zrsim.Reply";
    RegisterClassW(&wc);
    reply_ = CreateWindowW(L"zrsim.Reply", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  }
  ~SimClient() {
    if (reply_ != nullptr) DestroyWindow(reply_);
  }
  SimClient(const SimClient&) = delete;
  SimClient& operator=(const SimClient&) = delete;

  static HWND FindControl() {
    const std::wstring cls(kZrSimControlClass, kZrSimControlClass + sizeof kZrSimControlClass - 1);
    return FindWindowW(cls.c_str(), nullptr);
  }

  // One command line; `refusal` holds the reason when it was refused.
  Result Send(HWND target, const std::string& line, std::string& refusal) {
    Refusal().clear();
    COPYDATASTRUCT data{kZrSimCommand, static_cast<DWORD>(line.size()), const_cast<char*>(line.data())};
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(target, WM_COPYDATA, reinterpret_cast<WPARAM>(reply_), reinterpret_cast<LPARAM>(&data),
                             SMTO_NORMAL, 30000, &result)) {
      return Result::NoAnswer;
    }
    refusal = Refusal().empty() ? line : Refusal();
    return result == 1 ? Result::Taken : Result::Refused;
  }

 private:
  static std::string& Refusal() {
    static std::string text;
    return text;
  }
  static LRESULT CALLBACK ReplyProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_COPYDATA) {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(l);
      if (data != nullptr && data->dwData == kZrSimRefusal) {
        Refusal().assign(static_cast<const char*>(data->lpData), data->cbData);
      }
      return 1;
    }
    return DefWindowProcW(hwnd, msg, w, l);
  }

  HWND reply_ = nullptr;
};

}  // namespace zr
