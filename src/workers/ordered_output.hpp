// Output of a section in chunks, for the writers: each chunk's text or bytes
// are gathered on the workers into a chunk buffer of its own and put out by
// the calling thread in chunk order (parallel.hpp), so the output is the
// bytes of a run in one thread, whatever the number of workers.
//
// A text chunk is a text unit connected to no file: it holds at most
// TextUnit::buffer_size characters (1 MiB), since a record that does not fit
// ends the run abnormally (WRITE on an unconnected unit).  A byte chunk holds
// at most byte_chunk_size bytes; its writer cuts its chunks to fit, and more
// ends the run abnormally.  Text and byte chunks share one static storage,
// a buffer per chunk slot, untouched until a chunk fills it: one section runs
// at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "units/units.hpp"
#include "workers/parallel.hpp"

namespace vorn {

inline constexpr std::size_t byte_chunk_size = TextUnit::buffer_size;

// Binary output of one chunk: bytes in the order they are put.
class ByteChunk {
public:
    explicit ByteChunk(std::span<char, byte_chunk_size> storage) : data_(storage.data()) {}

    void put(const void* bytes, std::size_t count) {
        if (count > byte_chunk_size - used_) overflow();
        std::memcpy(data_ + used_, bytes, count);
        used_ += count;
    }
    // The bytes put since the chunk was emptied, and its emptying, as a text
    // unit's.
    std::span<const char> buffered() const { return {data_, used_}; }
    void discard() { used_ = 0; }

private:
    [[noreturn]] static void overflow();

    char* data_;
    std::size_t used_ = 0;
};

// The chunk buffers of slot `slot` (0 to max_chunk_slots - 1).
TextUnit& text_chunk(int slot);
ByteChunk& byte_chunk(int slot);

// fill(chunk, buffer) on the workers, with the chunk's buffer of
// `buffer_of(slot)` emptied, and put(chunk, buffered) on the calling thread in
// chunk order, for chunks 0 .. count - 1.
template <class Buffer, class Fill, class Put>
void ordered_chunks(std::int32_t count, Buffer& (*buffer_of)(int slot), const Fill& fill, const Put& put) {
    chunks_in_order(
        count,
        [&](std::int32_t chunk, int slot) {
            Buffer& buffer = buffer_of(slot);
            buffer.discard();
            fill(chunk, buffer);
        },
        [&](std::int32_t chunk, int slot) { put(chunk, buffer_of(slot).buffered()); });
}

// Text chunks: fill(chunk, TextUnit&), put(chunk, std::string_view).
template <class Fill, class Put>
void ordered_text_chunks(std::int32_t count, const Fill& fill, const Put& put) {
    ordered_chunks(count, text_chunk, fill, put);
}

// Byte chunks: fill(chunk, ByteChunk&), put(chunk, std::span<const char>).
template <class Fill, class Put>
void ordered_byte_chunks(std::int32_t count, const Fill& fill, const Put& put) {
    ordered_chunks(count, byte_chunk, fill, put);
}

}  // namespace vorn
