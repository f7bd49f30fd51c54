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
