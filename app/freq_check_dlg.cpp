#include "freq_check_dlg.h"

#include "about_dlg.h"
#include "field_check_utf16.h"
#include "resource.h"

using zelmar::kSlotCount;
using zelmar::shell::FieldTextsW;
using zelmar::win::Dialog;
using zelmar::win::PaintDC;

namespace {

// Posted on a DPI change, so that the labels are fitted after the default
// processing has laid the dialog out at the new DPI.
constexpr UINT kFitFieldLabels = WM_APP;

}  // namespace

CFreqCheckDlg::CFreqCheckDlg(zelmar::win::WinApp& app, HWND parent)
    : Dialog(app, IDD_MAIN, parent),
      m_hIcon(LoadIconW(app.Instance(), MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

BOOL CFreqCheckDlg::OnInitDialog() {
  Dialog::OnInitDialog();
  HWND window = Handle();

  if (HMENU system_menu = GetSystemMenu(window, FALSE)) {
    const wchar_t* text = nullptr;  // read-only, not zero-terminated
    const int length = LoadStringW(App().Instance(), IDS_ABOUTBOX,
                                   reinterpret_cast<wchar_t*>(&text), 0);
    if (length > 0 && text != nullptr) {
      const std::wstring about(text, static_cast<std::size_t>(length));
      AppendMenuW(system_menu, MF_SEPARATOR, 0, nullptr);
      AppendMenuW(system_menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
    }
  }

  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageW(window, WM_SETICON, ICON_SMALL,
               reinterpret_cast<LPARAM>(m_hIcon));

  SetHeadingFont(zelmar::win::WindowDpi(window));
  // After a move to a monitor of another DPI the heading keeps its own font
  // (WM_DPICHANGED makes it anew), not the dialog's.
  zelmar::win::KeepOwnFontOnDpiChange(GetDlgItem(window, IDC_INFO));
  FitFieldLabels();

  return TRUE;  // focus to the first tab stop, the Calculate button
}

void CFreqCheckDlg::SetHeadingFont(UINT dpi) {
  // 30 pixels high at 96 DPI, everything else left to the mapper (weight,
  // charset, pitch and family all 0).
  LOGFONTW logfont{};
  logfont.lfHeight = zelmar::win::ScaleForDpi(30, dpi);
  static constexpr wchar_t kFace[] = L"ＭＳゴシック";
  static_assert(sizeof kFace <= sizeof logfont.lfFaceName);
  for (std::size_t i = 0; i < sizeof kFace / sizeof kFace[0]; ++i) {
    logfont.lfFaceName[i] = kFace[i];
  }
  // The control gets the new font before the old one is deleted.
  zelmar::win::Font font;
  font.CreateIndirect(logfont);
  SendMessageW(GetDlgItem(Handle(), IDC_INFO), WM_SETFONT,
               reinterpret_cast<WPARAM>(font.Get()), TRUE);
  m_font.Swap(font);
}

void CFreqCheckDlg::FitFieldLabels() {
  HWND window = Handle();
  for (int i = 0; i < static_cast<int>(kSlotCount); ++i) {
    HWND label = GetDlgItem(window, IDC_FLABEL1 + i);
    HWND field = GetDlgItem(window, IDC_FREQ1 + i);
    if (label == nullptr || field == nullptr) continue;
    RECT field_rect{};
    GetWindowRect(field, &field_rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&field_rect), 2);
    zelmar::win::WidenToFitText(label, field_rect.left);
  }
}

zelmar::shell::ShownTexts CFreqCheckDlg::CheckFields(
    const FieldTextsW& fields) {
  return zelmar::shell::CheckFieldTexts(fields);
}

void CFreqCheckDlg::OnHandlerFailed(UINT) noexcept {
  SetDlgItemTextW(Handle(), IDC_RESULT, L"計算を完了できませんでした。\r\n");
}

void CFreqCheckDlg::OnOK() {
  HWND window = Handle();
  FieldTextsW fields;
  for (std::size_t i = 0; i < kSlotCount; ++i) {
    HWND field = GetDlgItem(window, IDC_FREQ1 + static_cast<int>(i));
    const int length = GetWindowTextLengthW(field);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(field, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    fields[i] = std::move(text);
  }

  // Everything is computed before the first field is written, so a failed
  // run leaves the fields as they were.
  const zelmar::shell::ShownTexts shown = CheckFields(fields);

  for (std::size_t i = 0; i < kSlotCount; ++i) {
    SetDlgItemTextW(window, IDC_FREQ1 + static_cast<int>(i),
                    shown.fields[i].c_str());
  }
  SetDlgItemTextW(window, IDC_RESULT, shown.result.c_str());
}

void CFreqCheckDlg::OnClear() {
  HWND window = Handle();
  for (int id = IDC_FREQ1; id <= IDC_FREQ12; ++id) {
    SetDlgItemTextW(window, id, L"");
  }
  SetDlgItemTextW(window, IDC_RESULT, L"");
}

bool CFreqCheckDlg::OnSysCommand(UINT id, LPARAM) {
  // Only the low four bits are cleared, so 0x0010..0x001F all open it.
  if ((id & 0xFFF0) == IDM_ABOUTBOX) {
    CAboutDlg about(App());  // owned, and disabled meanwhile, by this dialog
    about.DoModal();
    return true;
  }
  return false;
}

bool CFreqCheckDlg::OnPaint() {
  HWND window = Handle();
  if (!IsIconic(window)) return false;
  PaintDC dc(window);
  SendMessageW(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.Get()),
               0);
  const int icon_width = GetSystemMetrics(SM_CXICON);
  const int icon_height = GetSystemMetrics(SM_CYICON);
  RECT client{};
  GetClientRect(window, &client);
  const int x = (client.right - client.left - icon_width + 1) / 2;
  const int y = (client.bottom - client.top - icon_height + 1) / 2;
  DrawIcon(dc.Get(), x, y, m_hIcon);
  return true;
}

HCURSOR CFreqCheckDlg::OnQueryDragIcon() const { return m_hIcon; }

bool CFreqCheckDlg::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam,
                                  INT_PTR& result) {
  switch (message) {
    case WM_SYSCOMMAND:
      if (!OnSysCommand(static_cast<UINT>(wparam), lparam)) return false;
      result = 0;
      return true;
    case WM_PAINT:
      if (!OnPaint()) return false;
      result = 0;
      return true;
    case WM_QUERYDRAGICON:
      result = reinterpret_cast<INT_PTR>(OnQueryDragIcon());
      return true;
    case WM_DPICHANGED:
      // The new DPI in both words of wparam; the dialog's own resizing is
      // left to the default processing, after which the labels are fitted.
      SetHeadingFont(HIWORD(wparam));
      PostMessageW(Handle(), kFitFieldLabels, 0, 0);
      return false;
    case kFitFieldLabels:
      FitFieldLabels();
      result = 0;
      return true;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDC_CLEAR && HIWORD(wparam) == BN_CLICKED) {
        OnClear();
        result = 0;
        return true;
      }
      break;
  }
  return Dialog::HandleMessage(message, wparam, lparam, result);
}
