#include "engine/gst_errors.h"

#include <cerrno>

namespace capture {

namespace {

struct ErrorRow {
  GQuark (*domain)();
  int code;
  HRESULT result;
};

// Domain and code of a GStreamer error -> result code. Rows are looked at in order; a code of -1
// stands for every code of its domain.
const ErrorRow kErrorTable[] = {
    {gst_resource_error_quark, GST_RESOURCE_ERROR_NOT_FOUND, hr::kDeviceNotConnected},
    {gst_resource_error_quark, GST_RESOURCE_ERROR_BUSY, hr::kBusy},
    {gst_resource_error_quark, GST_RESOURCE_ERROR_OPEN_READ, hr::kAccessDenied},
    {gst_resource_error_quark, GST_RESOURCE_ERROR_OPEN_WRITE, hr::kAccessDenied},
    {gst_resource_error_quark, GST_RESOURCE_ERROR_OPEN_READ_WRITE, hr::kAccessDenied},
    {gst_resource_error_quark, GST_RESOURCE_ERROR_NOT_AUTHORIZED, hr::kAccessDenied},
    {gst_resource_error_quark, GST_RESOURCE_ERROR_READ, hr::kReadFault},
    {gst_resource_error_quark, GST_RESOURCE_ERROR_WRITE, hr::kWriteFault},
    {gst_resource_error_quark, GST_RESOURCE_ERROR_NO_SPACE_LEFT, hr::kDiskFull},
    {gst_resource_error_quark, GST_RESOURCE_ERROR_SETTINGS, hr::kTypeNotAccepted},
    {gst_resource_error_quark, -1, hr::kFail},
    {gst_core_error_quark, GST_CORE_ERROR_MISSING_PLUGIN, hr::kClassNotReg},
    {gst_core_error_quark, GST_CORE_ERROR_NEGOTIATION, hr::kTypeNotAccepted},
    {gst_core_error_quark, GST_CORE_ERROR_STATE_CHANGE, hr::kWrongState},
    {gst_core_error_quark, GST_CORE_ERROR_NOT_IMPLEMENTED, hr::kNotImpl},
    {gst_core_error_quark, -1, hr::kRuntimeError},
    {gst_library_error_quark, -1, hr::kFail},
    {gst_stream_error_quark, GST_STREAM_ERROR_FORMAT, hr::kTypeNotAccepted},
    {gst_stream_error_quark, GST_STREAM_ERROR_WRONG_TYPE, hr::kTypeNotAccepted},
    {gst_stream_error_quark, GST_STREAM_ERROR_CODEC_NOT_FOUND, hr::kClassNotReg},
    {gst_stream_error_quark, GST_STREAM_ERROR_TYPE_NOT_FOUND, hr::kInvalidFileFormat},
    {gst_stream_error_quark, GST_STREAM_ERROR_DECODE, hr::kInvalidFileFormat},
    {gst_stream_error_quark, GST_STREAM_ERROR_DEMUX, hr::kInvalidFileFormat},
    {gst_stream_error_quark, GST_STREAM_ERROR_NOT_IMPLEMENTED, hr::kNotImpl},
    {gst_stream_error_quark, -1, hr::kRuntimeError},
};

}  // namespace

HRESULT HResultFromGError(const GError* error) {
  if (!error) return hr::kFail;
  for (const ErrorRow& row : kErrorTable)
    if (error->domain == row.domain() && (row.code == -1 || row.code == error->code)) return row.result;
  return hr::kFail;
}

HRESULT HResultFromGstMessage(GstMessage* msg) {
  if (!msg || GST_MESSAGE_TYPE(msg) != GST_MESSAGE_ERROR) return hr::kFail;
  // A streaming thread that stopped on a refused format reports it as a flow error.
  const GstStructure* details = nullptr;
  gst_message_parse_error_details(msg, &details);
  gint flow = GST_FLOW_OK;
  if (details && gst_structure_get_enum(details, "flow-return", GST_TYPE_FLOW_RETURN, &flow) &&
      flow == GST_FLOW_NOT_NEGOTIATED)
    return hr::kTypeNotAccepted;
  GError* error = nullptr;
  gst_message_parse_error(msg, &error, nullptr);
  HRESULT result = HResultFromGError(error);
  if (error) g_error_free(error);
  return result;
}

HRESULT HResultFromLinkReturn(GstPadLinkReturn ret) {
  switch (ret) {
    case GST_PAD_LINK_OK: return hr::kOk;
    case GST_PAD_LINK_WAS_LINKED: return hr::kAlreadyConnected;
    case GST_PAD_LINK_WRONG_DIRECTION: return hr::kInvalidDirection;
    case GST_PAD_LINK_NOFORMAT: return hr::kNoAcceptableTypes;
    default: return hr::kCannotConnect;  // wrong hierarchy, no scheduling, refused
  }
}

HRESULT HResultFromErrno(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR: return hr::kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return hr::kAccessDenied;
    case ENOSPC:
    case EDQUOT: return hr::kDiskFull;
    case EBUSY:
    case ETXTBSY: return hr::kSharingViolation;
    case ENAMETOOLONG: return hr::kFileNameTooLong;
    case EISDIR:
    case EINVAL: return hr::kInvalidName;
    case ENOMEM: return hr::kOutOfMemory;
    case EIO: return hr::kWriteFault;
    default: return hr::kFail;
  }
}

}  // namespace capture
