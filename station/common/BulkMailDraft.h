#pragma once
// The bulk mail on its way from the composer, which writes it, to the print and selection window,
// which chooses its recipients and sends it. The composer fills it before it opens that window and
// reads back whether the job ran to its end.
#include <QString>

struct BulkMailDraft {
  QString subject;        // placeholders unfilled
  QString body;           // lines joined by CR LF, placeholders unfilled
  bool jobEnded = false;  // the selection window ran the job and reported its end
};

// The one draft of the program.
BulkMailDraft& TheBulkMailDraft();
