// Starting, finding, driving and probing one Zelmar process from the GUI
// test driver. Every wait is bounded; a session that is not closed cleanly
// terminates its process so that a failed test never leaves Zelmar running.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "probe_protocol.h"
#include "zelmar/platform/text_utf.h"

namespace zelmar_gui {

struct DriverOptions {
  std::wstring exePath;    // Zelmar.exe
  std::wstring probePath;  // the probe DLL injected into Zelmar
  UINT dpi = 96;           // the screen DPI the run was set up with
};
DriverOptions& Options();

// Control ids of the program's resources.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdFreq1 = 1000;
inline constexpr int kIdClear = 1015;
inline constexpr int kIdInfo = 1018;
inline constexpr int kIdFlabel1 = 1019;
inline constexpr int kIdResult = 1033;
inline constexpr int kIdmAboutBox = 0x0010;
inline constexpr int kIdHelpCommand = 57670;
inline constexpr int kIddAboutBox = 100;
inline constexpr int kIdsAboutBox = 101;
inline constexpr int kIddMain = 102;
inline constexpr int kIdrMainFrame = 128;

inline constexpr DWORD kStartTimeoutMs = 20000;
inline constexpr DWORD kWaitTimeoutMs = 10000;

// The program's own conversions between its UTF-16 and UTF-8 texts.
using zelmar::platform::Utf16ToUtf8;
using zelmar::platform::Utf8ToUtf16;

// Polls `condition` until it holds or `timeoutMs` passed.
bool WaitFor(const std::function<bool()>& condition,
             DWORD timeoutMs = kWaitTimeoutMs);

std::wstring ClassOf(HWND window);
// Text through WM_GETTEXT (cross-process safe, bounded).
std::wstring TextOf(HWND window);
bool SetText(HWND window, const std::wstring& text);

// Top-level visible window of process `pid` with that class and caption.
HWND FindTopLevel(DWORD pid, const wchar_t* className, const wchar_t* caption);

// Real keyboard input (SendInput). Modifiers are held around the key.
void PressKey(WORD vk, bool alt = false);

class ZelmarSession {
 public:
  ZelmarSession() = default;
  ZelmarSession(const ZelmarSession&) = delete;
  ZelmarSession& operator=(const ZelmarSession&) = delete;
  ~ZelmarSession();

  // Starts Zelmar and waits for its main dialog. False on failure, with the
  // reason in `error`.
  bool Start(std::string& error);
  bool InjectProbe(std::string& error);
  bool Query(ProbeCommand command, ProbeReply& reply, HWND hwnd = nullptr,
             RECT rect = RECT{});

  HWND dialog() const { return dialog_; }
  HWND Item(int id) const { return GetDlgItem(dialog_, id); }
  DWORD pid() const { return info_.dwProcessId; }
  DWORD tid() const { return info_.dwThreadId; }
  HANDLE process() const { return info_.hProcess; }

  // Sends a command to the dialog as its button would (synchronous).
  bool Command(int id);
  // Sends a command with no control handle, as a menu (code 0) or an
  // accelerator (code 1) would (synchronous).
  bool CommandWithoutControl(int id, WORD code);
  bool Click(int id);  // BM_CLICK on the button

  // Text helpers for the twelve fields (index 0 = F1) and the result box.
  bool SetField(int index, const std::wstring& text);
  std::wstring Field(int index) const;
  std::wstring Result() const;

  // Focused window of Zelmar's UI thread.
  HWND Focus() const;
  // Makes the dialog (or `window`) the foreground window for real key input.
  bool BringToFront(HWND window = nullptr);

  bool Running() const;
  // Waits for the process to end; false on timeout.
  bool WaitExit(DWORD timeoutMs, DWORD& exitCode);
  // Ends the program through its Exit button and waits; terminates it when
  // it does not end in time.
  void Close();

 private:
  PROCESS_INFORMATION info_{};
  HWND dialog_ = nullptr;
  HANDLE mapping_ = nullptr;
  HANDLE requestEvent_ = nullptr;
  HANDLE doneEvent_ = nullptr;
  ProbeBlock* block_ = nullptr;
};

}  // namespace zelmar_gui
