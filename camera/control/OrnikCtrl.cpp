#include "OrnikCtrl.h"

#include <QMessageBox>
#include <QPainter>
#include <QPaintEvent>
#include <QResizeEvent>

#include <vector>

#include "CaptureDlg.h"
#include "OrnikApp.h"
#include "OrnikDispatch.h"
#include "OrnikIds.h"
#include "OrnikMembers.h"

using namespace com;

namespace ornik {

// The control's own window: paints black and reports its size and its end to the control.
class OrnikWindow final : public QWidget {
 public:
  OrnikWindow(COrnikCtrl* ctrl, QWidget* parent) : QWidget(parent), m_ctrl(ctrl) {
    setObjectName(QStringLiteral("OrnikCtrl"));
    setAttribute(Qt::WA_OpaquePaintEvent);
  }
  ~OrnikWindow() override {
    if (m_ctrl) m_ctrl->WindowGone();
  }
  void Detach() { m_ctrl = nullptr; }

 protected:
  void paintEvent(QPaintEvent* e) override {
    QPainter p(this);
    if (m_ctrl) m_ctrl->OnDraw(p, rect(), e->rect());
  }
  void resizeEvent(QResizeEvent* e) override {
    QWidget::resizeEvent(e);
    if (m_ctrl) m_ctrl->OnSize(e->size().width(), e->size().height());
  }

 private:
  COrnikCtrl* m_ctrl;
};

}  // namespace ornik

HRESULT COrnikCtrl::CreateObject(const Guid& iid, void** out) {
  auto* ctrl = new COrnikCtrl;
  const HRESULT hr = ctrl->QueryInterface(iid, out);
  ctrl->Release();
  return hr;
}

COrnikCtrl::COrnikCtrl() : m_events(static_cast<IDispatch*>(this), ornik::DIID__DOrnikEvents) {
  COrnikApp::Instance().Lock();
}

COrnikCtrl::~COrnikCtrl() {
  m_events.DisconnectAll();
  DestroyControlWindow();
  COrnikApp::Instance().Unlock();
}

HRESULT COrnikCtrl::QueryInterface(const Guid& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == ornik::DIID__DOrnik)
    *out = static_cast<IDispatch*>(this);
  else if (iid == IID_IConnectionPointContainer)
    *out = static_cast<IConnectionPointContainer*>(this);
  else if (iid == IID_IControlWindow)
    *out = static_cast<IControlWindow*>(this);
  else if (iid == IID_IPersistPropertyBag)
    *out = static_cast<IPersistPropertyBag*>(this);
  else if (iid == IID_ISpecifyPropertyPages)
    *out = static_cast<ISpecifyPropertyPages*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

std::uint32_t COrnikCtrl::AddRef() { return ++m_refs; }

std::uint32_t COrnikCtrl::Release() {
  const std::uint32_t n = --m_refs;
  if (n == 0) delete this;
  return n;
}

HRESULT COrnikCtrl::GetIDsOfNames(const char16_t* const* names, std::uint32_t count, DISPID* ids) {
  return ornik::Members().GetIDsOfNames(names, count, ids);
}

HRESULT COrnikCtrl::Invoke(DISPID id, std::uint16_t flags, Variant* args, std::uint32_t count,
                           Variant* result, std::uint32_t* argError) {
  const Member* member = nullptr;
  Args values;
  if (HRESULT hr = ornik::Members().Prepare(id, flags, args, count, &member, &values, argError);
      Failed(hr))
    return hr;
  Variant value;
  const HRESULT hr = ornik::DispatchMember(*this, *member, values, value, argError);
  if (result) *result = std::move(value);
  return hr;
}

HRESULT COrnikCtrl::FindConnectionPoint(const Guid& iid, IConnectionPoint** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!(iid == m_events.Iid())) return CONNECT_E_NOCONNECTION;
  *out = &m_events;
  m_events.AddRef();
  return S_OK;
}

