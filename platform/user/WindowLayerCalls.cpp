#include "WindowLayerCalls.h"

#include <platform/Kernel.h>

#include <atomic>

namespace {

template <typename Result>
Result Gone(Result result) {
  SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return result;
}

// The layer's own answers for a handle not in its table, error numbers included.
constexpr WindowLayerCalls kNoLayer{
    [](HWND) -> BOOL { return FALSE; },
    [](HWND, LPWSTR, int) { return Gone(0); },
    [](HWND) -> BOOL { return FALSE; },
    [](HWND, int) { return Gone<LONG_PTR>(0); },
    [](HWND, LPDWORD) { return Gone<DWORD>(0); },
    [](HWND) { return Gone<HWND>(nullptr); },
    [](HWND, LPRECT) { return Gone<BOOL>(FALSE); },
    [](HWND, HRGN) { return RGN_ERROR; },
    [](HWND, HWND, int, int, int, int, UINT) { return Gone<BOOL>(FALSE); },
    [](HWND, int) { return Gone<BOOL>(FALSE); },
    [](HWND, HRGN, BOOL) { return Gone(0); },
};

std::atomic<const WindowLayerCalls*> g_layer{&kNoLayer};

}  // namespace

void SetWindowLayerCalls(const WindowLayerCalls* calls) { g_layer.store(calls, std::memory_order_release); }

const WindowLayerCalls& WindowLayer() { return *g_layer.load(std::memory_order_acquire); }
