// Test probe loaded into Zelmar's process by the GUI test driver. It answers
// the driver's questions from inside the process, where window fonts, icons,
// dialog units and the system menu can be read under Wine as on Windows, and
// it can redirect the program's WinHelp import to a recorder so that the F1
// help request is observed without starting a help viewer.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

#include "probe_protocol.h"

namespace {

using zelmar_gui::ProbeBlock;
using zelmar_gui::ProbeCommand;
using zelmar_gui::ProbeReply;
using zelmar_gui::ProbeRequest;

// What the help recorder saw. Written on Zelmar's UI thread, read by the
// probe thread, so the lock guards both sides.
SRWLOCK g_helpLock = SRWLOCK_INIT;
long g_helpCalls = 0;
long g_helpWideCalls = 0;
wchar_t g_helpFile[MAX_PATH * 2] = {};
UINT g_helpCommand = 0;
ULONG_PTR g_helpData = 0;
HWND g_helpWindow = nullptr;

void RecordHelp(HWND window, const wchar_t* file, UINT command, ULONG_PTR data,
                bool wide) {
  AcquireSRWLockExclusive(&g_helpLock);
  ++g_helpCalls;
  if (wide) ++g_helpWideCalls;
  g_helpFile[0] = L'\0';
  if (file != nullptr) lstrcpynW(g_helpFile, file, MAX_PATH * 2);
  g_helpCommand = command;
  g_helpData = data;
  g_helpWindow = window;
  ReleaseSRWLockExclusive(&g_helpLock);
}

BOOL WINAPI RecordWinHelpA(HWND window, LPCSTR file, UINT command,
                           ULONG_PTR data) {
  wchar_t wide[MAX_PATH * 2] = {};
  if (file != nullptr)
    MultiByteToWideChar(CP_ACP, 0, file, -1, wide, MAX_PATH * 2 - 1);
  RecordHelp(window, file != nullptr ? wide : nullptr, command, data, false);
  return TRUE;
}

BOOL WINAPI RecordWinHelpW(HWND window, LPCWSTR file, UINT command,
                           ULONG_PTR data) {
  RecordHelp(window, file, command, data, true);
  return TRUE;
}

// Rewrites the import address table entries of the program file that point
// at user32's WinHelpA / WinHelpW. Returns how many entries were patched and
// names them in `names`.
int PatchHelpImports(wchar_t* names, int capacity) {
  names[0] = L'\0';
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (base == nullptr || user32 == nullptr) return 0;
  const FARPROC realA = GetProcAddress(user32, "WinHelpA");
  const FARPROC realW = GetProcAddress(user32, "WinHelpW");
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.VirtualAddress == 0) return 0;
  int patched = 0;
  for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
           base + dir.VirtualAddress);
       desc->Name != 0; ++desc) {
    auto* iat = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
    auto* names_thunk = desc->OriginalFirstThunk != 0
                            ? reinterpret_cast<IMAGE_THUNK_DATA*>(
                                  base + desc->OriginalFirstThunk)
                            : nullptr;
    for (std::size_t i = 0; iat[i].u1.Function != 0; ++i) {
      const char* name = nullptr;
      if (names_thunk != nullptr &&
          !IMAGE_SNAP_BY_ORDINAL(names_thunk[i].u1.Ordinal)) {
        name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(
                   base + names_thunk[i].u1.AddressOfData)
                   ->Name;
      }
      const auto current = reinterpret_cast<FARPROC>(iat[i].u1.Function);
      bool isA = (name != nullptr && std::strcmp(name, "WinHelpA") == 0) ||
                 (realA != nullptr && current == realA);
      bool isW = (name != nullptr && std::strcmp(name, "WinHelpW") == 0) ||
                 (realW != nullptr && current == realW);
      if (!isA && !isW) continue;
      void* slot = &iat[i].u1.Function;
      DWORD oldProtect = 0;
      if (!VirtualProtect(slot, sizeof(ULONG_PTR), PAGE_READWRITE, &oldProtect))
        continue;
      iat[i].u1.Function = isW ? reinterpret_cast<ULONG_PTR>(&RecordWinHelpW)
                               : reinterpret_cast<ULONG_PTR>(&RecordWinHelpA);
      VirtualProtect(slot, sizeof(ULONG_PTR), oldProtect, &oldProtect);
      FlushInstructionCache(GetCurrentProcess(), slot, sizeof(ULONG_PTR));
      ++patched;
      if (names[0] != L'\0') lstrcatW(names, L",");
      if (lstrlenW(names) + 10 < capacity)
        lstrcatW(names, isW ? L"WinHelpW" : L"WinHelpA");
    }
  }
  return patched;
}

