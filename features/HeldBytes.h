#pragma once
// Bytes lent to a document-vector sink by their owner (a Python buffer, say):
// they stay where they are, readable and of the same size, while the
// HeldBytes lives. Destroyed on the thread and under the locks its owner
// requires (a Python buffer: with the interpreter lock held).

#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "features/Fid.h"

namespace ovix {

class HeldBytes {
public:
    virtual ~HeldBytes() = default;
    virtual std::span<const unsigned char> bytes() const = 0;
};

// Holds the bytes of a packed vector handed to a sink. A sink calls it at most
// once, when it takes the vector; it throws when there are no bytes to hold.
using HoldBytes = std::function<std::unique_ptr<HeldBytes>()>;

// The whole DocVecI entries of a packed vector's bytes: in place when the
// bytes are aligned for DocVecI, else copied into `copy`.
std::span<const DocVecI> alignedEntries(std::span<const unsigned char> bytes, std::vector<DocVecI>& copy);

}  // namespace ovix
