// Test fixture and expected layout shared by the GUI tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zelmar_session.h"

namespace zelmar_gui {

// One fresh Zelmar process per test, so that no test sees another's state.
class ZelmarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(zelmar.Start(error)) << error;
  }
  void TearDown() override { zelmar.Close(); }
  void InjectProbe() {
    std::string error;
    ASSERT_TRUE(zelmar.InjectProbe(error)) << error;
  }
  ZelmarSession zelmar;
};

// The children of `parent` in creation (template) order.
inline std::vector<HWND> ChildrenInOrder(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT))
    children.push_back(child);
  return children;
}

// The window rectangle of `child` in the client coordinates of `parent`.
inline RECT RectIn(HWND child, HWND parent) {
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

struct ControlSpec {
  int id;
  const wchar_t* className;
  DWORD style;
  int x, y, w, h;
  const wchar_t* text;  // nullptr: credit line, any one line of text
};

inline constexpr DWORD kDefPush = 0x50010001, kPush = 0x50010000,
                       kField = 0x50810080, kLabel = 0x50020000,
                       kResultBox = 0x50A10044;

// The main dialog's thirty controls in template (creation) order.
inline const ControlSpec kMainControls[30] = {
    {1, L"Button", kDefPush, 313, 6, 50, 14, L"計\u3000算"},
    {2, L"Button", kPush, 313, 23, 50, 14, L"終\u3000了"},
    {1000, L"Edit", kField, 20, 30, 61, 17, L""},
    {1001, L"Edit", kField, 20, 55, 61, 17, L""},
    {1002, L"Edit", kField, 20, 80, 61, 17, L""},
    {1003, L"Edit", kField, 20, 105, 61, 17, L""},
    {1004, L"Edit", kField, 20, 130, 61, 17, L""},
    {1005, L"Edit", kField, 20, 155, 61, 17, L""},
    {1006, L"Edit", kField, 105, 30, 61, 17, L""},
    {1007, L"Edit", kField, 105, 55, 61, 17, L""},
    {1008, L"Edit", kField, 105, 80, 61, 17, L""},
    {1009, L"Edit", kField, 105, 105, 61, 17, L""},
    {1019, L"Static", kLabel, 5, 35, 8, 8, L"F1"},
    {1020, L"Static", kLabel, 5, 60, 8, 8, L"F2"},
    {1021, L"Static", kLabel, 5, 85, 8, 8, L"F3"},
    {1022, L"Static", kLabel, 5, 110, 8, 8, L"F4"},
    {1023, L"Static", kLabel, 5, 135, 8, 8, L"F5"},
    {1024, L"Static", kLabel, 5, 160, 8, 8, L"F6"},
    {1025, L"Static", kLabel, 90, 35, 8, 8, L"F7"},
    {1026, L"Static", kLabel, 90, 60, 8, 8, L"F8"},
    {1027, L"Static", kLabel, 90, 85, 8, 8, L"F9"},
    {1028, L"Static", kLabel, 90, 110, 12, 8, L"F10"},
    {1010, L"Edit", kField, 105, 130, 61, 17, L""},
    {1011, L"Edit", kField, 105, 155, 61, 17, L""},
    {1029, L"Static", kLabel, 90, 135, 10, 8, L"F11"},
    {1030, L"Static", kLabel, 90, 160, 15, 8, L"F12"},
    {1018, L"Static", kLabel, 185, 35, 120, 16, L"Infomation"},
    {1015, L"Button", kPush, 259, 6, 51, 16, L"クリア"},
    {-1, L"Static", kLabel, 210, 190, 150, 10, nullptr},
    {1033, L"Edit", kResultBox, 185, 55, 175, 115, L""},
};

// The about box's four controls (icon, name, credit, OK).
inline const ControlSpec kAboutControls[4] = {
    {-1, L"Static", 0x50000003, 11, 17, 20, 20, L""},
    {-1, L"Static", 0x50020080, 40, 10, 119, 8, L"Zelmar Version 1.0"},
    {-1, L"Static", 0x50020000, 40, 25, 119, 8, nullptr},
    {1, L"Button", 0x50030001, 178, 7, 50, 14, L"OK"},
};

inline const wchar_t kAboutCaption[] = L"Zelmarのﾊﾞｰｼﾞｮﾝ情報";
inline const wchar_t kAboutMenuText[] = L"Zelmar のﾊﾞｰｼﾞｮﾝ情報(&A)...";

}  // namespace zelmar_gui
