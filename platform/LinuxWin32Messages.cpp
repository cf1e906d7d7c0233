#include "platform/LinuxWin32.h"

#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace {

// Registered message numbers start where Windows starts them.
constexpr UINT firstRegisteredMessage = 0xC000;

struct MessageState {
    std::mutex mutex;
    std::map<std::string, UINT> registered;
    std::map<HWND, std::deque<MSG>> queues;
};

MessageState& State() {
    static MessageState state;
    return state;
}

bool InFilter(UINT message, UINT low, UINT high) {
    return (low == 0 && high == 0) || (message >= low && message <= high);
}

} // namespace

UINT RegisterWindowMessageA(const char* name) {
    if (name == nullptr || *name == '\0') return 0;
    auto& state = State();
    std::lock_guard lock(state.mutex);
    auto [entry, added] = state.registered.try_emplace(name, 0);
    if (added) entry->second = firstRegisteredMessage + UINT(state.registered.size() - 1);
    return entry->second;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window == nullptr) return FALSE;
    auto& state = State();
    std::lock_guard lock(state.mutex);
    state.queues[window].push_back(MSG{window, message, wParam, lParam});
    return TRUE;
}

BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlag) {
    auto& state = State();
    std::lock_guard lock(state.mutex);
    auto queue = state.queues.find(window);
    if (queue == state.queues.end()) return FALSE;
    for (auto it = queue->second.begin(); it != queue->second.end(); ++it) {
        if (!InFilter(it->message, filterMin, filterMax)) continue;
        *message = *it;
        if (removeFlag & PM_REMOVE) queue->second.erase(it);
        return TRUE;
    }
    return FALSE;
}
