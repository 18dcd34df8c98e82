// Numbered object tables: every kind of runtime object that the program names by an
// integer (windows, gadgets, images, files) lives in one table per kind. Small numbers
// index slots that grow on demand; ANY_NUMBER makes the table allocate a record whose
// address serves as its number.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>
#include <vector>

using ObjectNumber = intptr_t;

constexpr ObjectNumber ANY_NUMBER = -1;
// Slot numbers at or above this are refused: a stray large number (or an address passed
// where a small number belongs) must not make a table allocate gigabytes.
constexpr ObjectNumber OBJECT_NUMBER_LIMIT = 1 << 20;

// Record must be default-constructible and offer `bool InUse() const` (its system handle
// or main pointer is set). Free slots hold a default-constructed record.
template <typename Record>
class ObjectTable {
 public:
  // `release` closes the object with the given number if there is one; it is called before
  // a number is reused and by ReleaseAll.
  using ReleaseFn = void (*)(ObjectNumber number);

  ObjectTable(int growthStep, ReleaseFn release) : growth_(growthStep), release_(release) {
    slots_.resize(static_cast<size_t>(growth_));
  }

  // The record that a create or open operation fills. For ANY_NUMBER a new record; for a
  // slot number the table grows as needed and an object using the number is released
  // first. Returns nullptr for invalid numbers. NumberOf tells the number to hand back.
  Record* Slot(ObjectNumber number) {
    if (number == ANY_NUMBER) {
      auto record = std::make_unique<Record>();
      Record* raw = record.get();
      dynamic_.emplace_front(std::move(record));
      index_[Key(raw)] = dynamic_.begin();
      return raw;
    }
    if (number < 0 || number >= OBJECT_NUMBER_LIMIT) return nullptr;
    if (static_cast<size_t>(number) >= slots_.size())
      slots_.resize(static_cast<size_t>(number + growth_));
    if (release_) release_(number);
    return &Ensure(number);
  }

  // The number that names `record` (its address for ANY_NUMBER records).
  ObjectNumber NumberOf(const Record* record) const {
    if (index_.count(Key(record))) return Key(record);
    for (size_t i = 0; i < slots_.size(); ++i)
      if (slots_[i].get() == record) return static_cast<ObjectNumber>(i);
    return 0;
  }

  // The record of a number when it is in use, else nullptr.
  Record* Lookup(ObjectNumber number) const {
    Record* record = Find(number);
    return record && record->InUse() ? record : nullptr;
  }

  // Frees a number: an ANY_NUMBER record is removed, a slot is cleared.
  void Free(ObjectNumber number) {
    auto it = index_.find(number);
    if (it != index_.end()) {
      dynamic_.erase(it->second);
      index_.erase(it);
      return;
    }
    if (number >= 0 && static_cast<size_t>(number) < slots_.size() && slots_[number])
      *slots_[number] = Record();
  }

  // Releases every record in use: slots in increasing number, then ANY_NUMBER records
  // from the oldest to the newest.
  void ReleaseAll() {
    for (size_t i = 0; i < slots_.size(); ++i)
      if (slots_[i] && slots_[i]->InUse() && release_) release_(static_cast<ObjectNumber>(i));
    std::vector<ObjectNumber> numbers;
    for (auto it = dynamic_.rbegin(); it != dynamic_.rend(); ++it)
      numbers.push_back(Key(it->get()));
    for (ObjectNumber number : numbers) {
      Record* record = Find(number);
      if (record && record->InUse() && release_) release_(number);
      if (Find(number)) Free(number);  // records the release left behind
    }
  }

  // Calls fn(number, record) for every record in use, in the order of ReleaseAll.
  template <typename Fn>
  void ForEach(Fn fn) const {
    for (size_t i = 0; i < slots_.size(); ++i)
      if (slots_[i] && slots_[i]->InUse()) fn(static_cast<ObjectNumber>(i), *slots_[i]);
    for (auto it = dynamic_.rbegin(); it != dynamic_.rend(); ++it)
      if ((*it)->InUse()) fn(Key(it->get()), **it);
  }

  size_t Capacity() const { return slots_.size(); }

 private:
  static ObjectNumber Key(const Record* record) { return reinterpret_cast<ObjectNumber>(record); }

  Record& Ensure(ObjectNumber number) {
    auto& slot = slots_[static_cast<size_t>(number)];
    if (!slot) slot = std::make_unique<Record>();
    return *slot;
  }

  Record* Find(ObjectNumber number) const {
    if (number >= 0 && static_cast<size_t>(number) < slots_.size())
      return slots_[static_cast<size_t>(number)].get();
    auto it = index_.find(number);
    return it == index_.end() ? nullptr : it->second->get();
  }

  using List = std::list<std::unique_ptr<Record>>;
  int growth_;
  ReleaseFn release_;
  // Slots are allocated on first use and never move, so a record's address stays valid
  // while the table grows.
  std::vector<std::unique_ptr<Record>> slots_;
  List dynamic_;  // newest first
  std::unordered_map<ObjectNumber, typename List::iterator> index_;
};
