#include "platform/win32/win32_windowing.h"

#include <exception>

#include "platform/win32/win32_text.h"

namespace zr::win32 {

namespace {
constexpr wchar_t kTimerWindowClass[] = L"zr.TimerWindow";
// Private to the adapter's own message-only window.
constexpr UINT kRunOnMainThread = WM_APP + 0x200;
}

Win32Windowing::Win32Windowing() : instance_(GetModuleHandleW(nullptr)), mainThread_(GetCurrentThreadId()) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = TimerWindowProc;
  wc.hInstance = instance_;
  wc.lpszClassName = kTimerWindowClass;
  RegisterClassExW(&wc);
  timerWindow_ = CreateWindowExW(0, kTimerWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance_, nullptr);
  SetWindowLongPtrW(timerWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32Windowing::~Win32Windowing() {
  for (const auto& [id, tick] : timers_) KillTimer(timerWindow_, id);
  if (timerWindow_ != nullptr) ::DestroyWindow(timerWindow_);
}

void Win32Windowing::RegisterClassOnce(const std::wstring& className) {
  if (registered_.count(className) != 0) return;
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance_;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = className.c_str();
  RegisterClassExW(&wc);
  registered_.insert(className);
}

WindowHandle Win32Windowing::CreateHiddenWindow(std::string_view className, std::string_view title,
                                                WindowProcedure procedure, int width, int height) {
  const std::wstring cls = Widen(className);
  RegisterClassOnce(cls);
  auto* data = new WindowData{std::move(procedure), {}, false, {}};
  // Centred on the desktop; a popup has no border, so its client area is
  // the whole window.
  const int x = width > 0 ? (GetSystemMetrics(SM_CXSCREEN) - width) / 2 : 0;
  const int y = height > 0 ? (GetSystemMetrics(SM_CYSCREEN) - height) / 2 : 0;
  // A tool window that is not shown has no task-bar button and stays off
  // the screen; as a top-level window it is found by its class name.
  HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, cls.c_str(), Widen(title).c_str(), WS_POPUP | WS_CLIPCHILDREN, x, y,
                              width, height, nullptr, nullptr, instance_, data);
  if (hwnd == nullptr) {
    delete data;
    return 0;
  }
  return reinterpret_cast<WindowHandle>(hwnd);
}

LRESULT CALLBACK Win32Windowing::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    const auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* data = reinterpret_cast<WindowData*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (data == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    for (HGDIOBJ o : data->pictures) DeleteObject(o);
    delete data;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  try {
    if (msg == WM_COMMAND && lParam != 0 && HIWORD(wParam) == BN_CLICKED) {  // STN_CLICKED is the same code
      for (const auto& c : data->controls) {
        if (c->hwnd != reinterpret_cast<HWND>(lParam) || !c->onClick) continue;
        const std::function<void()> click = c->onClick;  // the handler may destroy the window
        click();
        return 0;
      }
    }
    if (data->procedure) {
      const WindowProcedure local = data->procedure;  // the handler may destroy the window
      if (const auto r = local(msg, wParam, lParam)) return *r;
    }
  } catch (const std::exception& e) {
    // An error must never unwind through the platform's dispatch.
    OutputDebugStringW(Widen(std::string("window message ") + std::to_string(msg) + ": " + e.what()).c_str());
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Win32Windowing::ShowWindow(WindowHandle window, bool show) {
  HWND hwnd = reinterpret_cast<HWND>(window);
  if (show) {
    auto* data = reinterpret_cast<WindowData*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (data != nullptr && !data->controlsMade) MakeControls(hwnd, *data);
  }
  ::ShowWindow(hwnd, show ? SW_SHOW : SW_HIDE);
}

bool Win32Windowing::SetForegroundWindow(WindowHandle window) {
  return ::SetForegroundWindow(reinterpret_cast<HWND>(window)) != 0;
}

std::uint32_t Win32Windowing::RegisterWindowMessage(std::string_view name) {
  return RegisterWindowMessageW(Widen(name).c_str());
}

namespace {

// The pictures of the face are drawn here: a dark gradient with the
// program's name, and a small round link mark.
HBITMAP MakePicture(int width, int height, const std::wstring& caption, bool linkMark) {
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (bmp == nullptr) return nullptr;
  auto* px = static_cast<std::uint32_t*>(bits);
  for (int yy = 0; yy < height; ++yy) {
    for (int xx = 0; xx < width; ++xx) {
      std::uint32_t r, g, b;
      if (linkMark) {
        const int dx = xx - width / 2, dy = yy - height / 2;
        const bool inside = dx * dx + dy * dy <= (width / 2 - 1) * (width / 2 - 1);
        r = inside ? 40 : 20, g = inside ? 140 : 20, b = inside ? 230 : 24;
      } else {
        r = 20 + 150 * static_cast<std::uint32_t>(yy) / static_cast<std::uint32_t>(height);
        g = 20;
        b = 28 + 40 * static_cast<std::uint32_t>(xx) / static_cast<std::uint32_t>(width);
      }
      px[yy * width + xx] = (r << 16) | (g << 8) | b;
    }
  }
  if (!caption.empty()) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    HFONT font = CreateFontW(-28, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0, L"Tahoma");
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(235, 235, 240));
    RECT rc = {0, height / 3, width, height / 3 + 60};
    DrawTextW(dc, caption.c_str(), -1, &rc, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
    SelectObject(dc, oldFont);
    DeleteObject(font);
    SelectObject(dc, old);
    DeleteDC(dc);
  }
  return bmp;
}

}  // namespace

ControlHandle Win32Windowing::CreateControl(WindowHandle parent, const ControlLayout& layout, std::function<void()> onClick) {
  HWND owner = reinterpret_cast<HWND>(parent);
  auto* data = reinterpret_cast<WindowData*>(GetWindowLongPtrW(owner, GWLP_USERDATA));
  if (data == nullptr) return 0;
  auto control = std::make_unique<Control>(Control{layout, std::move(onClick), nullptr});
  Control* c = control.get();
  data->controls.push_back(std::move(control));
  if (data->controlsMade) MakeControls(owner, *data);
  return reinterpret_cast<ControlHandle>(c);
}

void Win32Windowing::MakeControls(HWND owner, WindowData& data) {
  data.controlsMade = true;
  for (const auto& c : data.controls) {
    if (c->hwnd != nullptr) continue;
    const ControlLayout& layout = c->layout;
    const wchar_t* cls = L"STATIC";
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (layout.visible ? WS_VISIBLE : 0);
    HBITMAP picture = nullptr;
    switch (layout.kind) {
      case ControlKind::Picture:
        style |= SS_BITMAP | SS_NOTIFY;
        picture = MakePicture(layout.width, layout.height, Widen(layout.text), false);
        break;
      case ControlKind::Link:
        style |= SS_BITMAP | SS_NOTIFY;
        picture = MakePicture(layout.width, layout.height, L"", true);
        break;
      case ControlKind::Label:
        style |= SS_LEFT;
        break;
      case ControlKind::Panel:
        style |= SS_ETCHEDFRAME;
        break;
      case ControlKind::Button:
        cls = L"BUTTON";
        style |= BS_PUSHBUTTON | WS_TABSTOP;
        break;
    }
    const bool textual = layout.kind == ControlKind::Label || layout.kind == ControlKind::Button;
    HWND control = CreateWindowExW(0, cls, textual ? Widen(layout.text).c_str() : L"", style, layout.x, layout.y,
                                   layout.width, layout.height, owner,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextControlId_++)), instance_, nullptr);
    if (control == nullptr) {
      if (picture != nullptr) DeleteObject(picture);
      continue;
    }
    c->hwnd = control;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    if (picture != nullptr) {
      SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
      data.pictures.push_back(picture);
    }
    if (layout.kind == ControlKind::Picture) {
      SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
}

void Win32Windowing::SetControlText(ControlHandle control, std::string_view text) {
  auto* c = reinterpret_cast<Control*>(control);
  if (c == nullptr) return;
  c->layout.text = std::string(text);
  if (c->hwnd != nullptr) SetWindowTextW(c->hwnd, Widen(text).c_str());
}

void Win32Windowing::ShowControl(ControlHandle control, bool show) {
  auto* c = reinterpret_cast<Control*>(control);
  if (c == nullptr) return;
  c->layout.visible = show;
  if (c->hwnd != nullptr) ::ShowWindow(c->hwnd, show ? SW_SHOW : SW_HIDE);
}

void Win32Windowing::DestroyWindow(WindowHandle window) { ::DestroyWindow(reinterpret_cast<HWND>(window)); }

void Win32Windowing::SetWindowTitle(WindowHandle window, std::string_view title) {
  SetWindowTextW(reinterpret_cast<HWND>(window), Widen(title).c_str());
}

WindowHandle Win32Windowing::FindWindowByClass(std::string_view className) {
  return reinterpret_cast<WindowHandle>(FindWindowW(Widen(className).c_str(), nullptr));
}

bool Win32Windowing::PostMessage(WindowHandle window, std::uint32_t msg, std::uintptr_t wParam,
                                 std::intptr_t lParam) {
  return PostMessageW(reinterpret_cast<HWND>(window), msg, wParam, lParam) != 0;
}

std::intptr_t Win32Windowing::SendMessage(WindowHandle window, std::uint32_t msg, std::uintptr_t wParam,
                                          std::intptr_t lParam) {
  return SendMessageW(reinterpret_cast<HWND>(window), msg, wParam, lParam);
}

std::optional<std::intptr_t> Win32Windowing::SendMessageTimeout(WindowHandle window, std::uint32_t msg,
                                                                std::uintptr_t wParam, std::intptr_t lParam,
                                                                std::uint32_t timeoutMs) {
  DWORD_PTR result = 0;
  if (SendMessageTimeoutW(reinterpret_cast<HWND>(window), msg, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                          timeoutMs, &result) == 0) {
    return std::nullopt;
  }
  return static_cast<std::intptr_t>(result);
}

TimerId Win32Windowing::StartTimer(std::uint32_t intervalMs, std::function<void()> onTick) {
  const TimerId id = nextTimer_++;
  timers_[id] = std::move(onTick);
  SetTimer(timerWindow_, id, intervalMs, nullptr);
  return id;
}

void Win32Windowing::StopTimer(TimerId timer) {
  KillTimer(timerWindow_, timer);
  timers_.erase(timer);
}

bool Win32Windowing::RunOnMainThread(const std::function<void()>& work) {
  if (GetCurrentThreadId() == mainThread_) {
    work();
    return true;
  }
  // SendMessage waits until the main thread has handled it.
  return SendMessageW(timerWindow_, kRunOnMainThread, 0, reinterpret_cast<LPARAM>(&work)) == 1;
}

LRESULT CALLBACK Win32Windowing::TimerWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kRunOnMainThread) {
    try {
      (*reinterpret_cast<const std::function<void()>*>(lParam))();
    } catch (const std::exception& e) {
      OutputDebugStringW(Widen(std::string("hand-off: ") + e.what()).c_str());
    }
    return 1;
  }
  if (msg == WM_TIMER) {
    auto* self = reinterpret_cast<Win32Windowing*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr) {
      const auto it = self->timers_.find(static_cast<TimerId>(wParam));
      if (it != self->timers_.end()) {
        const std::function<void()> tick = it->second;  // the tick may stop its own timer
        try {
          if (tick) tick();
        } catch (const std::exception& e) {
          OutputDebugStringW(Widen(std::string("timer: ") + e.what()).c_str());
        }
      }
    }
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Win32Windowing::RunMessageLoop() {
  MSG m;
  while (!quitReceived_) {
    const BOOL r = GetMessageW(&m, nullptr, 0, 0);
    if (r == 0 || r == -1) break;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  quitReceived_ = true;
}

void Win32Windowing::Quit() {
  quitRequested_ = true;
  PostQuitMessage(0);
}

void Win32Windowing::ProcessMessages() {
  MSG m;
  // Messages sent from other threads are handled also after the quit: their
  // senders wait for them.
  PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE);
  while (!quitReceived_ && PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      quitReceived_ = true;
      break;
    }
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

}  // namespace zr::win32
