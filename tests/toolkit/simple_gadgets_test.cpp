// The simple gadget kinds: styles, colours as painted, states, hyperlink painting, image
// pictures with alpha, and containers.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "image.h"
#include "tk_test_util.h"
#include "toolkit_internal.h"
#include "wide.h"

namespace {

class SimpleGadgetTest : public ToolkitTest {
 protected:
  void SetUp() override { OpenWindow(60, 60, 400, 300, "s"); }
};

LONG Style(HWND control) { return GetWindowLongA(control, GWL_STYLE); }
LONG ExStyle(HWND control) { return GetWindowLongA(control, GWL_EXSTYLE); }

// Asks the parent for the colours of a control as the control itself would.
struct AskedColors {
  HBRUSH brush;
  COLORREF text;
  COLORREF back;
};
AskedColors AskColors(HWND control, UINT message) {
  HDC dc = GetDC(control);
  SetTextColor(dc, RGB(1, 2, 3));
  SetBkColor(dc, RGB(4, 5, 6));
  HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageA(GetParent(control), message,
                                                       reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(control)));
  AskedColors asked = {brush, GetTextColor(dc), GetBkColor(dc)};
  ReleaseDC(control, dc);
  return asked;
}

// A 32-bit (or 24-bit) bottom-up DIB section; `pixel` gives blue, green, red, alpha of
// the point (x, y) with y = 0 the top row.
HBITMAP MakeBitmap(int width, int height, int bits,
                   const std::function<uint32_t(int x, int y)>& pixel) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(bits);
  void* data = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &data, nullptr, 0);
  int pitch = ((width * bits / 8) + 3) & ~3;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = static_cast<uint8_t*>(data) + (height - 1 - y) * pitch;
    for (int x = 0; x < width; ++x) {
      uint32_t v = pixel(x, y);
      uint8_t* p = row + x * bits / 8;
      p[0] = v & 0xFF;
      p[1] = (v >> 8) & 0xFF;
      p[2] = (v >> 16) & 0xFF;
      if (bits == 32) p[3] = static_cast<uint8_t>(v >> 24);
    }
  }
  return bitmap;
}

uint32_t Bgra(int blue, int green, int red, int alpha) {
  return static_cast<uint32_t>(blue | green << 8 | red << 16 | alpha << 24);
}

