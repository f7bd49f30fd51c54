#pragma once
// Screen measures shared by the windows: the desktop's work area and the twips per pixel.
#include <cstdint>

// A screen rectangle in pixels; right and bottom lie just outside it.
struct RECT {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;
};

// The part of the primary screen that panels and docks leave free. When there is no screen to
// ask, shows "SystemParametersInfo関数取得に失敗しました。" and returns four zeros.
RECT GetWorkArea();

// Twips per pixel across and down: 1440 divided by the primary screen's logical resolution
// (15 at 96 dots per inch).
double TwipsPerPixelX();
double TwipsPerPixelY();

// A length in twips as whole pixels across and down.
int TwipsToPixelsX(int twips);
int TwipsToPixelsY(int twips);
