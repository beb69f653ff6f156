#include "zelmar_session.h"

#include <algorithm>
#include <vector>

namespace zelmar_gui {

DriverOptions& Options() {
  static DriverOptions options;
  return options;
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(10);
  }
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL,
                           kWaitTimeoutMs, &length))
    return L"<no answer>";
  std::vector<wchar_t> buffer(length + 2, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(),
                           reinterpret_cast<LPARAM>(buffer.data()), SMTO_NORMAL,
                           kWaitTimeoutMs, &copied))
    return L"<no answer>";
  return std::wstring(buffer.data(), copied);
}

bool SetText(HWND window, const std::wstring& text) {
  // Wine's edit control needs seconds for tens of thousands of characters,
  // the more so in 32-bit Wine on a busy machine: the wait grows with the
  // text (2 ms a character).
  const DWORD timeout =
      std::max<DWORD>(kWaitTimeoutMs, static_cast<DWORD>(text.size()) * 2);
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_SETTEXT, 0,
                             reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_NORMAL, timeout, &result) != 0 &&
         result != 0;
}

namespace {

struct FindRequest {
  DWORD pid;
  const wchar_t* className;
  const wchar_t* caption;
  HWND found;
};

BOOL CALLBACK FindProc(HWND window, LPARAM param) {
  auto* request = reinterpret_cast<FindRequest*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != request->pid || !IsWindowVisible(window)) return TRUE;
  if (ClassOf(window) != request->className) return TRUE;
  wchar_t caption[256] = {};
  GetWindowTextW(window, caption, 256);
  if (std::wstring(caption) != request->caption) return TRUE;
  request->found = window;
  return FALSE;
}

INPUT KeyInput(WORD vk, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

}  // namespace

HWND FindTopLevel(DWORD pid, const wchar_t* className, const wchar_t* caption) {
  FindRequest request{pid, className, caption, nullptr};
  EnumWindows(FindProc, reinterpret_cast<LPARAM>(&request));
  return request.found;
}

void PressKey(WORD vk, bool alt) {
  std::vector<INPUT> inputs;
  if (alt) inputs.push_back(KeyInput(VK_MENU, false));
  inputs.push_back(KeyInput(vk, false));
  inputs.push_back(KeyInput(vk, true));
  if (alt) inputs.push_back(KeyInput(VK_MENU, true));
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

ZelmarSession::~ZelmarSession() {
  if (info_.hProcess != nullptr) {
    if (Running()) {
      TerminateProcess(info_.hProcess, 0xDEAD);
      WaitForSingleObject(info_.hProcess, kWaitTimeoutMs);
    }
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
  }
  if (block_ != nullptr) UnmapViewOfFile(block_);
  if (mapping_ != nullptr) CloseHandle(mapping_);
  if (requestEvent_ != nullptr) CloseHandle(requestEvent_);
  if (doneEvent_ != nullptr) CloseHandle(doneEvent_);
}

bool ZelmarSession::Start(std::string& error) {
  const std::wstring& exe = Options().exePath;
  std::wstring commandLine = L"\"" + exe + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                      0, nullptr, nullptr, &startup, &info_)) {
    error = "CreateProcessW failed: " + std::to_string(GetLastError()) +
            " for " + Utf16ToUtf8(exe);
    info_ = PROCESS_INFORMATION{};
    return false;
  }
  WaitForInputIdle(info_.hProcess, kStartTimeoutMs);
  const bool found = WaitFor(
      [&] {
        dialog_ = FindTopLevel(pid(), L"#32770", L"Zelmar");
        return dialog_ != nullptr || !Running();
      },
      kStartTimeoutMs);
  if (!found || dialog_ == nullptr) {
    error = "no visible #32770 window \"Zelmar\" of the started process";
    return false;
  }
  // The dialog is visible; wait until its UI thread has settled the focus.
  WaitFor([&] { return Focus() != nullptr; }, kWaitTimeoutMs);
  return true;
}

