// TEMPORARY stand-ins for the list-icon and web view gadgets while the toolkit lacks them
// (the build compiles this file only then). The list is an empty container of the same
// place and size; the web view is an empty container that opens nothing.
#include "pending_gadgets.h"

#if !VS_TOOLKIT_HAS_LIST_ICON
intptr_t ListIconGadgetCreate(ObjectNumber number, int x, int y, int width, int height, TextArg,
                              int, int) {
  intptr_t result = ContainerGadgetCreate(number, x, y, width, height, 0);
  if (result) GadgetListClose();
  return result;
}
#endif

#if !VS_TOOLKIT_HAS_WEB_VIEW
intptr_t WebGadgetCreate(ObjectNumber number, int x, int y, int width, int height, TextArg, int) {
  intptr_t result = ContainerGadgetCreate(number, x, y, width, height, 0);
  if (result) GadgetListClose();
  return result;
}
#endif
