#pragma once
// Insertion-ordered collection, keyed by text (case-insensitive, as the host's
// collections are), with 1-based item access and the host's errors.
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "runtime/Error.h"
#include "runtime/Text.h"

namespace dalvera {

template <typename T>
class Collection {
public:
    long Count() const { return static_cast<long>(items_.size()); }

    // Adds an item; a key already present raises error 457, as the host does.
    void Add(T item, const std::string& key = {}) {
        if (!key.empty()) {
            std::string k = lowerAscii(key);
            if (index_.count(k)) raise(457, "This key is already associated with an element of this collection");
            index_.emplace(k, items_.size());
        }
        items_.emplace_back(key, std::move(item));
    }

    // 1-based; out of range raises error 9.
    T& Item(long index) {
        if (index < 1 || index > Count()) raiseStandard(err::SubscriptOutOfRange);
        return items_[static_cast<size_t>(index - 1)].second;
    }
    const T& Item(long index) const { return const_cast<Collection*>(this)->Item(index); }

    // A missing key raises error 5, as the host does.
    T& Item(const std::string& key) {
        auto it = index_.find(lowerAscii(key));
        if (it == index_.end()) raiseStandard(err::InvalidCall);
        return items_[it->second].second;
    }
    const T& Item(const std::string& key) const { return const_cast<Collection*>(this)->Item(key); }

    bool Exists(const std::string& key) const { return index_.count(lowerAscii(key)) != 0; }
    const std::string& KeyAt(long index) const { return items_.at(static_cast<size_t>(index - 1)).first; }

    void Remove(long index) {
        if (index < 1 || index > Count()) raiseStandard(err::SubscriptOutOfRange);
        items_.erase(items_.begin() + (index - 1));
        reindex();
    }
    void Remove(const std::string& key) {
        auto it = index_.find(lowerAscii(key));
        if (it == index_.end()) raiseStandard(err::InvalidCall);
        items_.erase(items_.begin() + static_cast<long>(it->second));
        reindex();
    }
    void Clear() {
        items_.clear();
        index_.clear();
    }

    // Range-for over the items in order.
    struct Iter {
        typename std::vector<std::pair<std::string, T>>::iterator it;
        T& operator*() const { return it->second; }
        Iter& operator++() { ++it; return *this; }
        bool operator!=(const Iter& o) const { return it != o.it; }
    };
    struct ConstIter {
        typename std::vector<std::pair<std::string, T>>::const_iterator it;
        const T& operator*() const { return it->second; }
        ConstIter& operator++() { ++it; return *this; }
        bool operator!=(const ConstIter& o) const { return it != o.it; }
    };
    Iter begin() { return {items_.begin()}; }
    Iter end() { return {items_.end()}; }
    ConstIter begin() const { return {items_.begin()}; }
    ConstIter end() const { return {items_.end()}; }

private:
    void reindex() {
        index_.clear();
        for (size_t i = 0; i < items_.size(); ++i)
            if (!items_[i].first.empty()) index_.emplace(lowerAscii(items_[i].first), i);
    }
    std::vector<std::pair<std::string, T>> items_;
    std::unordered_map<std::string, size_t> index_;
};

}  // namespace dalvera
