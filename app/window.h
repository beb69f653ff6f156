// A thin window layer of our own: just what the Zelmar shell uses.
// Wide-character Win32 APIs throughout; every handle has an owner that
// releases it, and nothing is kept in global variables.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

namespace zelmar::win {

// The help command, routed from a dialog to the application object.
inline constexpr UINT kIdHelp = 57670;
// A dialog's help context is this base plus its template id.
inline constexpr DWORD kHelpContextBase = 0x20000;

// Owns a GDI font; deleted with the object.
class Font {
 public:
  Font() = default;
  ~Font() { Reset(); }
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  // On failure the font stays empty (null handle).
  bool CreateIndirect(const LOGFONTW& logfont);
  void Reset();
  HFONT Get() const { return handle_; }
  void Swap(Font& other) { std::swap(handle_, other.handle_); }

 private:
  HFONT handle_ = nullptr;
};

// BeginPaint on construction, EndPaint on destruction.
class PaintDC {
 public:
  explicit PaintDC(HWND window);
  ~PaintDC();
  PaintDC(const PaintDC&) = delete;
  PaintDC& operator=(const PaintDC&) = delete;

  HDC Get() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// The DPI a window is shown at (96 is 100 %): the window's own where the
// system knows it (GetDpiForWindow, looked up at run time so that older
// Windows still starts), else the screen's.
UINT WindowDpi(HWND window);
// A length in pixels at 96 DPI, scaled to `dpi` (rounded half away from 0).
int ScaleForDpi(int pixels_at_96, UINT dpi);
// Keeps the dialog manager from replacing the font of `control` when the
// dialog's DPI changes (SetDialogControlDpiChangeBehavior, where present).
void KeepOwnFontOnDpiChange(HWND control);
// Widens `control`, keeping its left edge, up to `max_right` (in its
// parent's client coordinates) when its text in its own font reaches
// beyond its client area; a control whose text fits keeps its size.
void WidenToFitText(HWND control, LONG max_right);

// Whether a dialog procedure returns the result of `message` itself, as it
// must for WM_INITDIALOG, WM_CTLCOLOR*, WM_COMPAREITEM, WM_VKEYTOITEM,
// WM_CHARTOITEM and WM_QUERYDRAGICON; the results of all other messages go
// through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message);

class Dialog;

// The application object. There is no message loop of its own: the modal
// dialogs' loops are the only ones.
class WinApp {
 public:
  explicit WinApp(HINSTANCE instance) : instance_(instance) {}
  virtual ~WinApp() = default;
  WinApp(const WinApp&) = delete;
  WinApp& operator=(const WinApp&) = delete;

  // Runs InitInstance once; returns the process exit code: 0 unless
  // InitInstance set another.
  int Run();

  HINSTANCE Instance() const { return instance_; }
  // The main window's handle, null while it has none.
  HWND MainWindow() const;
  void SetMainWindow(Dialog* dialog) { main_window_ = dialog; }

  // A command that a dialog routes to the application object; true when
  // the application handled it.
  virtual bool OnCommand(UINT id, const Dialog& source);

 protected:
  virtual bool InitInstance() = 0;
  void SetExitCode(int code) { exit_code_ = code; }
  // Opens the help file (this program's path with the extension ".HLP")
  // at the context of the given dialog.
  void OnHelp(const Dialog& source);

 private:
  HINSTANCE instance_;
  Dialog* main_window_ = nullptr;
  int exit_code_ = 0;
};

// This program's path with its extension replaced by ".HLP".
std::wstring HelpFilePath(HINSTANCE instance);
// `module_path` with the extension of its last part replaced by ".HLP" (or
// ".HLP" appended when it has none).
std::wstring HelpPathFor(std::wstring module_path);

// A modal dialog from a template resource.
class Dialog {
 public:
  // Without a parent the application's main window owns the dialog.
  Dialog(WinApp& app, UINT template_id, HWND parent = nullptr)
      : app_(app), template_id_(template_id), parent_(parent) {}
  virtual ~Dialog() = default;
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // The value given to EndDialog, or -1 if the dialog cannot be created.
  INT_PTR DoModal();

  HWND Handle() const { return window_; }
  UINT TemplateId() const { return template_id_; }
  WinApp& App() const { return app_; }

 protected:
  virtual BOOL OnInitDialog() { return TRUE; }
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }

  // Returns true when the message was handled; `result` is then the
  // message's result (what SendMessage returns to its sender), which the
  // layer passes on as the message requires. False leaves the message to the
  // default processing.
  virtual bool HandleMessage(UINT message, WPARAM wparam, LPARAM lparam,
                             INT_PTR& result);

  void EndDialog(INT_PTR result) { ::EndDialog(window_, result); }

  // Called when a handler of `message` ended by an exception, which the
  // dialog procedure stops there: no exception crosses the system's frames.
  // Must not throw. A failed WM_INITDIALOG ends the dialog with -1 anyway.
  virtual void OnHandlerFailed(UINT message) noexcept { (void)message; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam,
                                     LPARAM lparam);

  WinApp& app_;
  UINT template_id_;
  HWND parent_;
  HWND window_ = nullptr;
};

}  // namespace zelmar::win
