// Behaviour that depends on real input: hyperlink hover and click on release, image
// gadget clicks, button clicks, typing and focus in string fields, Tab order.
#include <gtest/gtest.h>

#include "tk_test_util.h"
#include "toolkit_internal.h"

namespace {

class InputTest : public ToolkitTest {
 protected:
  void SetUp() override {
    OpenWindow(100, 100, 400, 300, "input");
    ASSERT_TRUE(MakeForeground(window_));
    MouseMoveTo(window_, 390, 290);  // a corner where no gadget lies
    DrainEvents(40);
  }
  void TearDown() override {
    ReleaseCapture();
    ToolkitTest::TearDown();
  }
  // Moves the pointer to a point of the window and lets the moves be handled.
  void MoveTo(int x, int y) {
    MouseMoveTo(window_, x, y);
    DrainEvents(40);
  }
};

TEST_F(InputTest, HyperlinkHoverShowsHoverColourAndHandCursor) {
  HWND link = reinterpret_cast<HWND>(HyperlinkGadgetCreate(
      1, 20, 20, 100, 20, DOWNLOAD_1251, RGB(255, 255, 255), HYPERLINK_UNDERLINE));
  GadgetSetColor(1, COLOR_BACK, RGB(21, 21, 21));
  GadgetSetColor(1, COLOR_FRONT, RGB(137, 127, 98));
  HDC dc = GetDC(link);
  SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SIZE size;
  GetTextExtentPoint32W(dc, L"Скачать", 7, &size);
  ReleaseDC(link, dc);
  POINT underline = {20 + size.cx / 2, 20 + size.cy};
  DrainEvents(30);
  EXPECT_TRUE(ColorNear(ClientPixel(window_, underline.x, underline.y), RGB(137, 127, 98)));

  MoveTo(40, 25);
  EXPECT_EQ(GetCapture(), link);
  EXPECT_TRUE(ColorNear(ClientPixel(window_, underline.x, underline.y), RGB(255, 255, 255)));
  EXPECT_EQ(GetCursor(), StockCursor(IDC_HAND));

  MoveTo(300, 200);
  EXPECT_NE(GetCapture(), link);
  EXPECT_TRUE(ColorNear(ClientPixel(window_, underline.x, underline.y), RGB(137, 127, 98)));
}

TEST_F(InputTest, HyperlinkClicksOnReleaseOverIt) {
  HyperlinkGadgetCreate(1, 20, 20, 100, 20, "Поиск", RGB(255, 255, 255));
  MoveTo(40, 25);
  MouseButton(MOUSEEVENTF_LEFTDOWN);
  std::vector<SeenEvent> seen = DrainEvents(60);
  EXPECT_EQ(CountGadgetEvents(seen, 1, TYPE_LEFT_CLICK), 0);  // not on the press
  MouseButton(MOUSEEVENTF_LEFTUP);
  EXPECT_TRUE(WaitForGadgetEvent(1, TYPE_LEFT_CLICK));
  EXPECT_EQ(EventWindowNumber(), 1);

  // Pressed over it, moved away, released elsewhere: no click.
  MoveTo(40, 25);
  MouseButton(MOUSEEVENTF_LEFTDOWN);
  DrainEvents(40);
  MoveTo(300, 200);
  MouseButton(MOUSEEVENTF_LEFTUP);
  seen = DrainEvents(100);
  EXPECT_EQ(CountGadgetEvents(seen, 1, TYPE_LEFT_CLICK), 0);
}

TEST_F(InputTest, HyperlinkDoubleClickGivesOneClickPerRelease) {
  HyperlinkGadgetCreate(1, 20, 20, 100, 20, "Поиск", RGB(255, 255, 255));
  MoveTo(40, 25);
  LeftClick();
  LeftClick();
  std::vector<SeenEvent> seen;
  WaitForGadgetEvent(1, -3, 300, &seen);  // collect for a while
  EXPECT_EQ(CountGadgetEvents(seen, 1, TYPE_LEFT_CLICK), 2);
  EXPECT_EQ(CountGadgetEvents(seen, 1, TYPE_LEFT_DOUBLE_CLICK), 0);
}

TEST_F(InputTest, ButtonClickIsAGadgetEvent) {
  ButtonGadgetCreate(7, 20, 20, 100, 30, "Кнопка");
  MoveTo(60, 35);
  LeftClick();
  ASSERT_TRUE(WaitForGadgetEvent(7, TYPE_LEFT_CLICK));
  EXPECT_EQ(EventWindowNumber(), 1);
}

TEST_F(InputTest, ButtonInsideAContainerReportsToTheWindow) {
  ContainerGadgetCreate(2, 50, 50, 200, 100);
  ButtonGadgetCreate(3, 10, 10, 80, 30, "в панели");
  GadgetListClose();
  MoveTo(50 + 40, 50 + 25);
  LeftClick();
  ASSERT_TRUE(WaitForGadgetEvent(3, TYPE_LEFT_CLICK));
  EXPECT_EQ(EventWindowNumber(), 1);
}

HBITMAP SolidBitmap(int width, int height) {
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

TEST_F(InputTest, ImageClicksAndDoubleClicks) {
  HBITMAP picture = SolidBitmap(60, 40);
  ImageGadgetCreate(4, 20, 20, 0, 0, reinterpret_cast<intptr_t>(picture));
  MoveTo(40, 40);
  LeftClick();
  ASSERT_TRUE(WaitForGadgetEvent(4, TYPE_LEFT_CLICK));
  DrainEvents(GetDoubleClickTime() + 50);  // the next click is a new one

  LeftClick();
  LeftClick();
  std::vector<SeenEvent> seen;
  ASSERT_TRUE(WaitForGadgetEvent(4, TYPE_LEFT_DOUBLE_CLICK, 3000, &seen));
  seen.clear();
  WaitForGadgetEvent(4, -3, 200, &seen);
  // No stray notification types (right click, right double click) from the double click.
  EXPECT_EQ(CountGadgetEvents(seen, 4, TYPE_RIGHT_CLICK), 0);
  EXPECT_EQ(CountGadgetEvents(seen, 4, TYPE_RIGHT_DOUBLE_CLICK), 0);
  DrainEvents(GetDoubleClickTime() + 50);

  MouseButton(MOUSEEVENTF_RIGHTDOWN);
  MouseButton(MOUSEEVENTF_RIGHTUP);
  ASSERT_TRUE(WaitForGadgetEvent(4, TYPE_RIGHT_CLICK));
  DrainEvents(GetDoubleClickTime() + 50);
  WindowsEnd();
  DeleteObject(picture);
}

TEST_F(InputTest, RightDoubleClickOnImageIsNotFollowedByRightClick) {
  HBITMAP picture = SolidBitmap(60, 40);
  ImageGadgetCreate(4, 20, 20, 0, 0, reinterpret_cast<intptr_t>(picture));
  MoveTo(40, 40);
  for (int i = 0; i < 2; ++i) {
    MouseButton(MOUSEEVENTF_RIGHTDOWN);
    MouseButton(MOUSEEVENTF_RIGHTUP);
  }
  std::vector<SeenEvent> seen;
  ASSERT_TRUE(WaitForGadgetEvent(4, TYPE_RIGHT_DOUBLE_CLICK, 3000, &seen));
  WaitForGadgetEvent(4, -3, 300, &seen);
  EXPECT_EQ(CountGadgetEvents(seen, 4, TYPE_RIGHT_DOUBLE_CLICK), 1);
  // The first release is a right click; the one that ends the double click is not.
  EXPECT_EQ(CountGadgetEvents(seen, 4, TYPE_RIGHT_CLICK), 1);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back().type, TYPE_RIGHT_DOUBLE_CLICK);
  WindowsEnd();
  DeleteObject(picture);
}

TEST_F(InputTest, DraggingOutOfTheDragRectangleStartsADrag) {
  HBITMAP picture = SolidBitmap(80, 60);
  ImageGadgetCreate(4, 20, 20, 0, 0, reinterpret_cast<intptr_t>(picture));
  MoveTo(40, 40);
  MouseButton(MOUSEEVENTF_LEFTDOWN);
  DrainEvents(40);
  EXPECT_EQ(GetCapture(), GadgetHandle(4));
  MoveTo(41, 41);  // inside the drag rectangle
  EXPECT_EQ(GetCapture(), GadgetHandle(4));
  MouseMoveTo(window_, 40 + GetSystemMetrics(SM_CXDRAG) + 5, 40);
  ASSERT_TRUE(WaitForGadgetEvent(4, TYPE_DRAG_START));
  EXPECT_NE(GetCapture(), GadgetHandle(4));
  MouseButton(MOUSEEVENTF_LEFTUP);
  DrainEvents(40);
  WindowsEnd();
  DeleteObject(picture);
}

TEST_F(InputTest, StringFieldReportsFocusAndChanges) {
  StringGadgetCreate(5, 20, 20, 150, 22, "");
  StringGadgetCreate(6, 20, 60, 150, 22, "");
  DrainEvents(20);
  SetFocus(GadgetHandle(5));
  ASSERT_TRUE(WaitForGadgetEvent(5, TYPE_FOCUS));
  KeyPress('A');
  ASSERT_TRUE(WaitForGadgetEvent(5, TYPE_CHANGE));
  DrainEvents(30);
  EXPECT_EQ(GadgetGetText(5), "a");
  SetFocus(GadgetHandle(6));
  std::vector<SeenEvent> seen;
  ASSERT_TRUE(WaitForGadgetEvent(6, TYPE_FOCUS, 3000, &seen));
  EXPECT_EQ(CountGadgetEvents(seen, 5, TYPE_LOST_FOCUS), 1);
}

// Types one character as a keyboard of any layout delivers it: as a Unicode key.
void TypeCharacter(wchar_t character) {
  INPUT keys[2] = {};
  for (INPUT& key : keys) {
    key.type = INPUT_KEYBOARD;
    key.ki.wScan = character;
    key.ki.dwFlags = KEYEVENTF_UNICODE;
  }
  keys[1].ki.dwFlags |= KEYEVENTF_KEYUP;
  SendInput(2, keys, sizeof(INPUT));
}

TEST_F(InputTest, TypedCharactersArriveAsThemselvesAndOnesTheCodePageLacksAreReported) {
  StringGadgetCreate(5, 20, 20, 150, 22, "");
  DrainEvents(20);
  SetFocus(GadgetHandle(5));
  ASSERT_TRUE(WaitForGadgetEvent(5, TYPE_FOCUS));
  for (wchar_t typed : std::wstring(L"Ёж 7")) TypeCharacter(typed);
  ASSERT_TRUE(PumpUntil([] { return GadgetGetText(5).size() == 4; }, 2000));
  char32_t lacking = 1;
  EXPECT_EQ(GadgetGetText(5, &lacking), "\xA8\xE6 7");  // Ёж 7 in Windows-1251
  EXPECT_EQ(lacking, 0u);
  // A character Windows-1251 lacks (用) is not passed on as the '?' it becomes.
  TypeCharacter(L'\u7528');
  TypeCharacter(L'x');
  ASSERT_TRUE(PumpUntil([] { return GadgetGetText(5).size() == 6; }, 2000));
  EXPECT_EQ(GadgetGetText(5, &lacking), "\xA8\xE6 7?x");
  EXPECT_EQ(lacking, U'\u7528');
}

TEST_F(InputTest, TabAndShiftTabMoveAlongTheTabStops) {
  StringGadgetCreate(10, 20, 20, 100, 22, "a");
  TextGadgetCreate(11, 20, 50, 100, 22, "no tab stop");
  StringGadgetCreate(12, 20, 80, 100, 22, "b");
  StringGadgetCreate(13, 20, 110, 100, 22, "disabled");
  EnableWindow(GadgetHandle(13), FALSE);
  ButtonGadgetCreate(14, 20, 140, 100, 22, "c");
  StringGadgetCreate(15, 20, 170, 100, 22, "hidden");
  ShowWindow(GadgetHandle(15), SW_HIDE);
  DrainEvents(20);
  auto pressTab = [](bool shift) {
    if (shift) Key(VK_SHIFT, false);
    KeyPress(VK_TAB);
    if (shift) Key(VK_SHIFT, true);
    DrainEvents(40);
  };
  // Nothing focused: Tab takes the first tab stop, Shift+Tab the last.
  SetFocus(nullptr);
  pressTab(false);
  EXPECT_EQ(GetFocus(), GadgetHandle(10));
  pressTab(false);
  EXPECT_EQ(GetFocus(), GadgetHandle(12));
  pressTab(false);
  EXPECT_EQ(GetFocus(), GadgetHandle(14));
  pressTab(false);
  EXPECT_EQ(GetFocus(), GadgetHandle(10));  // wraps around
  pressTab(true);
  EXPECT_EQ(GetFocus(), GadgetHandle(14));
  pressTab(true);
  EXPECT_EQ(GetFocus(), GadgetHandle(12));
  SetFocus(nullptr);
  pressTab(true);
  EXPECT_EQ(GetFocus(), GadgetHandle(14));
  // The edit field did not receive the Tab as text.
  EXPECT_EQ(GadgetGetText(10), "a");
}

// Whether some pixel of the control's top row is black.
bool TopRowHasBlack(HWND window, HWND control) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
  bool black = false;
  for (int x = rect.left; x < rect.right; ++x) black |= ClientPixel(window, x, rect.top) == 0;
  return black;
}