// --- resource counters that also work under Wine ---------------------------
// Wine answers 0 to GetGuiResources and GetProcessHandleCount, so the probe
// counts from inside the process in ways that hold on both systems.

HMODULE g_module = nullptr;

// Kernel handles are multiples of 4 handed out lowest-free-first; a long run
// of invalid values means the table ends there.
std::int64_t CountKernelHandles() {
  constexpr ULONG_PTR kLimit = ULONG_PTR{1} << 22;
  constexpr int kGiveUpAfter = 16384;
  std::int64_t count = 0;
  int misses = 0;
  for (ULONG_PTR value = 4; value < kLimit && misses < kGiveUpAfter;
       value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
      ++count;
      misses = 0;
    } else {
      ++misses;
    }
  }
  return count;
}

struct WindowCount {
  DWORD pid;
  std::int64_t count;
};

BOOL CALLBACK CountChild(HWND, LPARAM param) {
  ++reinterpret_cast<WindowCount*>(param)->count;
  return TRUE;
}

void CountTree(HWND window, WindowCount& tally) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != tally.pid) return;
  ++tally.count;
  // EnumChildWindows walks all descendants, not only direct children.
  EnumChildWindows(window, CountChild, reinterpret_cast<LPARAM>(&tally));
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM param) {
  CountTree(window, *reinterpret_cast<WindowCount*>(param));
  return TRUE;
}

std::int64_t CountWindows() {
  WindowCount tally{GetCurrentProcessId(), 0};
  EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&tally));
  for (HWND w = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr);
       w != nullptr; w = FindWindowExW(HWND_MESSAGE, w, nullptr, nullptr))
    CountTree(w, tally);
  return tally.count;
}

// Allocates `batch` objects, frees them again and returns the highest table
// slot (low word of the handle, divided by the slot spacing) they used. The
// free slots are reused first, so the batch can only reach past every slot
// in use: a leak of n objects between two calls raises the result by n.
template <typename Create, typename Destroy>
std::int64_t HighWater(int batch, Create create, Destroy destroy) {
  std::vector<ULONG_PTR> handles;
  handles.reserve(static_cast<std::size_t>(batch));
  for (int i = 0; i < batch; ++i) {
    const ULONG_PTR h = create(i);
    if (h == 0) break;
    handles.push_back(h);
  }
  const bool complete = handles.size() == static_cast<std::size_t>(batch);
  ULONG_PTR low = ~ULONG_PTR{0}, high = 0;
  for (ULONG_PTR h : handles) {
    low = std::min(low, h & 0xFFFF);
    high = std::max(high, h & 0xFFFF);
  }
  ULONG_PTR spacing = 0;
  for (ULONG_PTR h : handles) spacing = std::gcd(spacing, (h & 0xFFFF) - low);
  for (ULONG_PTR h : handles) destroy(h);
  if (!complete || spacing == 0) return -1;
  return static_cast<std::int64_t>(high / spacing);
}

std::int64_t GdiHighWater() {
  return HighWater(
      1000,
      [](int i) {
        return reinterpret_cast<ULONG_PTR>(
            CreateSolidBrush(RGB(i & 0xFF, i >> 8, 0x5A)));
      },
      [](ULONG_PTR h) { DeleteObject(reinterpret_cast<HGDIOBJ>(h)); });
}

