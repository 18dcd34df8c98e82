// The small window that asks for the site login when Registration.ini lacks it.
#pragma once

// Shows window 0 with the current values, waits for its button, takes both texts into
// g_app, stores them and closes the window.
void RunLoginDialog();
