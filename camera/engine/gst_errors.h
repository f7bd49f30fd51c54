#pragma once
// The one table that turns GStreamer failures into result codes. Every place of the engine that
// sees a GStreamer failure reports it through here, so a host always gets the same code for the
// same failure.
#include <gst/gst.h>

#include "engine/hresult.h"

namespace capture {

// An error posted on a bus (domain and code of its GError; a not-negotiated stream is a refused type).
HRESULT HResultFromGstMessage(GstMessage* error);
HRESULT HResultFromGError(const GError* error);
// A refused pad link.
HRESULT HResultFromLinkReturn(GstPadLinkReturn ret);
// A failed system call (errno).
HRESULT HResultFromErrno(int err);

}  // namespace capture
