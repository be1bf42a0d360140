// A stand-in for the running product: a window of the product's main class
// in this process (the setup looks for the class, shown or not). Used by the
// in-process wizard tests and by the end-to-end driver.
#pragma once
#include <windows.h>

#include "common/product.h"

namespace vx::test {

class ProductWindow {
 public:
  ProductWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kProductWindowClassName;
    RegisterClassA(&windowClass);  // already there on a second use
    window_ = CreateWindowExA(0, kProductWindowClassName, "Vantorex Lite", WS_OVERLAPPEDWINDOW, 0,
                              0, 200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  ~ProductWindow() {
    if (window_) DestroyWindow(window_);
  }
  ProductWindow(const ProductWindow&) = delete;
  ProductWindow& operator=(const ProductWindow&) = delete;

  // Null when the window could not be made.
  HWND get() const { return window_; }

 private:
  HWND window_ = nullptr;
};

}  // namespace vx::test
