// The application object: runs the main dialog and answers the help command.
#pragma once

#include "window.h"

class CFreqCheckApp : public zelmar::win::WinApp {
 public:
  using WinApp::WinApp;

  // The exit status when the main dialog could not be created.
  static constexpr int kExitStartFailed = 1;

  bool OnCommand(UINT id, const zelmar::win::Dialog& source) override;

 protected:
  bool InitInstance() override;
};
