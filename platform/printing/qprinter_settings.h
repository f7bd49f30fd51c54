#pragma once
// Inside the printing layer: the printer settings carried onto a QPrinter.
#include <QPrinter>

#include "printing/printing.h"

namespace printing {

// Paper, orientation, colour, duplex, paper bin and quality; an unknown paper gives A4.
void ApplyToQPrinter(const PrinterSettings& settings, QPrinter& printer);

}  // namespace printing