// Under Wine the USER table is shared by every process of the session, so
// this mark also moves when another process keeps USER objects.
std::int64_t UserHighWater() {
  return HighWater(
      500, [](int) { return reinterpret_cast<ULONG_PTR>(CreateMenu()); },
      [](ULONG_PTR h) { DestroyMenu(reinterpret_cast<HMENU>(h)); });
}

// Wine resolves a GDI handle by its low word alone when the high word is 0,
// so every live object of the process answers GetObjectType at its bare
// slot number. Windows does not, and gives 0 here.
std::int64_t CountGdiSlots() {
  std::int64_t count = 0;
  for (ULONG_PTR slot = 1; slot <= 0xFFFF; ++slot)
    if (GetObjectType(reinterpret_cast<HGDIOBJ>(slot)) != 0) ++count;
  return count;
}

std::int64_t DpiForWindow(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  const auto get =
      reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void (*)()>(
          GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  return get != nullptr ? get(window) : 0;
}

void Answer(const ProbeRequest& request, ProbeReply& reply) {
  const auto hwnd = reinterpret_cast<HWND>(request.hwnd);
  switch (request.command) {
    case ProbeCommand::kPing:
      reply.values[0] = GetCurrentProcessId();
      reply.ok = 1;
      break;
    case ProbeCommand::kFontOf: {
      auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
      reply.values[0] = reinterpret_cast<std::int64_t>(font);
      reply.values[1] =
          font != nullptr ? GetObjectW(font, sizeof(LOGFONTW), &reply.font) : 0;
      reply.ok = 1;
      break;
    }
    case ProbeCommand::kIcons: {
      reply.values[0] = static_cast<std::int64_t>(
          SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0));
      reply.values[1] = static_cast<std::int64_t>(
          SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0));
      reply.values[2] = reinterpret_cast<std::int64_t>(
          LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(128)));
      reply.values[3] =
          static_cast<std::int64_t>(SendMessageW(hwnd, WM_QUERYDRAGICON, 0, 0));
      ICONINFO info{};
      if (GetIconInfo(reinterpret_cast<HICON>(reply.values[2]), &info)) {
        BITMAP bm{};
        if (info.hbmColor != nullptr &&
            GetObjectW(info.hbmColor, sizeof(bm), &bm) != 0) {
          reply.values[4] = bm.bmWidth;
          reply.values[5] = bm.bmHeight;
        }
        if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
        if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
      }
      reply.ok = 1;
      break;
    }
    case ProbeCommand::kMapDialogRect:
      reply.rect = request.rect;
      reply.ok = MapDialogRect(hwnd, &reply.rect) ? 1 : 0;
      break;
    case ProbeCommand::kSystemMenu: {
      HMENU menu = GetSystemMenu(hwnd, FALSE);
      reply.values[0] = reinterpret_cast<std::int64_t>(menu);
      int count = menu != nullptr ? GetMenuItemCount(menu) : 0;
      reply.menuCount = count;
      for (int i = 0; i < count && i < zelmar_gui::kMaxMenuItems; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        info.dwTypeData = reply.menuTexts[i];
        info.cch = zelmar_gui::kMenuTextChars - 1;
        if (GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) {
          reply.menuIds[i] = info.wID;
          reply.menuTypes[i] = info.fType;
        }
      }
      reply.ok = menu != nullptr ? 1 : 0;
      break;
    }
    case ProbeCommand::kHookHelp:
      reply.values[0] = PatchHelpImports(reply.text, MAX_PATH * 2);
      reply.ok = reply.values[0] > 0 ? 1 : 0;
      break;
    case ProbeCommand::kHelpRecord:
      AcquireSRWLockShared(&g_helpLock);
      reply.values[0] = g_helpCalls;
      reply.values[1] = g_helpCommand;
      reply.values[2] = static_cast<std::int64_t>(g_helpData);
      reply.values[3] = reinterpret_cast<std::int64_t>(g_helpWindow);
      reply.values[4] = g_helpWideCalls;
      lstrcpynW(reply.text, g_helpFile, MAX_PATH * 2);
      ReleaseSRWLockShared(&g_helpLock);
      reply.ok = 1;
      break;
    case ProbeCommand::kResourceCounts: {
      DWORD handles = 0;
      reply.values[zelmar_gui::kGuiGdi] =
          GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
      reply.values[zelmar_gui::kGuiUser] =
          GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
      reply.values[zelmar_gui::kHandleCount] =
          GetProcessHandleCount(GetCurrentProcess(), &handles)
              ? static_cast<std::int64_t>(handles)
              : -1;
      reply.values[zelmar_gui::kHandleScan] = CountKernelHandles();
      reply.values[zelmar_gui::kWindows] = CountWindows();
      reply.values[zelmar_gui::kGdiHighWater] = GdiHighWater();
      reply.values[zelmar_gui::kUserHighWater] = UserHighWater();
      reply.values[zelmar_gui::kGdiSlotsInUse] = CountGdiSlots();
      reply.ok = 1;
      break;
    }
    case ProbeCommand::kDpiOf: {
      reply.values[0] = DpiForWindow(hwnd);
      HDC dc = GetDC(hwnd);
      reply.values[1] = GetDeviceCaps(dc, LOGPIXELSY);
      ReleaseDC(hwnd, dc);
      reply.ok = 1;
      break;
    }
    case ProbeCommand::kSendDpiChanged: {
      // As the system sends it: the new DPI in both words, and a suggested
      // window rectangle (here the current one) that lives in this process.
      RECT suggested{};
      GetWindowRect(hwnd, &suggested);
      const auto dpi = static_cast<WORD>(request.rect.left);
      SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                   reinterpret_cast<LPARAM>(&suggested));
      reply.ok = 1;
      break;
    }
    case ProbeCommand::kLeak: {
      // Deliberate leaks, so that the endurance test can prove each of its
      // counters sees lost objects.
      for (LONG i = 0; i < request.rect.left; ++i)
        if (CreateSolidBrush(RGB(i, 7, 11)) != nullptr) ++reply.values[0];
      for (LONG i = 0; i < request.rect.top; ++i)
        if (CreateEventW(nullptr, TRUE, FALSE, nullptr) != nullptr)
          ++reply.values[1];
      for (LONG i = 0; i < request.rect.right; ++i)
        if (CreateWindowExW(0, L"Static", L"leak", WS_POPUP, 0, 0, 8, 8,
                            nullptr, nullptr, g_module, nullptr) != nullptr)
          ++reply.values[2];
      for (LONG i = 0; i < request.rect.bottom; ++i)
        if (CreateMenu() != nullptr) ++reply.values[3];
      reply.ok = 1;
      break;
    }
  }
}