TEST_F(SimpleGadgetTest, CreationStylesFollowTheFlags) {
  HWND label = reinterpret_cast<HWND>(TextGadgetCreate(1, 0, 0, 50, 20, "t", TEXT_CENTER));
  EXPECT_EQ(static_cast<DWORD>(Style(label)) & 0xFFFF0000u, 0x50020000u);
  EXPECT_TRUE(Style(label) & SS_CENTER);
  EXPECT_FALSE(ExStyle(label) & WS_EX_CLIENTEDGE);
  HWND framed = reinterpret_cast<HWND>(TextGadgetCreate(2, 0, 0, 50, 20, "t", TEXT_BORDER));
  EXPECT_TRUE(ExStyle(framed) & WS_EX_CLIENTEDGE);

  HWND edit = reinterpret_cast<HWND>(StringGadgetCreate(3, 0, 0, 50, 20, "s"));
  EXPECT_EQ(static_cast<DWORD>(Style(edit)) & 0x50030080u, 0x50030080u);
  EXPECT_TRUE(ExStyle(edit) & WS_EX_CLIENTEDGE);
  HWND bare = reinterpret_cast<HWND>(StringGadgetCreate(4, 0, 0, 50, 20, "s", STRING_BORDERLESS));
  EXPECT_FALSE(ExStyle(bare) & WS_EX_CLIENTEDGE);

  HWND button = reinterpret_cast<HWND>(ButtonGadgetCreate(5, 0, 0, 50, 20, "b"));
  EXPECT_EQ(static_cast<DWORD>(Style(button)) & 0xFFFF000Fu, 0x50030000u | BS_PUSHBUTTON);
  char name[32];
  GetClassNameA(button, name, sizeof name);
  EXPECT_STREQ(name, "Button");

  HWND link = reinterpret_cast<HWND>(HyperlinkGadgetCreate(6, 0, 0, 50, 20, "h", 0xFFFFFF));
  EXPECT_TRUE(IsWindowVisible(link));
  // Made in a window not yet shown, a link shows with it.
  WindowOpen(61, 0, 0, 100, 50, "hidden", WINDOW_INVISIBLE);
  HWND hiddenLink = reinterpret_cast<HWND>(HyperlinkGadgetCreate(9, 0, 0, 50, 20, "h", 0));
  WindowSetHidden(61, 0);
  EXPECT_TRUE(IsWindowVisible(hiddenLink));
  WindowClose(61);
  GadgetListUse(window_);
  HWND image = reinterpret_cast<HWND>(ImageGadgetCreate(7, 0, 0, 50, 20, 0));
  EXPECT_EQ(static_cast<DWORD>(Style(image)), 0x50000100u);

  HWND panel = reinterpret_cast<HWND>(ContainerGadgetCreate(8, 0, 0, 50, 20, CONTAINER_BORDER));
  GetClassNameA(panel, name, sizeof name);
  EXPECT_STREQ(name, "VeroContainer");
  EXPECT_TRUE(Style(panel) & WS_BORDER);
  GadgetListClose();
  HWND sunken =
      reinterpret_cast<HWND>(ContainerGadgetCreate(9, 0, 0, 50, 20, CONTAINER_SUNKEN_EDGE));
  EXPECT_TRUE(ExStyle(sunken) & WS_EX_CLIENTEDGE);
  GadgetListClose();
  HWND framedPanel = reinterpret_cast<HWND>(
      ContainerGadgetCreate(10, 0, 0, 50, 20, CONTAINER_DIALOG_FRAME | CONTAINER_STATIC_EDGE));
  EXPECT_TRUE(Style(framedPanel) & WS_DLGFRAME);
  EXPECT_FALSE(ExStyle(framedPanel) & WS_EX_STATICEDGE);  // a frame excludes the edges
  GadgetListClose();
}

