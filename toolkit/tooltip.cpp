// Tooltips of gadgets: one tooltip window per gadget, whose single tool is the whole
// control, for texts that the gadget shows cut.
#include "toolkit_internal.h"
// after windows.h
#include <commctrl.h>

namespace {

// Longest tip; a longer text is cut there.
constexpr size_t LONGEST_TIP = 1024;

TOOLINFOA ToolOf(HWND control) {
  TOOLINFOA tool = {};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;  // the tooltip watches the control's mouse
  tool.hwnd = GetParent(control);
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  return tool;
}

}  // namespace

HWND TooltipCreate(HWND control) {
  // Topmost, so that it shows above a topmost window too; "&" stays "&".
  HWND tooltip = CreateWindowExA(
      WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, GetAncestor(control, GA_ROOT),
      nullptr, GetModuleHandleA(nullptr), nullptr);
  if (tooltip) SendMessageA(tooltip, TTM_SETMAXTIPWIDTH, 0, 400);  // long texts wrap
  return tooltip;
}

void TooltipSetText(HWND tooltip, HWND control, std::string_view text) {
  if (!tooltip) return;
  String tip(text.substr(0, LONGEST_TIP));
  if (text.size() > LONGEST_TIP) tip.replace(LONGEST_TIP - 3, 3, "...");
  TOOLINFOA tool = ToolOf(control);
  tool.lpszText = &tip[0];
  if (SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0) == 0) {
    SendMessageA(tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  } else {
    SendMessageA(tooltip, TTM_POP, 0, 0);  // a tip of the old text is not left standing
    SendMessageA(tooltip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

String TooltipText(HWND tooltip, HWND control) {
  char text[LONGEST_TIP + 1] = "";
  TOOLINFOA tool = ToolOf(control);
  tool.lpszText = text;
  if (tooltip) SendMessageA(tooltip, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
  return text;
}