// Tab visits what can be seen, in the order set (then in creation order): not a gadget
// of no size, one outside the window or one cut off by its container, nor a plain picture.
// Focused links and picture buttons show a mark and click on Enter and Space.
TEST_F(InputTest, TabVisitsWhatShowsInTheOrderSetAndKeysClickLinksAndPictureButtons) {
  StringGadgetCreate(10, 20, 20, 100, 22, "a");
  HyperlinkGadgetCreate(11, 130, 20, 60, 18, "link", RGB(255, 255, 255));
  GadgetSetColor(11, COLOR_FRONT, RGB(200, 0, 0));  // so that black is only the mark
  ButtonGadgetCreate(12, 0, 0, 0, 0, "");
  StringGadgetCreate(13, -500, 0, 100, 22, "outside");
  ContainerGadgetCreate(14, 20, 60, 100, 40);
  StringGadgetCreate(15, 10, 10, 50, 20, "inside");
  StringGadgetCreate(16, 10, 60, 50, 20, "cut off");
  GadgetListClose();
  HBITMAP picture = CreateBitmap(16, 13, 1, 32, nullptr);
  ImageGadgetCreate(17, 200, 60, 0, 0, reinterpret_cast<intptr_t>(picture), IMAGE_BUTTON);
  ImageGadgetCreate(18, 250, 60, 0, 0, reinterpret_cast<intptr_t>(picture));
  const ObjectNumber order[] = {17, 11, 10};
  GadgetSetTabOrder(order, 3);
  DrainEvents(20);
  SetFocus(nullptr);
  std::vector<ObjectNumber> visited;
  for (int i = 0; i < 5; ++i) {
    KeyPress(VK_TAB);
    DrainEvents(40);
    visited.push_back(GadgetNumberOfControl(GetFocus()));
  }
  EXPECT_EQ(visited, (std::vector<ObjectNumber>{17, 11, 10, 15, 17}));

  KeyPress(VK_SPACE);
  EXPECT_TRUE(WaitForGadgetEvent(17, TYPE_LEFT_CLICK, 1000));
  auto focusOn = [](ObjectNumber gadget) {
    SetFocus(GadgetHandle(gadget));
    DrainEvents(40);
  };
  focusOn(11);
  EXPECT_TRUE(TopRowHasBlack(window_, GadgetHandle(11)));  // the focus mark, on a light ground
  KeyPress(VK_RETURN);
  EXPECT_TRUE(WaitForGadgetEvent(11, TYPE_LEFT_CLICK, 1000));
  focusOn(10);
  EXPECT_FALSE(TopRowHasBlack(window_, GadgetHandle(11)));
  WindowsEnd();
  DeleteObject(picture);
}

}  // namespace
