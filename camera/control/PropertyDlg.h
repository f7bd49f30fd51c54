#pragma once
// A generic property dialog over a GStreamer element: one field per property that can be read
// and written (numbers, switches, texts, choices); OK applies the changed values. It stands in
// for the property pages of compressors, audio inputs and capture devices.
#include <gst/gst.h>

#include <QDialog>

#include <functional>

class QWidget;

// Shows the dialog for `element`, modal over `parent`; returns the dialog's result.
int ShowElementProperties(QWidget* parent, GstElement* element);

// Tests answer the dialog here instead of a user (null: shown modally as usual).
void SetPropertyDialogHook(std::function<int(QDialog&)> hook);
