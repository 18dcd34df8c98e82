// Generic row, column, attribute, item colour and item data operations: look the number
// up and hand the call to the kind's operation when it has one.
#include "gadget_items.h"

#include "toolkit_internal.h"

namespace {

// The gadget under `number` when its kind has the operation `member`, else null.
template <typename Member>
GadgetRecord* With(ObjectNumber number, Member GadgetKind::*member) {
  GadgetRecord* gadget = GadgetLookup(number);
  return gadget && gadget->kind->*member ? gadget : nullptr;
}

}  // namespace

void GadgetRemoveItem(ObjectNumber number, int index) {
  if (GadgetRecord* g = With(number, &GadgetKind::removeItem)) g->kind->removeItem(*g, index);
}

int GadgetCountItems(ObjectNumber number) {
  GadgetRecord* g = With(number, &GadgetKind::countItems);
  return g ? g->kind->countItems(*g) : 0;
}

intptr_t GadgetGetItemState(ObjectNumber number, int index) {
  GadgetRecord* g = With(number, &GadgetKind::getItemState);
  return g ? g->kind->getItemState(*g, index) : 0;
}

void GadgetSetItemState(ObjectNumber number, int index, intptr_t value) {
  if (GadgetRecord* g = With(number, &GadgetKind::setItemState))
    g->kind->setItemState(*g, index, value);
}

void GadgetSetItemText(ObjectNumber number, int index, TextArg text, int column) {
  if (GadgetRecord* g = With(number, &GadgetKind::setItemText))
    g->kind->setItemText(*g, index, text, column);
}

void GadgetAddColumn(ObjectNumber number, int position, TextArg title, int width) {
  if (GadgetRecord* g = With(number, &GadgetKind::addColumn))
    g->kind->addColumn(*g, position, title, width);
}

void GadgetRemoveColumn(ObjectNumber number, int index) {
  if (GadgetRecord* g = With(number, &GadgetKind::removeColumn)) g->kind->removeColumn(*g, index);
}

intptr_t GadgetGetAttribute(ObjectNumber number, int attribute) {
  GadgetRecord* g = With(number, &GadgetKind::getAttribute);
  return g ? g->kind->getAttribute(*g, attribute) : 0;
}

void GadgetSetAttribute(ObjectNumber number, int attribute, intptr_t value) {
  if (GadgetRecord* g = With(number, &GadgetKind::setAttribute))
    g->kind->setAttribute(*g, attribute, value);
}

intptr_t GadgetGetItemAttribute(ObjectNumber number, int index, int attribute, int column) {
  GadgetRecord* g = With(number, &GadgetKind::getItemAttribute);
  return g ? g->kind->getItemAttribute(*g, index, attribute, column) : 0;
}

void GadgetSetItemAttribute(ObjectNumber number, int index, int attribute, intptr_t value,
                            int column) {
  if (GadgetRecord* g = With(number, &GadgetKind::setItemAttribute))
    g->kind->setItemAttribute(*g, index, attribute, value, column);
}

void GadgetSetItemColor(ObjectNumber number, int index, int slot, int32_t color, int column) {
  if (GadgetRecord* g = With(number, &GadgetKind::setItemColor))
    g->kind->setItemColor(*g, index, slot, color, column);
}

int32_t GadgetGetItemColor(ObjectNumber number, int index, int slot, int column) {
  GadgetRecord* g = With(number, &GadgetKind::getItemColor);
  return g ? g->kind->getItemColor(*g, index, slot, column) : -1;
}

void GadgetSetItemData(ObjectNumber number, int index, intptr_t value) {
  if (GadgetRecord* g = With(number, &GadgetKind::setItemData))
    g->kind->setItemData(*g, index, value);
}

intptr_t GadgetGetItemData(ObjectNumber number, int index) {
  GadgetRecord* g = With(number, &GadgetKind::getItemData);
  return g ? g->kind->getItemData(*g, index) : 0;
}
