// The members of the control's dispatch interface: number, name, result, parameters and what the
// member answers while the control has no capture window. Everything about calling the control
// late-bound (names, argument counts, coercions, the window check) is driven by this one table.
#include "OrnikMembers.h"

namespace ornik {

namespace {

constexpr int F = kFailWithoutWindow;
constexpr int Z = kEmptyWithoutWindow;
constexpr int A = kRunsWithoutWindow;

#define SIZE7 "short* pMinOutputX, short* pMinOutputY, short* pMaxOutputX, short* pMaxOutputY, short* pStepX, short* pStepY, short* pClrSpace"
#define BIH_OUT "long* biWidth, long* biHeight, short* biPlanes, short* biBitCount, long* biCompression, long* biSizeImage, long* biXPelsPerMeter, long* biYPelsPerMeter, long* biClrUsed, long* biClrImportant"
#define BIH_IN "long biWidth, long biHeight, short biPlanes, short biBitCount, long biCompression, long biSizeImage, long biXPelsPerMeter, long biYPelsPerMeter, long biClrUsed, long biClrImportant"

const com::MemberDecl kMembers[] = {
    {1, "DVCUninitialize", "void", "", A},
    {2, "DVCPreviewOff", "void", "", Z},
    {3, "DVCGetFrameNum", "long", "", Z},
    {4, "DVCInitialize", "long", "", A},
    {5, "DVCPreviewOn", "long", "", F},
    {6, "DVCSetCapFile", "long", "BSTR lpszFileName", F},
    {7, "DVCRecStart", "long", "", F},
    {8, "DVCRecStop", "long", "", F},
    {9, "DVCDoPlay", "long", "", F},
    {10, "DVCDoPause", "long", "", F},
    {11, "DVCPreviewOn3", "long", "", F},
    {12, "DVCStillCapture", "long", "BSTR lpszFileName, long nIndex", F},
    {13, "DVCPlayStop", "void", "", Z},
    {14, "DVCDoStop", "void", "", Z},
    {15, "DVCSetPosition", "void", "long lPos", Z},
    {16, "DVCGetPosition", "long", "", Z},
    {17, "DVCDoSlowPlay", "long", "", F},
    {18, "DVCDoFastPlay", "long", "", F},
    {19, "DVCDoPlayPart", "long", "long lStart, long lStop", F},
    {20, "DVCStillCapStart", "long", "BSTR lpszFileName", F},
    {21, "DVCStillCapStop", "void", "", Z},
    {22, "DVCVcrPlay", "long", "", F},
    {23, "DVCVcrStop", "long", "", F},
    {24, "DVCVcrPause", "long", "", F},
    {25, "DVCVcrFF", "long", "", F},
    {26, "DVCVcrREW", "long", "", F},
    {27, "DVCVcrStepFWD", "long", "", F},
    {28, "DVCVcrPlayFastREV", "long", "", F},
    {29, "DVCVcrStepREV", "long", "", F},
    {30, "DVCVcrPlayFastFWD", "long", "", F},
    {31, "DVCVcrPlaySlowFWD", "long", "", F},
    {32, "DVCVcrPlaySlowREV", "long", "", F},
    {33, "DVCVcrREVPlay", "long", "", F},
    {34, "DVCPlayStart", "long", "BSTR lpszFileName, long* nFrames", F},
    {35, "DVCPlayStart3Ready", "long", "BSTR lpszFileName, long* nFrames, long* nWidth, long* nHeight", F},
    {36, "DVCSetVideoQuality", "long", "long lProp, long lValue", F},
    {37, "DVCGetVideoQuality", "long", "long lProp, long* pMin, long* pMax, long* pStep, long* pDefault, long* pValue", F},
    {38, "DVCGetAvailableTVFormat", "long", "long* pVideoStandard", F},
    {39, "DVCGetTVFormat", "long", "long* pVideoStandard", F},
    {40, "DVCSetTVFormat", "long", "long lVideoStandard", F},
    {41, "DVCCrossbarFilterProperty", "long", "", F},
    {42, "DVCCaptureFilterProperty", "long", "", F},
    {43, "DVCDvDecFilterProperty", "long", "", F},
    {44, "DVCCapturePinProperty", "long", "", F},
    {45, "DVCPreviewPinProperty", "long", "", F},
    {46, "DVCGetVInDevNo", "long", "", Z},
    {47, "DVCGetVInDevName", "BSTR", "short nDevNo", Z},
    {48, "DVCSetVInDevNo", "void", "short nDevNo", Z},
    {49, "DVCGetVCaptureCapsNo", "long", "short* nCount", F},
    {50, "DVCGetVPreviewCapsNo", "long", "short* nCount", F},
    {51, "DVCGetVPreviewCaps", "long", "short nIndex, " SIZE7 ", long[10] pBih", F},
    {52, "DVCGetVCaptureCaps", "long", "short nIndex, " SIZE7 ", long[10] pBih", F},
    {53, "DVCSetVCaptureCaps", "long", "short nIndex, short nWidth, short nHeight, long[10] pBih", F},
    {54, "DVCSetVPreviewCaps", "long", "short nIndex, short nWidth, short nHeight, long[10] pBih", F},
    {55, "DVCGetDVDecResolution", "long", "short* pDVResolution", F},
    {56, "DVCSetDVDecResolution", "long", "short nDVResolution", F},
    {57, "DVCVcrATNSeek", "long", "short nHr, short nMin, short nSec, short nFrm", F},
    {58, "DVCVcrGetTime", "long", "long* pHr, long* pMin, long* pSec, long* pFrm", F},
    {59, "DVCGetInPinCounts", "long", "long* pPinCounts", F},
    {60, "DVCGetOutPinCounts", "long", "long* pPinCounts", F},
    {61, "DVCGetInPinName", "BSTR", "long lPinIndex", Z},
    {62, "DVCGetOutPinName", "BSTR", "long lPinIndex", Z},
    {63, "DVCIsRoutedTo", "long", "long lOutPinIndex, long* pInPinIndex", F},
    {64, "DVCSetRoute", "long", "long lOutPinIndex, long lInPinIndex", F},
    {65, "DVCEdSetStartStop", "long", "BSTR lpszInFileName, BSTR lpszXtlFileName, VARIANT vaStart, VARIANT vaStop", F},
    {66, "DVCEdFileCut", "long", "BSTR lpszOutFileName, BSTR lpszXtlFileName, VARIANT_BOOL bComp", F},
    {67, "DVCVfwCaptureDialogs", "long", "short iDialog", F},
    {68, "DVCSetStretchType", "long", "short nType", F},
    {69, "DVCGetStretchType", "short", "", Z},
    {70, "DVCVcrATNSeek2", "long", "short nHr, short nMin, short nSec, short nFrm, short nNonDrop, short nDVCAM", F},
    {71, "DVCGetVCompNo", "long", "", Z},
    {72, "DVCGetVCompName", "BSTR", "short nCompNo", Z},
    {73, "DVCSetVCompNo", "void", "short nCompNo", Z},
    {74, "DVCGetVCompCaps", "long", "long* lCaps", F},
    {75, "DVCGetVCompQuality", "long", "double* dQuality", F},
    {76, "DVCSetVCompQuality", "long", "double dQuality", F},
    {77, "DVCGetVCompKFrame", "long", "long* lKFrame", F},
    {78, "DVCSetVCompKFrame", "long", "long lKFrame", F},
    {79, "DVCGetVCompPFrame", "long", "long* lPFrame", F},
    {80, "DVCSetVCompPFrame", "long", "long lPFrame", F},
    {81, "DVCVCompProperty", "long", "", F},
    {82, "DVCSetTime", "void", "long lTimeH, long lTimeL", Z},
    {83, "DVCGetTime", "long", "long* pTimeH, long* pTimeL", F},
    {84, "DVCGetMediaTime", "long", "long* pTimeH, long* pTimeL", F},
    {85, "DVCStillCapture2", "long", "BSTR lpszFileName, long lTimeH, long lTimeL", F},
    {86, "DVCIsAbsoluteSeek", "long", "", Z},
    {87, "DVCDoPlayPart2", "long", "long lStartTimeH, long lStartTimeL, long lStopTimeH, long lStopTimeL", F},
    {88, "DVCGetVCompDropped", "long", "long* pDropped", F},
    {89, "DVCSetVCompCrunch", "long", "long lBitRate, long lSizeImage", F},
    {90, "DVCGetVCompCrunch", "long", "long* pBitRate, long* pSizeImage", F},
    {91, "DVCGetVCompNotDropped", "long", "long* pNotDropped", F},
    {92, "DVCSetCaptureFrameRate", "long", "double dFrameRate", F},
    {93, "DVCSetSGMediaType", "long", "long nType", F},
    {94, "DVCGetCurrentBuffer", "long", "long* pBufferSize, byte[] pBuffer, long* pWidth, long* pHeight", F},
    {95, "DVCGetAVIFrameRate", "long", "long* pTimeH, long* pTimeL", F},
    {96, "DVCVfwCompressDialogs", "long", "short iDialog", F},
    {97, "DVCSetAlphaTextSlide", "long", "short nEnable, long lTimeOut", F},
    {98, "DVCSetAlphaTextFont", "long", "byte[60] lpLF", F},
    {99, "DVCSetAlphaText", "long", "BSTR lpszBlendText, long fgColor, long bkColor, long keyColor, float fLeft, float fTop, short nEnable", F},
    {100, "DVCSetCapFile2", "long", "BSTR lpszFileName", F},
    {101, "DVCAudioFilterProperty", "long", "", F},
    {102, "DVCGetAInLineNo", "long", "", Z},
    {103, "DVCGetAInLineName", "BSTR", "short nLineNo", Z},
    {104, "DVCSetAInLineNo", "long", "short nLineNo", F},
    {105, "DVCGetAudioFormat", "long", "short* pChannels, short* pBytesPerSample, long* pSamplesPerSec", F},
    {106, "DVCSetAudioFormat", "long", "short nChannels, short nBytesPerSample, long nSamplesPerSec", F},
    {107, "DVCGetVCaptureCaps2", "long", "short nIndex, " SIZE7, F},
    {108, "DVCGetVCaptureCapsBih", "long", "short nIndex, " BIH_OUT, F},
    {109, "DVCSetVCaptureCaps2", "long", "short nIndex, " BIH_IN, F},
    {110, "DVCGetVPreviewCaps2", "long", "short nIndex, " SIZE7, F},
    {111, "DVCGetVPreviewCapsBih", "long", "short nIndex, " BIH_OUT, F},
    {112, "DVCSetVPreviewCaps2", "long", "short nIndex, " BIH_IN, F},
    {113, "DVCVcrRec", "long", "", F},
    {114, "DVCVcrRecStop", "long", "", F},
    {115, "DVCSetAlphaTextFont2", "long", "long lfHeight, long lfWidth, long lfEscapement, long lfOrientation, long lfWeight, short lfItatic, short lfUnderline, short lfStrikeOut, short lfCharSet, short lfOutPrecision, short lfClipPrecision, short lfQuality, short lfPitchAndFamily, BSTR lfFaceName", F},
    {116, "DVCGetVCapResolution", "long", "long* nWidth, long* nHeight", F},
    {117, "DVCGetVPrevResolution", "long", "long* nWidth, long* nHeight", F},
    {-552, "AboutBox", "void", "", A},
};

#undef SIZE7
#undef BIH_OUT
#undef BIH_IN

}  // namespace

std::span<const com::MemberDecl> MemberDecls() { return kMembers; }

const com::DispatchTable& Members() {
  static const com::DispatchTable table(kMembers);
  return table;
}

}  // namespace ornik
