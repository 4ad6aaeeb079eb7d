#pragma once
// Temporaries removed when the run is interrupted. A build tool stopping its
// jobs (SIGINT, SIGTERM, SIGHUP) or a reader closing its pipe (SIGPIPE) would
// otherwise leave a hidden temporary of up to the whole output beside the
// target. The handler removes every temporary still registered and then ends
// the process by the same signal, so callers still see how the run ended.
//
// The handler may only call async-signal-safe functions, so the table is a
// fixed array of names relative to open directory descriptors.

namespace interrupt {

// Installs the handler for SIGINT, SIGTERM, SIGHUP and SIGPIPE.
void install_handlers();

// Registers a temporary `name` (at most kMaxName bytes) in the directory open
// as `dir_fd`; returns its slot, or -1 when the table is full or the name too
// long (the temporary is then only removed by its owner).
inline constexpr int kMaxName = 63;
int register_temporary(int dir_fd, const char* name);

// The temporary of `slot` is no longer the table's to remove.
void forget_temporary(int slot);

// Removes every registered temporary, as the handler does.
void remove_temporaries();

}  // namespace interrupt
