#pragma once
// The control's property page: a placeholder page captioned "General" with no editable fields.
#include <atomic>

#include "com/unknown.h"

class COrnikPropPage final : public com::IPropertyPage {
 public:
  static com::HRESULT CreateObject(const com::Guid& iid, void** out);

  COrnikPropPage();
  COrnikPropPage(const COrnikPropPage&) = delete;
  COrnikPropPage& operator=(const COrnikPropPage&) = delete;

  com::HRESULT QueryInterface(const com::Guid& iid, void** out) override;
  std::uint32_t AddRef() override;
  std::uint32_t Release() override;
  com::HRESULT GetTitle(com::Variant* title) override;
  com::HRESULT CreatePage(QWidget* parent, QWidget** page) override;

  // The page's data exchange: the page has no fields.
  void DoDataExchange() {}

 private:
  ~COrnikPropPage();
  std::atomic<std::uint32_t> m_refs{1};
};
