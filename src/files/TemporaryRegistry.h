#pragma once

#include <array>
#include <atomic>
#include <cstddef>

// The named temporaries that writers hold right now, so that a second Ctrl-C can remove them
// just before the process ends at once. The remover runs in a signal handler or a console control
// handler, which may not allocate, lock or wait: the registry is plain fixed slots, and each
// platform's writer only says what a slot holds (a folder and a name, or a whole path).

namespace tolvren {

template <typename Payload, std::size_t kSlots = 128>
class TemporaryRegistry {
public:
    /// Claims a slot and lets `fill(Payload&)` write into it; the slot's index, or -1 when every
    /// slot is taken (that temporary is then left to its writer alone).
    template <typename Fill>
    int Register(const Fill& fill) {
        for (std::size_t i = 0; i < m_slots.size(); ++i) {
            Slot& slot = m_slots[i];
            if (!slot.claimed.exchange(true)) {
                fill(slot.payload);
                slot.used.store(true, std::memory_order_release);
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    /// Gives back the slot Register returned; -1 is ignored.
    void Unregister(int index) {
        if (index >= 0) {
            Slot& slot = m_slots[static_cast<std::size_t>(index)];
            slot.used.store(false, std::memory_order_release);
            slot.claimed.store(false);
        }
    }

    /// Calls `remove(const Payload&)` for every temporary registered now; as safe in a signal
    /// handler as `remove` is.
    template <typename Remove>
    void ForEach(const Remove& remove) const noexcept {
        for (const Slot& slot : m_slots) {
            if (slot.used.load(std::memory_order_acquire)) {
                remove(slot.payload);
            }
        }
    }

private:
    struct Slot {
        std::atomic<bool> claimed{false};
        std::atomic<bool> used{false};
        Payload payload{};
    };
    std::array<Slot, kSlots> m_slots;
};

} // namespace tolvren
