#pragma once
// Result codes of the capture engine. The control returns them to its host unchanged, as 32-bit
// COM result codes; the numbers are the ones every COM host knows.
#include <cstdint>

namespace capture {

using HRESULT = std::int32_t;

constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
constexpr bool Failed(HRESULT hr) { return hr < 0; }

namespace hr {
inline constexpr HRESULT kOk = 0;
inline constexpr HRESULT kFalse = 1;
inline constexpr HRESULT kNotImpl = static_cast<HRESULT>(0x80004001);
inline constexpr HRESULT kNoInterface = static_cast<HRESULT>(0x80004002);
inline constexpr HRESULT kPointer = static_cast<HRESULT>(0x80004003);
inline constexpr HRESULT kAbort = static_cast<HRESULT>(0x80004004);
inline constexpr HRESULT kFail = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT kUnexpected = static_cast<HRESULT>(0x8000FFFF);
inline constexpr HRESULT kClassNotReg = static_cast<HRESULT>(0x80040154);
inline constexpr HRESULT kOutOfMemory = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT kInvalidArg = static_cast<HRESULT>(0x80070057);
// Win32 errors carried as results (facility 7).
inline constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002);
inline constexpr HRESULT kPathNotFound = static_cast<HRESULT>(0x80070003);
inline constexpr HRESULT kAccessDenied = static_cast<HRESULT>(0x80070005);
inline constexpr HRESULT kWriteFault = static_cast<HRESULT>(0x8007001D);
inline constexpr HRESULT kReadFault = static_cast<HRESULT>(0x8007001E);
inline constexpr HRESULT kSharingViolation = static_cast<HRESULT>(0x80070020);
inline constexpr HRESULT kNotSupported = static_cast<HRESULT>(0x80070032);
inline constexpr HRESULT kDiskFull = static_cast<HRESULT>(0x80070070);
inline constexpr HRESULT kInvalidName = static_cast<HRESULT>(0x8007007B);
inline constexpr HRESULT kBusy = static_cast<HRESULT>(0x800700AA);
inline constexpr HRESULT kFileNameTooLong = static_cast<HRESULT>(0x800700CE);
inline constexpr HRESULT kDeviceNotConnected = static_cast<HRESULT>(0x8007048F);
// Media errors (facility 4).
inline constexpr HRESULT kInvalidMediaType = static_cast<HRESULT>(0x80040200);
inline constexpr HRESULT kAlreadyConnected = static_cast<HRESULT>(0x80040204);
inline constexpr HRESULT kNoAcceptableTypes = static_cast<HRESULT>(0x80040207);
inline constexpr HRESULT kInvalidDirection = static_cast<HRESULT>(0x80040208);
inline constexpr HRESULT kNotConnected = static_cast<HRESULT>(0x80040209);
inline constexpr HRESULT kRuntimeError = static_cast<HRESULT>(0x8004020B);
inline constexpr HRESULT kCannotConnect = static_cast<HRESULT>(0x80040217);
inline constexpr HRESULT kCannotRender = static_cast<HRESULT>(0x80040218);
inline constexpr HRESULT kWrongState = static_cast<HRESULT>(0x80040227);
inline constexpr HRESULT kTypeNotAccepted = static_cast<HRESULT>(0x8004022A);
inline constexpr HRESULT kTimeout = static_cast<HRESULT>(0x8004022E);
inline constexpr HRESULT kInvalidFileFormat = static_cast<HRESULT>(0x8004022F);
}  // namespace hr

// Graph event codes delivered through CCaptureEngine::GetEvent.
namespace ec {
inline constexpr long kComplete = 0x01;
inline constexpr long kErrorAbort = 0x03;
inline constexpr long kPaused = 0x0E;
}  // namespace ec

}  // namespace capture
