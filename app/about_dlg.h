// The about box: default dialog behaviour only (OK/Enter end it with IDOK,
// Escape and the close box with IDCANCEL).
#pragma once

#include "resource.h"
#include "window.h"

class CAboutDlg : public zelmar::win::Dialog {
 public:
  explicit CAboutDlg(zelmar::win::WinApp& app) : Dialog(app, IDD_ABOUTBOX) {}
};
