#pragma once
// The native objects that running rows work on. A row marks every object it
// was given (its proxy and its object arguments) until it returns, also while
// it has let the interpreter lock go; deleting a marked object is refused, so
// no row ever works on freed memory. Used with the interpreter lock held.

namespace ovix::py {

// One mark, held for the InUse's lifetime; empty until mark() is called.
class InUse {
public:
    InUse() = default;
    ~InUse();
    InUse(const InUse&) = delete;
    InUse& operator=(const InUse&) = delete;

    // Marks the object; false, with MemoryError set, when that fails.
    bool mark(const void* object) noexcept;

    // Whether a running row has marked the object.
    static bool isMarked(const void* object);

private:
    const void* m_object = nullptr;
};

}  // namespace ovix::py
