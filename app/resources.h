// Resource numbers of the program's icon and of the pictures embedded in the program
// (resources.rc). The background and the panel icon picture are each drawn for four
// display scales (assets/make_pictures.sh): 100, 125, 150 and 200 % (96, 120, 144 and
// 192 DPI).
#pragma once

#define RESOURCE_PROGRAM_ICON 1

#define RESOURCE_BACKGROUND 201
#define RESOURCE_TOGGLE_ICON 202
#define RESOURCE_BACKGROUND_120 211
#define RESOURCE_TOGGLE_ICON_120 212
#define RESOURCE_BACKGROUND_144 221
#define RESOURCE_TOGGLE_ICON_144 222
#define RESOURCE_BACKGROUND_192 231
#define RESOURCE_TOGGLE_ICON_192 232
