// The main dialog: twelve frequency fields, Calculate, Clear, Exit, the
// heading and the result box. It keeps nothing of a run: what the user sees
// lives in the controls only.
#pragma once

#include "window.h"

class CFreqCheckDlg : public zelmar::win::Dialog {
 public:
  explicit CFreqCheckDlg(zelmar::win::WinApp& app, HWND parent = nullptr);

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;  // Calculate; never ends the dialog
  bool HandleMessage(UINT message, WPARAM wparam, LPARAM lparam,
                     INT_PTR& result) override;

 private:
  void OnClear();
  // Return false to leave the message to the default processing.
  bool OnSysCommand(UINT id, LPARAM lparam);
  bool OnPaint();
  HCURSOR OnQueryDragIcon() const;

  HICON m_hIcon;  // shared resource handle, never destroyed
  zelmar::win::Font m_font;
};
