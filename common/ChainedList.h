#pragma once
// The one collection type of Carvox: a singly linked list of owned heap records,
// walked by index, ending in an empty terminal node.

#include <cstdint>

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
