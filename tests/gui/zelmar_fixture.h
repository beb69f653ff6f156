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
  const wchar_t* text;
};

}  // namespace zelmar_gui

// kMainControls, kAboutControls, kAboutCaption and kAboutMenuText: the
// tables of tests/app/check_res.py, which also checks the compiled templates.
#include "dialog_expectations.h"
