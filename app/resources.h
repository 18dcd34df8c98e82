// Resource numbers of the two pictures embedded in the program (resources.rc).
#pragma once

#define RESOURCE_BACKGROUND 201
#define RESOURCE_TOGGLE_ICON 202
