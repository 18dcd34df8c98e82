// The main window: its frame, background picture and every gadget, built once at start.
#pragma once

#include "text.h"

// The text of the description label before any result is chosen.
String AboutText();
// Decodes the two embedded pictures (images 105 and 106); 0 when either fails.
int LoadEmbeddedPictures();
// Opens window 100 invisible and gives it the background picture; 0 on failure.
int OpenMainWindow();
// Creates the hidden login view 101 with the login address of the current credentials.
void StartLoginNavigation();
// Creates the remaining gadgets, makes the window topmost and shows it.
void BuildMainGadgets();
