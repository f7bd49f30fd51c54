#include "common/BulkMailDraft.h"

BulkMailDraft& TheBulkMailDraft() {
  static BulkMailDraft draft;
  return draft;
}
