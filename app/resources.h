// Resource numbers of the program's icon and of the two pictures embedded in the program
// (resources.rc).
#pragma once

#define RESOURCE_PROGRAM_ICON 1

#define RESOURCE_BACKGROUND 201
#define RESOURCE_TOGGLE_ICON 202