TEST_F(SimpleGadgetTest, LabelWithOnlyTextColourIsOnButtonFace) {
  HWND label = reinterpret_cast<HWND>(TextGadgetCreate(1, 10, 10, 120, 30, ""));
  // No colours: the system defaults.
  EXPECT_EQ(AskColors(label, WM_CTLCOLORSTATIC).text, GetSysColor(COLOR_WINDOWTEXT));
  GadgetSetColor(1, COLOR_FRONT, RGB(250, 0, 0));
  AskedColors asked = AskColors(label, WM_CTLCOLORSTATIC);
  EXPECT_EQ(asked.text, RGB(250, 0, 0));
  EXPECT_EQ(asked.back, GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(asked.brush, GetSysColorBrush(COLOR_BTNFACE));
  DrainEvents(30);
  EXPECT_TRUE(ColorNear(ClientPixel(window_, 100, 35), GetSysColor(COLOR_BTNFACE)));
}

TEST_F(SimpleGadgetTest, LabelWithOnlyBackgroundColourKeepsSystemText) {
  // A window colour of its own shows whether the label paints its own background.
  WindowSetColor(1, RGB(0, 0, 255));
  HWND label = reinterpret_cast<HWND>(TextGadgetCreate(1, 10, 10, 120, 30, "Текст"));
  GadgetSetColor(1, COLOR_BACK, RGB(0, 200, 0));
  AskedColors asked = AskColors(label, WM_CTLCOLORSTATIC);
  EXPECT_EQ(asked.text, RGB(1, 2, 3));  // not set: the system colour stays
  EXPECT_EQ(asked.back, RGB(0, 200, 0));
  EXPECT_EQ(asked.brush, reinterpret_cast<HBRUSH>(GadgetLookup(1)->data[2]));
  DrainEvents(30);
  EXPECT_TRUE(ColorNear(ClientPixel(window_, 120, 35), RGB(0, 200, 0)));
  EXPECT_TRUE(ColorNear(ClientPixel(window_, 200, 100), RGB(0, 0, 255)));
}

TEST_F(SimpleGadgetTest, EllipsisLabelCutsWhatDoesNotFitAndShowsItWholeAsATip) {
  HWND label = reinterpret_cast<HWND>(
      TextGadgetCreate(1, 10, 10, 150, 15, "Tom & Jerry", TEXT_CENTER | TEXT_ELLIPSIS));
  EXPECT_EQ(TextLabelShownText(label), L"Tom & Jerry");  // fits: whole, and no tip
  EXPECT_EQ(TextLabelTooltip(label), nullptr);
  // Too long for the line: the beginning that fits with "..."; the window text and the
  // tip hold the whole text.
  const String title = "Science fiction 720p: the star patrol, official trailer";
  GadgetSetText(1, title);
  std::wstring shown = TextLabelShownText(label);
  ASSERT_GT(shown.size(), 3u);
  EXPECT_LT(shown.size(), title.size());
  EXPECT_EQ(WideFromText(title.substr(0, shown.size() - 3)) + L"...", shown);
  EXPECT_EQ(GadgetGetText(1), title);
  EXPECT_EQ(TooltipText(TextLabelTooltip(label), label), WideFromText(title));
  GadgetSetText(1, "fits");
  EXPECT_EQ(TooltipText(TextLabelTooltip(label), label), L"");
  // Lower than a line of its font (as with a taller font than the layout expected): the
  // line still shows, cut off below, not just "...".
  HWND low = reinterpret_cast<HWND>(TextGadgetCreate(2, 10, 40, 150, 6, "Tom", TEXT_ELLIPSIS));
  EXPECT_EQ(TextLabelShownText(low), L"Tom");
}

TEST_F(SimpleGadgetTest, RussianTextsReachWindowsAsThemselvesAndComeBackAsTheyWere) {
  // "Фантастика 720p: Звёздный патруль" in Windows-1251.
  const String title =
      "\xD4\xE0\xED\xF2\xE0\xF1\xF2\xE8\xEA\xE0 720p: "
      "\xC7\xE2\xB8\xE7\xE4\xED\xFB\xE9 \xEF\xE0\xF2\xF0\xF3\xEB\xFC";
  const std::wstring wide = L"Фантастика 720p: Звёздный патруль";
  HWND label = reinterpret_cast<HWND>(TextGadgetCreate(1, 10, 10, 300, 20, title));
  HWND link = reinterpret_cast<HWND>(
      HyperlinkGadgetCreate(2, 10, 40, 300, 20, DOWNLOAD_1251, RGB(255, 255, 255)));
  HWND edit = reinterpret_cast<HWND>(StringGadgetCreate(3, 10, 70, 300, 20, SEARCH_1251));
  HWND fitted = reinterpret_cast<HWND>(TextGadgetCreate(5, 10, 130, 60, 15, title, TEXT_ELLIPSIS));
  EXPECT_EQ(WideWindowText(label), wide);
  EXPECT_EQ(WideWindowText(link), L"Скачать");
  EXPECT_EQ(WideWindowText(edit), L"Поиск");
  EXPECT_EQ(WideWindowText(fitted), wide);
  // The cut label draws the beginning of the Russian text and shows all of it as its tip.
  std::wstring shown = TextLabelShownText(fitted);
  ASSERT_GT(shown.size(), 3u);
  EXPECT_EQ(wide.substr(0, shown.size() - 3) + L"...", shown);
  EXPECT_EQ(TooltipText(TextLabelTooltip(fitted), fitted), wide);
  for (int number : {1, 5}) {
    char32_t lacking = 1;
    EXPECT_EQ(GadgetGetText(number, &lacking), title);
    EXPECT_EQ(lacking, 0u);
  }
  EXPECT_EQ(GadgetGetText(2), DOWNLOAD_1251);
  EXPECT_EQ(GadgetGetText(3), SEARCH_1251);
}

TEST_F(SimpleGadgetTest, WideTextShowsWhatTheCodePageLacksAndReadingItBackSaysSo) {
  // A path with Chinese folder names, as a label shows a saved file's place.
  const std::wstring path = L"C:\\用户\\下载\\Видео.mp4";
  HWND label = reinterpret_cast<HWND>(TextGadgetCreate(1, 10, 10, 300, 20, ""));
  HWND fitted = reinterpret_cast<HWND>(TextGadgetCreate(2, 10, 40, 300, 15, "", TEXT_ELLIPSIS));
  HWND link = reinterpret_cast<HWND>(HyperlinkGadgetCreate(3, 10, 70, 300, 20, "", 0));
  HWND edit = reinterpret_cast<HWND>(StringGadgetCreate(4, 10, 100, 300, 20, ""));
  for (int number = 1; number <= 4; ++number) GadgetSetWideText(number, path);
  for (HWND control : {label, fitted, link, edit}) EXPECT_EQ(WideWindowText(control), path);
  EXPECT_EQ(TextLabelShownText(fitted), path);
  for (int number = 1; number <= 4; ++number) {
    char32_t lacking = 0;
    EXPECT_EQ(GadgetGetText(number, &lacking), "C:\\??\\??\\\xC2\xE8\xE4\xE5\xEE.mp4");
    EXPECT_EQ(lacking, U'\u7528') << number;  // 用, the first one
  }
  // Too long for the self-drawn label: cut, and the tip holds the whole path.
  std::wstring longPath = path;
  for (int i = 0; i < 6; ++i) longPath.insert(3, L"很长的文件夹\\");
  GadgetSetWideText(2, longPath);
  std::wstring shown = TextLabelShownText(fitted);
  ASSERT_GT(shown.size(), 3u);
  EXPECT_EQ(longPath.substr(0, shown.size() - 3) + L"...", shown);
  EXPECT_EQ(TooltipText(TextLabelTooltip(fitted), fitted), longPath);
}

TEST_F(SimpleGadgetTest, StringFieldColours) {
  HWND edit = reinterpret_cast<HWND>(StringGadgetCreate(1, 10, 10, 120, 20, "x"));
  GadgetSetColor(1, COLOR_FRONT, RGB(137, 127, 98));
  AskedColors asked = AskColors(edit, WM_CTLCOLOREDIT);
  EXPECT_EQ(asked.text, RGB(137, 127, 98));
  EXPECT_EQ(asked.back, GetSysColor(COLOR_BTNHIGHLIGHT));
  GadgetSetColor(1, COLOR_BACK, RGB(21, 21, 21));
  asked = AskColors(edit, WM_CTLCOLOREDIT);
  EXPECT_EQ(asked.back, RGB(21, 21, 21));
  EXPECT_EQ(asked.brush, reinterpret_cast<HBRUSH>(GadgetLookup(1)->data[2]));
  // Read-only (enabled) fields ask with WM_CTLCOLORSTATIC and get the same; disabled ones
  // keep the system look.
  SendMessageA(edit, EM_SETREADONLY, TRUE, 0);
  EXPECT_EQ(AskColors(edit, WM_CTLCOLORSTATIC).back, RGB(21, 21, 21));
  EnableWindow(edit, FALSE);
  EXPECT_NE(AskColors(edit, WM_CTLCOLORSTATIC).back, RGB(21, 21, 21));
  EnableWindow(edit, TRUE);
  DrainEvents(30);
  EXPECT_TRUE(ColorNear(ClientPixel(window_, 120, 20), RGB(21, 21, 21)));
}

TEST_F(SimpleGadgetTest, ButtonStateIsItsCheckMark) {
  ButtonGadgetCreate(1, 0, 0, 80, 20, "check", BS_AUTOCHECKBOX);
  EXPECT_EQ(GadgetGetState(1), 0);
  GadgetSetState(1, 5);
  EXPECT_EQ(GadgetGetState(1), 1);
  EXPECT_EQ(SendMessageA(GadgetHandle(1), BM_GETCHECK, 0, 0), BST_CHECKED);
  GadgetSetState(1, 0);
  EXPECT_EQ(GadgetGetState(1), 0);
  GadgetSetText(1, "новый");
  EXPECT_EQ(GadgetGetText(1), "новый");
}

TEST_F(SimpleGadgetTest, HyperlinkPaintsTextColourAndUnderline) {
  HWND link = reinterpret_cast<HWND>(
      HyperlinkGadgetCreate(1, 10, 10, 120, 30, "WWWW", RGB(255, 255, 255), HYPERLINK_UNDERLINE));
  EXPECT_EQ(GadgetGetColor(1, COLOR_FRONT), 0);  // black to start with
  EXPECT_EQ(GadgetGetColor(1, COLOR_BACK), -1);
  GadgetSetColor(1, COLOR_FRONT, RGB(200, 0, 0));
  DrainEvents(30);
  HDC dc = GetDC(link);
  SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SIZE size;
  GetTextExtentPoint32W(dc, L"WWWW", 4, &size);
  ReleaseDC(link, dc);
  // The underline lies right under the text, in the text colour.
  EXPECT_TRUE(ColorNear(ClientPixel(window_, 10 + size.cx / 2, 10 + size.cy), RGB(200, 0, 0)));
  // Without a background colour: the parent's default control background.
  EXPECT_TRUE(ColorNear(ClientPixel(window_, 10 + 115, 10 + 25), GetSysColor(COLOR_BTNFACE)));
  GadgetSetColor(1, COLOR_BACK, RGB(0, 0, 90));
  DrainEvents(30);
  EXPECT_TRUE(ColorNear(ClientPixel(window_, 10 + 115, 10 + 25), RGB(0, 0, 90)));
  // The font is remembered by the control.
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0)),
            GetStockObject(DEFAULT_GUI_FONT));
  // Disabled: no text colour line any more.
  EnableWindow(link, FALSE);
  DrainEvents(30);
  EXPECT_FALSE(ColorNear(ClientPixel(window_, 10 + size.cx / 2, 10 + size.cy), RGB(200, 0, 0)));
}

