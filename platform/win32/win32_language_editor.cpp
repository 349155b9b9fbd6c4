#include "platform/win32/win32_language_editor.h"

#include "platform/win32/windows_h.h"

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "lang/language_editor.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

namespace zr::win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"TqvLanguageDesignForm";
constexpr wchar_t kPopupClass[] = L"TqvLanguageTextList";

enum ControlId : int {
  kBtnAddLanguage = 101,
  kLangCombo,
  kBtnDelet,
  kBtnPrevPage,
  kBtnNextPage,
  kTabControl1,
  kGrid,
  kSaveLanguageToFile,
  kSpeedButton2,
  kTBConstText,
  kBTNADDConstText,
  kBTNDELCONSTTEXT,
  kMemoTextList,
  kBtnSaveTextList,
  kCellEdit,
};

// Client-area layout: 930 by 508.
struct Place {
  int id;
  const wchar_t* cls;
  const wchar_t* text;
  DWORD style;
  int x, y, w, h;
};
constexpr int kTabX = 8, kTabY = 36, kTabW = 914, kTabH = 438;
constexpr int kGridX = kTabX + 19, kGridY = kTabY + 24;  // the layout at y 20 inside the tab
constexpr int kGridW = 876, kGridH = 410;

const Place kPlaces[] = {
    {kBtnAddLanguage, WC_BUTTONW, L"Add Language", BS_PUSHBUTTON, 8, 6, 110, 25},
    {0, WC_STATICW, L"Langs List\xFF1A", SS_RIGHT, 124, 10, 86, 20},
    {kLangCombo, WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL, 214, 7, 240, 320},
    {kBtnDelet, WC_BUTTONW, L"Delete Language", BS_PUSHBUTTON, 462, 6, 124, 25},
    {kBtnPrevPage, WC_BUTTONW, L"Prev Page", BS_PUSHBUTTON, 594, 6, 90, 25},
    {kBtnNextPage, WC_BUTTONW, L"Next Page", BS_PUSHBUTTON, 690, 6, 90, 25},
    {kTabControl1, WC_TABCONTROLW, L"", TCS_FIXEDWIDTH | WS_CLIPSIBLINGS, kTabX, kTabY, kTabW, kTabH},
    {0, WC_STATICW, L"Type Text to translate:", SS_LEFT, 8, 482, 140, 20},
    {kTBConstText, WC_EDITW, L"", ES_AUTOHSCROLL | WS_BORDER, 150, 479, 246, 23},
    {kBTNADDConstText, WC_BUTTONW, L"Add Const Text", BS_PUSHBUTTON, 402, 478, 112, 25},
    {kBTNDELCONSTTEXT, WC_BUTTONW, L"Delete Item From List", BS_PUSHBUTTON, 520, 478, 140, 25},
    {kSpeedButton2, WC_BUTTONW, L"Get/Set Text List", BS_PUSHBUTTON, 666, 478, 120, 25},
    {kSaveLanguageToFile, WC_BUTTONW, L"Save to language file", BS_PUSHBUTTON, 792, 478, 130, 25},
};

HWND MakeControl(HWND parent, const Place& p) {
  HWND h = CreateWindowExW(0, p.cls, p.text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | p.style, p.x, p.y, p.w, p.h,
                           parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(p.id)), GetModuleHandleW(nullptr),
                           nullptr);
  SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return h;
}

std::wstring WindowText(HWND h) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(h)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(h, text.data(), static_cast<int>(text.size()))));
  return text;
}

class EditorWindow final : public LanguageEditorView {
 public:
  EditorWindow() : platform_() {}

