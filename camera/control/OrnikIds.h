#pragma once
// The fixed identifiers of the control library: type library, classes, interfaces and ProgIDs, and
// the texts registered with them.
#include "com/guid.h"

namespace ornik {

inline constexpr com::Guid LIBID_ORNIKLib = com::Guid::Parse("{96DBB205-C30C-4BE9-8CD1-D0AEE1101546}");
inline constexpr com::Guid CLSID_Ornik = com::Guid::Parse("{60F42088-0B08-403D-9FAC-59F90A90EFCA}");
inline constexpr com::Guid DIID__DOrnik = com::Guid::Parse("{154EEC9F-5D6C-4F2E-9CE4-E36C2C036D12}");
inline constexpr com::Guid DIID__DOrnikEvents =
    com::Guid::Parse("{96019645-F245-4F61-B362-6DB2B358BBEA}");
inline constexpr com::Guid CLSID_OrnikPropPage =
    com::Guid::Parse("{77AE3DFB-D49E-49F8-A3D4-BA457A4232AA}");

inline constexpr const char* kControlProgId = "ORNIK.OrnikCtrl.1";
inline constexpr const char* kPropPageProgId = "ORNIK.OrnikPropPage.1";
inline constexpr const char* kTypeLibName = "ORNIKLib";
inline constexpr const char* kHelpFile = "Ornik.hlp";
inline constexpr int kTypeLibMajor = 1;
inline constexpr int kTypeLibMinor = 0;

// String resources.
inline constexpr const char* IDS_ORNIK = "Ornik Control";                  // 1
inline constexpr const char* IDS_ORNIK_PPG = "Ornik Property Page";        // 2
inline constexpr const char* IDS_ORNIK_PPG_CAPTION = "General";            // 200
inline constexpr int IDB_ORNIK = 1;                                        // toolbox bitmap

// OLEMISC_RECOMPOSEONRESIZE | CANTLINKINSIDE | INSIDEOUT | ACTIVATEWHENVISIBLE | SETCLIENTSITEFIRST
inline constexpr unsigned kMiscStatus = 0x20191;
// Version of the saved properties: major 1, minor 0.
inline constexpr int kVersion = 0x00010000;

// Event numbers of _DOrnikEvents.
inline constexpr int DISPID_GraphNotify = 1;
inline constexpr int DISPID_SGCallBack = 2;
inline constexpr int DISPID_TimelinePos = 3;

}  // namespace ornik
