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
    {gst_resource_error_quark, GST_RESOURCE_ERROR_NOT_FOUND, com::E_DEVICE_NOT_CONNECTED},
    {gst_resource_error_quark, GST_RESOURCE_ERROR_BUSY, com::E_BUSY},
    {gst_resource_error_quark, GST_RESOURCE_ERROR_OPEN_READ, com::E_ACCESSDENIED},
    {gst_resource_error_quark, GST_RESOURCE_ERROR_OPEN_WRITE, com::E_ACCESSDENIED},
    {gst_resource_error_quark, GST_RESOURCE_ERROR_OPEN_READ_WRITE, com::E_ACCESSDENIED},
    {gst_resource_error_quark, GST_RESOURCE_ERROR_NOT_AUTHORIZED, com::E_ACCESSDENIED},
    {gst_resource_error_quark, GST_RESOURCE_ERROR_READ, com::E_READ_FAULT},
    {gst_resource_error_quark, GST_RESOURCE_ERROR_WRITE, com::E_WRITE_FAULT},
    {gst_resource_error_quark, GST_RESOURCE_ERROR_NO_SPACE_LEFT, com::E_DISK_FULL},
    {gst_resource_error_quark, GST_RESOURCE_ERROR_SETTINGS, com::VFW_E_TYPE_NOT_ACCEPTED},
    {gst_resource_error_quark, -1, com::E_FAIL},
    {gst_core_error_quark, GST_CORE_ERROR_MISSING_PLUGIN, com::REGDB_E_CLASSNOTREG},
    {gst_core_error_quark, GST_CORE_ERROR_NEGOTIATION, com::VFW_E_TYPE_NOT_ACCEPTED},
    {gst_core_error_quark, GST_CORE_ERROR_STATE_CHANGE, com::VFW_E_WRONG_STATE},
    {gst_core_error_quark, GST_CORE_ERROR_NOT_IMPLEMENTED, com::E_NOTIMPL},
    {gst_core_error_quark, -1, com::VFW_E_RUNTIME_ERROR},
    {gst_library_error_quark, -1, com::E_FAIL},
    {gst_stream_error_quark, GST_STREAM_ERROR_FORMAT, com::VFW_E_TYPE_NOT_ACCEPTED},
    {gst_stream_error_quark, GST_STREAM_ERROR_WRONG_TYPE, com::VFW_E_TYPE_NOT_ACCEPTED},
    {gst_stream_error_quark, GST_STREAM_ERROR_CODEC_NOT_FOUND, com::REGDB_E_CLASSNOTREG},
    {gst_stream_error_quark, GST_STREAM_ERROR_TYPE_NOT_FOUND, com::VFW_E_INVALID_FILE_FORMAT},
    {gst_stream_error_quark, GST_STREAM_ERROR_DECODE, com::VFW_E_INVALID_FILE_FORMAT},
    {gst_stream_error_quark, GST_STREAM_ERROR_DEMUX, com::VFW_E_INVALID_FILE_FORMAT},
    {gst_stream_error_quark, GST_STREAM_ERROR_NOT_IMPLEMENTED, com::E_NOTIMPL},
    {gst_stream_error_quark, -1, com::VFW_E_RUNTIME_ERROR},
};

}  // namespace

HRESULT HResultFromGError(const GError* error) {
  if (!error) return com::E_FAIL;
  for (const ErrorRow& row : kErrorTable)
    if (error->domain == row.domain() && (row.code == -1 || row.code == error->code)) return row.result;
  return com::E_FAIL;
}

HRESULT HResultFromGstMessage(GstMessage* msg) {
  if (!msg || GST_MESSAGE_TYPE(msg) != GST_MESSAGE_ERROR) return com::E_FAIL;
  // A streaming thread that stopped on a refused format reports it as a flow error.
  const GstStructure* details = nullptr;
  gst_message_parse_error_details(msg, &details);
  gint flow = GST_FLOW_OK;
  if (details && gst_structure_get_enum(details, "flow-return", GST_TYPE_FLOW_RETURN, &flow) &&
      flow == GST_FLOW_NOT_NEGOTIATED)
    return com::VFW_E_TYPE_NOT_ACCEPTED;
  GError* error = nullptr;
  gst_message_parse_error(msg, &error, nullptr);
  HRESULT result = HResultFromGError(error);
  if (error) g_error_free(error);
  return result;
}

HRESULT HResultFromLinkReturn(GstPadLinkReturn ret) {
  switch (ret) {
    case GST_PAD_LINK_OK: return com::S_OK;
    case GST_PAD_LINK_WAS_LINKED: return com::VFW_E_ALREADY_CONNECTED;
    case GST_PAD_LINK_WRONG_DIRECTION: return com::VFW_E_INVALID_DIRECTION;
    case GST_PAD_LINK_NOFORMAT: return com::VFW_E_NO_ACCEPTABLE_TYPES;
    default: return com::VFW_E_CANNOT_CONNECT;  // wrong hierarchy, no scheduling, refused
  }
}

HRESULT HResultFromErrno(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR: return com::E_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS: return com::E_ACCESSDENIED;
    case ENOSPC:
    case EDQUOT: return com::E_DISK_FULL;
    case EBUSY:
    case ETXTBSY: return com::E_SHARING_VIOLATION;
    case ENAMETOOLONG: return com::E_FILENAME_TOO_LONG;
    case EISDIR:
    case EINVAL: return com::E_INVALID_NAME;
    case ENOMEM: return com::E_OUTOFMEMORY;
    case EIO: return com::E_WRITE_FAULT;
    default: return com::E_FAIL;
  }
}

}  // namespace capture
