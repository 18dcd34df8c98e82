// The gadget registry: registration, number reuse, unused numbers, generic operations,
// the gadget list with containers and saved copies, the brush cache and event posting.
#include <gtest/gtest.h>

#include <string>

#include "tk_test_util.h"
#include "toolkit_internal.h"

namespace {

class GadgetTest : public ToolkitTest {
 protected:
  void SetUp() override { OpenWindow(50, 50, 400, 300, "g"); }
};

TEST_F(GadgetTest, RegistrationSetsIdentifierPropertyParentAndFont) {
  const char* mark = "\xEC\xE5\xF2\xEA\xE0";  // метка
  HWND label = reinterpret_cast<HWND>(TextGadgetCreate(5, 10, 10, 100, 20, mark));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(GadgetHandle(5), label);
  EXPECT_EQ(GetWindowLongPtrA(label, GWLP_ID), 5);
  EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropW(label, GADGET_NUMBER_PROPERTY)), 6);
  EXPECT_EQ(GetParent(label), window_);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)),
            GetStockObject(DEFAULT_GUI_FONT));
  EXPECT_EQ(GadgetKindOf(5), KIND_TEXT);
  EXPECT_EQ(WideWindowText(label), L"метка");
  EXPECT_EQ(GadgetGetText(5), mark);
  // Gadget 0 is a number like any other.
  ASSERT_NE(ButtonGadgetCreate(0, 10, 40, 50, 20, "0"), 0);
  EXPECT_EQ(GadgetOfControl(GadgetHandle(0)), GadgetLookup(0));
}

TEST_F(GadgetTest, KindsReportTheirNumbers) {
  TextGadgetCreate(1, 0, 0, 10, 10, "");
  StringGadgetCreate(2, 0, 0, 10, 10, "");
  ButtonGadgetCreate(3, 0, 0, 10, 10, "");
  HyperlinkGadgetCreate(4, 0, 0, 10, 10, "", 0);
  ImageGadgetCreate(5, 0, 0, 10, 10, 0);
  ContainerGadgetCreate(6, 0, 0, 10, 10);
  GadgetListClose();
  EXPECT_EQ(GadgetKindOf(1), KIND_TEXT);
  EXPECT_EQ(GadgetKindOf(2), KIND_STRING);
  EXPECT_EQ(GadgetKindOf(3), KIND_BUTTON);
  EXPECT_EQ(GadgetKindOf(4), KIND_HYPERLINK);
  EXPECT_EQ(GadgetKindOf(5), KIND_IMAGE);
  EXPECT_EQ(GadgetKindOf(6), KIND_CONTAINER);
  EXPECT_EQ(TEXT_GADGET_KIND.kind, KIND_TEXT);
  // Subclassed, every control is still a Unicode window: typed characters reach it as
  // themselves whatever the system's code page.
  for (int number = 1; number <= 6; ++number)
    EXPECT_TRUE(IsWindowUnicode(GadgetHandle(number))) << number;
}

TEST_F(GadgetTest, AnyNumberGadgetsGetDistinctNumbers) {
  intptr_t a = ButtonGadgetCreate(ANY_NUMBER, 0, 0, 10, 10, "a");
  intptr_t b = ButtonGadgetCreate(ANY_NUMBER, 0, 0, 10, 10, "b");
  ASSERT_NE(a, 0);
  ASSERT_NE(b, 0);
  EXPECT_NE(a, b);
  EXPECT_GT(a, 0xFFFF);
  HWND handle = GadgetHandle(a);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(GetWindowLongPtrA(handle, GWLP_ID), a);
  EXPECT_EQ(GadgetGetText(b), "b");
  GadgetFree(a);
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(GadgetHandle(a), nullptr);
  EXPECT_EQ(GadgetGetText(b), "b");
}

TEST_F(GadgetTest, ReusingANumberReplacesTheControlAndReleasesItsBrush) {
  HWND old = reinterpret_cast<HWND>(TextGadgetCreate(7, 0, 0, 50, 20, "old"));
  GadgetSetColor(7, COLOR_BACK, RGB(1, 2, 3));
  HBRUSH brush = reinterpret_cast<HBRUSH>(GadgetLookup(7)->data[2]);
  ASSERT_NE(brush, nullptr);
  EXPECT_EQ(BrushCacheCount(brush), 1);
  HWND fresh = reinterpret_cast<HWND>(StringGadgetCreate(7, 0, 30, 50, 20, "new"));
  ASSERT_NE(fresh, nullptr);
  EXPECT_FALSE(IsWindow(old));
  EXPECT_EQ(GadgetHandle(7), fresh);
  EXPECT_EQ(GadgetKindOf(7), KIND_STRING);
  EXPECT_EQ(BrushCacheCount(brush), 0);
  EXPECT_EQ(GadgetGetColor(7, COLOR_BACK), -1);  // the new record starts clean
}

