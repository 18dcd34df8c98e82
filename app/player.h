// The video page: the video file's address for the download link, and the local player
// page shown in a panel of the main window.
#pragma once

#include "text.h"

// Sets g_app.downloadUrl from the video page of `link`; empties it when the page cannot be
// had, so that the download link cannot fetch another video's file.
void FetchDownloadUrl(const String& link);
// Shows the player page of `link` in the player panel. False when the video page could not
// be had (`failure` then says why, in Russian); the panel is left as it was.
bool OpenPlayer(const String& link, String* failure = nullptr);
// Writes the player page for the three values into "111.htm" and shows it in a new player
// panel (gadget 109) holding a new web view (gadget 110); without an HTML engine, the
// player's address opens in the system's browser (not when it is longer than the shell
// takes: the label then says so).
void ShowPlayerPage(const String& oid, const String& vid, const String& hash2);
