#pragma once
// A band in a browser window's bar area (a toolbar or an explorer bar): the
// window shows it, hides it, closes it and asks how it wants to be laid out.

#include <cstdint>
#include <string>

#include "compat/browser/OleWindow.h"
#include "compat/desktop/Cursor.h"

namespace compat {

// Which fields of DeskBandInfo the host asks for (`mask`).
inline constexpr std::uint32_t DBIM_MINSIZE = 0x0001;
inline constexpr std::uint32_t DBIM_MAXSIZE = 0x0002;
inline constexpr std::uint32_t DBIM_INTEGRAL = 0x0004;
inline constexpr std::uint32_t DBIM_ACTUAL = 0x0008;
inline constexpr std::uint32_t DBIM_TITLE = 0x0010;
inline constexpr std::uint32_t DBIM_MODEFLAGS = 0x0020;
inline constexpr std::uint32_t DBIM_BKCOLOR = 0x0040;
// Mode flags.
inline constexpr std::uint32_t DBIMF_VARIABLEHEIGHT = 0x0008;
inline constexpr std::uint32_t DBIMF_BREAK = 0x0100;
// View modes.
inline constexpr std::uint32_t DBIF_VIEWMODE_NORMAL = 0x0000;
inline constexpr std::uint32_t DBIF_VIEWMODE_VERTICAL = 0x0001;

struct DeskBandInfo {
    std::uint32_t mask = 0;  // in: the fields asked for; out: those given
    Point minSize;
    Point maxSize;
    Point integral;
    Point actual;
    std::string title;
    std::uint32_t modeFlags = 0;
    std::uint32_t backgroundColor = 0;
};

class DockingWindow : public OleWindow {
public:
    static constexpr Guid kId = Guid::parse("{012DD920-7B26-11D0-8CA9-00A0C92DBFE8}");

    virtual HRESULT ShowDW(bool show) = 0;
    // The band is about to be removed from the window.
    virtual HRESULT CloseDW(std::uint32_t reserved) = 0;

protected:
    ~DockingWindow() = default;
};

class DeskBand : public DockingWindow {
public:
    static constexpr Guid kId = Guid::parse("{EB0FE172-1A3A-11D0-89B3-00A0C90A90AC}");

    // Fills what `info->mask` asks for; E_INVALIDARG for a null `info`.
    virtual HRESULT GetBandInfo(std::uint32_t bandId, std::uint32_t viewMode, DeskBandInfo* info) = 0;

protected:
    ~DeskBand() = default;
};

}  // namespace compat
