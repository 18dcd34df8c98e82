// TEMP stand-ins (see toolkit_wide_stub.h): through the toolkit's Windows-1251 calls, so
// characters the code page lacks show as "?" until the toolkit's own calls replace these.
#include "toolkit_wide_stub.h"

#include <string>

#include "wide.h"

String GadgetGetText(ObjectNumber number, char32_t* lacking) {
  if (lacking) {
    HWND control = GadgetHandle(number);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(control, &text[0], static_cast<int>(text.size()))));
    TextFromWide(text, lacking);
  }
  return GadgetGetText(number);
}

void GadgetSetWideText(ObjectNumber number, std::wstring_view text) {
  GadgetSetText(number, TextFromWide(text));
}
