// The files the client keeps in the temporary directory: the downloaded result page,
// preview picture and video page, and the player page it writes. The program's end
// deletes them in this order.
#pragma once

#include "seqfile.h"

constexpr const char* TEMP_RESULT_PAGE = "Text.txt";
constexpr const char* TEMP_PREVIEW = "defolt.jpg";
constexpr const char* TEMP_PLAYER_PAGE = "111.htm";
constexpr const char* TEMP_VIDEO_PAGE = "film.htm";
constexpr const char* TEMP_FILES[] = {TEMP_RESULT_PAGE, TEMP_PREVIEW, TEMP_PLAYER_PAGE,
                                      TEMP_VIDEO_PAGE};

// The full path of one of them.
inline String TempFile(const char* name) { return TempDirectory() + name; }
