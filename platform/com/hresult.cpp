#include "com/hresult.h"

#include <cstdio>

namespace com {

const char* ResultName(HRESULT hr) {
  switch (hr) {
    case S_OK: return "S_OK";
    case S_FALSE: return "S_FALSE";
    case E_NOTIMPL: return "E_NOTIMPL";
    case E_NOINTERFACE: return "E_NOINTERFACE";
    case E_POINTER: return "E_POINTER";
    case E_FAIL: return "E_FAIL";
    case E_UNEXPECTED: return "E_UNEXPECTED";
    case E_OUTOFMEMORY: return "E_OUTOFMEMORY";
    case E_INVALIDARG: return "E_INVALIDARG";
    case E_ABORT: return "E_ABORT";
    case E_FILE_NOT_FOUND: return "E_FILE_NOT_FOUND";
    case E_PATH_NOT_FOUND: return "E_PATH_NOT_FOUND";
    case E_ACCESSDENIED: return "E_ACCESSDENIED";
    case E_WRITE_FAULT: return "E_WRITE_FAULT";
    case E_READ_FAULT: return "E_READ_FAULT";
    case E_SHARING_VIOLATION: return "E_SHARING_VIOLATION";
    case E_NOT_SUPPORTED: return "E_NOT_SUPPORTED";
    case E_DISK_FULL: return "E_DISK_FULL";
    case E_INVALID_NAME: return "E_INVALID_NAME";
    case E_BUSY: return "E_BUSY";
    case E_FILENAME_TOO_LONG: return "E_FILENAME_TOO_LONG";
    case E_DEVICE_NOT_CONNECTED: return "E_DEVICE_NOT_CONNECTED";
    case VFW_E_ALREADY_CONNECTED: return "VFW_E_ALREADY_CONNECTED";
    case VFW_E_NO_ACCEPTABLE_TYPES: return "VFW_E_NO_ACCEPTABLE_TYPES";
    case VFW_E_INVALID_DIRECTION: return "VFW_E_INVALID_DIRECTION";
    case VFW_E_NOT_CONNECTED: return "VFW_E_NOT_CONNECTED";
    case VFW_E_RUNTIME_ERROR: return "VFW_E_RUNTIME_ERROR";
    case VFW_E_CANNOT_CONNECT: return "VFW_E_CANNOT_CONNECT";
    case VFW_E_CANNOT_RENDER: return "VFW_E_CANNOT_RENDER";
    case VFW_E_WRONG_STATE: return "VFW_E_WRONG_STATE";
    case VFW_E_TYPE_NOT_ACCEPTED: return "VFW_E_TYPE_NOT_ACCEPTED";
    case VFW_E_TIMEOUT: return "VFW_E_TIMEOUT";
    case VFW_E_INVALID_FILE_FORMAT: return "VFW_E_INVALID_FILE_FORMAT";
    case SELFREG_E_TYPELIB: return "SELFREG_E_TYPELIB";
    case SELFREG_E_CLASS: return "SELFREG_E_CLASS";
    case CLASS_E_NOAGGREGATION: return "CLASS_E_NOAGGREGATION";
    case CLASS_E_CLASSNOTAVAILABLE: return "CLASS_E_CLASSNOTAVAILABLE";
    case REGDB_E_CLASSNOTREG: return "REGDB_E_CLASSNOTREG";
    case REGDB_E_READREGDB: return "REGDB_E_READREGDB";
    case CO_E_CLASSSTRING: return "CO_E_CLASSSTRING";
    case CO_E_DLLNOTFOUND: return "CO_E_DLLNOTFOUND";
    case CO_E_ERRORINDLL: return "CO_E_ERRORINDLL";
    case DISP_E_MEMBERNOTFOUND: return "DISP_E_MEMBERNOTFOUND";
    case DISP_E_TYPEMISMATCH: return "DISP_E_TYPEMISMATCH";
    case DISP_E_UNKNOWNNAME: return "DISP_E_UNKNOWNNAME";
    case DISP_E_BADVARTYPE: return "DISP_E_BADVARTYPE";
    case DISP_E_OVERFLOW: return "DISP_E_OVERFLOW";
    case DISP_E_BADPARAMCOUNT: return "DISP_E_BADPARAMCOUNT";
    default: return nullptr;
  }
}

const char* FormatResult(HRESULT hr, char (&buffer)[48]) {
  const char* name = ResultName(hr);
  if (name)
    std::snprintf(buffer, sizeof buffer, "0x%08X (%s)", static_cast<unsigned>(hr), name);
  else
    std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(hr));
  return buffer;
}

}  // namespace com
