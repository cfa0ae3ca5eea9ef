// Work spread over the processors, its output kept in order.
//
// A section of the output is cut into chunks 0 .. count - 1 by the caller, a
// cut that does not depend on the number of threads.  Worker threads fill
// chunk after chunk, each into a buffer of its own (pure computation and
// formatting on records that nobody changes meanwhile); the calling thread
// alone puts the chunks out, in chunk order, while later chunks are still
// being filled.  So every byte, and the order of the bytes, is that of a run
// in one thread, whatever the number of workers.  One section runs at a time:
// a section started inside another (in a chunk's filling or putting out)
// ends the run abnormally.
//
// A chunk buffer is a text unit connected to no file: a chunk holds at most
// TextUnit::buffer_size characters (1 MiB), since a record that does not fit
// ends the run abnormally (WRITE on an unconnected unit).  There are two
// buffers per worker, in static storage; nothing is allocated but the
// threads themselves, which start with the first section, on small stacks,
// and wait for the next one until the process ends.  A worker that cannot
// start (a limit on the user's processes or on the address space) leaves the
// work to those that did, down to the calling thread alone, and no other
// start is tried in the run.
//
// Each worker starts in the caller's floating-point mode (rounding, enabled
// traps).  The untrapped flags that a chunk's filling raises are raised in
// the calling thread when it puts the chunk out, so the closing note reads as
// after a run in one thread.  Any end of the run in a worker (a trap or
// another abnormal end, a fatal stop, an orderly end) is handed to the
// calling thread, which puts out the chunks before the ending one and that
// chunk's records up to the end, then ends the run as the worker would have;
// of several ending chunks the first one counts.  So every end, too, reads as
// in one thread.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/units.hpp"

namespace vorn {

inline constexpr int max_workers = 16;

// The number of worker threads of a section: the processors the process may
// run on (runtime/processors.hpp), 1 to max_workers, unless set for testing.
// With 1 the calling thread fills and puts out every chunk itself.
int worker_count();

// For tests: the number of workers from now on (1 to max_workers); 0 restores
// the count of the processors.
void set_worker_count_for_testing(int count);

// Fills chunk `chunk` into `buffer` (empty at the call); puts out the
// characters of one filled chunk.
using ChunkFill = void (*)(const void* context, std::int32_t chunk, TextUnit& buffer);
using ChunkPut = void (*)(const void* context, std::int32_t chunk, std::string_view characters);

void run_ordered_chunks(std::int32_t count, ChunkFill fill, const void* fill_context, ChunkPut put,
                        const void* put_context);

// fill(chunk, buffer) on the workers and put(chunk, characters) on the
// calling thread, in chunk order, for chunks 0 .. count - 1.
template <class Fill, class Put>
void ordered_chunks(std::int32_t count, const Fill& fill, const Put& put) {
    run_ordered_chunks(
        count,
        [](const void* f, std::int32_t chunk, TextUnit& buffer) { (*static_cast<const Fill*>(f))(chunk, buffer); },
        &fill,
        [](const void* p, std::int32_t chunk, std::string_view characters) {
            (*static_cast<const Put*>(p))(chunk, characters);
        },
        &put);
}

// fill(chunk) on the workers for chunks 0 .. count - 1, for work that puts
// nothing out (it writes disjoint parts of a record).
template <class Fill>
void parallel_chunks(std::int32_t count, const Fill& fill) {
    ordered_chunks(
        count, [&](std::int32_t chunk, TextUnit&) { fill(chunk); }, [](std::int32_t, std::string_view) {});
}

// True in a worker thread of a section.
bool in_worker_thread();

// An end of the run, called with its context: it does not return.
using RunEnd = void (*)(const void* context);

// The first step of every end of the run.  In a worker thread: hands
// end(context) to the calling thread, which calls it once the chunks before
// this one are out, and waits for that end (the worker's frames, and so
// `context`, stay as they are).  In the calling thread: lets every worker
// leave its chunk and take no other, puts out the records of a chunk that it
// fills itself up to the end, as a run without chunks would have written
// them, and returns, so that the caller ends the run.
void before_end_of_run(RunEnd end, const void* context);

}  // namespace vorn
