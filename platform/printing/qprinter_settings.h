#pragma once
// Inside the printing layer: the printer settings carried onto a QPrinter and read back from it.
#include <QPrinter>

#include "printing/printing.h"

namespace printing {

// Paper, orientation, colour, duplex, paper bin and quality; an unknown paper gives A4.
void ApplyToQPrinter(const PrinterSettings& settings, QPrinter& printer);
// The same settings, with the printer's name and the PDF file when it prints to one.
void ReadFromQPrinter(const QPrinter& printer, PrinterSettings& settings);

}  // namespace printing