TEST_F(SimpleGadgetTest, ImageTakesThePictureSizeAtItsPosition) {
  HBITMAP small = MakeBitmap(16, 13, 24, [](int, int) { return Bgra(0, 0, 255, 0); });
  HBITMAP large = MakeBitmap(40, 30, 24, [](int, int) { return Bgra(255, 0, 0, 0); });
  ImageGadgetCreate(1, 20, 30, 0, 0, reinterpret_cast<intptr_t>(small));
  EXPECT_EQ(GadgetWidth(1), 16);
  EXPECT_EQ(GadgetHeight(1), 13);
  EXPECT_EQ(GadgetGetState(1), reinterpret_cast<intptr_t>(small));
  EXPECT_EQ(SendMessageA(GadgetHandle(1), STM_GETIMAGE, IMAGE_BITMAP, 0),
            reinterpret_cast<LRESULT>(small));
  GadgetSetState(1, reinterpret_cast<intptr_t>(large));
  EXPECT_EQ(GadgetX(1), 20);
  EXPECT_EQ(GadgetY(1), 30);
  EXPECT_EQ(GadgetWidth(1), 40);
  EXPECT_EQ(GadgetHeight(1), 30);
  DrainEvents(30);
  EXPECT_TRUE(ColorNear(ClientPixel(window_, 20 + 39, 30 + 29), RGB(0, 0, 255)));
  // A sunken edge adds 4 pixels each way.
  ImageGadgetCreate(2, 100, 100, 0, 0, reinterpret_cast<intptr_t>(small), WS_EX_CLIENTEDGE);
  EXPECT_EQ(GadgetWidth(2), 20);
  EXPECT_EQ(GadgetHeight(2), 17);
  // No picture: the size given stays, nothing is drawn.
  ImageGadgetCreate(3, 200, 100, 30, 30, 0);
  EXPECT_EQ(GadgetWidth(3), 30);
  EXPECT_EQ(GadgetGetState(3), 0);
  WindowsEnd();
  DeleteObject(small);
  DeleteObject(large);
}

