#pragma once
// A small array list of pointers, first in first out for its users. The array
// is made on the first Add with 4 slots and grows to 2 × capacity + 1 as soon
// as it is full (4, 9, 19, 39, ...); popping the last item frees it. The list
// never deletes the items it points to. Not locked: its owner guards it.

#include <algorithm>
#include <cstddef>
#include <memory>
#include <stdexcept>

namespace ovix {

template <class T>
class CListEx {
public:
    static constexpr std::size_t kFirstCapacity = 4;

    CListEx() = default;
    explicit CListEx(std::size_t capacity) { SetSize(capacity); }
    CListEx(const CListEx&) = delete;
    CListEx& operator=(const CListEx&) = delete;

    // A zero-filled array of n slots holding the first min(n, count) items.
    void SetSize(std::size_t n) {
        auto items = std::make_unique<T[]>(n);
        m_count = std::min(n, m_count);
        std::copy_n(m_items.get(), m_count, items.get());
        m_items = std::move(items);
        m_capacity = n;
    }

    // Appends; returns the item's index. A failure to grow leaves the list
    // as it was.
    std::size_t Add(T item) {
        makeRoom();
        growWhenItFills();
        m_items[m_count] = item;
        return m_count++;
    }

    // Stores the item at `index` (at most GetCount()), moving the later ones
    // up by one.
    void InsertAt(std::size_t index, T item) {
        if (index > m_count)
            throw std::out_of_range("CListEx::InsertAt: index past the end of the list");
        if (m_count == 0) {
            Add(item);
            return;
        }
        makeRoom();
        growWhenItFills();
        std::move_backward(m_items.get() + index, m_items.get() + m_count, m_items.get() + m_count + 1);
        m_items[index] = item;
        ++m_count;
    }

    // Takes the first item out; the list must not be empty.
    T PopFront() {
        T first = m_items[0];
        if (m_count == 1) {
            RemoveAll();
        } else {
            std::move(m_items.get() + 1, m_items.get() + m_count, m_items.get());
            m_items[--m_count] = T();
        }
        return first;
    }

    // Frees the array; the items themselves are the caller's.
    void RemoveAll() {
        m_items.reset();
        m_capacity = 0;
        m_count = 0;
    }

    std::size_t GetCount() const { return m_count; }
    std::size_t GetCapacity() const { return m_capacity; }
    bool IsEmpty() const { return m_count == 0; }
    T GetAt(std::size_t index) const { return m_items[index]; }

private:
    // A slot past the items, also after SetSize shrank the array to them.
    void makeRoom() {
        if (!m_items)
            SetSize(kFirstCapacity);
        else if (m_count == m_capacity)
            SetSize(2 * m_capacity + 1);
    }

    // Grows the array before the item that would fill it is stored, so that
    // it is never full after an insertion.
    void growWhenItFills() {
        if (m_count + 1 == m_capacity)
            SetSize(2 * m_capacity + 1);
    }

    std::unique_ptr<T[]> m_items;
    std::size_t m_capacity = 0;
    std::size_t m_count = 0;
};

}  // namespace ovix
