#include "OrnikPropPage.h"

#include <QFontMetrics>
#include <QLabel>
#include <QWidget>

#include "OrnikApp.h"
#include "OrnikIds.h"

using namespace com;

namespace {
// The page measures 250 x 62 dialog units: a unit is a quarter of the average character width
// across and an eighth of the character height down.
constexpr int kPageWidthDlu = 250;
constexpr int kPageHeightDlu = 62;
}  // namespace

HRESULT COrnikPropPage::CreateObject(const Guid& iid, void** out) {
  auto* page = new COrnikPropPage;
  const HRESULT hr = page->QueryInterface(iid, out);
  page->Release();
  return hr;
}

COrnikPropPage::COrnikPropPage() { COrnikApp::Instance().Lock(); }

COrnikPropPage::~COrnikPropPage() { COrnikApp::Instance().Unlock(); }

HRESULT COrnikPropPage::QueryInterface(const Guid& iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IPropertyPage) {
    *out = static_cast<IPropertyPage*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

std::uint32_t COrnikPropPage::AddRef() { return ++m_refs; }

std::uint32_t COrnikPropPage::Release() {
  const std::uint32_t n = --m_refs;
  if (n == 0) delete this;
  return n;
}

HRESULT COrnikPropPage::GetTitle(Variant* title) {
  if (!title) return E_POINTER;
  *title = Variant(QString::fromLatin1(ornik::IDS_ORNIK_PPG_CAPTION));
  return S_OK;
}

HRESULT COrnikPropPage::CreatePage(QWidget* parent, QWidget** page) {
  if (!page) return E_POINTER;
  auto* w = new QWidget(parent);
  w->setObjectName(QStringLiteral("COrnikPropPage"));
  w->setWindowTitle(QString::fromLatin1(ornik::IDS_ORNIK_PPG_CAPTION));
  const QFontMetrics fm(w->font());
  w->setFixedSize(kPageWidthDlu * fm.averageCharWidth() / 4, kPageHeightDlu * fm.height() / 8);
  auto* text = new QLabel(QStringLiteral("このコントロールには設定できるプロパティはありません。"), w);
  text->setObjectName(QStringLiteral("placeholder"));
  text->setWordWrap(true);
  text->setGeometry(w->rect().adjusted(8, 8, -8, -8));
  DoDataExchange();
  *page = w;
  return S_OK;
}
