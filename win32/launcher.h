// Starting programs, documents and web addresses; the modal question box; pausing.
#pragma once

#include <string_view>

#include "text.h"

// Starts `target` (a program path, a document or an address) with the given parameters
// and working directory (empty: none). All three are UTF-8, as paths are (os.h); an
// address is ASCII and so its own UTF-8. A program is started directly with its path
// quoted on the command line; anything else goes to the shell's default action, which
// never shows an error dialog. Returns 1 when something was started, 0 otherwise. Does
// not wait for the started program.
int LaunchProgram(TextArg target, TextArg parameters = "", TextArg directory = "");

// Shows a modal system message box with the MessageBox style bits `flags` and returns the
// identifier of the button pressed (0 when the box could not be shown). While it is up, the
// calling thread's other windows are disabled. Title and text are Windows-1251 texts.
int AskUser(TextArg title, TextArg text, int flags);
// The same with a text in UTF-16, for a message that names a path or a character the
// Windows-1251 texts cannot hold.
int AskUser(TextArg title, std::wstring_view text, int flags);

// Suspends the thread; no events are handled meanwhile.
void Pause(int milliseconds);
