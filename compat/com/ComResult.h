#pragma once
// Result codes of the component layer: zero or above is success, a set top
// bit is failure. A result is a 32-bit integer that nobody may drop: a caller
// checks it, or discards it in so many words, saying why.

#include <cstdint>

namespace compat {

enum [[nodiscard]] HRESULT : std::int32_t {};

constexpr HRESULT makeResult(std::uint32_t bits) {
    return static_cast<HRESULT>(static_cast<std::int32_t>(bits));
}

constexpr HRESULT S_OK = makeResult(0);
constexpr HRESULT S_FALSE = makeResult(1);
constexpr HRESULT E_NOTIMPL = makeResult(0x80004001);
constexpr HRESULT E_NOINTERFACE = makeResult(0x80004002);
constexpr HRESULT E_POINTER = makeResult(0x80004003);
constexpr HRESULT E_FAIL = makeResult(0x80004005);
constexpr HRESULT E_OUTOFMEMORY = makeResult(0x8007000E);
constexpr HRESULT E_INVALIDARG = makeResult(0x80070057);
constexpr HRESULT CLASS_E_NOAGGREGATION = makeResult(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = makeResult(0x80040111);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = makeResult(0x80020003);
constexpr HRESULT DISP_E_UNKNOWNNAME = makeResult(0x80020006);
constexpr HRESULT DISP_E_BADPARAMCOUNT = makeResult(0x8002000E);
// A library whose start failed (the system's ERROR_DLL_INIT_FAILED).
constexpr HRESULT E_DLL_INIT_FAILED = makeResult(0x8007045A);
// Self-registration: the type library or a class could not be (un)registered.
constexpr HRESULT SELFREG_E_TYPELIB = makeResult(0x80040200);
constexpr HRESULT SELFREG_E_CLASS = makeResult(0x80040201);

constexpr bool succeeded(HRESULT result) {
    return result >= 0;
}

}  // namespace compat