bool ZelmarSession::InjectProbe(std::string& error) {
  if (block_ != nullptr) return true;
  mapping_ =
      CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                         sizeof(ProbeBlock), ProbeName(pid(), L"map").c_str());
  requestEvent_ =
      CreateEventW(nullptr, FALSE, FALSE, ProbeName(pid(), L"req").c_str());
  doneEvent_ =
      CreateEventW(nullptr, FALSE, FALSE, ProbeName(pid(), L"done").c_str());
  if (mapping_ == nullptr || requestEvent_ == nullptr ||
      doneEvent_ == nullptr) {
    error = "cannot create the probe's mapping and events";
    return false;
  }
  block_ = static_cast<ProbeBlock*>(
      MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ProbeBlock)));
  if (block_ == nullptr) {
    error = "cannot map the probe block";
    return false;
  }
  const std::wstring& dll = Options().probePath;
  const SIZE_T bytes = (dll.size() + 1) * sizeof(wchar_t);
  void* remote = VirtualAllocEx(process(), nullptr, bytes,
                                MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (remote == nullptr ||
      !WriteProcessMemory(process(), remote, dll.c_str(), bytes, nullptr)) {
    error = "cannot write the probe path into Zelmar's memory";
    return false;
  }
  // kernel32 sits at the same address in every process of the session.
  auto loadLibrary =
      reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
  HANDLE thread = CreateRemoteThread(process(), nullptr, 0, loadLibrary, remote,
                                     0, nullptr);
  if (thread == nullptr) {
    error = "CreateRemoteThread failed: " + std::to_string(GetLastError());
    return false;
  }
  DWORD waited = WaitForSingleObject(thread, kStartTimeoutMs);
  DWORD loaded = 0;
  GetExitCodeThread(thread, &loaded);
  CloseHandle(thread);
  VirtualFreeEx(process(), remote, 0, MEM_RELEASE);
  if (waited != WAIT_OBJECT_0 || loaded == 0) {
    error =
        "LoadLibraryW of the probe failed inside Zelmar: " + Utf16ToUtf8(dll);
    return false;
  }
  ProbeReply reply{};
  if (!Query(ProbeCommand::kPing, reply) ||
      reply.values[0] != static_cast<std::int64_t>(pid())) {
    error = "the probe does not answer";
    return false;
  }
  return true;
}

bool ZelmarSession::Query(ProbeCommand command, ProbeReply& reply, HWND hwnd,
                          RECT rect) {
  if (block_ == nullptr) return false;
  block_->request.command = command;
  block_->request.hwnd = reinterpret_cast<std::uint64_t>(hwnd);
  block_->request.rect = rect;
  ResetEvent(doneEvent_);
  SetEvent(requestEvent_);
  if (WaitForSingleObject(doneEvent_, kWaitTimeoutMs) != WAIT_OBJECT_0)
    return false;
  reply = block_->reply;
  return reply.ok == 1;
}

bool ZelmarSession::Command(int id) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                             reinterpret_cast<LPARAM>(Item(id)), SMTO_NORMAL,
                             kWaitTimeoutMs * 3, &result) != 0;
}

bool ZelmarSession::CommandWithoutControl(int id, WORD code) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(dialog_, WM_COMMAND, MAKEWPARAM(id, code), 0,
                             SMTO_NORMAL, kWaitTimeoutMs * 3, &result) != 0;
}

bool ZelmarSession::Click(int id) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(Item(id), BM_CLICK, 0, 0, SMTO_NORMAL,
                             kWaitTimeoutMs * 3, &result) != 0;
}

bool ZelmarSession::SetField(int index, const std::wstring& text) {
  return SetText(Item(kIdFreq1 + index), text);
}

std::wstring ZelmarSession::Field(int index) const {
  return TextOf(Item(kIdFreq1 + index));
}

std::wstring ZelmarSession::Result() const { return TextOf(Item(kIdResult)); }

HWND ZelmarSession::Focus() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(tid(), &info)) return nullptr;
  return info.hwndFocus;
}

bool ZelmarSession::BringToFront(HWND window) {
  if (window == nullptr) window = dialog_;
  return WaitFor(
      [&] {
        if (GetForegroundWindow() == window) return true;
        SetForegroundWindow(window);
        Sleep(20);
        return GetForegroundWindow() == window;
      },
      kWaitTimeoutMs);
}

bool ZelmarSession::Running() const {
  return info_.hProcess != nullptr &&
         WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool ZelmarSession::WaitExit(DWORD timeoutMs, DWORD& exitCode) {
  if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0)
    return false;
  GetExitCodeProcess(info_.hProcess, &exitCode);
  return true;
}

void ZelmarSession::Close() {
  if (!Running()) return;
  PostMessageW(dialog_, WM_COMMAND, MAKEWPARAM(kIdCancel, BN_CLICKED),
               reinterpret_cast<LPARAM>(Item(kIdCancel)));
  DWORD code = 0;
  if (!WaitExit(kWaitTimeoutMs, code)) {
    TerminateProcess(info_.hProcess, 0xDEAD);
    WaitForSingleObject(info_.hProcess, kWaitTimeoutMs);
  }
}

}  // namespace zelmar_gui