TEST_F(GadgetTest, FailedCreationLeavesTheNumberAlone) {
  WindowOpen(2, 0, 0, 100, 100, "2", WINDOW_INVISIBLE);
  HWND keep = reinterpret_cast<HWND>(TextGadgetCreate(9, 0, 0, 50, 20, "keep"));
  ASSERT_NE(keep, nullptr);
  GadgetListUse(window_);
  TextGadgetCreate(8, 0, 0, 50, 20, "goes");
  HWND goes = GadgetHandle(8);
  WindowClose(1);  // the current list's window goes, and with it gadget 8
  EXPECT_FALSE(IsWindow(goes));
  EXPECT_EQ(GadgetHandle(8), nullptr);
  EXPECT_EQ(GadgetListUse(nullptr), nullptr);
  // Without a parent the system refuses the control; gadget 9 stays as it was.
  EXPECT_EQ(TextGadgetCreate(9, 0, 0, 50, 20, "x"), 0);
  EXPECT_EQ(GadgetHandle(9), keep);
  EXPECT_EQ(GadgetGetText(9), "keep");
}

TEST_F(GadgetTest, ReusingTheNumberOfTheOpenContainerFailsCleanly) {
  ContainerGadgetCreate(25, 0, 0, 100, 100);
  // The new button would be created inside container 25, which its number replaces.
  EXPECT_EQ(ButtonGadgetCreate(25, 0, 0, 10, 10, "inside"), 0);
  EXPECT_EQ(GadgetHandle(25), nullptr);
  GadgetListClose();
  EXPECT_EQ(GadgetListCurrentParent(), window_);
  EXPECT_NE(ButtonGadgetCreate(25, 0, 0, 10, 10, "outside"), 0);
}

TEST_F(GadgetTest, OperationsOnUnusedNumbersDoNothing) {
  EXPECT_EQ(GadgetHandle(999), nullptr);
  EXPECT_EQ(GadgetGetText(999), "");
  EXPECT_EQ(GadgetGetState(999), 0);
  EXPECT_EQ(GadgetGetColor(999, COLOR_BACK), 0);
  EXPECT_EQ(GadgetGetItemText(999, 0), "");
  EXPECT_EQ(GadgetAddItem(999, -1, "x", 0), 0);
  EXPECT_EQ(GadgetX(999), 0);
  EXPECT_EQ(GadgetWidth(999), 0);
  EXPECT_EQ(GadgetKindOf(999), 0);
  GadgetSetText(999, "x");
  GadgetSetState(999, 1);
  GadgetSetColor(999, COLOR_BACK, 0);
  GadgetResize(999, 1, 1, 1, 1);
  GadgetClearItems(999);
  GadgetFree(999);
  GadgetFree(-3);
  EXPECT_EQ(GadgetHandle(-3), nullptr);
  EXPECT_EQ(ButtonGadgetCreate(-3, 0, 0, 10, 10, "bad number"), 0);
  // Operations the kind lacks fall back.
  ButtonGadgetCreate(10, 0, 0, 10, 10, "b");
  EXPECT_EQ(GadgetAddItem(10, 0, "x", 0), 0);
  EXPECT_EQ(GadgetGetItemText(10, 0), "");
  EXPECT_EQ(GadgetGetColor(10, COLOR_BACK), -1);
}

TEST_F(GadgetTest, TextOfAnEditFieldIsNeverCut) {
  StringGadgetCreate(11, 0, 0, 200, 20, "");
  SendMessageA(GadgetHandle(11), EM_SETLIMITTEXT, 0, 0);
  std::string text(100000, 'a');
  for (size_t i = 0; i < text.size(); i += 7) text[i] = static_cast<char>(0xC0 + i % 32);
  GadgetSetText(11, text);
  EXPECT_EQ(GadgetGetText(11), text);
  GadgetSetText(11, static_cast<const char*>(nullptr));
  EXPECT_EQ(GadgetGetText(11), "");
}

TEST_F(GadgetTest, ResizeWithIgnoredPositionKeepsIt) {
  TextGadgetCreate(12, 30, 40, 100, 20, "r");
  GadgetResize(12, IGNORE, IGNORE, 150, 60);
  EXPECT_EQ(GadgetX(12), 30);
  EXPECT_EQ(GadgetY(12), 40);
  EXPECT_EQ(GadgetWidth(12), 150);
  EXPECT_EQ(GadgetHeight(12), 60);
  GadgetResize(12, 5, IGNORE, IGNORE, 10);
  EXPECT_EQ(GadgetX(12), 5);
  EXPECT_EQ(GadgetY(12), 40);
  EXPECT_EQ(GadgetWidth(12), 150);
  EXPECT_EQ(GadgetHeight(12), 10);
}

