// SlowSync: makes every fsync and fdatasync of the process take longer, as on
// a disk waking from spin-down, a USB stick or a network share. Linked into a
// test it replaces the C library's calls for the whole process (Qt's saves
// too); built as slow_sync_preload it does the same for any program through
// LD_PRELOAD, taking the delay from TAMBLIN_SYNC_DELAY_MS (and the first
// sync's alone from TAMBLIN_FIRST_SYNC_DELAY_MS).
#pragma once

#include <chrono>
#include <cstdint>

namespace SlowSync {

// Every later sync first waits `delay` (0: syncs as usual).
void Delay(std::chrono::milliseconds delay);
// Only the next sync first waits `delay` (as a disk waking from spin-down),
// before any Delay; later ones as Delay says.
void DelayNext(std::chrono::milliseconds delay);
// Syncs made so far (how many the delay applied to).
int64_t Count();

}  // namespace SlowSync
