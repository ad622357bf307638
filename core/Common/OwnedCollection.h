// TOwnedCollection<Item>: the program's owned collection of items (form
// cards of a set, fields of a card, form sets of a listing).
//
// The collection owns its items: each lives in its own heap cell, so a
// reference that Add or operator[] hands out stays valid while other items
// are added or deleted, until that item itself is deleted or the
// collection cleared or destroyed. Copies are deep (every item is copied);
// Assign is the same deep copy and is safe on itself.
//
// Item must be default constructible and copyable (its copy being the deep
// copy of its own content). Indices are ints from 0; a bad index raises
// "List index out of bounds (N)".
//
// Not synchronised; a collection belongs to one thread at a time.
#pragma once

#include <cstddef>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

namespace qm {

// Raises the common base exception "List index out of bounds (N)", the one
// text every list of the program uses for a bad index.
[[noreturn]] void RaiseListIndexError(int index);

template <class Item>
class TOwnedCollection {
  using Cells = std::vector<std::unique_ptr<Item>>;

  template <class Value, class Base>
  class Iter {
  public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = Item;
    using difference_type = std::ptrdiff_t;
    using pointer = Value*;
    using reference = Value&;
    Iter() = default;
    explicit Iter(Base it) : it_(it) {}
    Value& operator*() const { return **it_; }
    Value* operator->() const { return it_->get(); }
    Iter& operator++() {
      ++it_;
      return *this;
    }
    Iter operator++(int) { return Iter(it_++); }
    friend bool operator==(const Iter& a, const Iter& b) { return a.it_ == b.it_; }

  private:
    Base it_{};
  };

public:
  using iterator = Iter<Item, typename Cells::iterator>;
  using const_iterator = Iter<const Item, typename Cells::const_iterator>;

  TOwnedCollection() = default;
  virtual ~TOwnedCollection() = default;
  TOwnedCollection(const TOwnedCollection& other) { Assign(other); }
  TOwnedCollection& operator=(const TOwnedCollection& other) {
    Assign(other);
    return *this;
  }
  TOwnedCollection(TOwnedCollection&&) noexcept = default;
  TOwnedCollection& operator=(TOwnedCollection&&) noexcept = default;

  int Count() const noexcept { return static_cast<int>(items_.size()); }
  bool Empty() const noexcept { return items_.empty(); }

  // Appends a new item with its initial values.
  Item& Add() { return Add(Item()); }
  // Appends item (moved in).
  Item& Add(Item item) {
    items_.push_back(std::make_unique<Item>(std::move(item)));
    return *items_.back();
  }
  void Delete(int index) {
    Check(index);
    items_.erase(items_.begin() + index);
  }
  void Clear() noexcept { items_.clear(); }

  Item& operator[](int index) {
    Check(index);
    return *items_[static_cast<size_t>(index)];
  }
  const Item& operator[](int index) const {
    Check(index);
    return *items_[static_cast<size_t>(index)];
  }
  Item& Items(int index) { return (*this)[index]; }
  const Item& Items(int index) const { return (*this)[index]; }

  // Replaces the content by copies of source's items.
  void Assign(const TOwnedCollection& source) {
    if (&source == this) return;
    Cells copies;
    copies.reserve(source.items_.size());
    for (const auto& item : source.items_) copies.push_back(std::make_unique<Item>(*item));
    items_ = std::move(copies);
  }

  iterator begin() { return iterator(items_.begin()); }
  iterator end() { return iterator(items_.end()); }
  const_iterator begin() const { return const_iterator(items_.begin()); }
  const_iterator end() const { return const_iterator(items_.end()); }

  // Same count and pairwise equal items.
  friend bool operator==(const TOwnedCollection& a, const TOwnedCollection& b) {
    if (a.items_.size() != b.items_.size()) return false;
    for (size_t i = 0; i < a.items_.size(); ++i) {
      if (!(*a.items_[i] == *b.items_[i])) return false;
    }
    return true;
  }

private:
  void Check(int index) const {
    if (index < 0 || index >= Count()) RaiseListIndexError(index);
  }

  Cells items_;
};

}  // namespace qm