TEST_F(GadgetTest, BackgroundColourMinusOneRemovesTheBrush) {
  TextGadgetCreate(13, 0, 0, 50, 20, "c");
  GadgetSetColor(13, COLOR_BACK, RGB(9, 8, 7));
  EXPECT_EQ(GadgetGetColor(13, COLOR_BACK), static_cast<int32_t>(RGB(9, 8, 7)));
  HBRUSH brush = reinterpret_cast<HBRUSH>(GadgetLookup(13)->data[2]);
  ASSERT_NE(brush, nullptr);
  GadgetSetColor(13, COLOR_BACK, -1);
  EXPECT_EQ(GadgetGetColor(13, COLOR_BACK), -1);
  EXPECT_EQ(GadgetLookup(13)->data[2], 0);
  EXPECT_EQ(BrushCacheCount(brush), 0);
  GadgetSetColor(13, COLOR_FRONT, RGB(1, 1, 1));
  EXPECT_EQ(GadgetGetColor(13, COLOR_FRONT), static_cast<int32_t>(RGB(1, 1, 1)));
  EXPECT_EQ(GadgetGetColor(13, COLOR_LINE), -1);
}

TEST_F(GadgetTest, EqualColoursShareOneBrush) {
  size_t before = BrushCacheSize();
  TextGadgetCreate(14, 0, 0, 50, 20, "");
  TextGadgetCreate(15, 0, 30, 50, 20, "");
  HyperlinkGadgetCreate(16, 0, 60, 50, 20, "", 0);
  for (int n : {14, 15, 16}) GadgetSetColor(n, COLOR_BACK, RGB(200, 10, 10));
  HBRUSH brush = reinterpret_cast<HBRUSH>(GadgetLookup(14)->data[2]);
  EXPECT_EQ(reinterpret_cast<HBRUSH>(GadgetLookup(15)->data[2]), brush);
  EXPECT_EQ(reinterpret_cast<HBRUSH>(GadgetLookup(16)->data[2]), brush);
  EXPECT_EQ(BrushCacheCount(brush), 3);
  EXPECT_EQ(BrushCacheSize(), before + 1);
  // Both labels are painted with it.
  DrainEvents(30);
  EXPECT_TRUE(ColorNear(ClientPixel(window_, 45, 5), RGB(200, 10, 10)));
  EXPECT_TRUE(ColorNear(ClientPixel(window_, 45, 35), RGB(200, 10, 10)));
  GadgetFree(14);
  EXPECT_EQ(BrushCacheCount(brush), 2);
  GadgetSetColor(15, COLOR_BACK, RGB(0, 0, 200));
  WindowClose(1);  // gadget 16 goes with the window
  EXPECT_EQ(BrushCacheCount(brush), 0);
  EXPECT_EQ(BrushCacheSize(), before);
}

TEST_F(GadgetTest, BrushCacheCountsReferences) {
  HBRUSH a = BrushCacheGet(RGB(3, 4, 5));
  HBRUSH b = BrushCacheGet(RGB(3, 4, 5));
  HBRUSH c = BrushCacheGet(RGB(3, 4, 6));
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_EQ(BrushCacheCount(a), 2);
  BrushCacheRelease(a);
  EXPECT_EQ(BrushCacheCount(a), 1);
  BrushCacheRelease(reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));  // not cached
  BrushCacheRelease(b);
  EXPECT_EQ(BrushCacheCount(a), 0);
  BrushCacheRelease(c);
  EXPECT_EQ(BrushCacheCount(c), 0);
}

TEST_F(GadgetTest, ContainersNestAndCloseBackToTheWindow) {
  ASSERT_NE(ContainerGadgetCreate(20, 10, 10, 200, 150), 0);
  HWND outer = GadgetHandle(20);
  EXPECT_EQ(GadgetListCurrentParent(), outer);
  ContainerGadgetCreate(21, 5, 5, 100, 100);
  HWND inner = GadgetHandle(21);
  EXPECT_EQ(GetParent(inner), outer);
  ButtonGadgetCreate(22, 0, 0, 10, 10, "in");
  EXPECT_EQ(GetParent(GadgetHandle(22)), inner);
  // The window of the gadget list stays the top-level window.
  EXPECT_EQ(GadgetListUse(nullptr), window_);
  GadgetListClose();
  ButtonGadgetCreate(23, 0, 0, 10, 10, "mid");
  EXPECT_EQ(GetParent(GadgetHandle(23)), outer);
  GadgetListClose();
  EXPECT_EQ(GadgetListCurrentParent(), window_);
  GadgetListClose();  // empty stack: nothing changes
  EXPECT_EQ(GadgetListCurrentParent(), window_);
  // Re-opening a container (kind operation 17) makes it the parent again.
  GadgetLookup(21)->kind->openForNewGadgets(*GadgetLookup(21));
  ButtonGadgetCreate(24, 0, 0, 10, 10, "again");
  EXPECT_EQ(GetParent(GadgetHandle(24)), inner);
  GadgetListClose();
  EXPECT_EQ(GadgetListCurrentParent(), window_);
}

