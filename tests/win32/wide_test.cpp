// The text boundary: every Windows-1251 byte survives the trip to UTF-16 and back, the
// table agrees with the system's own code page 1251, characters outside it are reported,
// and paths keep every character.
#include "wide.h"

#include <gtest/gtest.h>
#include <windows.h>

TEST(Wide, TextRoundTripsEveryByteAndAgreesWithTheSystemTable) {
  for (int b = 1; b < 256; ++b) {
    std::string text(1, static_cast<char>(b));
    std::wstring wide = WideFromText(text);
    ASSERT_EQ(wide.size(), 1u) << b;
    char32_t lacking = 1;
    EXPECT_EQ(TextFromWide(wide, &lacking), text) << b;
    EXPECT_EQ(lacking, 0u) << b;
    if (b == 0x98) continue;  // unassigned in the code page; kept as U+0098 here
    wchar_t system = 0;
    ASSERT_EQ(MultiByteToWideChar(1251, 0, text.data(), 1, &system, 1), 1);
    EXPECT_EQ(wide[0], system) << "byte " << b;
  }
}

TEST(Wide, ReportsTheFirstCharacterTheCodePageLacks) {
  char32_t lacking = 0;
  // "Ф", "用", an emoji (surrogate pair), "ё"
  String text = TextFromWide(L"\x0424\x7528\xD83D\xDE00\x0451", &lacking);
  EXPECT_EQ(text, "\xD4??\xB8");
  EXPECT_EQ(lacking, 0x7528u);
  EXPECT_EQ(WideFromCodePoint(0x1F600), std::wstring(L"\xD83D\xDE00"));
}

TEST(Wide, PathsKeepEveryCharacter) {
  const std::wstring wide = L"C:\\users\\\x7528\x6237\\\x041F\\\xD83D\xDE00.mp4";
  std::string path = PathFromWide(wide);
  EXPECT_EQ(WideFromPath(path), wide);
  // A Windows-1251 name becomes the same characters in a path.
  EXPECT_EQ(WideFromPath(PathFromText("\xD4\xE8\xEB\xFC\xEC.mp4")),
            WideFromText("\xD4\xE8\xEB\xFC\xEC.mp4"));
}
