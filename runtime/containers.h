// SPDX-License-Identifier: MIT
// The program's three shared container kinds: keyed maps of 512 slots,
// ordered lists with a current element and two-dimensional arrays. Thin
// wrappers over the standard library with exactly the operations the rest of
// the program uses.
#pragma once
#include <cstddef>
#include <iterator>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

// ---- keyed map -------------------------------------------------------------

template <typename T>
struct KeyedMap {
  std::unordered_map<std::string, T> slots;
  typename std::unordered_map<std::string, T>::iterator current{};
  typename std::unordered_map<std::string, T>::iterator following{};
  bool walking = false;  // between MapReset and the end of the walk
};

template <typename T>
void MapCreate(KeyedMap<T>& map) {
  map.slots.clear();
  map.slots.reserve(512);
  map.walking = false;
}

// Returns the value under key, adding a value-initialised (zeroed) one first
// when the key is new.
template <typename T>
T& MapAddOrFind(KeyedMap<T>& map, const std::string& key) {
  return map.slots.try_emplace(key).first->second;
}

template <typename T>
T* MapFind(KeyedMap<T>& map, const std::string& key) {
  auto it = map.slots.find(key);
  return it == map.slots.end() ? nullptr : &it->second;
}

template <typename T>
bool MapRemove(KeyedMap<T>& map, const std::string& key) {
  auto it = map.slots.find(key);
  if (it == map.slots.end()) return false;
  if (map.walking && it == map.following) ++map.following;
  if (it == map.current) map.current = map.slots.end();
  map.slots.erase(it);
  return true;
}

// Iteration: MapReset, then MapNext until it yields null. The order is not
// meaningful. MapDeleteCurrent removes the element MapNext last yielded; the
// walk carries on with the element after it.
template <typename T>
void MapReset(KeyedMap<T>& map) {
  map.following = map.slots.begin();
  map.current = map.slots.end();
  map.walking = true;
}

template <typename T>
T* MapNext(KeyedMap<T>& map, std::string* key = nullptr) {
  if (!map.walking || map.following == map.slots.end()) {
    map.walking = false;
    map.current = map.slots.end();
    return nullptr;
  }
  map.current = map.following++;
  if (key) *key = map.current->first;
  return &map.current->second;
}

template <typename T>
void MapDeleteCurrent(KeyedMap<T>& map) {
  if (map.current == map.slots.end()) return;
  map.slots.erase(map.current);
  map.current = map.slots.end();
}

template <typename T>
std::size_t MapCount(const KeyedMap<T>& map) {
  return map.slots.size();
}

template <typename T>
void MapClear(KeyedMap<T>& map) {
  map.slots.clear();
  map.walking = false;
  map.current = map.slots.end();
}

// ---- ordered list ----------------------------------------------------------
// Elements never move in memory, so plain references to them stay valid until
// the element itself is deleted.

template <typename T>
struct OrderedList {
  std::list<T> items;
  typename std::list<T>::iterator current{};  // items.end() when there is none
  bool hasCurrent = false;
};

template <typename T>
void ListCreate(OrderedList<T>& list) {
  list.items.clear();
  list.hasCurrent = false;
}

template <typename T>
T* ListCurrent(OrderedList<T>& list) {
  return list.hasCurrent ? &*list.current : nullptr;
}

// Adds a zeroed element after the current one (at the front when there is no
// current element) and makes it current.
template <typename T>
T& ListAddAfterCurrent(OrderedList<T>& list) {
  auto where = list.hasCurrent ? std::next(list.current) : list.items.begin();
  list.current = list.items.emplace(where);
  list.hasCurrent = true;
  return *list.current;
}

// Appends a zeroed element at the end and makes it current.
template <typename T>
T& ListAppend(OrderedList<T>& list) {
  list.current = list.items.emplace(list.items.end());
  list.hasCurrent = true;
  return *list.current;
}

// Deletes the current element; the one before it becomes current (none when
// it was the first), so a forward walk with ListNext continues correctly.
template <typename T>
void ListDeleteCurrent(OrderedList<T>& list) {
  if (!list.hasCurrent) return;
  auto doomed = list.current;
  if (doomed == list.items.begin()) {
    list.hasCurrent = false;
  } else {
    list.current = std::prev(doomed);
  }
  list.items.erase(doomed);
}

// Makes the first element current; null for an empty list.
template <typename T>
T* ListFirst(OrderedList<T>& list) {
  list.hasCurrent = !list.items.empty();
  if (!list.hasCurrent) return nullptr;
  list.current = list.items.begin();
  return &*list.current;
}

template <typename T>
T* ListLast(OrderedList<T>& list) {
  list.hasCurrent = !list.items.empty();
  if (!list.hasCurrent) return nullptr;
  list.current = std::prev(list.items.end());
  return &*list.current;
}

// Moves to the element after the current one (the first when there is no
// current element). Returns null past the end, leaving no current element.
template <typename T>
T* ListNext(OrderedList<T>& list) {
  auto next = list.hasCurrent ? std::next(list.current) : list.items.begin();
  list.hasCurrent = next != list.items.end();
  if (!list.hasCurrent) return nullptr;
  list.current = next;
  return &*list.current;
}

// Moves to the element before the current one. Returns null before the
// first, leaving no current element.
template <typename T>
T* ListPrevious(OrderedList<T>& list) {
  if (!list.hasCurrent || list.current == list.items.begin()) {
    list.hasCurrent = false;
    return nullptr;
  }
  --list.current;
  return &*list.current;
}

// Makes the element at `element` current. False when it is not in the list.
template <typename T>
bool ListSeek(OrderedList<T>& list, const T* element) {
  for (auto it = list.items.begin(); it != list.items.end(); ++it) {
    if (&*it == element) {
      list.current = it;
      list.hasCurrent = true;
      return true;
    }
  }
  return false;
}

template <typename T>
std::size_t ListCount(const OrderedList<T>& list) {
  return list.items.size();
}

template <typename T>
void ListClear(OrderedList<T>& list) {
  list.items.clear();
  list.hasCurrent = false;
}

// ---- two-dimensional array -------------------------------------------------
// Addressed by column and row; used for the per-screen-cell layers.

template <typename T>
struct Array2D {
  int columns = 0;
  int rows = 0;
  std::vector<T> cells;
};

// Recreates the array with every entry zero.
template <typename T>
void Array2DCreate(Array2D<T>& array, int columns, int rows) {
  array.columns = columns;
  array.rows = rows;
  array.cells.assign(static_cast<std::size_t>(columns) * rows, T{});
}

// Null outside the array.
template <typename T>
T* Array2DAt(Array2D<T>& array, int x, int y) {
  if (x < 0 || y < 0 || x >= array.columns || y >= array.rows) return nullptr;
  return &array.cells[static_cast<std::size_t>(y) * array.columns + x];
}
