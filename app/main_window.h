// The main window: its frame, background picture and every gadget, built once at start.
#pragma once

#include "text.h"

// The text of the description label before any result is chosen.
String AboutText();
// Decodes the two embedded pictures (images 105 and 106); false when either fails.
bool LoadEmbeddedPictures();
// The same on a thread of its own, so that decoding overlaps the rest of the start-up
// (at once when no thread can be started). No other image may be made until
// BuildMainGadgets, which waits for it before it gives the window its pictures.
void StartLoadingEmbeddedPictures();
// Opens window 100 invisible; false on failure.
bool OpenMainWindow();
// Creates the gadgets the user sees, gives the window its pictures, makes it topmost and
// shows it.
void BuildMainGadgets();
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
