#include <gtest/gtest.h>

#include "text.h"

TEST(TextFind, PositionsAreOneBasedAndZeroMeansMissing) {
  EXPECT_EQ(TextFind("abcabc", "bc", 1), 2);
  EXPECT_EQ(TextFind("abcabc", "bc", 3), 5);
  EXPECT_EQ(TextFind("abcabc", "bc", 6), 0);
  EXPECT_EQ(TextFind("abc", "x", 1), 0);
  EXPECT_EQ(TextFind("abc", "abcd", 1), 0);  // pattern running past the end
  EXPECT_EQ(TextFind("abc", "c", 3), 3);
}

TEST(TextFind, EmptyOrNullArgumentsAndOutOfRangeStart) {
  EXPECT_EQ(TextFind("abc", "", 1), 0);
  EXPECT_EQ(TextFind("", "a", 1), 0);
  EXPECT_EQ(TextFind(nullptr, "a", 1), 0);
  EXPECT_EQ(TextFind("abc", nullptr, 1), 0);
  EXPECT_EQ(TextFind("abc", "a", 0), 1);
  EXPECT_EQ(TextFind("abc", "a", -7), 1);
  EXPECT_EQ(TextFind("abc", "c", 4), 0);
  EXPECT_EQ(TextFind("aaa", "aa", 2), 2);  // overlapping run, found from the middle
}

TEST(TextFind, BytesAboveAsciiAndCaseMatter) {
  const char* cyr = "\xD4\xE0\xED\xF2\xE0\xF1\xF2\xE8\xEA\xE0";  // Windows-1251 text
  EXPECT_EQ(TextFind(cyr, "\xF2\xE0", 1), 4);
  EXPECT_EQ(TextFind("Marker", "marker", 1), 0);
}

TEST(TextLeftRight, CountBounds) {
  EXPECT_EQ(TextLeft("hello", 2), "he");
  EXPECT_EQ(TextLeft("hello", -1), "");
  EXPECT_EQ(TextLeft("hello", 0), "");
  EXPECT_EQ(TextLeft("hello", 99), "hello");
  EXPECT_EQ(TextRight("hello", 3), "llo");
  EXPECT_EQ(TextRight("hello", 99), "hello");
  EXPECT_EQ(TextRight("hello", -5), "");
  EXPECT_EQ(TextLeft(nullptr, 3), "");
  EXPECT_EQ(TextRight(nullptr, 3), "");
  // The idiom the scraper relies on: text before a marker, or empty when it is missing.
  EXPECT_EQ(TextLeft("key=value", TextFind("key=value", "=", 1) - 1), "key");
  EXPECT_EQ(TextLeft("keyvalue", TextFind("keyvalue", "=", 1) - 1), "");
}

TEST(TextReplace, NonOverlappingLeftToRightScan) {
  EXPECT_EQ(TextReplace("aaa", "aa", "b"), "ba");
  EXPECT_EQ(TextReplace("a.b.c", ".", "::"), "a::b::c");
  EXPECT_EQ(TextReplace("abab", "ab", "abab"), "abababab");  // replacement not rescanned
  EXPECT_EQ(TextReplace("x<y>z", "<y>", ""), "xz");
  EXPECT_EQ(TextReplace("nothing", "zz", "q"), "nothing");
  EXPECT_EQ(TextReplace("abc", "", "q"), "abc");
  EXPECT_EQ(TextReplace(nullptr, "a", "b"), "");
  EXPECT_EQ(TextReplace("abc", "b", nullptr), "ac");
  EXPECT_EQ(TextReplace("Case", "case", "x"), "Case");
}

TEST(TextReplace, ResultLengthFollowsTheCount) {
  String text(1000, 'x');
  for (int i = 0; i < 1000; i += 10) text[static_cast<size_t>(i)] = '#';
  String out = TextReplace(text, "#", "[#]");
  EXPECT_EQ(out.size(), text.size() + 2 * 100);
  EXPECT_EQ(TextReplace(out, "[#]", "#"), text);
}

TEST(TextBetween, CutsBetweenFirstStartAndNextEnd) {
  const char* a = "<a href=\"v1_2\">x</a>";
  EXPECT_EQ(TextBetween(a, "href=\"", "\""), "v1_2");
  EXPECT_EQ(TextBetween(a, "\">", "</a>"), "x");
  EXPECT_EQ(TextBetween("abc", "b", "z"), "");  // end missing: empty, not the rest
  EXPECT_EQ(TextBetween("abc", "z", "c"), "");
  EXPECT_EQ(TextBetween("abc", "b", "c"), "");
  EXPECT_EQ(TextBetween("c-b-c", "b", "c"), "-");
  EXPECT_EQ(TextBetween("[1][2]", "[", "]"), "1");
  EXPECT_EQ(TextBetween("x=1;y=2;", "=", ";"), "1");
}

TEST(TextBetween, EmptyArgumentsAndMarkerAtTheEnd) {
  EXPECT_EQ(TextBetween("", "a", "b"), "");
  EXPECT_EQ(TextBetween("abc", "", "c"), "");
  EXPECT_EQ(TextBetween("abc", "a", ""), "");
  EXPECT_EQ(TextBetween(nullptr, "a", "b"), "");
  EXPECT_EQ(TextBetween("abc", "c", "a"), "");  // start marker ends the text
  EXPECT_EQ(TextBetween("aXa", "aXa", "a"), "");
}

TEST(TextEquals, ByteEqualityWithNullAsEmpty) {
  EXPECT_EQ(TextEquals(nullptr, ""), 1);
  EXPECT_EQ(TextEquals("", nullptr), 1);
  EXPECT_EQ(TextEquals("abc", "abc"), 1);
  EXPECT_EQ(TextEquals("abc", "ABC"), 0);
  EXPECT_EQ(TextEquals("abc", "abcd"), 0);
  EXPECT_EQ(TextLength(nullptr), 0);
  EXPECT_EQ(TextLength("\xC0\xC1"), 2);
}

TEST(ColorValue, ComponentsPackAsBlueGreenRed) {
  EXPECT_EQ(ColorValue(0x89, 0x7F, 0x62), 0x627F89);
  EXPECT_EQ(ColorValue(255, 255, 255), 0xFFFFFF);
  EXPECT_EQ(ColorValue(21, 21, 21), 0x151515);
  EXPECT_EQ(ColorValue(1, 0, 0), 1);
  EXPECT_EQ(ColorValue(0, 0, 1), 65536);
}