  bool Create() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &EditorWindow::Procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    RegisterClassW(&wc);
    wc.lpfnWndProc = &EditorWindow::PopupProcedure;
    wc.lpszClassName = kPopupClass;
    RegisterClassW(&wc);

    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT rc{0, 0, TqvLanguageDesignForm::kClientWidth, TqvLanguageDesignForm::kClientHeight};
    AdjustWindowRectEx(&rc, style, FALSE, 0);
    window_ = CreateWindowExW(0, kWindowClass, Widen(TqvLanguageDesignForm::kCaption).c_str(), style, CW_USEDEFAULT,
                              CW_USEDEFAULT, rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr,
                              GetModuleHandleW(nullptr), this);
    if (window_ == nullptr) return false;
    for (const Place& p : kPlaces) MakeControl(window_, p);
    tabs_ = GetDlgItem(window_, kTabControl1);
    SendMessageW(tabs_, TCM_SETITEMSIZE, 0, MAKELPARAM(TqvLanguageDesignForm::kTabWidth, 22));
    grid_ = MakeControl(window_, Place{kGrid, WC_LISTVIEWW, L"",
                                      LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER,
                                      kGridX, kGridY, kGridW, kGridH});
    SetWindowPos(grid_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SendMessageW(grid_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    AddColumn(0, L"Text", TqvLanguageDesignForm::kSourceColumnWidth);
    AddColumn(1, L"Translation", TqvLanguageDesignForm::kTranslationColumnWidth);

    // Shown first: what could not be read is told in a box over it.
    ShowWindow(window_, SW_SHOWNORMAL);
    editor_ = std::make_unique<TqvLanguageDesignForm>(translation_, platform_.platform(), *this);
    return true;
  }

  int Run() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (!IsDialogMessageW(popup_ != nullptr ? popup_ : window_, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    return 0;
  }

  // ---- LanguageEditorView ------------------------------------------------
  void ShowLanguageChoices(const std::vector<std::string>& names) override {
    HWND combo = GetDlgItem(window_, kLangCombo);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const std::string& name : names) {
      SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(name).c_str()));
    }
  }

  void ShowTabs(const std::vector<std::string>& captions, int selected) override {
    showingTabs_ = true;
    SendMessageW(tabs_, TCM_DELETEALLITEMS, 0, 0);
    for (std::size_t i = 0; i < captions.size(); ++i) {
      std::wstring text = Widen(captions[i]);
      TCITEMW item = {};
      item.mask = TCIF_TEXT;
      item.pszText = text.data();
      SendMessageW(tabs_, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    SendMessageW(tabs_, TCM_SETCURSEL, static_cast<WPARAM>(selected), 0);
    showingTabs_ = false;
  }

  void ShowGrid(const TLanguageTab* tab) override {
    EndCellEdit(false);
    grid_tab_ = tab;
    SendMessageW(grid_, LVM_SETITEMCOUNT, tab != nullptr ? tab->Rows.size() : 0, 0);
    ShowWindow(grid_, tab != nullptr ? SW_SHOW : SW_HIDE);
    InvalidateRect(grid_, nullptr, TRUE);
  }

  void ShowTextListPopup() override {
    RECT rc{0, 0, 600, 420};
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    AdjustWindowRectEx(&rc, style, FALSE, 0);
    popup_ = CreateWindowExW(WS_EX_DLGMODALFRAME, kPopupClass, L"Text List", style, CW_USEDEFAULT, CW_USEDEFAULT,
                             rc.right - rc.left, rc.bottom - rc.top, window_, nullptr, GetModuleHandleW(nullptr),
                             this);
    if (popup_ == nullptr) return;
    MakeControl(popup_, Place{kMemoTextList, WC_EDITW, L"",
                              ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN | WS_VSCROLL |
                                  WS_HSCROLL | WS_BORDER,
                              8, 8, 584, 370});
    MakeControl(popup_, Place{kBtnSaveTextList, WC_BUTTONW, L"Save", BS_PUSHBUTTON, 512, 386, 80, 26});
    // Modal: the editor waits while the popup is open.
    EnableWindow(window_, FALSE);
    ShowWindow(popup_, SW_SHOWNORMAL);
    MSG msg;
    while (popup_ != nullptr && GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (!IsDialogMessageW(popup_, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    EnableWindow(window_, TRUE);
    SetForegroundWindow(window_);
    if (msg.message == WM_QUIT) PostQuitMessage(static_cast<int>(msg.wParam));
  }

  void ShowMessage(const std::string& text) override {
    MessageBoxW(window_, Widen(text).c_str(), Widen(TqvLanguageDesignForm::kCaption).c_str(), MB_OK | MB_ICONWARNING);
  }

  void CloseEditor() override { DestroyWindow(window_); }

 private:
  void AddColumn(int index, const wchar_t* title, int width) {
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<wchar_t*>(title);
    column.cx = width;
    SendMessageW(grid_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
  }

  int SelectedRow() const { return static_cast<int>(SendMessageW(grid_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)); }

  // The edit box over the second column of a row.
  void BeginCellEdit(int row) {
    if (grid_tab_ == nullptr || row < 0 || static_cast<std::size_t>(row) >= grid_tab_->Rows.size()) return;
    EndCellEdit(true);
    RECT rc = {};
    rc.top = 1;
    rc.left = LVIR_BOUNDS;
    if (!SendMessageW(grid_, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rc))) return;
    editRow_ = row;
    cellEdit_ = CreateWindowExW(0, WC_EDITW, Widen(grid_tab_->Rows[static_cast<std::size_t>(row)].Translation).c_str(),
                                WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, rc.left, rc.top,
                                rc.right - rc.left, rc.bottom - rc.top, grid_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCellEdit)), GetModuleHandleW(nullptr),
                                nullptr);
    SendMessageW(cellEdit_, WM_SETFONT, SendMessageW(grid_, WM_GETFONT, 0, 0), FALSE);
    SetWindowLongPtrW(cellEdit_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    cellEditProcedure_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(cellEdit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EditorWindow::CellEditProcedure)));
    SendMessageW(cellEdit_, EM_SETSEL, 0, -1);
    SetFocus(cellEdit_);
  }

  void EndCellEdit(bool keep) {
    if (cellEdit_ == nullptr) return;
    HWND edit = cellEdit_;
    cellEdit_ = nullptr;  // a second end (from the focus leaving) does nothing
    if (keep) editor_->EditTranslation(editRow_, Narrow(WindowText(edit)));
    DestroyWindow(edit);
    SendMessageW(grid_, LVM_REDRAWITEMS, static_cast<WPARAM>(editRow_), editRow_);
  }

  static LRESULT CALLBACK CellEditProcedure(HWND h, UINT msg, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<EditorWindow*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    const WNDPROC original = self->cellEditProcedure_;
    if (msg == WM_GETDLGCODE) return DLGC_WANTALLKEYS;
    if (msg == WM_KEYDOWN && (w == VK_RETURN || w == VK_ESCAPE)) {
      self->EndCellEdit(w == VK_RETURN);
      SetFocus(self->grid_);
      return 0;
    }
    if (msg == WM_CHAR && (w == L'\r' || w == 27)) return 0;
    if (msg == WM_KILLFOCUS) {
      const LRESULT r = CallWindowProcW(original, h, msg, w, l);
      self->EndCellEdit(true);
      return r;
    }
    return CallWindowProcW(original, h, msg, w, l);
  }

  LRESULT OnNotify(NMHDR& n) {
    if (n.idFrom == kTabControl1 && n.code == TCN_SELCHANGING) {
      EndCellEdit(true);  // what is being typed belongs to the tab being left
    } else if (n.idFrom == kTabControl1 && n.code == TCN_SELCHANGE && !showingTabs_) {
      editor_->SelectTabOnPage(static_cast<int>(SendMessageW(tabs_, TCM_GETCURSEL, 0, 0)));
    } else if (n.idFrom == kGrid && n.code == LVN_GETDISPINFOW) {
      auto& info = reinterpret_cast<NMLVDISPINFOW&>(n);
      if ((info.item.mask & LVIF_TEXT) != 0 && grid_tab_ != nullptr && info.item.iItem >= 0 &&
          static_cast<std::size_t>(info.item.iItem) < grid_tab_->Rows.size()) {
        const TEditorRow& row = grid_tab_->Rows[static_cast<std::size_t>(info.item.iItem)];
        cellText_ = Widen(info.item.iSubItem == 0 ? row.Source : row.Translation);
        lstrcpynW(info.item.pszText, cellText_.c_str(), info.item.cchTextMax);
      }
    } else if (n.idFrom == kGrid && (n.code == NM_DBLCLK || n.code == NM_CLICK)) {
      const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(n);
      if (activate.iSubItem == 1 || n.code == NM_DBLCLK) BeginCellEdit(activate.iItem);
    }
    return 0;
  }

  void OnCommand(int id, int code) {
    switch (id) {
      case kBtnAddLanguage:
        editor_->AddLanguage(static_cast<int>(SendMessageW(GetDlgItem(window_, kLangCombo), CB_GETCURSEL, 0, 0)));
        break;
      case kBtnDelet: editor_->DeleteLanguage(); break;
      case kBtnPrevPage: editor_->PrevPage(); break;
      case kBtnNextPage: editor_->NextPage(); break;
      case kBTNADDConstText: editor_->AddConstText(Narrow(WindowText(GetDlgItem(window_, kTBConstText)))); break;
      case kBTNDELCONSTTEXT: editor_->DeleteItemFromList(SelectedRow()); break;
      case kSpeedButton2: editor_->GetSetTextList(); break;
      case kSaveLanguageToFile:
        EndCellEdit(true);
        editor_->SaveToLanguageFile();
        break;
      default: (void)code; break;
    }
  }

  void SaveTextList() {
    const std::string memo = Narrow(WindowText(GetDlgItem(popup_, kMemoTextList)));
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= memo.size()) {
      std::size_t end = memo.find('\n', start);
      if (end == std::string::npos) end = memo.size();
      std::string line = memo.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) lines.push_back(std::move(line));
      start = end + 1;
    }
    editor_->SaveTextList(lines);
    DestroyWindow(popup_);
  }

  static LRESULT CALLBACK Procedure(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_NCCREATE) {
      SetWindowLongPtrW(h, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams));
    }
    auto* self = reinterpret_cast<EditorWindow*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (self != nullptr && self->editor_ != nullptr) {
      switch (msg) {
        case WM_COMMAND: self->OnCommand(LOWORD(w), HIWORD(w)); return 0;
        case WM_NOTIFY: return self->OnNotify(*reinterpret_cast<NMHDR*>(l));
        default: break;
      }
    }
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(h, msg, w, l);
  }

  static LRESULT CALLBACK PopupProcedure(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_NCCREATE) {
      SetWindowLongPtrW(h, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams));
    }
    auto* self = reinterpret_cast<EditorWindow*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (self != nullptr && msg == WM_COMMAND && LOWORD(w) == kBtnSaveTextList) {
      self->SaveTextList();
      return 0;
    }
    if (self != nullptr && msg == WM_DESTROY) self->popup_ = nullptr;
    return DefWindowProcW(h, msg, w, l);
  }

  Win32Platform platform_;
  TTranslationState translation_;
  std::unique_ptr<TqvLanguageDesignForm> editor_;
  HWND window_ = nullptr;
  HWND popup_ = nullptr;
  HWND tabs_ = nullptr;
  HWND grid_ = nullptr;
  HWND cellEdit_ = nullptr;
  WNDPROC cellEditProcedure_ = nullptr;
  int editRow_ = -1;
  const TLanguageTab* grid_tab_ = nullptr;
  std::wstring cellText_;
  bool showingTabs_ = false;
};

}  // namespace

int RunLanguageEditor() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  EditorWindow window;
  if (!window.Create()) return 1;
  return window.Run();
}

}  // namespace zr::win32
