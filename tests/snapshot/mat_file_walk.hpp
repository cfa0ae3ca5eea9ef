// A reader of the snapshot files for tests: walks the MAT-file Level 4
// records of a file from its first byte to its last and gives each record's
// header, name and elements.  The elements are read in the host's byte order,
// which the M digit of every record must announce.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::test {

struct MatRecord {
    std::int32_t type = 0;
    std::int32_t mrows = 0;
    std::int32_t ncols = 0;
    std::int32_t imagf = 0;
    std::int32_t namlen = 0;
    std::string name;
    std::size_t offset = 0;       // of the type word
    std::size_t data_offset = 0;  // of the first element
    std::size_t elements = 0;     // mrows x ncols when both are positive, else 0

    int precision() const { return (type / 10) % 10; }  // 0 double, 2 int32, 5 byte
    bool text() const { return type % 10 == 1; }
    std::size_t element_width() const { return precision() == 0 ? 8 : precision() == 2 ? 4 : 1; }
    std::size_t end() const { return data_offset + elements * element_width(); }
};

struct MatFileWalk {
    std::string bytes;
    std::vector<MatRecord> records;
    std::string problem;  // empty when every record is whole and the last one ends the file

    std::vector<std::string> names() const {
        std::vector<std::string> list;
        for (const MatRecord& r : records) list.push_back(r.name);
        return list;
    }
    // The n-th record (from 1) of that name, or nullptr.
    const MatRecord* find(std::string_view name, int occurrence = 1) const {
        for (const MatRecord& r : records)
            if (r.name == name && --occurrence == 0) return &r;
        return nullptr;
    }
    // Element k (from 0, column-major) of a record.
    std::int32_t int32_at(const MatRecord& r, std::size_t k) const {
        std::int32_t value;
        std::memcpy(&value, bytes.data() + r.data_offset + 4 * k, 4);
        return value;
    }
    double float64_at(const MatRecord& r, std::size_t k) const {
        double value;
        std::memcpy(&value, bytes.data() + r.data_offset + 8 * k, 8);
        return value;
    }
    std::string text_of(const MatRecord& r) const { return bytes.substr(r.data_offset, r.elements); }
};

inline MatFileWalk walk_mat_file(std::string bytes) {
    MatFileWalk walk;
    walk.bytes = std::move(bytes);
    const std::string& b = walk.bytes;
    const std::int32_t host_m = std::endian::native == std::endian::big ? 1 : 0;
    std::size_t at = 0;
    auto word = [&](std::int32_t& value) {
        std::memcpy(&value, b.data() + at, 4);
        at += 4;
    };
    while (at < b.size()) {
        MatRecord r;
        r.offset = at;
        if (b.size() - at < 20) {
            walk.problem = "a header is cut at offset " + std::to_string(at);
            return walk;
        }
        word(r.type);
        word(r.mrows);
        word(r.ncols);
        word(r.imagf);
        word(r.namlen);
        if (r.type / 1000 != host_m || r.namlen < 1 || b.size() - at < static_cast<std::size_t>(r.namlen)) {
            walk.problem = "a bad header at offset " + std::to_string(r.offset);
            return walk;
        }
        r.name = b.substr(at, static_cast<std::size_t>(r.namlen - 1));
        if (b[at + static_cast<std::size_t>(r.namlen) - 1] != '\0') {
            walk.problem = "no NUL after the name " + r.name;
            return walk;
        }
        at += static_cast<std::size_t>(r.namlen);
        r.data_offset = at;
        if (r.mrows > 0 && r.ncols > 0)
            r.elements = static_cast<std::size_t>(r.mrows) * static_cast<std::size_t>(r.ncols);
        if (r.end() > b.size()) {
            walk.problem = "the elements of " + r.name + " pass the end of the file";
            return walk;
        }
        at = r.end();
        walk.records.push_back(std::move(r));
    }
    return walk;
}

}  // namespace vorn::test
