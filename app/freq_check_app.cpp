#include "freq_check_app.h"

#include <commctrl.h>

#include "freq_check_dlg.h"

bool CFreqCheckApp::InitInstance() {
  // A dialog framework would enable embedded-control hosting and 3D controls
  // here; our own layer has neither. Registering the common control classes
  // takes their place, as the version 6 controls of the manifest expect.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  INT_PTR result;
  {
    CFreqCheckDlg dialog(*this);
    SetMainWindow(&dialog);
    result = dialog.DoModal();  // IDCANCEL after Exit
    SetMainWindow(nullptr);
  }
  if (result == -1) {
    // The dialog could not be created (no display, no memory, ...): say so
    // where any window can still be shown, and end with a failure status.
    MessageBoxW(nullptr, L"Zelmar を起動できませんでした。", L"Zelmar",
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    SetExitCode(kExitStartFailed);
  }
  return false;  // no message loop of the application's own
}

bool CFreqCheckApp::OnCommand(UINT id, const zelmar::win::Dialog& source) {
  if (id == zelmar::win::kIdHelp) {
    OnHelp(source);
    return true;
  }
  return WinApp::OnCommand(id, source);
}
