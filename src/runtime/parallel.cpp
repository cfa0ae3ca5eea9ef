#include "runtime/parallel.hpp"

#include <algorithm>
#include <atomic>
#include <cfenv>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unistd.h>

#include "runtime/abnormal_end.hpp"

namespace vorn {

namespace {

constexpr int slots_per_worker = 2;
constexpr int max_slots = slots_per_worker * max_workers;
// Exceptions that do not trap, so a worker may have raised them.
constexpr int untrapped_exceptions = FE_UNDERFLOW | FE_INEXACT;

struct ChunkSlot {
    // A constructor of its own, so that the 1 MiB buffer is not zeroed at
    // start: its pages stay untouched until a chunk fills them.
    ChunkSlot() : buffer(0, -1, "chunk buffer") {}
    TextUnit buffer;
    std::int32_t filled = -1;  // the chunk the buffer holds, ready to be put out
};
ChunkSlot slots[max_slots];

int workers_for_testing = 0;
thread_local bool worker_thread = false;
thread_local std::int32_t worker_chunk = -1;  // the chunk a worker is filling

// The state of the running section, guarded by `mutex`.
struct Section {
    std::mutex mutex;
    std::condition_variable slot_freed;    // workers wait for their slot
    std::condition_variable chunk_filled;  // the caller waits for the next chunk
    std::int32_t count = 0;
    std::int32_t next_to_fill = 0;
    std::int32_t put_out = 0;  // chunks 0 .. put_out - 1 are out
    int slot_count = 0;
    ChunkFill fill = nullptr;
    const void* fill_context = nullptr;
    std::fenv_t caller_mode;
    int caller_traps = 0;
    int raised = 0;  // untrapped flags raised by the workers
    // The first chunk whose filling ended abnormally, and its report: the one
    // a run in one thread would have met first.
    std::int32_t failed_chunk = -1;
    std::string report;
} section;

void work() {
    worker_thread = true;
    std::fesetenv(&section.caller_mode);
    std::feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(section.caller_traps);
    std::unique_lock lock(section.mutex);
    while (section.next_to_fill < section.count) {
        const std::int32_t chunk = section.next_to_fill++;
        ChunkSlot& slot = slots[chunk % section.slot_count];
        // The slot is free once the chunk that used it before is out.
        section.slot_freed.wait(lock, [&] { return section.put_out > chunk - section.slot_count; });
        lock.unlock();
        slot.buffer.discard();
        worker_chunk = chunk;
        section.fill(section.fill_context, chunk, slot.buffer);
        lock.lock();
        slot.filled = chunk;
        section.chunk_filled.notify_one();
    }
    section.raised |= std::fetestexcept(untrapped_exceptions);
}

// The chunk that the calling thread is filling itself, for an abnormal end
// meanwhile.
struct CallerChunk {
    ChunkPut put = nullptr;
    const void* put_context = nullptr;
    std::int32_t chunk = 0;
} caller_chunk;

void run_in_caller(std::int32_t count, ChunkFill fill, const void* fill_context, ChunkPut put,
                   const void* put_context) {
    TextUnit& buffer = slots[0].buffer;
    for (std::int32_t chunk = 0; chunk < count; ++chunk) {
        buffer.discard();
        caller_chunk = {put, put_context, chunk};
        fill(fill_context, chunk, buffer);
        caller_chunk.put = nullptr;
        put(put_context, chunk, buffer.buffered());
    }
    buffer.discard();
}

}  // namespace

int worker_count() {
    if (workers_for_testing > 0) return workers_for_testing;
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(static_cast<int>(cores), 1, max_workers);
}

void set_worker_count_for_testing(int count) { workers_for_testing = std::clamp(count, 0, max_workers); }

void run_ordered_chunks(std::int32_t count, ChunkFill fill, const void* fill_context, ChunkPut put,
                        const void* put_context) {
    const int workers = std::min<std::int32_t>(worker_count(), count);
    if (workers <= 1) {
        run_in_caller(count, fill, fill_context, put, put_context);
        return;
    }
    {
        std::lock_guard lock(section.mutex);
        section.count = count;
        section.next_to_fill = 0;
        section.put_out = 0;
        section.slot_count = slots_per_worker * workers;
        section.fill = fill;
        section.fill_context = fill_context;
        section.raised = 0;
        section.failed_chunk = -1;
        std::fegetenv(&section.caller_mode);
        section.caller_traps = fegetexcept();
        for (ChunkSlot& slot : slots) slot.filled = -1;
    }
    std::thread threads[max_workers];
    for (int w = 0; w < workers; ++w) threads[w] = std::thread(work);
    for (std::int32_t chunk = 0; chunk < count; ++chunk) {
        ChunkSlot& slot = slots[chunk % section.slot_count];
        {
            std::unique_lock lock(section.mutex);
            section.chunk_filled.wait(lock, [&] { return slot.filled == chunk || section.failed_chunk == chunk; });
            // The records of the chunk before the failure go out first, as
            // they would have in one thread.
            if (section.failed_chunk == chunk) {
                lock.unlock();
                put(put_context, chunk, slot.buffer.buffered());
                abnormal_end_report(section.report);
            }
        }
        put(put_context, chunk, slot.buffer.buffered());
        std::lock_guard lock(section.mutex);
        slot.filled = -1;
        section.put_out = chunk + 1;
        section.slot_freed.notify_all();
    }
    for (int w = 0; w < workers; ++w) threads[w].join();
    if (section.raised != 0) std::feraiseexcept(section.raised);
}

bool in_worker_thread() { return worker_thread; }

void put_out_unfinished_chunk() {
    const CallerChunk unfinished = caller_chunk;
    // Once only, should the putting out itself end the run.
    caller_chunk.put = nullptr;
    if (unfinished.put != nullptr) unfinished.put(unfinished.put_context, unfinished.chunk, slots[0].buffer.buffered());
}

void hand_over_abnormal_end(const std::string& report) {
    {
        std::lock_guard lock(section.mutex);
        // Every chunk before this one was taken by a worker before it, so the
        // caller meets the first failed chunk whatever the timing.
        if (section.failed_chunk < 0 || worker_chunk < section.failed_chunk) {
            section.failed_chunk = worker_chunk;
            section.report = report;
        }
        section.chunk_filled.notify_all();
    }
    for (;;) pause();
}

}  // namespace vorn
