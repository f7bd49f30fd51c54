// The control created by its ProgID through the component layer and hosted on a window: its window
// and capture window, the extender properties, resizing, and the library's unloading.
#include <QTest>

#include "OrnikDispIds.h"
#include "ornik_fixture.h"

using namespace com;
using orniktest::OrnikLibrary;
using orniktest::OrnikTest;

namespace {

QWidget* CaptureWindow(const ControlSite& site) {
  return site.Widget() ? site.Widget()->findChild<QWidget*>(QStringLiteral("CCaptureDlg")) : nullptr;
}
QWidget* VideoStatic(const ControlSite& site) {
  return site.Widget() ? site.Widget()->findChild<QWidget*>(QStringLiteral("CVideoStatic")) : nullptr;
}

}  // namespace

using OrnikSite = OrnikTest;

TEST_F(OrnikSite, CreatedByProgIdWithABlackWindowAndACaptureWindowOfItsSize) {
  auto site = Create({QRect(10, 20, 320, 240), true});
  ASSERT_TRUE(site);
  EXPECT_EQ(site->Clsid().ToString(), QStringLiteral("{60F42088-0B08-403D-9FAC-59F90A90EFCA}"));
  EXPECT_EQ(site->MiscStatus(), 0x20191u);
  QWidget* w = site->Widget();
  ASSERT_TRUE(w);
  EXPECT_EQ(w->parentWidget(), parent_.get());
  EXPECT_EQ(w->geometry(), QRect(10, 20, 320, 240));
  EXPECT_TRUE(w->isVisible());
  QWidget* dlg = CaptureWindow(*site);
  QWidget* video = VideoStatic(*site);
  ASSERT_TRUE(dlg);
  ASSERT_TRUE(video);
  EXPECT_EQ(dlg->geometry(), QRect(0, 0, 320, 240));
  EXPECT_EQ(video->geometry(), QRect(0, 0, 320, 240));
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_TRUE(video->isVisible());  // black while no video runs
  // The control paints its whole area black.
  const QImage shot = w->grab().toImage();
  EXPECT_EQ(shot.pixelColor(1, 1), QColor(Qt::black));
  EXPECT_EQ(shot.pixelColor(319, 239), QColor(Qt::black));
  // Members reach it by name and number.
  EXPECT_EQ(site->IdOfName(QStringLiteral("dvcpreviewon3")), 11);
  Variant r;
  EXPECT_EQ(site->Invoke(ornik::dispid::DVCGetStretchType, {}, &r), S_OK);
  EXPECT_EQ(r.I2(), 0);
}

TEST_F(OrnikSite, ExtenderPropertiesPlaceShowAndResizeTheControl) {
  auto site = Create({QRect(0, 0, 200, 150), true});
  ASSERT_TRUE(site);
  site->SetLeft(40);
  site->SetTop(30);
  EXPECT_EQ(site->Widget()->pos(), QPoint(40, 30));
  EXPECT_EQ(site->Left(), 40);
  EXPECT_EQ(site->Top(), 30);
  site->SetVisible(false);
  EXPECT_FALSE(site->Widget()->isVisible());
  EXPECT_FALSE(site->Visible());
  site->SetVisible(true);
  EXPECT_TRUE(site->Widget()->isVisible());
  // Resizing the control resizes the capture window and the static to its full area.
  site->Resize(400, 300);
  QCoreApplication::processEvents();
  EXPECT_EQ(site->Widget()->geometry(), QRect(40, 30, 400, 300));
  EXPECT_EQ(CaptureWindow(*site)->geometry(), QRect(0, 0, 400, 300));
  EXPECT_EQ(VideoStatic(*site)->geometry(), QRect(0, 0, 400, 300));
  // A resize while hidden arrives when it is shown again.
  site->SetVisible(false);
  site->Resize(160, 120);
  site->SetVisible(true);
  QCoreApplication::processEvents();
  EXPECT_EQ(CaptureWindow(*site)->size(), QSize(160, 120));
}

