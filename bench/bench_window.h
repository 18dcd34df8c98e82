// The program's main window with all its gadgets, opened the way the program opens it
// (without the login), for benchmarks that time what happens in it.
#pragma once

#include <cstdio>

#include "appstate.h"
#include "decoder.h"
#include "main_window.h"
#include "startup.h"

// False, with a message, when the window cannot be opened.
inline bool OpenBenchMainWindow() {
  SystemStartup();
  JpegDecoderRegister();
  PngDecoderRegister();
  AllocateResultArrays();
  if (!OpenMainWindow() || !BuildMainGadgets()) {
    std::printf("cannot open the main window with its pictures\n");
    return false;
  }
  SystemStartCom();
  CreateBrowserViews();
  return true;
}
