#pragma once
// The records the chat adapter library hands to the bridge. They are copied
// byte for byte, so their text fields may come without a terminating NUL:
// read them with fieldText, never with strlen.

#include <cstdint>
#include <cstring>
#include <string_view>

// One contact.
struct _SBaseUser {
    char handle[50];       // also the text given for a group member
    char displayName[50];
    std::int32_t adapterData;  // the adapter's own, not read
};

// One group. `members` points to `memberCount` contacts, or is null.
struct _SBaseGroup {
    std::int32_t id;
    char name[52];
    std::int32_t memberCount;
    _SBaseUser* members;
};

// What the adapter reports about the client when it attaches.
struct IMInfo {
    char first[50];
    char second[1034];
    char third[12];
};

// The arrays of the enumeration events: `count` records at `items`.
struct SBaseUserArray {
    std::int32_t count;
    _SBaseUser* items;
};
struct SBaseGroupArray {
    std::int32_t count;
    _SBaseGroup* items;
};

// The text of a fixed-size field: up to its first NUL, at most the field.
template <std::size_t N>
std::string_view fieldText(const char (&field)[N]) {
    return {field, strnlen(field, N)};
}
