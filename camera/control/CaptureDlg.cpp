#include "CaptureDlg.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QPainter>
#include <QTimerEvent>

#include <algorithm>

#include "CaptureEngineSlot.h"
#include "OrnikCtrl.h"
#include "engine/capture_engine.h"

namespace {

class GraphEvent final : public QEvent {
 public:
  explicit GraphEvent(qintptr data) : QEvent(CCaptureDlg::kGraphEvent), instanceData(data) {}
  qintptr instanceData;
};

constexpr int kMinTimerPeriodMs = 10;
constexpr long kEcComplete = 1;
constexpr long kEcPaused = 14;

}  // namespace

CVideoStatic::CVideoStatic(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("CVideoStatic"));
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CVideoStatic::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Qt::black);
}

CCaptureDlg::CCaptureDlg(COrnikCtrl* owner)
    : m_pOwner(owner), m_video(new CVideoStatic(this)), m_bridge(std::make_unique<DlgBridge>(*this)) {
  setObjectName(QStringLiteral("CCaptureDlg"));
  m_video->setGeometry(7, 7, 20, 20);
}

CCaptureDlg::~CCaptureDlg() {
  m_slideTimer.stop();
  m_engine.reset();  // the engine goes first, the static and the window after it
}

void CCaptureDlg::Create(QWidget* parent) {
  setParent(parent);
  OnInitDialog();
}

bool CCaptureDlg::OnInitDialog() {
  setGeometry(0, 0, m_nWidth, m_nHeight);
  m_video->setGeometry(0, 0, m_nWidth, m_nHeight);
  EngineSetOwner();
  SelectDefaultDevices();
  return true;
}

void CCaptureDlg::Resize(int cx, int cy) {
  m_nWidth = cx;
  m_nHeight = cy;
  setGeometry(0, 0, cx, cy);
  m_video->setGeometry(0, 0, cx, cy);
  update();
  EngineLayout();
}

void CCaptureDlg::ShowVideoStatic(bool show) {
  m_video->setVisible(show);
  update();
}

void CCaptureDlg::SelectDefaultDevices() { EngineSelectDefaults(); }

// A period below 10 ms is taken as 10 ms, as window timers do: a zero period would spin.
void CCaptureDlg::StartSlideTimer(int periodMs) {
  m_slideTimer.start(std::max(periodMs, kMinTimerPeriodMs), this);  // replaces a running one
}

void CCaptureDlg::StopSlideTimer() { m_slideTimer.stop(); }

void CCaptureDlg::PostGraphEvent(qintptr instanceData) {
  QCoreApplication::postEvent(this, new GraphEvent(instanceData));
}

CCaptureEngine* CCaptureDlg::Engine() {
  if (!m_engine) m_engine = std::make_unique<CCaptureEngine>();
  return m_engine.get();
}

bool CCaptureDlg::event(QEvent* e) {
  if (e->type() == kGraphEvent) {
    OnGraphEvent(static_cast<GraphEvent*>(e)->instanceData);
    return true;
  }
  return QWidget::event(e);
}

// Drains every pending graph event; only graphs that registered instance data reach the host.
// A host may unload the control from inside GraphNotify: the window is looked at again only
// when it still exists.
void CCaptureDlg::OnGraphEvent(qintptr instanceData) {
  QPointer<CCaptureDlg> self(this);
  long code = 0;
  while (self && EngineNextEvent(&code)) {
    if (code == kEcComplete) {
      EngineOnComplete();
      if (instanceData && m_pOwner) m_pOwner->FireGraphNotify(static_cast<short>(kEcComplete));
    } else if (code == kEcPaused) {
      EngineOnPaused();
      if (instanceData && m_pOwner) m_pOwner->FireGraphNotify(static_cast<short>(kEcPaused));
    }
  }
}

void CCaptureDlg::timerEvent(QTimerEvent* e) {
  if (e->timerId() == m_slideTimer.timerId()) {
    if (com::Failed(EngineSlideText())) m_slideTimer.stop();
    return;
  }
  QWidget::timerEvent(e);
}

void CCaptureDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  EngineRepaint(p);
}

// Enter and Escape never close or hide the capture window, and do not reach the host's window.
void CCaptureDlg::keyPressEvent(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      e->accept();
      return;
    default:
      QWidget::keyPressEvent(e);
  }
}
