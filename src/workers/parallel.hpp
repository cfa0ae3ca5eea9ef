// Work spread over the processors, its results taken in order.
//
// A section is cut into chunks 0 .. count - 1 by the caller, a cut that does
// not depend on the number of threads.  Worker threads do the work of chunk
// after chunk (pure computation on records that nobody changes meanwhile,
// each chunk on its own part of a record or into its own slot); the calling
// thread alone delivers the chunks, in chunk order, while later chunks are
// still being worked on.  So every result, and the order of the results, is
// that of a run in one thread, whatever the number of workers.  One section
// runs at a time: a section started inside another (in a chunk's work or its
// delivery) ends the run abnormally.
//
// A chunk holds one of `max_chunk_slots` slots from the start of its work to
// the end of its delivery, so that what the work leaves for the delivery (the
// chunk buffers of ordered_output.hpp) is the chunk's own.  Nothing is
// allocated but the threads themselves, which start with the first section,
// on small stacks, and wait for the next one until the process ends.  A
// worker that cannot start (a limit on the user's processes or on the address
// space) leaves the work to those that did, down to the calling thread alone,
// and no other start is tried in the run.
//
// Each worker starts in the caller's floating-point mode (rounding, enabled
// traps).  The untrapped flags that a chunk's work raises are raised in the
// calling thread when it delivers the chunk, so the closing note reads as
// after a run in one thread.  Any end of the run in a worker (a trap or
// another abnormal end, a fatal stop, an orderly end) is handed to the
// calling thread, which delivers the chunks before the ending one and what
// that chunk did up to the end, then ends the run as the worker would have;
// of several ending chunks the first one counts.  So every end, too, reads as
// in one thread.
#pragma once

#include <cstdint>

namespace vorn {

inline constexpr int max_workers = 16;

// Slots of the chunks in flight: two per worker.
inline constexpr int max_chunk_slots = 2 * max_workers;

// The number of worker threads of a section: the processors the process may
// run on (workers/processors.hpp), 1 to max_workers, unless set for testing.
// With 1 the calling thread works on and delivers every chunk itself.
int worker_count();

// For tests: the number of workers from now on (1 to max_workers); 0 restores
// the count of the processors.
void set_worker_count_for_testing(int count);

// One step of a chunk: its work, or its delivery; `slot` (0 to
// max_chunk_slots - 1) is the chunk's for both.
using ChunkStep = void (*)(const void* context, std::int32_t chunk, int slot);

void run_chunks_in_order(std::int32_t count, ChunkStep work, const void* work_context, ChunkStep deliver,
                         const void* deliver_context);

// work(chunk, slot) on the workers and deliver(chunk, slot) on the calling
// thread, in chunk order, for chunks 0 .. count - 1.
template <class Work, class Deliver>
void chunks_in_order(std::int32_t count, const Work& work, const Deliver& deliver) {
    run_chunks_in_order(
        count, [](const void* w, std::int32_t chunk, int slot) { (*static_cast<const Work*>(w))(chunk, slot); },
        &work,
        [](const void* d, std::int32_t chunk, int slot) { (*static_cast<const Deliver*>(d))(chunk, slot); },
        &deliver);
}

// body(i) on the workers for i = 0 .. count - 1, for work that writes
// disjoint parts of a record and leaves nothing to deliver.
template <class Body>
void parallel_for(std::int32_t count, const Body& body) {
    chunks_in_order(count, [&](std::int32_t i, int) { body(i); }, [](std::int32_t, int) {});
}

// True in a worker thread of a section.
bool in_worker_thread();

}  // namespace vorn
