// The video page: the video file's address for the download link, and the local player
// page shown in a panel of the main window.
#pragma once

#include "text.h"

// Sets g_app.downloadUrl from the video page of `link`. When the page cannot be had, or
// holds no player line whose file address stays on the site, the address is emptied (so that
// the download link cannot fetch another video's file) and the description label says why.
void FetchDownloadUrl(const String& link);
// Why the chosen video has no download address, for the download link to say; empty when
// no video was chosen (or it has one).
const String& DownloadAddressProblem();
// Shows the player page of `link` in the player panel. False when the video page could not
// be had or holds no player line (`failure` then says why, in Russian); the panel is left
// as it was.
bool OpenPlayer(const String& link, String* failure = nullptr);
// Writes the player page for the three values into "111.htm" and shows it in a new player
// panel (gadget 109) holding a new web view (gadget 110); without an HTML engine, the
// player's address opens in the system's browser (not when it is longer than the shell
// takes: the label then says so).
void ShowPlayerPage(const String& oid, const String& vid, const String& hash2);
