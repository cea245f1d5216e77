#include "app/lock_key_state.h"

#include <QGuiApplication>

#if defined(TARNWICK_HAVE_XKB)
#include <X11/XKBlib.h>
#endif

namespace tarnwick {

#if defined(TARNWICK_HAVE_XKB) && QT_CONFIG(xcb)

namespace {

// Indicators are looked up by name: their bit positions depend on the keymap.
bool IndicatorOn(Display* display, const char* name) {
  const Atom atom = XInternAtom(display, name, True);
  if (atom == None) return false;
  Bool on = False;
  if (!XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr)) return false;
  return on == True;
}

}  // namespace

std::optional<LockKeyState> QueryLockKeyState() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  Display* display = x11 ? x11->display() : nullptr;
  if (display == nullptr) return std::nullopt;  // offscreen, Wayland, ...
  LockKeyState state;
  state.bCapsLock = IndicatorOn(display, "Caps Lock");
  state.bNumLock = IndicatorOn(display, "Num Lock");
  state.bScrollLock = IndicatorOn(display, "Scroll Lock");
  return state;
}

#else

std::optional<LockKeyState> QueryLockKeyState() { return std::nullopt; }

#endif

}  // namespace tarnwick
