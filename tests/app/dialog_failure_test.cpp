// The real main dialog, with Calculate's computation made to fail: the
// dialog procedure stops the exception, the dialog stays open, the fields
// keep their texts and the result box says what happened. Needs a display.
#include <gtest/gtest.h>

#include <new>
#include <string>

#include "freq_check_dlg.h"
#include "resource.h"

namespace {

constexpr UINT kReadBack = WM_APP + 1;

class TestApp : public zelmar::win::WinApp {
 public:
  TestApp() : WinApp(GetModuleHandleW(nullptr)) {}

 protected:
  bool InitInstance() override { return false; }
};

// Types a text into F1, presses Calculate, then reads the controls back and
// ends itself.
class FailingCheckDlg : public CFreqCheckDlg {
 public:
  using CFreqCheckDlg::CFreqCheckDlg;
  std::wstring field_after;
  std::wstring result_after;

 protected:
  BOOL OnInitDialog() override {
    const BOOL result = CFreqCheckDlg::OnInitDialog();
    SetDlgItemTextW(Handle(), IDC_FREQ1, L"806.1");
    PostMessageW(Handle(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(Handle(), IDOK)));
    PostMessageW(Handle(), kReadBack, 0, 0);
    return result;
  }
  zelmar::shell::ShownTexts CheckFields(
      const zelmar::shell::FieldTextsW&) override {
    throw std::bad_alloc();
  }
  bool HandleMessage(UINT message, WPARAM wparam, LPARAM lparam,
                     INT_PTR& result) override {
    if (message != kReadBack) {
      return CFreqCheckDlg::HandleMessage(message, wparam, lparam, result);
    }
    field_after = Text(IDC_FREQ1);
    result_after = Text(IDC_RESULT);
    EndDialog(IDCANCEL);
    result = TRUE;
    return true;
  }

 private:
  std::wstring Text(int id) const {
    wchar_t text[256] = {};
    GetDlgItemTextW(Handle(), id, text, 256);
    return text;
  }
};

TEST(DialogFailure, ExceptionInCalculateKeepsDialogAndFields) {
  TestApp app;
  FailingCheckDlg dialog(app);
  app.SetMainWindow(&dialog);
  // The dialog was still there to be ended by the read-back, not by -1.
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  app.SetMainWindow(nullptr);
  EXPECT_EQ(dialog.field_after, L"806.1");
  EXPECT_EQ(dialog.result_after, L"計算を完了できませんでした。\r\n");
}

// Answers the messages sent with kAsked; their senders must get the answers.
class AnsweringDlg : public zelmar::win::Dialog {
 public:
  explicit AnsweringDlg(zelmar::win::WinApp& app) : Dialog(app, IDD_ABOUTBOX) {}

 protected:
  static constexpr WPARAM kAsked = 0x5A17;  // the system's messages lack it
  BOOL OnInitDialog() override {
    // All the system's messages, WM_APP for WM_INITDIALOG (lparam: `this`).
    for (UINT message = WM_NULL; message < WM_USER; ++message) {
      const UINT m = message == WM_INITDIALOG ? WM_APP : message;
      EXPECT_EQ(SendMessageW(Handle(), m, kAsked, 0), 0x10000 + LRESULT(m));
    }
    EndDialog(IDOK);
    return TRUE;
  }
  bool HandleMessage(UINT message, WPARAM wparam, LPARAM,
                     INT_PTR& result) override {
    result = 0x10000 + LRESULT(message);
    return wparam == kAsked;
  }
};

TEST(DialogResult, SendersGetTheResultsTheHandlersGave) {
  TestApp app;
  AnsweringDlg dialog(app);
  EXPECT_EQ(dialog.DoModal(), IDOK);  // the checks above ran
}

}  // namespace
