// Shared between the GUI test driver and the probe DLL that the driver loads
// into Zelmar's process. Some facts (fonts, icons, dialog units, the system
// menu, the help call) are only readable from inside that process under Wine,
// so the probe answers one request at a time through a named file mapping and
// two auto-reset events, all named after Zelmar's process id.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace zelmar_gui {

enum class ProbeCommand : std::uint32_t {
  kPing = 1,
  kFontOf,          // hwnd: LOGFONTW of WM_GETFONT (values[0] = HFONT)
  kIcons,           // hwnd: big, small, IDR_MAINFRAME, WM_QUERYDRAGICON
  kMapDialogRect,   // hwnd, rect: MapDialogRect in the dialog's own process
  kSystemMenu,      // hwnd: ids, types and texts of the system menu items
  kHookHelp,        // redirect the program's WinHelp import to a recorder
  kHelpRecord,      // calls recorded since kHookHelp
  kResourceCounts,  // GDI/USER objects and handles of the process
  // Self-check of the counters: leaks rect.left brushes, rect.top kernel
  // handles, rect.right windows and rect.bottom menus on purpose.
  kLeak,
  kDpiOf,          // hwnd: GetDpiForWindow (0 if absent), LOGPIXELSY of its DC
  kSendDpiChanged  // hwnd: WM_DPICHANGED for rect.left DPI, its window rect
};

// Order of the numbers in a kResourceCounts reply.
enum ResourceValue {
  kGuiGdi = 0,     // GetGuiResources(GR_GDIOBJECTS); 0 under Wine
  kGuiUser,        // GetGuiResources(GR_USEROBJECTS); 0 under Wine
  kHandleCount,    // GetProcessHandleCount; 0 under Wine
  kHandleScan,     // handle values 4, 8, ... that GetHandleInformation accepts
  kWindows,        // windows of the process: top-level, children, message-only
  kGdiHighWater,   // highest GDI table slot a batch of new brushes reaches
  kUserHighWater,  // highest USER table slot a batch of new menus reaches
  kGdiSlotsInUse   // GDI table slots that answer GetObjectType by bare index
};

inline constexpr int kMaxMenuItems = 32;
inline constexpr int kMenuTextChars = 128;

struct ProbeRequest {
  ProbeCommand command;
  std::uint64_t hwnd;
  RECT rect;
};

struct ProbeReply {
  std::uint32_t ok;        // 1 when the command was understood and done
  std::int64_t values[8];  // command-specific numbers
  LOGFONTW font;           // kFontOf
  RECT rect;               // kMapDialogRect
  std::int32_t menuCount;  // kSystemMenu
  std::uint32_t menuIds[kMaxMenuItems];
  std::uint32_t menuTypes[kMaxMenuItems];
  wchar_t menuTexts[kMaxMenuItems][kMenuTextChars];
  wchar_t text[MAX_PATH * 2];  // kHookHelp: imported name; kHelpRecord: file
};

struct ProbeBlock {
  ProbeRequest request;
  ProbeReply reply;
};

inline std::wstring ProbeName(DWORD pid, const wchar_t* part) {
  return L"Local\\ZelmarGuiProbe." + std::to_wstring(pid) + L"." + part;
}

}  // namespace zelmar_gui
