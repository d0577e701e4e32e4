#pragma once
// The one collection type of Carvox: a singly linked list of owned heap records,
// walked in order (or by index), ending in an empty terminal node.

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "common/CodedError.h"

// -1: the index walk ran past the last node; -2: the node reached holds no value.
struct ChainedListExeption : CodedError {
  explicit ChainedListExeption(int32_t code) noexcept
      : CodedError(code, code == -2 ? "the list node holds no value" : "the index lies past the end of the list") {}
};

template <typename T>
struct ChainedListNode {
  T* value = nullptr;
  ChainedListNode* next = nullptr;
};

template <typename T>
class ChainedList {
 public:
  ChainedList() = default;
  ChainedList(const ChainedList&) = delete;
  ChainedList& operator=(const ChainedList&) = delete;
  ~ChainedList() { Clear(); }

  // Stores `value` in the terminal node and gives it a new terminal node.
  // The list takes ownership of `value`.
  void Append(T* value) {
    tail_->value = value;
    tail_->next = new ChainedListNode<T>;
    tail_ = tail_->next;
  }

  int Count() const {
    int count = 0;
    for (const ChainedListNode<T>* node = &head_; node->value != nullptr; node = node->next) ++count;
    return count;
  }

  // The list keeps ownership of the returned value.
  T* At(int index) const {
    const ChainedListNode<T>* node = &head_;
    for (int i = 0; i < index; ++i) {
      if (node->next == nullptr) throw ChainedListExeption{-1};
      node = node->next;
    }
    if (index < 0 || node->value == nullptr) throw ChainedListExeption{index < 0 ? -1 : -2};
    return node->value;
  }

  // Walks the values in order, up to the first node without one (where Count stops):
  // one step per value, where At(i) in a loop takes i steps for each.
  class ConstIterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using pointer = const T*;
    using reference = const T&;

    ConstIterator() = default;
    explicit ConstIterator(const ChainedListNode<T>* node) : node_(node) {}
    const T& operator*() const { return *node_->value; }
    const T* operator->() const { return node_->value; }
    ConstIterator& operator++() {
      node_ = node_->next;
      return *this;
    }
    ConstIterator operator++(int) {
      ConstIterator before = *this;
      ++*this;
      return before;
    }
    bool operator==(const ConstIterator& other) const {
      return AtEnd() ? other.AtEnd() : node_ == other.node_;
    }

   private:
    bool AtEnd() const { return node_ == nullptr || node_->value == nullptr; }
    const ChainedListNode<T>* node_ = nullptr;
  };
  ConstIterator begin() const { return ConstIterator(&head_); }
  ConstIterator end() const { return ConstIterator(); }

  // Destroys values first, then nodes. The walk is a loop, not a recursion, so that
  // destroying a list of any length needs no more stack than a short one.
  void Clear() {
    ChainedListNode<T>* node = head_.next;
    while (node != nullptr) {
      ChainedListNode<T>* next = node->next;
      delete node->value;
      delete node;
      node = next;
    }
    delete head_.value;
    head_ = ChainedListNode<T>{};
    tail_ = &head_;
  }

 private:
  ChainedListNode<T> head_;
  ChainedListNode<T>* tail_ = &head_;  // always the terminal node
};
