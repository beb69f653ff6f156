// The main dialog: twelve frequency fields, Calculate, Clear, Exit, the
// heading and the result box. It keeps nothing of a run: what the user sees
// lives in the controls only.
#pragma once

#include "field_check_utf16.h"
#include "window.h"

class CFreqCheckDlg : public zelmar::win::Dialog {
 public:
  explicit CFreqCheckDlg(zelmar::win::WinApp& app, HWND parent = nullptr);

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;  // Calculate; never ends the dialog
  bool HandleMessage(UINT message, WPARAM wparam, LPARAM lparam,
                     INT_PTR& result) override;
  // Says in the result box that the calculation could not be completed; the
  // fields keep what they held.
  void OnHandlerFailed(UINT message) noexcept override;

  // Calculate's computation; tests replace it to make it fail.
  virtual zelmar::shell::ShownTexts CheckFields(
      const zelmar::shell::FieldTextsW& fields);

 private:
  void OnClear();
  // Return false to leave the message to the default processing.
  bool OnSysCommand(UINT id, LPARAM lparam);
  bool OnPaint();
  HCURSOR OnQueryDragIcon() const;
  // The heading's font for the dialog's current DPI: 30 pixels at 96 DPI,
  // in proportion at any other.
  void SetHeadingFont(UINT dpi);
  // Widens each label F1-F12 whose text does not fit it in its font, up to
  // its field's left edge; no other control moves.
  void FitFieldLabels();

  HICON m_hIcon;  // shared resource handle, never destroyed
  zelmar::win::Font m_font;
};