TEST_F(SimpleGadgetTest, FramedPictureKeepsTheGadgetSizeAndALargerOneIsReducedToFit) {
  WindowSetColor(1, RGB(0, 255, 0));
  // 200 x 100, red on the left half, blue on the right: fitted into 50 x 50 it is 50 x 25.
  HBITMAP large = MakeBitmap(
      200, 100, 24, [](int x, int) { return x < 100 ? Bgra(0, 0, 255, 0) : Bgra(255, 0, 0, 0); });
  HBITMAP small = MakeBitmap(16, 13, 24, [](int, int) { return Bgra(255, 0, 0, 0); });
  ImageGadgetCreate(1, 20, 30, 50, 50, reinterpret_cast<intptr_t>(large), IMAGE_FIT_FRAME);
  EXPECT_EQ(GadgetWidth(1), 50);
  EXPECT_EQ(GadgetHeight(1), 50);
  DrainEvents(30);
  EXPECT_TRUE(ColorNear(ClientPixel(window_, 20 + 10, 30 + 12), RGB(255, 0, 0)));
  EXPECT_TRUE(ColorNear(ClientPixel(window_, 20 + 40, 30 + 12), RGB(0, 0, 255)));
  EXPECT_TRUE(ColorNear(ClientPixel(window_, 20 + 25, 30 + 40), RGB(0, 255, 0)));
  // A smaller picture keeps its size, at the corner.
  GadgetSetState(1, reinterpret_cast<intptr_t>(small));
  EXPECT_EQ(GadgetWidth(1), 50);
  DrainEvents(30);
  EXPECT_TRUE(ColorNear(ClientPixel(window_, 20 + 8, 30 + 6), RGB(0, 0, 255)));
  EXPECT_TRUE(ColorNear(ClientPixel(window_, 20 + 30, 30 + 6), RGB(0, 255, 0)));
  WindowsEnd();
  DeleteObject(large);
  DeleteObject(small);
}

