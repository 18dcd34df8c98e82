// Starting programs, documents and web addresses; the modal question box; pausing.
#pragma once

#include <windows.h>

#include <string_view>

#include "text.h"

// Starts `target` (a program path, a document or an address) with the given parameters
// and working directory (empty: none). All three are UTF-8, as paths are (os.h); an
// address is ASCII and so its own UTF-8. A program is started directly with its path
// quoted on the command line; anything else goes to the shell's default action, which
// never shows an error dialog. Returns 1 when something was started, 0 otherwise. Does
// not wait for the started program.
int LaunchProgram(TextArg target, TextArg parameters = "", TextArg directory = "");

// The longest target (UTF-16 units) LaunchProgram takes; a longer one is refused (0). Wine's
// shell copies an address into a fixed buffer and overruns it from about 990 characters on,
// which ends the program (measured with Wine 8); the site's own addresses are about a
// hundred characters, so a longer one can only come from a hostile page.
constexpr size_t LAUNCH_TARGET_LIMIT = 900;

// LaunchProgram on a thread of its own: returns at once, so that a program or browser that
// is slow to come up (the shell waits for some) never holds up the calling window. When
// `notify` is given, it is posted `message` with wParam `tag` and lParam LaunchProgram's
// result once the start is over. False when the target is refused (too long, empty) or no
// thread could be started.
bool LaunchInBackground(TextArg target, TextArg parameters = "", TextArg directory = "",
                        HWND notify = nullptr, UINT message = 0, WPARAM tag = 0);

// Shows a modal system message box with the MessageBox style bits `flags` and returns the
// identifier of the button pressed (0 when the box could not be shown). While it is up, the
// calling thread's other windows are disabled. Title and text are Windows-1251 texts.
int AskUser(TextArg title, TextArg text, int flags);
// The same with a text in UTF-16, for a message that names a path or a character the
// Windows-1251 texts cannot hold.
int AskUser(TextArg title, std::wstring_view text, int flags);

// Suspends the thread; no events are handled meanwhile.
void Pause(int milliseconds);
