// The program's module object: its instance and the window layer's start.
#pragma once

#include <platform/Dwm.h>
#include <platform/Resources.h>
#include <platform/User.h>

namespace atl {

class CAppModule {
 public:
  HRESULT Init(void* /*objectMap*/, HINSTANCE instance) {
    m_instance = instance != nullptr ? instance : ::GetModuleHandleW(nullptr);
    return S_OK;
  }
  void Term() {}
  HINSTANCE GetModuleInstance() const { return m_instance; }
  HINSTANCE GetResourceInstance() const { return m_instance; }

 private:
  HINSTANCE m_instance = nullptr;
};

}  // namespace atl
