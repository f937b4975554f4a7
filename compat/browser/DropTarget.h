#pragma once
// A window's side of drag and drop: told when data is dragged in, over and
// out, and when it is dropped. Points are screen coordinates; `effect` holds
// the effects the source allows and is set to the one the target would do.

#include <cstdint>

#include "compat/browser/DataObject.h"
#include "compat/desktop/Cursor.h"

namespace compat {

inline constexpr std::uint32_t DROPEFFECT_NONE = 0;
inline constexpr std::uint32_t DROPEFFECT_COPY = 1;
inline constexpr std::uint32_t DROPEFFECT_MOVE = 2;
inline constexpr std::uint32_t DROPEFFECT_LINK = 4;
// Key state: the left mouse button is down.
inline constexpr std::uint32_t MK_LBUTTON = 0x0001;

class DropTarget : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{00000122-0000-0000-C000-000000000046}");

    virtual HRESULT DragEnter(DataObject* data, std::uint32_t keyState, Point point, std::uint32_t& effect) = 0;
    virtual HRESULT DragOver(std::uint32_t keyState, Point point, std::uint32_t& effect) = 0;
    virtual HRESULT DragLeave() = 0;
    virtual HRESULT Drop(DataObject* data, std::uint32_t keyState, Point point, std::uint32_t& effect) = 0;

protected:
    ~DropTarget() = default;
};

}  // namespace compat
