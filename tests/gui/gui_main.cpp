// GUI test driver: starts the real Zelmar.exe and checks its windows,
// resources and behaviour. Usage:
//   zelmar_gui_tests --exe=<Zelmar.exe> [--probe=<probe dll>] [--dpi=N]
//                    [gtest flags]
// The probe DLL defaults to the one next to this driver; --dpi names the
// screen DPI the run was set up with (96 unless given).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "zelmar_session.h"

int wmain(int argc, wchar_t** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Window coordinates as Zelmar (per-monitor aware) sees them, not scaled
  // to 96 DPI for an unaware driver.
  SetProcessDPIAware();
  auto& options = zelmar_gui::Options();
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg.rfind(L"--exe=", 0) == 0) options.exePath = arg.substr(6);
    if (arg.rfind(L"--probe=", 0) == 0) options.probePath = arg.substr(8);
    if (arg.rfind(L"--dpi=", 0) == 0)
      options.dpi = static_cast<UINT>(std::stoul(arg.substr(6)));
  }
  if (options.probePath.empty()) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir = self;
    dir.erase(dir.find_last_of(L"\\/") + 1);
    options.probePath = dir + L"zelmar_gui_probe.dll";
  }
  if (options.exePath.empty()) {
    std::fprintf(stderr, "usage: zelmar_gui_tests --exe=<Zelmar.exe>\n");
    return 2;
  }
  std::printf("Zelmar: %s\nANSI code page: %u\nscreen: %u DPI\n",
              zelmar_gui::Utf16ToUtf8(options.exePath).c_str(), GetACP(),
              options.dpi);
  return RUN_ALL_TESTS();
}