DWORD WINAPI ProbeThread(void*) {
  const DWORD pid = GetCurrentProcessId();
  HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE,
                                    zelmar_gui::ProbeName(pid, L"map").c_str());
  HANDLE request = OpenEventW(EVENT_ALL_ACCESS, FALSE,
                              zelmar_gui::ProbeName(pid, L"req").c_str());
  HANDLE done = OpenEventW(EVENT_ALL_ACCESS, FALSE,
                           zelmar_gui::ProbeName(pid, L"done").c_str());
  if (mapping == nullptr || request == nullptr || done == nullptr) return 1;
  auto* block = static_cast<ProbeBlock*>(
      MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ProbeBlock)));
  if (block == nullptr) return 1;
  for (;;) {
    // Windows leaked on purpose belong to this thread, so it keeps their
    // messages flowing while it waits for the next request.
    const DWORD woke =
        MsgWaitForMultipleObjects(1, &request, FALSE, INFINITE, QS_ALLINPUT);
    if (woke == WAIT_OBJECT_0 + 1) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      continue;
    }
    if (woke != WAIT_OBJECT_0) return 1;
    ProbeRequest copy = block->request;
    std::memset(&block->reply, 0, sizeof(block->reply));
    Answer(copy, block->reply);
    SetEvent(done);
  }
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    g_module = instance;
    HANDLE thread = CreateThread(nullptr, 0, ProbeThread, nullptr, 0, nullptr);
    if (thread != nullptr) CloseHandle(thread);
  }
  return TRUE;
}
