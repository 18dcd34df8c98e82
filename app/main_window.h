// The main window: its frame, background picture and every gadget, built once at start.
#pragma once

#include "text.h"

// The text of the description label before any result is chosen.
String AboutText();
// Opens window 100 invisible and topmost; false on failure.
bool OpenMainWindow();
// Creates the gadgets the user sees, gives the window its pictures (images 105 and 106,
// decoded for its DPI) and shows it; false when the pictures could not be decoded (the
// window shows without them).
bool BuildMainGadgets();
// Creates the two browser views that are never seen: the login view 101 and view 115.
void CreateBrowserViews();
// The main window's commands that have no gadget: Ctrl+J and an item of its system menu
// show the downloads window, also when no download of the chosen video offers its link.
void AddMainWindowCommands();
// Opens the login address of the current credentials in view 101: the program's first
// request to the site, made once the window shows and before any event is taken.
void StartLoginNavigation();
// The same for the values given (session.h follows what the site makes of them).
void StartLoginNavigation(const String& mail, const String& pass);
