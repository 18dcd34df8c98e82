// Generic gadget operations beyond those of toolkit.h: rows, columns, attributes, item
// colours and item data. Each dispatches through the gadget's kind (GadgetKind places 9,
// 12 to 14, 16 and 23 to 34) and does nothing, or returns 0 (-1 for colours, the empty
// string for texts), when the number is not in use or the kind lacks the operation.
#pragma once

#include "toolkit.h"

void GadgetRemoveItem(ObjectNumber number, int index);
int GadgetCountItems(ObjectNumber number);
intptr_t GadgetGetItemState(ObjectNumber number, int index);
void GadgetSetItemState(ObjectNumber number, int index, intptr_t value);
// A null text counts as empty.
void GadgetSetItemText(ObjectNumber number, int index, TextArg text, int column = 0);
void GadgetAddColumn(ObjectNumber number, int position, TextArg title, int width);
void GadgetRemoveColumn(ObjectNumber number, int index);
intptr_t GadgetGetAttribute(ObjectNumber number, int attribute);
void GadgetSetAttribute(ObjectNumber number, int attribute, intptr_t value);
intptr_t GadgetGetItemAttribute(ObjectNumber number, int index, int attribute, int column = 0);
void GadgetSetItemAttribute(ObjectNumber number, int index, int attribute, intptr_t value,
                            int column = 0);
void GadgetSetItemColor(ObjectNumber number, int index, int slot, int32_t color, int column = -1);
int32_t GadgetGetItemColor(ObjectNumber number, int index, int slot, int column = 0);
void GadgetSetItemData(ObjectNumber number, int index, intptr_t value);
intptr_t GadgetGetItemData(ObjectNumber number, int index);
