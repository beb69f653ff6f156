#include <windows.h>

#include "zelmar/platform/files.h"
#include "zelmar/platform/text_utf.h"

namespace zelmar::platform {
namespace {

// Closes a file handle when it goes out of scope.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    const HANDLE h = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return CloseHandle(h) != 0;
  }

 private:
  HANDLE handle_;
};

std::string LastErrorText() {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                     FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, GetLastError(), 0,
                                 reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring words = n ? std::wstring(text, n) : L"error";
  if (text) LocalFree(text);
  while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r' ||
                            words.back() == L'.')) {
    words.pop_back();
  }
  return Utf16ToUtf8(words);
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path,
                                         std::string& error) {
  FileHandle file(CreateFileW(Utf8ToUtf16(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    error = LastErrorText();
    return std::nullopt;
  }
  std::string bytes;
  char buffer[1 << 16];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr)) {
      error = LastErrorText();
      return std::nullopt;
    }
    if (n == 0) return bytes;
    bytes.append(buffer, n);
  }
}

bool WriteWholeFile(const std::string& path, std::string_view bytes,
                 std::string& error) {
  const std::wstring target = Utf8ToUtf16(path);
  const std::wstring temporary = target + L".zelmar-tmp";
  FileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    error = LastErrorText();
    return false;
  }
  const auto fail = [&] {
    error = LastErrorText();
    if (file.valid()) file.Close();
    DeleteFileW(temporary.c_str());
    return false;
  };
  while (!bytes.empty()) {
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(
        bytes.size() < (1u << 30) ? bytes.size() : (1u << 30));
    if (!WriteFile(file.get(), bytes.data(), chunk, &n, nullptr)) {
      return fail();
    }
    bytes.remove_prefix(n);
  }
  if (!FlushFileBuffers(file.get()) || !file.Close()) return fail();
  if (!MoveFileExW(temporary.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return fail();
  }
  return true;
}

}  // namespace zelmar::platform