TEST_F(GadgetTest, DeepNestingGrowsTheStack) {
  for (int i = 0; i < 25; ++i) ASSERT_NE(ContainerGadgetCreate(30 + i, 0, 0, 50, 50), 0);
  EXPECT_EQ(GetParent(GadgetHandle(54)), GadgetHandle(53));
  for (int i = 0; i < 25; ++i) GadgetListClose();
  EXPECT_EQ(GadgetListCurrentParent(), window_);
}

TEST_F(GadgetTest, EachWindowKeepsItsOwnGadgetList) {
  ContainerGadgetCreate(40, 0, 0, 100, 100);  // left open in window 1
  HWND container = GadgetHandle(40);
  HWND second = reinterpret_cast<HWND>(WindowOpen(2, 0, 0, 100, 100, "2", WINDOW_INVISIBLE));
  EXPECT_EQ(GadgetListCurrentParent(), second);
  ButtonGadgetCreate(41, 0, 0, 10, 10, "in 2");
  EXPECT_EQ(GetParent(GadgetHandle(41)), second);
  EXPECT_EQ(GadgetListUse(window_), second);
  // Window 1's list comes back with its open container.
  EXPECT_EQ(GadgetListCurrentParent(), container);
  GadgetListClose();
  EXPECT_EQ(GadgetListCurrentParent(), window_);
  EXPECT_EQ(GadgetListUse(second), window_);
  EXPECT_EQ(GadgetListCurrentParent(), second);
  // Closing the window of the current list leaves no parent.
  WindowClose(2);
  EXPECT_EQ(GadgetListCurrentParent(), nullptr);
  EXPECT_EQ(GadgetListUse(nullptr), nullptr);
  // So does a window the system destroys, the toolkit's or another.
  HWND third = reinterpret_cast<HWND>(WindowOpen(3, 0, 0, 100, 100, "3", WINDOW_INVISIBLE));
  ASSERT_EQ(GadgetListCurrentParent(), third);
  DestroyWindow(third);
  EXPECT_EQ(GadgetListCurrentParent(), nullptr);
  HWND plain = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               nullptr, nullptr);
  GadgetListUse(plain);
  ASSERT_EQ(GadgetListCurrentParent(), plain);
  DestroyWindow(plain);
  EXPECT_EQ(GadgetListCurrentParent(), nullptr);
}

TEST_F(GadgetTest, GadgetsGoWithTheirWindow) {
  TextGadgetCreate(50, 0, 0, 10, 10, "a");
  intptr_t any = ButtonGadgetCreate(ANY_NUMBER, 0, 0, 10, 10, "b");
  ContainerGadgetCreate(51, 0, 0, 50, 50);
  StringGadgetCreate(52, 0, 0, 10, 10, "c");
  GadgetListClose();
  WindowClose(1);
  for (ObjectNumber n : {ObjectNumber(50), any, ObjectNumber(51), ObjectNumber(52)})
    EXPECT_EQ(GadgetHandle(n), nullptr) << n;
}

TEST_F(GadgetTest, PostedEventsReachTheTopLevelWindow) {
  ContainerGadgetCreate(60, 0, 0, 100, 100);
  ButtonGadgetCreate(61, 0, 0, 10, 10, "deep");
  GadgetListClose();
  DrainEvents(20);
  GadgetPostEvent(GadgetHandle(61), 1234);
  ASSERT_EQ(EventWait(), EVENT_GADGET);
  EXPECT_EQ(EventGadgetNumber(), 61);
  EXPECT_EQ(EventTypeOf(), 1234);
  EXPECT_EQ(EventWindowNumber(), 1);
}

TEST_F(GadgetTest, ControlNotificationsBecomeGadgetEvents) {
  ContainerGadgetCreate(70, 0, 0, 100, 100);
  StringGadgetCreate(71, 0, 0, 50, 20, "");
  GadgetListClose();
  DrainEvents(20);
  // A notification the kind does not take arrives with its code as type, also from
  // inside a container.
  PostMessageA(GadgetHandle(70), WM_COMMAND, MAKEWPARAM(71, EN_CHANGE),
               reinterpret_cast<LPARAM>(GadgetHandle(71)));
  ASSERT_EQ(EventWait(), EVENT_GADGET);
  EXPECT_EQ(EventGadgetNumber(), 71);
  EXPECT_EQ(EventTypeOf(), TYPE_CHANGE);
  EXPECT_EQ(EventWindowNumber(), 1);
}

}  // namespace
