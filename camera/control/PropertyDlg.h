#pragma once
// The control's one property dialog, over a GStreamer element (one field per property that can be
// read and written: numbers, switches, texts, choices) or over a sheet of numeric properties the
// engine describes (capture device, crossbar, DV decoder, pins). OK applies what was changed.
#include <gst/gst.h>

#include <QDialog>

#include <functional>

class QWidget;

#include "engine/property_pages.h"

// Shows the dialog for `element`, modal over `parent`; returns the dialog's result.
int ShowElementProperties(QWidget* parent, GstElement* element);
// Shows the dialog for `sheet`, captioned with its caption; the items' apply gets changed values.
int ShowPropertySheet(QWidget* parent, capture::PropertySheet& sheet);

// Tests answer the dialog here instead of a user (null: shown modally as usual).
void SetPropertyDialogHook(std::function<int(QDialog&)> hook);
