#pragma once
// The system's combo box (class "ComboBox"), as a model: a list of texts, a
// selection and the text of its edit field (the window text). Opening its
// list sends the parent WM_COMMAND with CBN_DROPDOWN, a pick sends
// CBN_SELCHANGE (the box's id in the low word, the box as long parameter).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compat/browser/BrowserExport.h"
#include "compat/browser/WindowMessages.h"

namespace compat {

inline constexpr std::string_view WC_COMBOBOX = "ComboBox";
// A box with an edit field above its list.
inline constexpr std::uint32_t CBS_DROPDOWN = 0x0002;

// Messages, with what their parameters are here.
inline constexpr std::uint32_t CB_ADDSTRING = 0x0143;     // 0, const char* (UTF-8); its index
inline constexpr std::uint32_t CB_DELETESTRING = 0x0144;  // index; the items left, or CB_ERR
inline constexpr std::uint32_t CB_GETCOUNT = 0x0146;
inline constexpr std::uint32_t CB_GETCURSEL = 0x0147;     // the selected index or CB_ERR
inline constexpr std::uint32_t CB_GETLBTEXT = 0x0148;     // index, std::string*; its length or CB_ERR
inline constexpr std::uint32_t CB_GETLBTEXTLEN = 0x0149;  // index; its length or CB_ERR
inline constexpr std::uint32_t CB_RESETCONTENT = 0x014B;
inline constexpr std::uint32_t CB_SETCURSEL = 0x014E;  // index (-1: none); the index or CB_ERR
inline constexpr std::intptr_t CB_ERR = -1;
inline constexpr unsigned CBN_SELCHANGE = 1;
inline constexpr unsigned CBN_DROPDOWN = 7;

// For tests: what the box holds.
struct ComboBoxSnapshot {
    std::vector<std::string> items;
    int selection = -1;
    std::string text;
};
COMPAT_BROWSER_EXPORT std::optional<ComboBoxSnapshot> comboBoxState(WindowHandle box);

// For tests, as the user, each on the box's thread: opens the list; picks
// item `index`. False when the box (or the item) is not there.
COMPAT_BROWSER_EXPORT bool dropDownComboBox(WindowHandle box);
COMPAT_BROWSER_EXPORT bool pickComboBoxItem(WindowHandle box, int index);

}  // namespace compat
