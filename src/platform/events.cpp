// The event stream: events, and the hooks that deliver them to whoever listens.
// Nothing here knows of SDL; the translation of SDL's events lives in sdl_*_events.cpp.
#include <cstdint>
#include <stdexcept>

#include "platform/emit.h"
#include "platform/system.h"

// ---------------------------------------------------------------- events

namespace {
// User ids carry the top bit: the first is 0x80000001.
constexpr std::uint32_t kUserIdBase = 0x80000000u;
}  // namespace

std::shared_ptr<TEvent> TEvent::Create(int id, TObjectPtr source, int data, int mods, int x, int y,
                                       TObjectPtr extra) {
  auto ev = std::make_shared<TEvent>();
  ev->id = id;
  ev->source = std::move(source);
  ev->data = data;
  ev->mods = mods;
  ev->x = x;
  ev->y = y;
  ev->extra = std::move(extra);
  return ev;
}

int TEvent::AllocUserId() {
  static std::uint32_t next = kUserIdBase;
  ++next;
  return static_cast<int>(next);
}

void TEvent::Emit() {
  std::shared_ptr<TEvent> self = weak_from_this().lock();
  // An event living outside a shared_ptr still goes through the hooks, unowned.
  if (!self) self = std::shared_ptr<TEvent>(std::shared_ptr<TEvent>(), this);
  run_hooks(emit_event_hook(), self);
}

std::string TEvent::ToString() const {
  switch (id) {
    case AppSuspend: return "AppSuspend";
    case AppResume: return "AppResume";
    case AppTerminate: return "AppTerminate";
    case AppOpenFile: return "AppOpenFile";
    case AppIdle: return "AppIdle";
    case KeyDown: return "KeyDown";
    case KeyUp: return "KeyUp";
    case KeyChar: return "KeyChar";
    case KeyRepeat: return "KeyRepeat";
    case MouseDown: return "MouseDown";
    case MouseUp: return "MouseUp";
    case MouseMove: return "MouseMove";
    case MouseWheel: return "MouseWheel";
    case MouseEnter: return "MouseEnter";
    case MouseLeave: return "MouseLeave";
    case TimerTick: return "TimerTick";
    default: break;
  }
  if (id < 0) return "UserEvent" + std::to_string(static_cast<std::uint32_t>(id) - kUserIdBase);
  return "Unknown Event, id=" + std::to_string(id);
}

void emit_event(int id, int data, int x, int y) {
  TEvent::Create(id, nullptr, data, current_modifiers(), x, y)->Emit();
}

// ---------------------------------------------------------------- hooks

namespace {

constexpr int kMaxHookIds = 255;
int g_next_hook_id = 0;
std::shared_ptr<THook> g_hooks[kMaxHookIds + 1];

bool valid_hook_id(int id) { return id >= 1 && id <= kMaxHookIds; }

}  // namespace

int alloc_hook_id() {
  if (g_next_hook_id >= kMaxHookIds) throw std::runtime_error("Too many hook ids");
  return ++g_next_hook_id;
}

void add_hook(int id, THookFunc func, TObjectPtr context, int priority) {
  if (!valid_hook_id(id) || !func) return;
  auto hook = std::make_shared<THook>();
  hook->priority = priority;
  hook->func = func;
  hook->context = std::move(context);
  std::shared_ptr<THook>* link = &g_hooks[id];
  while (*link && (*link)->priority >= priority) link = &(*link)->succ;
  hook->succ = *link;
  *link = hook;
}

void remove_hook(int id, THookFunc func, TObjectPtr context) {
  if (!valid_hook_id(id)) return;
  std::shared_ptr<THook>* link = &g_hooks[id];
  while (*link) {
    if ((*link)->func == func && (*link)->context == context) {
      // The unlinked hook keeps its succ, so a run standing on it goes on from there.
      *link = (*link)->succ;
      return;
    }
    link = &(*link)->succ;
  }
}

TObjectPtr run_hooks(int id, TObjectPtr data) {
  if (!valid_hook_id(id)) return data;
  std::shared_ptr<THook> hook = g_hooks[id];
  while (hook) {
    data = hook->func(id, std::move(data), hook->context);
    hook = hook->succ;  // read after the call: a hook may add or remove others
  }
  return data;
}

int emit_event_hook() {
  static const int id = alloc_hook_id();
  return id;
}
