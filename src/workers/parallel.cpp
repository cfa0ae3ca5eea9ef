#include "workers/parallel.hpp"

#include <algorithm>
#include <cfenv>
#include <condition_variable>
#include <mutex>
#include <new>
#include <pthread.h>
#include <unistd.h>

#include "run_end/abnormal_end.hpp"
#include "run_end/end_hooks.hpp"
#include "workers/processors.hpp"

namespace vorn {

namespace {

constexpr int slots_per_worker = max_chunk_slots / max_workers;

// A worker's stack.  A worker at capacity touches 8 KiB of it, and 12 KiB
// when the handler of a trapped exception builds its report on top of its
// deepest filling (the thread's own data included); the rest is margin, for
// the instrumented builds too.  Sixteen take 4 MiB of address space, where
// the system's default stacks would take 128 MiB.
constexpr std::size_t worker_stack_size = 256 * 1024;

struct ChunkSlot {
    std::int32_t done = -1;  // the chunk whose work is done, ready to be delivered
    int raised = 0;          // the untrapped flags that its work raised
};
ChunkSlot slots[max_chunk_slots];

int workers_for_testing = 0;
bool section_running = false;  // the calling thread is in a section
thread_local bool worker_thread = false;
thread_local std::int32_t worker_chunk = -1;  // the chunk a worker works on

// What a worker needs at its start: its index, and the sections started
// before it, which are not its own.
struct WorkerStart {
    int index;
    std::uint64_t sections_before;
};

// The workers stay for the run, waiting for the next section; the pool is
// built in place and never destroyed, so that the end of the run does not
// wait for them.  A forked child has none of them and starts its own.
struct Pool {
    std::mutex mutex;
    std::condition_variable section_started;  // workers wait for a section
    std::condition_variable slot_freed;       // workers wait for their slot
    std::condition_variable chunk_done;       // the caller waits for the next chunk
    std::condition_variable worker_done;      // the caller waits for the workers' end
    int processors = 0;                       // the workers a section wants; 0 until known
    int threads = 0;                          // workers started
    bool start_failed = false;                // a worker could not start: no other is tried
    WorkerStart starts[max_workers];
    std::uint64_t section = 0;                // sections started
    int participants = 0;                     // workers of the section
    int done = 0;                             // of them, those that finished it
    int handed_over = 0;                      // of them, those that handed an end of the run over
    bool stopping = false;                    // the run ends: no worker takes another chunk
    std::int32_t count = 0;
    std::int32_t next_to_work = 0;
    std::int32_t delivered = 0;  // chunks 0 .. delivered - 1 are delivered
    int slot_count = 0;
    ChunkStep work = nullptr;
    const void* work_context = nullptr;
    std::fenv_t caller_mode;
    int caller_traps = 0;
    int untrapped = 0;  // the flags a chunk may raise and hand back
    // The first chunk that ended the run, with its end and the flags it raised
    // before: the end that a run in one thread would have met first.
    std::int32_t ending_chunk = -1;
    RunEnd end = nullptr;
    const void* end_context = nullptr;
    int ending_raised = 0;
};
alignas(Pool) unsigned char pool_storage[sizeof(Pool)];
Pool* pool = nullptr;

void start_pool() { pool = new (pool_storage) Pool; }

Pool& the_pool() {
    if (pool == nullptr) {
        start_pool();
        pthread_atfork(nullptr, nullptr, start_pool);
    }
    return *pool;
}

// Works on chunks of the section until none is left or the run ends.
void work_on_chunks(Pool& p, std::unique_lock<std::mutex>& lock) {
    while (!p.stopping && p.next_to_work < p.count) {
        const std::int32_t chunk = p.next_to_work++;
        const int slot_index = chunk % p.slot_count;
        ChunkSlot& slot = slots[slot_index];
        // The slot is free once the chunk that held it before is delivered.
        p.slot_freed.wait(lock, [&] { return p.delivered > chunk - p.slot_count || p.stopping; });
        if (p.stopping) return;
        lock.unlock();
        worker_chunk = chunk;
        std::feclearexcept(FE_ALL_EXCEPT);
        p.work(p.work_context, chunk, slot_index);
        const int raised = std::fetestexcept(p.untrapped);
        lock.lock();
        slot.raised = raised;
        slot.done = chunk;
        p.chunk_done.notify_one();
    }
}

void* work(void* start) {
    const WorkerStart& own = *static_cast<const WorkerStart*>(start);
    worker_thread = true;
    // The name that ps, top and debuggers show.
    pthread_setname_np(pthread_self(), "vorn_worker");
    Pool& p = *pool;
    std::unique_lock lock(p.mutex);
    for (std::uint64_t seen = own.sections_before;;) {
        p.section_started.wait(lock, [&] { return p.section != seen; });
        seen = p.section;
        if (own.index >= p.participants) continue;
        std::fesetenv(&p.caller_mode);
        feenableexcept(p.caller_traps);
        work_on_chunks(p, lock);
        ++p.done;
        p.worker_done.notify_one();
    }
}

// Starts workers up to `wanted` (under the pool's lock); returns how many the
// section has.  A start that fails, for want of a process or of address space
// for the stack, leaves the pool as it is for the rest of the run.
int start_workers(Pool& p, int wanted) {
    if (p.threads < wanted && !p.start_failed) {
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        pthread_attr_setstacksize(&attributes, worker_stack_size);
        pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
        for (; p.threads < wanted; ++p.threads) {
            p.starts[p.threads] = {p.threads, p.section};
            pthread_t thread;
            if (pthread_create(&thread, &attributes, work, &p.starts[p.threads]) != 0) {
                p.start_failed = true;
                break;
            }
        }
        pthread_attr_destroy(&attributes);
    }
    return std::min(wanted, p.threads);
}

// Lets every worker of a section leave its chunk, or hand an end over, and
// take no other, so that none is at work while the run ends.
void stop_workers(Pool& p) {
    std::unique_lock lock(p.mutex);
    p.stopping = true;
    p.slot_freed.notify_all();
    p.worker_done.wait(lock, [&] { return p.done + p.handed_over == p.participants; });
}

// From a worker: hands the end to the calling thread, unless an earlier chunk
// ended the run already, and waits for the end.
[[noreturn]] void hand_over(Pool& p, RunEnd end, const void* context) {
    const int raised = std::fetestexcept(p.untrapped);
    {
        std::lock_guard lock(p.mutex);
        // Every chunk before this one was taken by a worker before it, so the
        // caller meets the first ending chunk whatever the timing.
        if (p.ending_chunk < 0 || worker_chunk < p.ending_chunk) {
            p.ending_chunk = worker_chunk;
            p.end = end;
            p.end_context = context;
            p.ending_raised = raised;
        }
        ++p.handed_over;
        p.chunk_done.notify_all();
        p.worker_done.notify_one();
    }
    for (;;) pause();
}

// The chunk that the calling thread works on itself, in slot 0, for an end
// of the run meanwhile.
struct CallerChunk {
    ChunkStep deliver = nullptr;
    const void* deliver_context = nullptr;
    std::int32_t chunk = 0;
} caller_chunk;

void run_in_caller(std::int32_t count, ChunkStep work, const void* work_context, ChunkStep deliver,
                   const void* deliver_context) {
    for (std::int32_t chunk = 0; chunk < count; ++chunk) {
        caller_chunk = {deliver, deliver_context, chunk};
        work(work_context, chunk, 0);
        caller_chunk.deliver = nullptr;
        deliver(deliver_context, chunk, 0);
    }
}

void run_on_workers(Pool& p, int workers, std::int32_t count, ChunkStep work, const void* work_context,
                    ChunkStep deliver, const void* deliver_context) {
    {
        std::lock_guard lock(p.mutex);
        p.count = count;
        p.next_to_work = 0;
        p.delivered = 0;
        p.slot_count = slots_per_worker * workers;
        p.work = work;
        p.work_context = work_context;
        p.ending_chunk = -1;
        p.participants = workers;
        p.done = 0;
        p.handed_over = 0;
        p.stopping = false;
        std::fegetenv(&p.caller_mode);
        p.caller_traps = fegetexcept();
        p.untrapped = FE_ALL_EXCEPT & ~p.caller_traps;
        for (ChunkSlot& slot : slots) slot.done = -1;
        ++p.section;
        p.section_started.notify_all();
    }
    for (std::int32_t chunk = 0; chunk < count; ++chunk) {
        const int slot_index = chunk % p.slot_count;
        ChunkSlot& slot = slots[slot_index];
        {
            std::unique_lock lock(p.mutex);
            p.chunk_done.wait(lock, [&] { return slot.done == chunk || p.ending_chunk == chunk; });
            // What the chunk did before its end is delivered first, as it
            // would have been in one thread.
            if (p.ending_chunk == chunk) {
                lock.unlock();
                if (p.ending_raised != 0) std::feraiseexcept(p.ending_raised);
                deliver(deliver_context, chunk, slot_index);
                p.end(p.end_context);
            }
        }
        if (slot.raised != 0) std::feraiseexcept(slot.raised);
        deliver(deliver_context, chunk, slot_index);
        std::lock_guard lock(p.mutex);
        slot.done = -1;
        p.delivered = chunk + 1;
        p.slot_freed.notify_all();
    }
    // The section's functions and slots are the caller's until every worker
    // has left it.
    std::unique_lock lock(p.mutex);
    p.worker_done.wait(lock, [&] { return p.done == p.participants; });
}

// The workers' end hook, the first step of every end of the run.  In a
// worker thread: hands end(context) to the calling thread, which calls it once
// the chunks before this one are delivered, and waits for that end (the
// worker's frames, and so `context`, stay as they are).  In the calling
// thread: lets every worker leave its chunk and take no other, delivers what a
// chunk that it works on itself did up to the end, as a run without chunks
// would have, and returns, so that the caller ends the run.
void hand_over_to_calling_thread(RunEnd end, const void* context) {
    if (worker_thread) hand_over(*pool, end, context);
    if (pool != nullptr) stop_workers(*pool);
    const CallerChunk unfinished = caller_chunk;
    // Once only, should the putting out itself end the run.
    caller_chunk.deliver = nullptr;
    if (unfinished.deliver != nullptr) unfinished.deliver(unfinished.deliver_context, unfinished.chunk, 0);
}

}  // namespace

int worker_count() {
    if (workers_for_testing > 0) return workers_for_testing;
    Pool& p = the_pool();
    if (p.processors == 0) p.processors = std::clamp(usable_processors(), 1, max_workers);
    return p.processors;
}

void set_worker_count_for_testing(int count) { workers_for_testing = std::clamp(count, 0, max_workers); }

void run_chunks_in_order(std::int32_t count, ChunkStep work, const void* work_context, ChunkStep deliver,
                         const void* deliver_context) {
    // The chunks of a section rely on records that nobody changes meanwhile,
    // and the chunk slots are the section's own.
    add_end_hooks({.hand_over = hand_over_to_calling_thread});
    if (worker_thread || section_running)
        abnormal_end_message(
            " Nested section:  a section of chunks was started inside another one.\n"
            " Sections run one at a time, from the thread that runs the program.");
    section_running = true;
    int workers = std::min<std::int32_t>(worker_count(), count);
    if (workers > 1) {
        Pool& p = the_pool();
        {
            std::lock_guard lock(p.mutex);
            workers = start_workers(p, workers);
        }
        if (workers > 1) run_on_workers(p, workers, count, work, work_context, deliver, deliver_context);
    }
    if (workers <= 1) run_in_caller(count, work, work_context, deliver, deliver_context);
    section_running = false;
}

bool in_worker_thread() { return worker_thread; }


}  // namespace vorn
