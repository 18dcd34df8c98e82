// System libraries the program needs on its user-interface thread, set up once at start
// before any window is created: the common controls and COM (for the web view).
#pragma once

void SystemStartup();
// Undoes SystemStartup's COM initialisation at program end.
void SystemEnd();