TEST_F(SimpleGadgetTest, ImageWithAlphaShowsTheParentThrough) {
  WindowSetColor(1, RGB(0, 255, 0));
  // Left third opaque red, middle third half-transparent blue, right third transparent.
  HBITMAP picture = MakeBitmap(30, 10, 32, [](int x, int) {
    if (x < 10) return Bgra(0, 0, 255, 255);
    if (x < 20) return Bgra(200, 0, 0, 128);
    return Bgra(90, 90, 90, 0);
  });
  ASSERT_EQ(ImageNeedsAlpha(picture), 1);
  ImageGadgetCreate(1, 50, 50, 0, 0, reinterpret_cast<intptr_t>(picture));
  ASSERT_NE(GadgetLookup(1)->data[1], 0);  // the alpha copy
  DrainEvents(30);
  EXPECT_TRUE(ColorNear(ClientPixel(window_, 55, 55), RGB(255, 0, 0)));
  // Premultiplied blue (200 * 128) >> 8 = 100 over green weighted by 1 - 128/255.
  EXPECT_TRUE(ColorNear(ClientPixel(window_, 65, 55), RGB(0, 127, 100), 3));
  EXPECT_TRUE(ColorNear(ClientPixel(window_, 75, 55), RGB(0, 255, 0)));
  // A plain bitmap replaces it: the copy goes.
  HBITMAP plain = MakeBitmap(30, 10, 24, [](int, int) { return Bgra(0, 0, 0, 0); });
  GadgetSetState(1, reinterpret_cast<intptr_t>(plain));
  EXPECT_EQ(GadgetLookup(1)->data[1], 0);
  DrainEvents(30);
  EXPECT_TRUE(ColorNear(ClientPixel(window_, 75, 55), RGB(0, 0, 0)));
  WindowsEnd();
  DeleteObject(picture);
  DeleteObject(plain);
}

TEST_F(SimpleGadgetTest, PremultipliedCopyDividesBy256AndKeepsOpaquePixels) {
  HBITMAP picture = MakeBitmap(3, 2, 32, [](int x, int y) {
    if (y == 1) return Bgra(10, 20, 30, 255);
    return x == 0   ? Bgra(255, 128, 1, 128)
           : x == 1 ? Bgra(255, 255, 255, 0)
                    : Bgra(100, 50, 25, 254);
  });
  HBITMAP copy = ImagePremultipliedCopy(picture);
  ASSERT_NE(copy, nullptr);
  DIBSECTION section;
  ASSERT_EQ(GetObjectA(copy, sizeof section, &section), static_cast<int>(sizeof section));
  EXPECT_EQ(section.dsBm.bmBitsPixel, 32);
  const uint8_t* bits = static_cast<const uint8_t*>(section.dsBm.bmBits);
  int pitch = section.dsBm.bmWidthBytes;
  const uint8_t* top = bits + pitch;  // bottom-up: the top row is the last one in memory
  EXPECT_EQ(top[0], (255 * 128) >> 8);
  EXPECT_EQ(top[1], (128 * 128) >> 8);
  EXPECT_EQ(top[2], (1 * 128) >> 8);
  EXPECT_EQ(top[3], 128);
  EXPECT_EQ(top[4], 0);
  EXPECT_EQ(top[8], (100 * 254) >> 8);
  EXPECT_EQ(top[9], (50 * 254) >> 8);
  EXPECT_EQ(bits[0], 10);  // opaque: unchanged
  EXPECT_EQ(bits[1], 20);
  EXPECT_EQ(bits[2], 30);
  HBITMAP rgb = MakeBitmap(3, 2, 24, [](int, int) { return 0u; });
  EXPECT_EQ(ImageNeedsAlpha(rgb), 0);
  EXPECT_EQ(ImageNeedsAlpha(nullptr), 0);
  DeleteObject(copy);
  DeleteObject(picture);
  DeleteObject(rgb);
}

