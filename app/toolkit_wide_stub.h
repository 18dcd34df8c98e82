// TEMP stand-ins for the toolkit's two wide-text calls, until the toolkit has them:
// GadgetGetText that names the first typed character the code page lacks, and
// GadgetSetWideText. Drop this file, toolkit_wide_stub.cpp and the includes of this header
// when the toolkit's own declarations arrive in toolkit.h.
#pragma once

#include <string_view>

#include "toolkit.h"

// The gadget's text; `*lacking` gets the first character of it that Windows-1251 lacks,
// 0 when there is none.
String GadgetGetText(ObjectNumber number, char32_t* lacking);
// Sets a label's, link's or field's text from UTF-16.
void GadgetSetWideText(ObjectNumber number, std::wstring_view text);
