#pragma once
// Picture sizes read from the file headers of BMP, GIF, JPEG and PNG files, without loading the
// picture, and the fitting of a picture into a box with its proportions kept.
#include <QString>

#include <cstdint>

class PictureBox;

// The size of a picture file. Kind 0 (none of the four kinds, unreadable, or a size the header
// cannot give) has every field 0.
struct ImageSize {
  std::int32_t Kind = 0;  // 0 none, 1 BMP, 2 GIF, 3 JPEG, 4 PNG
  std::int32_t PixelWidth = 0;
  std::int32_t PixelHeight = 0;
  std::int32_t BitDepth = 0;
};

enum ImageKind : std::int32_t { kImageNone = 0, kImageBmp = 1, kImageGif = 2, kImageJpg = 3, kImagePng = 4 };

// True when `path` names an existing plain file (not a folder, device or hidden dot-file) that we
// can read and that holds at least 2 bytes.
bool IsFileReadable(const QString& path);

// Each reader checks IsFileReadable, reads its header and tests the signature.
ImageSize GetBmpSize(const QString& path);
ImageSize GetGifSize(const QString& path);
ImageSize GetJpgSize(const QString& path);
ImageSize GetPngSize(const QString& path);

// The size by the reader that `selector` picks: 0 by the file's first bytes, 1 BMP, 2 GIF,
// 3 JPEG, 4 PNG, 5 by the file name's extension; any other selector gives Kind 0.
ImageSize GetImageSize(const QString& path, int selector);

// An integer argument passed by reference: bound to an int variable it writes the result back
// into it; bound to a value (a literal, a control's property) it is a temporary whose result is
// dropped.
class IntByRef {
 public:
  IntByRef(int& variable) : m_variable(&variable), m_value(variable) {}  // NOLINT: implicit
  IntByRef(const int& value) : m_value(value) {}                        // NOLINT: implicit
  int get() const { return m_value; }
  void set(int value) {
    m_value = value;
    if (m_variable) *m_variable = value;
  }

 private:
  int* m_variable = nullptr;
  int m_value = 0;
};

// Loads `path` into `picture`, scaled to the largest size with the picture's proportions that fits
// a box of boxWidth x boxHeight whose top-left corner is (left, top), and aligned in that box:
// hAlign "Right" or "Center" (else left), vAlign "Bottom" or "Middle" (else top), exact case.
// With `pixels` True the box size is in pixels and is converted to twips (written back).
// `left` and `top` receive the position given to the control.
// Returns false when the picture's size cannot be read (nothing on the control is changed then)
// or when the picture cannot be loaded (the control keeps the size and stretching already set);
// `error` then tells why.
bool FitPicture(IntByRef boxWidth, IntByRef boxHeight, PictureBox& picture, const QString& path,
                bool pixels, IntByRef top, const QString& hAlign, IntByRef left,
                const QString& vAlign, QString* error = nullptr);