HRESULT COrnikCtrl::CreateControlWindow(QWidget* parent, const QRect& rect) {
  if (m_wnd) return S_FALSE;
  m_wnd = new ornik::OrnikWindow(this, parent);
  m_wnd->setGeometry(rect);
  if (OnCreate() != 0) {
    DestroyControlWindow();
    return E_FAIL;
  }
  return S_OK;
}

QWidget* COrnikCtrl::ControlWindow() { return m_wnd.data(); }

HRESULT COrnikCtrl::DestroyControlWindow() {
  if (!m_wnd) return S_FALSE;
  delete m_wnd.data();  // its destructor runs OnDestroy
  return S_OK;
}

void COrnikCtrl::WindowGone() {
  OnDestroy();
  if (m_wnd) m_wnd->Detach();
}

int COrnikCtrl::OnCreate() {
  if (!m_wnd) return -1;
  const int cx = m_wnd->width();
  const int cy = m_wnd->height();
  auto* dlg = new CCaptureDlg(this);
  dlg->m_nWidth = cx;
  dlg->m_nHeight = cy;
  m_pDlg = dlg;
  dlg->Create(m_wnd);
  dlg->show();
  return 0;
}

void COrnikCtrl::OnDestroy() {
  if (m_pDlg) {
    CCaptureDlg* dlg = m_pDlg;
    m_pDlg = nullptr;
    delete dlg;
  }
}

void COrnikCtrl::OnSize(int cx, int cy) {
  if (m_pDlg) m_pDlg->Resize(cx, cy);
}

void COrnikCtrl::OnDraw(QPainter& painter, const QRect& bounds, const QRect&) {
  painter.fillRect(bounds, Qt::black);
}

std::uint32_t COrnikCtrl::GetMiscStatus() const { return ornik::kMiscStatus; }

void COrnikCtrl::AboutBox() {
  QMessageBox box(QMessageBox::Information, QStringLiteral("Ornik Control のバージョン情報"),
                  QStringLiteral("Ornik Control\nバージョン 1.0"), QMessageBox::Ok,
                  m_wnd ? m_wnd->window() : nullptr);
  box.setObjectName(QStringLiteral("AboutBox"));
  box.exec();
}

HRESULT COrnikCtrl::InitNew() {
  OnResetState();
  return S_OK;
}

// The control keeps no properties of its own: only the version is exchanged, and data saved under
// any other version loads as well.
HRESULT COrnikCtrl::Load(IPropertyBag* bag) {
  if (!bag) return E_POINTER;
  Variant version;
  bag->Read(u"_Version", &version);
  return S_OK;
}

HRESULT COrnikCtrl::Save(IPropertyBag* bag) {
  if (!bag) return E_POINTER;
  return bag->Write(u"_Version", Variant(std::int32_t(ornik::kVersion)));
}

HRESULT COrnikCtrl::GetPages(Guid* pages, std::uint32_t capacity, std::uint32_t* count) {
  if (!count) return E_POINTER;
  *count = 1;
  if (capacity >= 1) {
    if (!pages) return E_POINTER;
    pages[0] = ornik::CLSID_OrnikPropPage;
  }
  return S_OK;
}

void COrnikCtrl::FireGraphNotify(short evCode) {
  Variant args[] = {Variant(std::int16_t(evCode))};
  m_events.Fire(ornik::DISPID_GraphNotify, args, 1);
}

void COrnikCtrl::FireSGCallBack(const std::uint8_t* buffer, std::int32_t size) {
  if (m_events.SinkCount() == 0) return;
  // The sinks get their own copy: the grabber's sample is read-only and lives on after the call.
  std::vector<std::uint8_t> copy;
  if (buffer && size > 0) copy.assign(buffer, buffer + size);
  Variant args[] = {Variant::Ref(copy.empty() ? nullptr : copy.data(),
                                 static_cast<std::uint32_t>(copy.size())),
                    Variant(std::int32_t(copy.size()))};
  m_events.Fire(ornik::DISPID_SGCallBack, args, 2);
}

void COrnikCtrl::FireTimelinePos(short pos) {
  Variant args[] = {Variant(std::int16_t(pos))};
  m_events.Fire(ornik::DISPID_TimelinePos, args, 1);
}
