// Tooltips of gadgets: one tooltip window per gadget, whose single tool is the whole
// control, for texts that the gadget shows cut. The tips are Unicode windows and their
// texts UTF-16, so that a tip shows what the gadget holds in any script.
#include "dpi.h"
#include "toolkit_internal.h"
// after windows.h
#include <commctrl.h>

namespace {

// Longest tip; a longer text is cut there.
constexpr size_t LONGEST_TIP = 1024;

TOOLINFOW ToolOf(HWND control) {
  TOOLINFOW tool = {};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;  // the tooltip watches the control's mouse
  tool.hwnd = GetParent(control);
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  return tool;
}

}  // namespace

HWND TooltipCreate(HWND control) {
  // Topmost, so that it shows above a topmost window too; "&" stays "&".
  HWND tooltip = CreateWindowExW(
      WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, GetAncestor(control, GA_ROOT),
      nullptr, GetModuleHandleW(nullptr), nullptr);
  // Long texts wrap, at the same width in layout units whatever the DPI.
  if (tooltip) SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, DpiScale(400, ToolkitDpiOf(control)));
  return tooltip;
}

void TooltipSetText(HWND tooltip, HWND control, std::wstring_view text) {
  if (!tooltip) return;
  std::wstring tip(text.substr(0, LONGEST_TIP));
  if (text.size() > LONGEST_TIP) {
    size_t cut = LONGEST_TIP - 3;
    if (IS_HIGH_SURROGATE(tip[cut - 1])) --cut;  // not half a character
    tip.replace(cut, std::wstring::npos, L"...");
  }
  TOOLINFOW tool = ToolOf(control);
  tool.lpszText = &tip[0];
  if (SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0) == 0) {
    SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  } else {
    SendMessageW(tooltip, TTM_POP, 0, 0);  // a tip of the old text is not left standing
    SendMessageW(tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

std::wstring TooltipText(HWND tooltip, HWND control) {
  wchar_t text[LONGEST_TIP + 1] = L"";
  TOOLINFOW tool = ToolOf(control);
  tool.lpszText = text;
  if (tooltip)
    SendMessageW(tooltip, TTM_GETTEXTW, LONGEST_TIP + 1, reinterpret_cast<LPARAM>(&tool));
  return text;
}
