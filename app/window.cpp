#include "window.h"

#include <vector>

namespace zelmar::win {

bool Font::CreateIndirect(const LOGFONTW& logfont) {
  Reset();
  handle_ = CreateFontIndirectW(&logfont);
  return handle_ != nullptr;
}

void Font::Reset() {
  if (handle_ != nullptr) DeleteObject(handle_);
  handle_ = nullptr;
}

PaintDC::PaintDC(HWND window)
    : window_(window), dc_(BeginPaint(window, &paint_)) {}

PaintDC::~PaintDC() { EndPaint(window_, &paint_); }

int WinApp::Run() {
  // InitInstance runs the whole program; its result only says that there
  // is no loop left to run.
  InitInstance();
  return exit_code_;
}

HWND WinApp::MainWindow() const {
  return main_window_ != nullptr ? main_window_->Handle() : nullptr;
}

bool WinApp::OnCommand(UINT, const Dialog&) { return false; }

void WinApp::OnHelp(const Dialog& source) {
  const std::wstring path = HelpFilePath(instance_);
  WinHelpW(MainWindow(), path.c_str(), HELP_CONTEXT,
           kHelpContextBase + source.TemplateId());
}

std::wstring HelpFilePath(HINSTANCE instance) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD size = GetModuleFileNameW(instance, buffer.data(),
                                          static_cast<DWORD>(buffer.size()));
    if (size < buffer.size()) {
      return HelpPathFor(std::wstring(buffer.data(), size));
    }
    buffer.resize(buffer.size() * 2);  // path longer than the buffer
  }
}

std::wstring HelpPathFor(std::wstring module_path) {
  const std::size_t dot = module_path.find_last_of(L'.');
  const std::size_t separator = module_path.find_last_of(L"\\/");
  if (dot != std::wstring::npos &&
      (separator == std::wstring::npos || dot > separator)) {
    module_path.resize(dot);
  }
  return module_path + L".HLP";
}

namespace {

// A function of user32 that older systems lack, or null.
template <typename Function>
Function User32Function(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  // Through the generic function type, which converts to any other.
  return reinterpret_cast<Function>(
      reinterpret_cast<void (*)()>(GetProcAddress(user32, name)));
}

}  // namespace

UINT WindowDpi(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  if (auto get = User32Function<GetDpiForWindowFn>("GetDpiForWindow")) {
    if (const UINT dpi = get(window); dpi != 0) return dpi;
  }
  int dpi = 0;
  if (HDC dc = GetDC(window)) {
    dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(window, dc);
  }
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

int ScaleForDpi(int pixels_at_96, UINT dpi) {
  return MulDiv(pixels_at_96, static_cast<int>(dpi), 96);
}

void KeepOwnFontOnDpiChange(HWND control) {
  // DIALOG_CONTROL_DPI_CHANGE_BEHAVIORS, DCDC_DISABLE_FONT_UPDATE = 1.
  using SetBehaviourFn = BOOL(WINAPI*)(HWND, int, int);
  constexpr int kDisableFontUpdate = 0x0001;
  if (auto set =
          User32Function<SetBehaviourFn>("SetDialogControlDpiChangeBehavior")) {
    set(control, kDisableFontUpdate, kDisableFontUpdate);
  }
}

void WidenToFitText(HWND control, LONG max_right) {
  const int length = GetWindowTextLengthW(control);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(control, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  if (text.empty()) return;

  // Where the text's ink ends: its extent less the blank that follows the
  // last character's glyph (that character's C width; 0 where the font has
  // none).
  SIZE extent{};
  ABC last{};
  BOOL measured = FALSE;
  if (HDC dc = GetDC(control)) {
    auto font =
        reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    // Without a font of its own the control draws in the system font, which
    // a fresh device context holds already.
    HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
    measured = GetTextExtentPoint32W(dc, text.c_str(),
                                     static_cast<int>(text.size()), &extent);
    if (!GetCharABCWidthsW(dc, text.back(), text.back(), &last)) last = ABC{};
    if (previous != nullptr) SelectObject(dc, previous);
    ReleaseDC(control, dc);
  }
  RECT client{};
  if (!measured || !GetClientRect(control, &client) ||
      extent.cx - last.abcC <= client.right) {
    return;
  }
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect),
                  2);
  if (rect.right >= max_right) return;
  SetWindowPos(control, nullptr, 0, 0, max_right - rect.left,
               rect.bottom - rect.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool ReturnsResultDirectly(UINT message) {
  switch (message) {
    case WM_INITDIALOG:
    case 0x0019:  // WM_CTLCOLOR of 16-bit Windows, taken alike to this day
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
      return true;
    default:
      return false;
  }
}

INT_PTR Dialog::DoModal() {
  HWND owner = parent_ != nullptr ? parent_ : app_.MainWindow();
  const INT_PTR result =
      DialogBoxParamW(app_.Instance(), MAKEINTRESOURCEW(template_id_), owner,
                      &DialogProc, reinterpret_cast<LPARAM>(this));
  window_ = nullptr;
  return result;
}

bool Dialog::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam,
                           INT_PTR& result) {
  switch (message) {
    case WM_COMMAND: {
      // A button click, or a command from a menu or accelerator (no
      // control): both carry out the command.
      const bool command = HIWORD(wparam) == BN_CLICKED || lparam == 0;
      if (!command) return false;
      switch (LOWORD(wparam)) {
        case IDOK:
          OnOK();
          break;
        case IDCANCEL:
          OnCancel();
          break;
        case kIdHelp:
          app_.OnCommand(kIdHelp, *this);
          break;
        default:
          return false;
      }
      result = 0;  // a handled WM_COMMAND answers 0
      return true;
    }
    case WM_HELP:  // F1
      app_.OnCommand(kIdHelp, *this);
      result = TRUE;
      return true;
    default:
      return false;
  }
}

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM wparam,
                                    LPARAM lparam) {
  Dialog* self;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lparam);
    SetWindowLongPtrW(window, DWLP_USER, lparam);
    self->window_ = window;
  } else {
    self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
    // Messages before WM_INITDIALOG (WM_SETFONT, ...) get default handling.
    if (self == nullptr) return FALSE;
  }
  // The system's frames above this procedure cannot carry a C++ exception,
  // so every one ends here; the dialog lives on.
  INT_PTR result = 0;
  try {
    if (message == WM_INITDIALOG) return self->OnInitDialog();
    if (!self->HandleMessage(message, wparam, lparam, result)) return FALSE;
  } catch (...) {
    self->OnHandlerFailed(message);
    if (message == WM_INITDIALOG) {
      ::EndDialog(window, -1);
      return TRUE;
    }
    // Handled, with the result 0; a message answered directly then gets the
    // default processing.
    result = 0;
  }
  if (ReturnsResultDirectly(message)) return result;
  // Set last, after the handler: anything it sent to this dialog on the way
  // has had its own result written here already.
  SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace zelmar::win
