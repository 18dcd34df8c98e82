// The small window that asks for the site login when Registration.ini lacks it.
#pragma once

#include "credentials.h"

// Shows window 0 with the current values and, over it, `notice` when it is not empty;
// waits for its button, takes both texts into g_app, stores them (telling the user when
// that fails) and closes the window. A typed value with a character Windows-1251 lacks is
// refused with a word over the dialog, which then waits for the button again.
void RunLoginDialog(const PathMessage& notice);
