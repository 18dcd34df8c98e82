// The list-icon and web view gadgets the main window uses. When the toolkit lacks them
// (VS_TOOLKIT_HAS_LIST_ICON / VS_TOOLKIT_HAS_WEB_VIEW unset by the build), the names are
// declared here and pending_gadgets.cpp gives them temporary bodies.
#pragma once

#include "toolkit.h"

#if VS_TOOLKIT_HAS_LIST_ICON
#if __has_include("listicon.h")
#include "listicon.h"
#endif
#else
constexpr int LIST_NO_HEADER = 0x4000;
constexpr int LIST_GRID_LINES = 0x10000;
intptr_t ListIconGadgetCreate(ObjectNumber number, int x, int y, int width, int height,
                              TextArg title, int titleWidth, int flags = 0);
#endif

#if VS_TOOLKIT_HAS_WEB_VIEW
#include "webview.h"
#else
intptr_t WebGadgetCreate(ObjectNumber number, int x, int y, int width, int height, TextArg address,
                         int flags = 0);
#endif
