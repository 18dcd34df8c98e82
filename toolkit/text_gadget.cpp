// Text label gadget: a static control whose text and background colours the toolkit
// supplies through WM_CTLCOLORSTATIC.
//
// A label made with TEXT_ELLIPSIS draws its text itself, since the static control only
// cuts a text at the label's edge: a text that does not fit is cut where "..." still fits
// after it, on its last line that fits, and shows whole as a tooltip. The window text
// stays the whole text.
#include <algorithm>
#include <memory>

#include "toolkit_internal.h"
#include "wide.h"

namespace {

// Longest prefix looked at when cutting: far more than a label can show.
constexpr size_t LONGEST_SHOWN = 4096;

// The layout of a self-drawn label, made again whenever its text, font or size changes.
struct FittedLabel {
  bool valid = false;
  std::wstring shown;      // what is drawn: the text, or its beginning and "..."
  HWND tooltip = nullptr;  // made when a text is first cut
};

FittedLabel* Fitted(GadgetRecord& gadget) { return reinterpret_cast<FittedLabel*>(gadget.data[3]); }

// How the static control lays its text out, without its "&" prefixes.
UINT DrawFormat(HWND control) {
  UINT format = DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX;
  switch (GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) {
    case SS_CENTER:
      return format | DT_CENTER;
    case SS_RIGHT:
      return format | DT_RIGHT;
    default:
      return format | DT_LEFT;
  }
}

HGDIOBJ SelectLabelFont(HDC dc, HWND control) {
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
  return SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
}

// Whether `text` drawn in the label's format with the font selected into `dc` stays
// inside width x height.
bool Fits(HDC dc, std::wstring_view text, UINT format, int width, int height) {
  RECT box = {0, 0, width, 0};
  DrawTextW(dc, text.data(), static_cast<int>(text.size()), &box, format | DT_CALCRECT);
  return box.right <= width && box.bottom <= height;
}

// The longest beginning of `text` that fits with "..." after it.
std::wstring CutToFit(HDC dc, const std::wstring& text, UINT format, const RECT& client) {
  std::wstring_view whole(text.data(), std::min(text.size(), LONGEST_SHOWN));
  size_t low = 0, high = whole.size();  // low fits (an empty beginning is taken as fitting)
  while (low < high) {
    size_t middle = (low + high + 1) / 2;
    std::wstring candidate(whole.substr(0, middle));
    candidate += L"...";
    if (Fits(dc, candidate, format, client.right, client.bottom))
      low = middle;
    else
      high = middle - 1;
  }
  // A cut between the two halves of a surrogate pair would show a broken character.
  if (low > 0 && low < whole.size() && IS_HIGH_SURROGATE(whole[low - 1])) --low;
  std::wstring shown(whole.substr(0, low));
  shown.erase(shown.find_last_not_of(L" \t\r\n") + 1);
  return shown + L"...";
}

// The area the text is fitted into: the client area, but at least one line of the font
// high. A label lower than a line (a font taller than the layout expects, as the fonts
// of East Asian systems are) shows its first line cut off below rather than only "...".
RECT FittingArea(HDC dc, const RECT& client) {
  RECT area = client;
  TEXTMETRICW metrics;
  if (GetTextMetricsW(dc, &metrics) && area.bottom < metrics.tmHeight)
    area.bottom = metrics.tmHeight;
  return area;
}

void Layout(FittedLabel& label, HWND control) {
  label.valid = true;
  std::wstring text = ControlText(control);
  RECT client;
  GetClientRect(control, &client);
  UINT format = DrawFormat(control);
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectLabelFont(dc, control);
  RECT area = FittingArea(dc, client);
  bool cut = text.size() > LONGEST_SHOWN || !Fits(dc, text, format, area.right, area.bottom);
  label.shown = cut ? CutToFit(dc, text, format, area) : text;
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  if (cut && !label.tooltip) label.tooltip = TooltipCreate(control);
  TooltipSetText(label.tooltip, control, cut ? std::wstring_view(text) : std::wstring_view());
}

void Paint(FittedLabel& label, HWND control) {
  if (!label.valid) Layout(label, control);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(control, &paint);
  RECT client;
  GetClientRect(control, &client);
  // The parent's colour answer, as the static control itself would ask for it.
  FillWithParentBackground(control, dc, client);
  if (!IsWindowEnabled(control)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ old = SelectLabelFont(dc, control);
  DrawTextW(dc, label.shown.data(), static_cast<int>(label.shown.size()), &client,
            DrawFormat(control));
  SelectObject(dc, old);
  EndPaint(control, &paint);
}

LRESULT TextControlProc(GadgetRecord& gadget, HWND control, UINT message, WPARAM wParam,
                        LPARAM lParam) {
  FittedLabel* label = Fitted(gadget);
  if (!label) return NOT_HANDLED;
  switch (message) {
    case WM_SETTEXT:
    case WM_SETFONT:
    case WM_SIZE: {
      LRESULT result = CallWindowProcW(gadget.previousProc, control, message, wParam, lParam);
      // The tip follows the text at once; a label not yet seen (a window being built) is
      // laid out when it is first painted or asked.
      if (IsWindowVisible(control))
        Layout(*label, control);
      else
        label->valid = false;
      InvalidateRect(control, nullptr, FALSE);
      return result;
    }
    case WM_PAINT:
      Paint(*label, control);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // painting fills the background
    case WM_GETOBJECT:
      return AnswerAccessibleName(control, wParam, lParam);  // its "&" is an "&"
    case WM_NCHITTEST:
      // The static control lets the mouse through to its parent; the tooltip needs it.
      if (label->tooltip) return HTCLIENT;
      break;
  }
  return NOT_HANDLED;
}

LRESULT TextMessage(GadgetRecord& gadget, HWND, UINT message, WPARAM wParam, LPARAM) {
  if (message != WM_CTLCOLORSTATIC) return NOT_HANDLED;
  return GadgetColorAnswer(gadget, reinterpret_cast<HDC>(wParam), COLOR_BTNFACE);
}

void TextRelease(GadgetRecord& gadget) {
  GadgetReleaseBackgroundBrush(gadget);
  std::unique_ptr<FittedLabel> label(Fitted(gadget));
  gadget.data[3] = 0;
  if (!label) return;
  if (label->tooltip) DestroyWindow(label->tooltip);
}

// The label of a text gadget's control, laid out if it has not been since its last change;
// null for any other control.
FittedLabel* LaidOutLabel(HWND control) {
  GadgetRecord* gadget = GadgetOfControl(control);
  FittedLabel* label = gadget && gadget->kind == &TEXT_GADGET_KIND ? Fitted(*gadget) : nullptr;
  if (label && !label->valid) Layout(*label, control);
  return label;
}

}  // namespace

std::wstring TextLabelShownText(HWND control) {
  FittedLabel* label = LaidOutLabel(control);
  return label ? label->shown : std::wstring();
}

HWND TextLabelTooltip(HWND control) {
  FittedLabel* label = LaidOutLabel(control);
  return label ? label->tooltip : nullptr;
}

const GadgetKind TEXT_GADGET_KIND = {.kind = KIND_TEXT,
                                     .messageHandler = TextMessage,
                                     .controlProc = TextControlProc,
                                     .release = TextRelease,
                                     .setColor = GadgetDefaultSetColor,
                                     .getColor = GadgetDefaultGetColor};

intptr_t TextGadgetCreate(ObjectNumber number, int x, int y, int width, int height, TextArg text,
                          int flags) {
  DWORD extended = (flags & TEXT_BORDER) ? WS_EX_CLIENTEDGE : 0;
  DWORD style = static_cast<DWORD>(flags & ~TEXT_ELLIPSIS) | 0x50020000;
  if (flags & TEXT_ELLIPSIS) style |= SS_NOPREFIX;  // an "&" in the text is an "&"
  HWND control = GadgetCreateControl(extended, L"Static", WideFromText(text.view()), style, x, y,
                                     width, height);
  if (!control) return 0;
  intptr_t label = (flags & TEXT_ELLIPSIS) ? reinterpret_cast<intptr_t>(new FittedLabel()) : 0;
  intptr_t result = GadgetRegister(number, control, &TEXT_GADGET_KIND, {-1, -1, 0, label});
  if (!result) delete reinterpret_cast<FittedLabel*>(label);
  return result;
}
