// The main event loop, its actions and the program's end.
#pragma once

// Takes and dispatches events until the main window is closed; never returns.
[[noreturn]] void RunMainLoop();
// What a click on result row `row` does: preview, description and title, then the video
// file address. The row must have its entries in the result arrays.
void ChooseRow(int row);
// Releases everything the runtime holds, destroys the private heap and exits with code 0.
[[noreturn]] void EndProgram();
// The private heap created at start (EndProgram destroys it).
void SetProgramHeap(void* heap);
