#pragma once
// The one loaded window of a window class, behind the class's static instance(), IsLoaded() and
// Unload(). A weak slot: it empties itself when the window is deleted. What a window does when it
// loads and unloads stays with the window; this only holds it, and notes it in the window home so
// that one call unloads every loaded window.
#include <QPointer>

#include "common/WindowHome.h"

template <class Form>
class FormInstance {
 public:
  // The loaded window; when none is, the one `make` returns becomes it.
  template <class Make>
  Form& Get(Make make) {
    if (!slot_) Set(make());
    return *slot_;
  }

  // The same, and a window that `make` returns runs `load` once it is in the slot (so that its
  // load may unload it again: the window then stays valid until the event loop deletes it).
  template <class Make, class Load>
  Form& Get(Make make, Load load) {
    if (slot_) return *slot_;
    Form* form = make();
    Set(form);
    load(*form);
    return *form;
  }

  Form* get() const { return slot_.data(); }
  bool IsLoaded() const { return !slot_.isNull(); }
  bool Holds(const Form* form) const { return form && slot_.data() == form; }
  void Set(Form* form) {
    slot_ = form;
    if (form) windows::NoteLoaded(form, [] { Form::Unload(); });
  }

  // Empties the slot; returns the window it held (nullptr when none) for its unload steps.
  Form* Take() {
    Form* form = slot_.data();
    slot_ = nullptr;
    return form;
  }

  // Empties the slot when it holds `form` (a window going away by itself); true when it did.
  bool Release(const Form* form) {
    if (!Holds(form)) return false;
    slot_ = nullptr;
    return true;
  }

  // The unload of a dialog: out of the slot, its modal loop ended (when it runs), hidden, and
  // deleted once the event loop runs again.
  void DismissDialog() {
    if (Form* form = Take()) {
      if (form->isVisible()) form->done(0);  // rejected
      form->hide();
      form->deleteLater();
    }
  }

  // The plain unload: out of the slot, closed, and deleted once the event loop runs again.
  void CloseAndDelete() {
    if (Form* form = Take()) {
      form->close();
      form->deleteLater();
    }
  }

 private:
  QPointer<Form> slot_;
};
