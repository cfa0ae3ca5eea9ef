#include "workers/ordered_output.hpp"

#include <array>
#include <string>
#include <utility>

#include "run_end/abnormal_end.hpp"

namespace vorn {

namespace {

char chunk_storage[max_chunk_slots][TextUnit::buffer_size];

template <std::size_t... Slot>
std::array<TextUnit, sizeof...(Slot)> text_chunks_on_storage(std::index_sequence<Slot...>) {
    return {TextUnit(0, -1, "chunk buffer", chunk_storage[Slot])...};
}

template <std::size_t... Slot>
std::array<ByteChunk, sizeof...(Slot)> byte_chunks_on_storage(std::index_sequence<Slot...>) {
    return {ByteChunk(chunk_storage[Slot])...};
}

std::array<TextUnit, max_chunk_slots> text_chunks = text_chunks_on_storage(std::make_index_sequence<max_chunk_slots>());
std::array<ByteChunk, max_chunk_slots> byte_chunks = byte_chunks_on_storage(std::make_index_sequence<max_chunk_slots>());

}  // namespace

void ByteChunk::overflow() {
    abnormal_end_message(" Chunk overflow:  the bytes of a chunk pass its buffer of " +
                         std::to_string(byte_chunk_size) + " bytes.");
}

TextUnit& text_chunk(int slot) { return text_chunks[static_cast<std::size_t>(slot)]; }

ByteChunk& byte_chunk(int slot) { return byte_chunks[static_cast<std::size_t>(slot)]; }

}  // namespace vorn
