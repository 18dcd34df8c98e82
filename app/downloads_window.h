// The downloads window: a second window of the program listing this run's downloads (file,
// size, how much has come, speed, state), with buttons to cancel a running download, open a
// finished file or its folder (the file selected), and retry a failed or cancelled one. It
// opens from the download link while a download runs, stays above the main window, and
// closing it only hides it. The buttons and the list are reached by keyboard (Tab, arrows,
// Space; Enter opens a finished file).
#pragma once

#include "toolkit.h"

// Shows the window (opened at the first call), with download `select` chosen when it is
// not -1.
void ShowDownloadsWindow(int select = -1);
// Brings the rows and buttons up to date with the downloads (while the window is open).
void DownloadsWindowRefresh();
// Handles an event of one of the window's gadgets, or the end of a start it asked the
// launcher for (LAUNCHED_FILE, LAUNCHED_FOLDER); false when the gadget is not its.
bool DownloadsWindowEvent(ObjectNumber gadget);
