#include "PropertyDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSpinBox>

#include <climits>
#include <vector>

namespace {

std::function<int(QDialog&)>& Hook() {
  static std::function<int(QDialog&)> hook;
  return hook;
}

// One field of the dialog and how its value goes back into the element.
struct Field {
  GParamSpec* spec;
  QWidget* editor;
};

QWidget* EditorFor(GstElement* e, GParamSpec* p, QWidget* parent) {
  GValue v = G_VALUE_INIT;
  g_value_init(&v, G_PARAM_SPEC_VALUE_TYPE(p));
  g_object_get_property(G_OBJECT(e), p->name, &v);
  QWidget* editor = nullptr;
  if (G_IS_PARAM_SPEC_BOOLEAN(p)) {
    auto* box = new QCheckBox(parent);
    box->setChecked(g_value_get_boolean(&v));
    editor = box;
  } else if (G_IS_PARAM_SPEC_INT(p) || G_IS_PARAM_SPEC_UINT(p)) {
    auto* spin = new QSpinBox(parent);
    if (G_IS_PARAM_SPEC_INT(p)) {
      spin->setRange(G_PARAM_SPEC_INT(p)->minimum, G_PARAM_SPEC_INT(p)->maximum);
      spin->setValue(g_value_get_int(&v));
    } else {
      spin->setRange(int(G_PARAM_SPEC_UINT(p)->minimum), int(std::min<guint>(G_PARAM_SPEC_UINT(p)->maximum, INT_MAX)));
      spin->setValue(int(std::min<guint>(g_value_get_uint(&v), INT_MAX)));
    }
    editor = spin;
  } else if (G_IS_PARAM_SPEC_DOUBLE(p) || G_IS_PARAM_SPEC_FLOAT(p)) {
    auto* spin = new QDoubleSpinBox(parent);
    if (G_IS_PARAM_SPEC_DOUBLE(p)) {
      spin->setRange(G_PARAM_SPEC_DOUBLE(p)->minimum, G_PARAM_SPEC_DOUBLE(p)->maximum);
      spin->setValue(g_value_get_double(&v));
    } else {
      spin->setRange(G_PARAM_SPEC_FLOAT(p)->minimum, G_PARAM_SPEC_FLOAT(p)->maximum);
      spin->setValue(g_value_get_float(&v));
    }
    editor = spin;
  } else if (G_IS_PARAM_SPEC_ENUM(p)) {
    auto* combo = new QComboBox(parent);
    GEnumClass* k = G_PARAM_SPEC_ENUM(p)->enum_class;
    for (guint i = 0; i < k->n_values; ++i) {
      combo->addItem(QString::fromUtf8(k->values[i].value_nick), k->values[i].value);
      if (k->values[i].value == g_value_get_enum(&v)) combo->setCurrentIndex(int(i));
    }
    editor = combo;
  } else if (G_IS_PARAM_SPEC_STRING(p)) {
    editor = new QLineEdit(QString::fromUtf8(g_value_get_string(&v)), parent);
  }
  g_value_unset(&v);
  if (editor) editor->setObjectName(QString::fromUtf8(p->name));
  return editor;
}

void Apply(GstElement* e, const Field& f) {
  GParamSpec* p = f.spec;
  if (auto* box = qobject_cast<QCheckBox*>(f.editor)) g_object_set(e, p->name, gboolean(box->isChecked()), nullptr);
  else if (auto* spin = qobject_cast<QSpinBox*>(f.editor)) {
    if (G_IS_PARAM_SPEC_INT(p)) g_object_set(e, p->name, gint(spin->value()), nullptr);
    else g_object_set(e, p->name, guint(spin->value()), nullptr);
  } else if (auto* dspin = qobject_cast<QDoubleSpinBox*>(f.editor)) {
    if (G_IS_PARAM_SPEC_DOUBLE(p)) g_object_set(e, p->name, dspin->value(), nullptr);
    else g_object_set(e, p->name, gfloat(dspin->value()), nullptr);
  } else if (auto* combo = qobject_cast<QComboBox*>(f.editor)) {
    g_object_set(e, p->name, gint(combo->currentData().toInt()), nullptr);
  } else if (auto* line = qobject_cast<QLineEdit*>(f.editor)) {
    g_object_set(e, p->name, line->text().toUtf8().constData(), nullptr);
  }
}

// The buttons under the fields, then the dialog shown (or answered by the hook).
int Run(QDialog& dialog, QFormLayout* form) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  form->addRow(buttons);
  return Hook() ? Hook()(dialog) : dialog.exec();
}

}  // namespace

void SetPropertyDialogHook(std::function<int(QDialog&)> hook) { Hook() = std::move(hook); }

int ShowElementProperties(QWidget* parent, GstElement* element) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("PropertyDlg"));
  gchar* name = gst_object_get_name(GST_OBJECT(element));
  dialog.setWindowTitle(QString::fromUtf8(name));
  g_free(name);
  auto* form = new QFormLayout(&dialog);
  std::vector<Field> fields;
  guint count = 0;
  GParamSpec** specs = g_object_class_list_properties(G_OBJECT_GET_CLASS(element), &count);
  for (guint i = 0; i < count; ++i) {
    GParamSpec* p = specs[i];
    const bool editable = (p->flags & G_PARAM_READWRITE) == G_PARAM_READWRITE && !(p->flags & G_PARAM_CONSTRUCT_ONLY);
    if (!editable || g_str_equal(p->name, "name")) continue;
    if (QWidget* editor = EditorFor(element, p, &dialog)) {
      form->addRow(QString::fromUtf8(p->name), editor);
      fields.push_back({p, editor});
    }
  }
  g_free(specs);
  const int result = Run(dialog, form);
  if (result == QDialog::Accepted)
    for (const Field& f : fields) Apply(element, f);
  return result;
}

int ShowPropertySheet(QWidget* parent, capture::PropertySheet& sheet) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("PropertyDlg"));
  dialog.setWindowTitle(sheet.caption);
  auto* form = new QFormLayout(&dialog);
  std::vector<QSpinBox*> boxes;
  for (const capture::PropertyItem& item : sheet.items) {
    auto* box = new QSpinBox(&dialog);
    box->setObjectName(item.name);
    box->setRange(int(item.minimum), int(item.maximum));
    box->setSingleStep(int(item.step > 0 ? item.step : 1));
    box->setValue(int(item.value));
    form->addRow(item.name, box);
    boxes.push_back(box);
  }
  const int result = Run(dialog, form);
  if (result == QDialog::Accepted)
    for (std::size_t i = 0; i < boxes.size(); ++i)
      if (boxes[i]->value() != sheet.items[i].value && sheet.items[i].apply) sheet.items[i].apply(boxes[i]->value());
  return result;
}