TEST_F(OrnikSite, AHiddenControlGetsItsWindowWhenMadeVisible) {
  auto site = Create({QRect(0, 0, 100, 80), false});
  ASSERT_TRUE(site);
  EXPECT_EQ(site->Widget(), nullptr);
  Variant r;
  ASSERT_EQ(site->Invoke(ornik::dispid::DVCSetSGMediaType, {Variant(std::int32_t(0))}, &r), S_OK);
  EXPECT_EQ(r.I4(), E_FAIL);  // no capture window yet
  site->SetVisible(true);
  ASSERT_TRUE(site->Widget());
  EXPECT_TRUE(CaptureWindow(*site));
  ASSERT_EQ(site->Invoke(ornik::dispid::DVCSetSGMediaType, {Variant(std::int32_t(0))}, &r), S_OK);
  EXPECT_EQ(r.I4(), S_OK);  // now the capture window answers
}

TEST_F(OrnikSite, ParentDestroyedFirstLeavesAControlWithoutWindow) {
  auto site = Create();
  ASSERT_TRUE(site);
  parent_.reset();
  EXPECT_EQ(site->Widget(), nullptr);
  Variant r;
  ASSERT_EQ(site->Invoke(ornik::dispid::DVCSetStretchType, {Variant(std::int16_t(1))}, &r), S_OK);
  EXPECT_EQ(r.I4(), E_FAIL);
  site.reset();  // and the site goes without touching the dead window
}

TEST_F(OrnikSite, FailuresNameTheirCause) {
  HRESULT hr = S_OK;
  EXPECT_FALSE(CreateControl(QStringLiteral("ORNIK.Nothing.1"), parent_.get(), {}, &hr));
  EXPECT_EQ(hr, CO_E_CLASSSTRING);
  // A class whose library is gone.
  ASSERT_TRUE(Registry::Update(registry_.Path(), [](Registry& r) {
    r.SetValue(QStringLiteral("ProgID\\Gone.1"), QStringLiteral("CLSID"),
               QStringLiteral("{00000000-1111-2222-3333-444444444444}"));
    r.SetValue(QStringLiteral("CLSID\\{00000000-1111-2222-3333-444444444444}"),
               QStringLiteral("InprocServer"), QStringLiteral("/nonexistent/libGone.so"));
    r.SetValue(QStringLiteral("ProgID\\NoClass.1"), QStringLiteral("CLSID"),
               QStringLiteral("{00000000-1111-2222-3333-555555555555}"));
    return true;
  }));
  EXPECT_FALSE(CreateControl(QStringLiteral("Gone.1"), parent_.get(), {}, &hr));
  EXPECT_EQ(hr, CO_E_DLLNOTFOUND);
  EXPECT_FALSE(CreateControl(QStringLiteral("NoClass.1"), parent_.get(), {}, &hr));
  EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);
  // The property page is no control.
  EXPECT_FALSE(CreateControl(QStringLiteral("ORNIK.OrnikPropPage.1"), parent_.get(), {}, &hr));
  EXPECT_EQ(hr, E_NOINTERFACE);
  // A class the library does not make.
  ASSERT_TRUE(Registry::Update(registry_.Path(), [](Registry& r) {
    r.SetValue(QStringLiteral("CLSID\\{00000000-1111-2222-3333-555555555555}"),
               QStringLiteral("InprocServer"), orniktest::OrnikLibrary());
    return true;
  }));
  EXPECT_FALSE(CreateControl(QStringLiteral("NoClass.1"), parent_.get(), {}, &hr));
  EXPECT_EQ(hr, CLASS_E_CLASSNOTAVAILABLE);
}

