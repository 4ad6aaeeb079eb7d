#include "interrupt.hpp"

#include <array>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace interrupt {
namespace {

// One run makes two temporaries at most (the output and the dependency file).
constexpr int kSlots = 8;

struct Slot {
    volatile std::sig_atomic_t used = 0;  // set last, cleared first
    int dir_fd = -1;
    char name[kMaxName + 1] = {};
};

std::array<Slot, kSlots> slots;

constexpr std::array kSignals = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

void on_signal(int signal) {
    remove_temporaries();
    // SA_RESETHAND put back the default action; the signal stays blocked
    // until the handler returns, then ends the process as it would have.
    raise(signal);
}

}  // namespace

void install_handlers() {
    struct sigaction action = {};
    action.sa_handler = on_signal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    // While one signal cleans up, the others wait.
    for (int signal : kSignals) sigaddset(&action.sa_mask, signal);
    for (int signal : kSignals) {
        struct sigaction previous = {};
        // A signal ignored by whoever started the run stays ignored.
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
}

int register_temporary(int dir_fd, const char* name) {
    if (std::strlen(name) > static_cast<std::size_t>(kMaxName)) return -1;
    for (int i = 0; i < kSlots; ++i) {
        Slot& slot = slots[static_cast<std::size_t>(i)];
        if (slot.used) continue;
        slot.dir_fd = dir_fd;
        std::strcpy(slot.name, name);
        slot.used = 1;
        return i;
    }
    return -1;
}

void forget_temporary(int slot) {
    if (slot >= 0 && slot < kSlots) slots[static_cast<std::size_t>(slot)].used = 0;
}

void remove_temporaries() {
    for (Slot& slot : slots) {
        if (slot.used) unlinkat(slot.dir_fd, slot.name, 0);
    }
}

}  // namespace interrupt
