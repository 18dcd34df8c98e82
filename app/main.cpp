// The program's entry: the fixed start-up order, then the main event loop, which never
// returns (the program ends from its close handling).
#include <windows.h>

#include "appstate.h"
#include "client_ids.h"
#include "credentials.h"
#include "decoder.h"
#include "event_loop.h"
#include "image.h"
#include "login_dialog.h"
#include "main_window.h"
#include "session.h"
#include "single_instance.h"
#include "startup.h"
#include "toolkit.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // A second copy only brings the first one forward, before it touches any file.
  if (!ClaimSingleInstance()) ExitProcess(0);
  SetProgramHeap(HeapCreate(0, 4096, 0));  // growable

  // Services and toolkit before anything else of the program's own.
  ImagesInit();
  JpegDecoderRegister();
  PngDecoderRegister();
  WindowsInit();
  GadgetsInit();
  SystemStartup();  // common controls

  // Values typed at the first start serve the login, and are stored once the site takes
  // them; leaving the dialog ends the program.
  PathMessage notice = ReadCredentials();
  bool typed = NeedsLoginDialog();
  if (typed &&
      !RunLoginDialog(notice, g_app.loginMail, g_app.loginPass, LoginDialogPlace::FIRST_START))
    EndProgram();

  AllocateResultArrays();
  if (!OpenMainWindow()) EndProgram();
  BuildMainGadgets();
  // The browser views are never seen: they come once the window is painted (starting the
  // browser's engine keeps this thread from painting for a fifth of a second), and the
  // login, the program's first request, before any event is taken.
  WindowPaintNow(WIN_MAIN);
  SystemStartCom();
  CreateBrowserViews();
  StartLogin(typed);
  AddMainWindowCommands();
  RunMainLoop();
}