TEST_F(OrnikSite, TheLibraryIsUnloadedOnlyWhenItSaysItCanBe) {
  CoFreeUnusedLibraries();
  auto site = Create();
  ASSERT_TRUE(site);
  EXPECT_TRUE(IsLibraryLoaded(OrnikLibrary()));
  EXPECT_EQ(CoFreeUnusedLibraries(), 0);  // a control is alive
  EXPECT_TRUE(IsLibraryLoaded(OrnikLibrary()));

  // A locked class factory keeps it too, once the control is gone.
  Guid clsid;
  ASSERT_EQ(CLSIDFromProgID(QStringLiteral("ORNIK.OrnikCtrl.1"), &clsid), S_OK);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(CoGetClassObject(clsid, IID_IClassFactory, factory.PutVoid()), S_OK);
  site.reset();
  factory->LockServer(true);
  factory.Reset();
  EXPECT_EQ(CoFreeUnusedLibraries(), 0);
  ASSERT_EQ(CoGetClassObject(clsid, IID_IClassFactory, factory.PutVoid()), S_OK);
  factory->LockServer(false);
  factory.Reset();
  EXPECT_EQ(CoFreeUnusedLibraries(), 1);
  EXPECT_FALSE(IsLibraryLoaded(OrnikLibrary()));

  // Loaded again on demand, it works as before.
  site = Create();
  ASSERT_TRUE(site);
  Variant r;
  EXPECT_EQ(site->Invoke(ornik::dispid::DVCSetAlphaTextSlide, {Variant(std::int16_t(0)), Variant(std::int32_t(0))}, &r), S_OK);
  EXPECT_EQ(r.I4(), S_OK);
}

TEST_F(OrnikSite, PropertyPageAndSavedVersion) {
  Guid pageClsid;
  ASSERT_EQ(CLSIDFromProgID(QStringLiteral("ORNIK.OrnikPropPage.1"), &pageClsid), S_OK);
  auto site = Create();
  ASSERT_TRUE(site);
  ComPtr<ISpecifyPropertyPages> pages;
  ASSERT_EQ(ComPtr<IUnknown>(site->Control()).As(IID_ISpecifyPropertyPages, pages), S_OK);
  Guid named[2];
  std::uint32_t count = 0;
  ASSERT_EQ(pages->GetPages(named, 2, &count), S_OK);
  ASSERT_EQ(count, 1u);
  EXPECT_EQ(named[0], pageClsid);

  ComPtr<IPropertyPage> page;
  ASSERT_EQ(CoCreateInstance(pageClsid, nullptr, IID_IPropertyPage, page.PutVoid()), S_OK);
  Variant title;
  ASSERT_EQ(page->GetTitle(&title), S_OK);
  EXPECT_EQ(title.ToQString(), QStringLiteral("General"));
  QWidget* w = nullptr;
  ASSERT_EQ(page->CreatePage(parent_.get(), &w), S_OK);
  ASSERT_TRUE(w);
  EXPECT_TRUE(w->findChild<QWidget*>(QStringLiteral("placeholder")));
  EXPECT_GT(w->width(), w->height());  // 250 x 62 dialog units

  // The control saves only its version, 1.0, and loads data of any version.
  class Bag final : public IPropertyBag {
   public:
    HRESULT QueryInterface(const Guid&, void**) override { return E_NOINTERFACE; }
    std::uint32_t AddRef() override { return 2; }
    std::uint32_t Release() override { return 1; }
    HRESULT Read(const char16_t* name, Variant* v) override {
      auto it = values.find(QString::fromUtf16(name));
      if (it == values.end()) return E_INVALIDARG;
      *v = it->second;
      return S_OK;
    }
    HRESULT Write(const char16_t* name, const Variant& v) override {
      values[QString::fromUtf16(name)] = v;
      return S_OK;
    }
    std::map<QString, Variant> values;
  } bag;
  ComPtr<IPersistPropertyBag> persist;
  ASSERT_EQ(ComPtr<IUnknown>(site->Control()).As(IID_IPersistPropertyBag, persist), S_OK);
  ASSERT_EQ(persist->Save(&bag), S_OK);
  ASSERT_EQ(bag.values.size(), 1u);
  EXPECT_EQ(bag.values.begin()->second.I4(), 0x00010000);
  bag.values.begin()->second = Variant(std::int32_t(0x00020003));
  EXPECT_EQ(persist->Load(&bag), S_OK);
}