TEST_F(SimpleGadgetTest, ImageShowsAnIcon) {
  HICON icon = LoadIconA(nullptr, IDI_APPLICATION);
  ImageGadgetCreate(1, 10, 10, 0, 0, reinterpret_cast<intptr_t>(icon));
  EXPECT_EQ(GadgetWidth(1), GetSystemMetrics(SM_CXICON));
  EXPECT_EQ(GadgetGetState(1), reinterpret_cast<intptr_t>(icon));
}

TEST_F(SimpleGadgetTest, ContainerChildrenMoveAndVanishWithIt) {
  ContainerGadgetCreate(1, 10, 10, 200, 150);
  ButtonGadgetCreate(2, 5, 5, 50, 20, "in");
  TextGadgetCreate(3, 5, 40, 50, 20, "in");
  GadgetListClose();
  HWND button = GadgetHandle(2);
  RECT before, after;
  GetWindowRect(button, &before);
  GadgetResize(1, 60, 70, IGNORE, IGNORE);
  GetWindowRect(button, &after);
  EXPECT_EQ(after.left - before.left, 50);
  EXPECT_EQ(after.top - before.top, 60);
  EXPECT_EQ(GadgetX(2), 5);  // relative to the container
  GadgetFree(1);
  EXPECT_FALSE(IsWindow(button));
  EXPECT_EQ(GadgetHandle(2), nullptr);
  EXPECT_EQ(GadgetHandle(3), nullptr);
}

TEST_F(SimpleGadgetTest, ContainerBackgroundColour) {
  ContainerGadgetCreate(1, 10, 10, 200, 150);
  GadgetListClose();
  EXPECT_EQ(GadgetGetColor(1, COLOR_BACK), -1);
  GadgetSetColor(1, COLOR_BACK, RGB(30, 60, 90));
  GadgetSetColor(1, COLOR_FRONT, RGB(1, 1, 1));  // containers have no text colour
  EXPECT_EQ(GadgetGetColor(1, COLOR_BACK), static_cast<int32_t>(RGB(30, 60, 90)));
  EXPECT_EQ(GadgetGetColor(1, COLOR_FRONT), -1);
  DrainEvents(30);
  EXPECT_TRUE(ColorNear(ClientPixel(window_, 100, 100), RGB(30, 60, 90)));
  HBRUSH brush = reinterpret_cast<HBRUSH>(GetWindowLongPtrA(GadgetHandle(1), 0));
  EXPECT_EQ(BrushCacheCount(brush), 1);
  GadgetSetColor(1, COLOR_BACK, -1);
  EXPECT_EQ(BrushCacheCount(brush), 0);
  DrainEvents(30);
  EXPECT_TRUE(ColorNear(ClientPixel(window_, 100, 100), GetSysColor(COLOR_BTNFACE)));
}

TEST_F(SimpleGadgetTest, ContainerMoveIsAMoveOfItsWindow) {
  ContainerGadgetCreate(1, 10, 10, 100, 100);
  GadgetListClose();
  DrainEvents(20);
  GadgetResize(1, 30, 30, IGNORE, IGNORE);
  bool moved = false;
  for (const SeenEvent& e : DrainEvents(30)) moved |= e.event == EVENT_MOVE && e.window == 1;
  EXPECT_TRUE(moved);
}

}  // namespace
