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
inline constexpr HRESULT E_ABORT = MakeResult(0x80004004u);
inline constexpr HRESULT E_FAIL = MakeResult(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = MakeResult(0x8000FFFFu);
inline constexpr HRESULT E_OUTOFMEMORY = MakeResult(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = MakeResult(0x80070057u);

// System errors carried as results (facility 7).
inline constexpr HRESULT E_FILE_NOT_FOUND = MakeResult(0x80070002u);
inline constexpr HRESULT E_PATH_NOT_FOUND = MakeResult(0x80070003u);
inline constexpr HRESULT E_ACCESSDENIED = MakeResult(0x80070005u);
inline constexpr HRESULT E_WRITE_FAULT = MakeResult(0x8007001Du);
inline constexpr HRESULT E_READ_FAULT = MakeResult(0x8007001Eu);
inline constexpr HRESULT E_SHARING_VIOLATION = MakeResult(0x80070020u);
inline constexpr HRESULT E_NOT_SUPPORTED = MakeResult(0x80070032u);
inline constexpr HRESULT E_DISK_FULL = MakeResult(0x80070070u);
inline constexpr HRESULT E_INVALID_NAME = MakeResult(0x8007007Bu);
inline constexpr HRESULT E_BUSY = MakeResult(0x800700AAu);
inline constexpr HRESULT E_FILENAME_TOO_LONG = MakeResult(0x800700CEu);
inline constexpr HRESULT E_DEVICE_NOT_CONNECTED = MakeResult(0x8007048Fu);

// Media graphs (facility 4; VFW_E_INVALIDMEDIATYPE shares its number with SELFREG_E_TYPELIB).
inline constexpr HRESULT VFW_E_INVALIDMEDIATYPE = MakeResult(0x80040200u);
inline constexpr HRESULT VFW_E_ALREADY_CONNECTED = MakeResult(0x80040204u);
inline constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = MakeResult(0x80040207u);
inline constexpr HRESULT VFW_E_INVALID_DIRECTION = MakeResult(0x80040208u);
inline constexpr HRESULT VFW_E_NOT_CONNECTED = MakeResult(0x80040209u);
inline constexpr HRESULT VFW_E_RUNTIME_ERROR = MakeResult(0x8004020Bu);
inline constexpr HRESULT VFW_E_CANNOT_CONNECT = MakeResult(0x80040217u);
inline constexpr HRESULT VFW_E_CANNOT_RENDER = MakeResult(0x80040218u);
inline constexpr HRESULT VFW_E_WRONG_STATE = MakeResult(0x80040227u);
inline constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = MakeResult(0x8004022Au);
inline constexpr HRESULT VFW_E_TIMEOUT = MakeResult(0x8004022Eu);
inline constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = MakeResult(0x8004022Fu);

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
