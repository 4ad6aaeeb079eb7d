#pragma once
// Storage for many short lists, as the object model keeps a layer's polygon
// corners and map values: every list's items end to end in one array, and
// where each list ends in another. A million polygons thus cost two
// allocations instead of a million, and the lists are read as spans in place.
// Also storage for many empty lists: a file may hold a million layers with
// nothing in them, so a layer's lists take room only once they hold items.

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <memory>
#include <span>
#include <utility>
#include <vector>

namespace lwofront {

// Run i is items[ends[i - 1], ends[i]), the first one starting at 0. An empty
// Runs holds no allocation.
template <class T>
class Runs {
public:
    std::size_t size() const { return ends_.size(); }
    bool empty() const { return ends_.empty(); }

    std::span<const T> operator[](std::size_t i) const {
        assert(i < ends_.size());
        const std::uint32_t first = i == 0 ? 0 : ends_[i - 1];
        return {items_.data() + first, ends_[i] - first};
    }

    void push_back(std::span<const T> run) {
        assert(items_.size() + run.size() <= std::numeric_limits<std::uint32_t>::max());
        items_.insert(items_.end(), run.begin(), run.end());
        close_run();
    }
    // Building a run in place: add its items, then close it.
    void add_item(T item) { items_.push_back(item); }
    void close_run() { ends_.push_back(static_cast<std::uint32_t>(items_.size())); }

    void reserve(std::size_t runs, std::size_t items) {
        ends_.reserve(runs);
        items_.reserve(items);
    }
    void clear() {
        items_.clear();
        ends_.clear();
    }

private:
    std::vector<T> items_;
    std::vector<std::uint32_t> ends_;
};

// A value made on the heap when first written, so that a record holding it
// stays one pointer wide until then. Copies copy the value.
template <class T>
class Lazy {
public:
    Lazy() = default;
    Lazy(const Lazy& other) : value_(other.value_ ? std::make_unique<T>(*other.value_) : nullptr) {}
    Lazy(Lazy&&) noexcept = default;
    Lazy& operator=(const Lazy& other) {
        if (this != &other) value_ = other.value_ ? std::make_unique<T>(*other.value_) : nullptr;
        return *this;
    }
    Lazy& operator=(Lazy&&) noexcept = default;

    // Null until made.
    const T* get() const { return value_.get(); }
    T* get() { return value_.get(); }
    T& made() {
        if (!value_) value_ = std::make_unique<T>();
        return *value_;
    }

private:
    std::unique_ptr<T> value_;
};

// A vector one pointer wide while it is empty: the part of std::vector the
// model's lists of records use, over a vector made with the first item.
template <class T>
class LazyVector {
public:
    LazyVector() = default;
    LazyVector(std::initializer_list<T> items) { assign(items.begin(), items.end()); }
    LazyVector(const std::vector<T>& items) { assign(items.begin(), items.end()); }

    std::size_t size() const { return items_.get() ? items_.get()->size() : 0; }
    bool empty() const { return size() == 0; }
    const T* data() const { return items_.get() ? items_.get()->data() : nullptr; }
    T* data() { return items_.get() ? items_.get()->data() : nullptr; }
    const T* begin() const { return data(); }
    const T* end() const { return data() + size(); }
    T* begin() { return data(); }
    T* end() { return data() + size(); }

    const T& operator[](std::size_t i) const {
        assert(i < size());
        return data()[i];
    }
    T& operator[](std::size_t i) {
        assert(i < size());
        return data()[i];
    }
    const T& front() const { return (*this)[0]; }
    T& front() { return (*this)[0]; }
    const T& back() const { return (*this)[size() - 1]; }
    T& back() { return (*this)[size() - 1]; }

    void push_back(T item) { items_.made().push_back(std::move(item)); }
    template <class... Args>
    T& emplace_back(Args&&... args) {
        return items_.made().emplace_back(std::forward<Args>(args)...);
    }
    void reserve(std::size_t items) { items_.made().reserve(items); }
    void clear() { items_ = {}; }

private:
    template <class It>
    void assign(It first, It last) {
        if (first != last) items_.made().assign(first, last);
    }

    Lazy<std::vector<T>> items_;
};

// Walks a list whose operator[] hands out views by value, so that the lists
// of the model read like vectors in range-for loops and algorithms.
template <class List>
class ViewIterator {
public:
    using value_type = decltype(std::declval<const List&>()[0]);
    using difference_type = std::ptrdiff_t;
    using iterator_category = std::input_iterator_tag;

    ViewIterator() = default;
    ViewIterator(const List* list, std::size_t i) : list_(list), i_(i) {}

    value_type operator*() const { return (*list_)[i_]; }
    ViewIterator& operator++() {
        ++i_;
        return *this;
    }
    ViewIterator operator++(int) {
        ViewIterator before = *this;
        ++i_;
        return before;
    }
    bool operator==(const ViewIterator& other) const { return i_ == other.i_; }

private:
    const List* list_ = nullptr;
    std::size_t i_ = 0;
};

// What a list of views offers beside size() and operator[], written once for
// the lists of the model (each derives from ViewList<itself>).
template <class List>
class ViewList {
public:
    bool empty() const { return self().size() == 0; }
    ViewIterator<List> begin() const { return {&self(), 0}; }
    ViewIterator<List> end() const { return {&self(), self().size()}; }
    auto front() const { return self()[0]; }
    auto back() const { return self()[self().size() - 1]; }

private:
    const List& self() const { return static_cast<const List&>(*this); }
};

}  // namespace lwofront
