#pragma once
// The login window: the program's first window. Creating it runs the start-up sequence; showing
// it probes the camera and the barcode port; a matched password opens the administration or the
// station five seconds later.
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class PictureBox;
namespace com {
class ControlSite;
}
namespace serial {
class MSComm;
}

class frmLogin : public QWidget {
  Q_OBJECT

 public:
  // The program-wide instance. A new one runs the start-up sequence and loads; when the sequence
  // fails it has shown its message, the program has been ended and nullptr is returned.
  static frmLogin* instance();
  static bool IsLoaded();
  static void Unload();

  ~frmLogin() override;

  QLineEdit* txtPassword = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;
  QLabel* lblLabels1 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* lblNow = nullptr;
  QLabel* lblUrl = nullptr;
  PictureBox* pictLogo = nullptr;
  serial::MSComm* MSComm1 = nullptr;
  std::unique_ptr<com::ControlSite> Ornikdev;
  // The 5000 ms login timer (one shot).
  QTimer* LoginTimer = nullptr;

  void frmLogin_cmdOK_Click();
  void frmLogin_cmdCancel_Click();
  void frmLogin_lblUrl_Click();
  // The login timer's procedure: opens the administration or the station and unloads the window.
  void LoginTimerProc();


 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  frmLogin();
  void BuildWindow();
  void frmLogin_Form_Load();
  void frmLogin_Form_Activate();
  void frmLogin_Form_Unload();
  long CallCamera(const char* member);
  void Matched(const QString& text, const QString& label);

  bool activated_ = false;  // the activation steps ran for this showing
  bool unloaded_ = false;
};
