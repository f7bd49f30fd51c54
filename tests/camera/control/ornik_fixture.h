#pragma once
// Shared pieces of the control's tests: a registry of the test's own, the path of the built
// library, a parent window shown offscreen, well-typed arguments for any member, and a closer for
// modal boxes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <vector>

#include "OrnikMembers.h"
#include "com/controlsite.h"
#include "com/registry.h"
#include "com/runtime.h"

namespace orniktest {

// Points the component layer at a registry file in a temporary folder for the object's life.
class TempRegistry {
 public:
  TempRegistry() : had_(qEnvironmentVariableIsSet(com::kRegistryEnv)), old_(qgetenv(com::kRegistryEnv)) {
    qputenv(com::kRegistryEnv, QFile::encodeName(Path()));
  }
  ~TempRegistry() {
    if (had_) qputenv(com::kRegistryEnv, old_);
    else qunsetenv(com::kRegistryEnv);
  }
  QString Path() const { return dir_.filePath(QStringLiteral("registry.json")); }
  QString Folder() const { return dir_.path(); }
  com::Registry Load() const {
    com::Registry reg(Path());
    EXPECT_TRUE(reg.Load());
    return reg;
  }

 private:
  QTemporaryDir dir_;
  bool had_;
  QByteArray old_;
};

// libOrnik.so of this build: VELMOR_BINARY_DIR/bin, else beside the test program.
inline QString OrnikLibrary() {
  const QString bin = qEnvironmentVariable("VELMOR_BINARY_DIR");
  return (bin.isEmpty() ? QCoreApplication::applicationDirPath() : bin + QStringLiteral("/bin")) +
         QStringLiteral("/libOrnik.so");
}

// A registered control library and a shown parent window.
class OrnikTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QString message;
    ASSERT_EQ(com::CallSelfRegistration(OrnikLibrary(), false, &message), com::S_OK)
        << message.toStdString();
    parent_ = std::make_unique<QWidget>();
    parent_->resize(640, 480);
    parent_->show();
  }
  void TearDown() override {
    parent_.reset();
    com::CoFreeUnusedLibraries();
  }

  std::unique_ptr<com::ControlSite> Create(const com::SiteOptions& options = {}) {
    com::HRESULT hr = com::E_FAIL;
    auto site = com::CreateControl(QStringLiteral("ORNIK.OrnikCtrl.1"), parent_.get(), options, &hr);
    EXPECT_EQ(hr, com::S_OK);
    return site;
  }

  TempRegistry registry_;
  std::unique_ptr<QWidget> parent_;
};

// Arguments of the declared types for a member, with references to storage large enough.
class ArgumentsFor {
 public:
  explicit ArgumentsFor(const com::Member& m) : storage_(m.params.size() * 32 + 1) {
    for (std::size_t i = 0; i < m.params.size(); ++i) {
      const com::ParamInfo& p = m.params[i];
      double* slot = &storage_[i * 32];  // 256 bytes each, aligned for any element
      if (p.byRef) {
        switch (p.type) {
          case com::VT_I2: values.push_back(com::Variant::Ref(reinterpret_cast<std::int16_t*>(slot), 1)); break;
          case com::VT_I4:
            values.push_back(com::Variant::Ref(reinterpret_cast<std::int32_t*>(slot), std::max(1u, p.minCount)));
            break;
          case com::VT_R8: values.push_back(com::Variant::Ref(slot, 1)); break;
          case com::VT_UI1: values.push_back(com::Variant::Ref(reinterpret_cast<std::uint8_t*>(slot), 256)); break;
          default: ADD_FAILURE() << "no storage for a reference of type " << p.type;
        }
        continue;
      }
      switch (p.type) {
        case com::VT_I2: values.emplace_back(std::int16_t(-1)); break;
        case com::VT_I4: values.emplace_back(std::int32_t(-1)); break;
        case com::VT_R4: values.emplace_back(0.5f); break;
        case com::VT_R8: values.emplace_back(1.0); break;
        case com::VT_BSTR: values.emplace_back(QStringLiteral("/nonexistent/ornik-test.bmp")); break;
        case com::VT_BOOL: values.push_back(com::Variant::Bool(false)); break;
        case com::VT_VARIANT: values.emplace_back(std::int32_t(0)); break;
        default: ADD_FAILURE() << "no value of type " << p.type;
      }
    }
  }
  std::vector<com::Variant> values;

 private:
  std::vector<double> storage_;
};

// Closes every modal window that opens while it lives and keeps their titles.
class ModalCloser {
 public:
  ModalCloser() {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (QWidget* w = QApplication::activeModalWidget()) {
        titles.push_back(w->windowTitle());
        w->close();
      }
    });
    timer_.start();
  }
  std::vector<QString> titles;

 private:
  QTimer timer_;
};

// The numbers of every member of the control's dispatch interface: 1 to 117 and the about box.
inline std::vector<com::DISPID> AllMemberNumbers() {
  std::vector<com::DISPID> ids;
  for (com::DISPID id = 1; id <= 117; ++id) ids.push_back(id);
  ids.push_back(-552);
  return ids;
}

}  // namespace orniktest
