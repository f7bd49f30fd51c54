#pragma once
// Result codes of the component layer: 32-bit values, negative on failure. The numbers are the
// ones every automation host knows, so a result printed by a tool or written in a log means the
// same thing everywhere.
#include <cstdint>

namespace com {

using HRESULT = std::int32_t;
using DISPID = std::int32_t;

constexpr HRESULT MakeResult(std::uint32_t bits) { return static_cast<HRESULT>(bits); }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeResult(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = MakeResult(0x80004002u);
inline constexpr HRESULT E_POINTER = MakeResult(0x80004003u);
inline constexpr HRESULT E_FAIL = MakeResult(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = MakeResult(0x8000FFFFu);
inline constexpr HRESULT E_OUTOFMEMORY = MakeResult(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = MakeResult(0x80070057u);

// Registration of a library's own classes and type library.
inline constexpr HRESULT SELFREG_E_TYPELIB = MakeResult(0x80040200u);
inline constexpr HRESULT SELFREG_E_CLASS = MakeResult(0x80040201u);

// Class objects and their libraries.
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeResult(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeResult(0x80040111u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeResult(0x80040154u);
inline constexpr HRESULT REGDB_E_READREGDB = MakeResult(0x80040150u);
inline constexpr HRESULT CO_E_CLASSSTRING = MakeResult(0x800401F3u);
inline constexpr HRESULT CO_E_DLLNOTFOUND = MakeResult(0x800401F8u);
inline constexpr HRESULT CO_E_ERRORINDLL = MakeResult(0x800401F9u);

// Event connections (the first shares its number with SELFREG_E_TYPELIB; the facility differs).
inline constexpr HRESULT CONNECT_E_NOCONNECTION = MakeResult(0x80040200u);

// Late-bound calls.
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeResult(0x80020003u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeResult(0x80020005u);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = MakeResult(0x80020006u);
inline constexpr HRESULT DISP_E_BADVARTYPE = MakeResult(0x80020008u);
inline constexpr HRESULT DISP_E_OVERFLOW = MakeResult(0x8002000Au);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeResult(0x8002000Eu);

inline constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
inline constexpr bool Failed(HRESULT hr) { return hr < 0; }

// The symbolic name of a result ("E_FAIL"), or nullptr for a value this layer does not name.
const char* ResultName(HRESULT hr);

// "0x80004005 (E_FAIL)" or "0x8007001F" for printing and logs.
const char* FormatResult(HRESULT hr, char (&buffer)[48]);

}  // namespace com
