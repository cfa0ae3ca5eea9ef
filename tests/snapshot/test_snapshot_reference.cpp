// The modeller's reference of the snapshot, docs/snapshot.md, held against
// snapshots that the program writes: its tables name every variable of the
// file, in file order, with the file's type and shape, for the shipped example
// and the test grids; its Python example runs as written on the example's
// snapshot and prints what the file holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "snapshot/mat_file_walk.hpp"
#include "support/geometry_setup.hpp"
#include "support/test_support.hpp"

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

constexpr std::int32_t no_voxel = 100001;

std::string reference_text() { return read_file(fs::path(VORN_SOURCE_DIR) / "docs" / "snapshot.md"); }

std::string trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return "";
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

void replace_all(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// The cells of a Markdown table row "| a | b |", trimmed.
std::vector<std::string> table_cells(std::string_view line) {
    std::vector<std::string> cells;
    line.remove_prefix(1);
    if (line.ends_with('|')) line.remove_suffix(1);
    while (true) {
        const std::size_t bar = line.find('|');
        cells.push_back(trimmed(line.substr(0, bar)));
        if (bar == std::string_view::npos) return cells;
        line.remove_prefix(bar + 1);
    }
}

struct DocumentedVariable {
    std::string name;
    std::string type;        // double, int32 or text
    std::string shape;       // "rows × columns" in terms of the counts
    std::string face_count;  // the count that F stands for in the shape
};

// The variables of the reference's tables in reading order.  A variable table
// has the columns "type" and "shape"; its name columns are "name" or, in the
// face table, "p faces", "q faces" and "l faces", which the file holds one
// column after the other.
std::vector<DocumentedVariable> documented_variables(const std::string& reference) {
    std::vector<DocumentedVariable> variables;
    const std::vector<std::string> lines = split_lines(reference);
    bool in_code = false;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i].starts_with("```")) in_code = !in_code;
        if (in_code || !lines[i].starts_with("|") || !lines[i + 1].starts_with("|---")) continue;
        const std::vector<std::string> header = table_cells(lines[i]);
        const auto column = [&](std::string_view title) -> std::optional<std::size_t> {
            const auto at = std::find(header.begin(), header.end(), title);
            if (at == header.end()) return std::nullopt;
            return static_cast<std::size_t>(at - header.begin());
        };
        const auto type = column("type");
        const auto shape = column("shape");
        std::size_t end = i + 2;
        while (end < lines.size() && lines[end].starts_with("|")) ++end;
        if (type && shape)
            for (std::size_t c = 0; c < header.size(); ++c) {
                if (header[c] != "name" && !header[c].ends_with(" faces")) continue;
                const std::string face_count = header[c] == "name" ? "" : "g_f" + header[c].substr(0, 1) + "_dim";
                for (std::size_t row = i + 2; row < end; ++row) {
                    const std::vector<std::string> cells = table_cells(lines[row]);
                    std::string name = cells.size() > c ? cells[c] : "";
                    replace_all(name, "`", "");
                    variables.push_back({name, cells.size() > *type ? cells[*type] : "",
                                         cells.size() > *shape ? cells[*shape] : "", face_count});
                }
            }
        i = end - 1;
    }
    return variables;
}

// One side of a shape, such as "(gr_np - 1)*(gr_nq - 1)", evaluated over the
// counts: integers, count names, + - * and parentheses.
class CountTerm {
public:
    CountTerm(std::string_view text, const std::map<std::string, long>& counts) : text_(text), counts_(counts) {}

    // The value, or nullopt with problem() set.
    std::optional<long> value() {
        const long v = sum();
        blanks();
        if (problem_.empty() && at_ != text_.size()) problem_ = "unexpected text";
        if (!problem_.empty()) return std::nullopt;
        return v;
    }
    const std::string& problem() const { return problem_; }

private:
    void blanks() {
        while (at_ < text_.size() && text_[at_] == ' ') ++at_;
    }
    bool take(char c) {
        blanks();
        if (at_ >= text_.size() || text_[at_] != c) return false;
        ++at_;
        return true;
    }
    long sum() {
        long v = product();
        while (true) {
            if (take('+')) v += product();
            else if (take('-')) v -= product();
            else return v;
        }
    }
    long product() {
        long v = factor();
        while (take('*')) v *= factor();
        return v;
    }
    long factor() {
        if (take('(')) {
            const long v = sum();
            if (!take(')')) problem_ = "no closing parenthesis";
            return v;
        }
        blanks();
        const std::size_t start = at_;
        while (at_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[at_])) || text_[at_] == '_')) ++at_;
        const std::string word(text_.substr(start, at_ - start));
        if (word.empty()) {
            problem_ = "a count or a number expected";
            return 0;
        }
        if (std::isdigit(static_cast<unsigned char>(word[0]))) return std::stol(word);
        const auto found = counts_.find(word);
        if (found == counts_.end()) {
            problem_ = "unknown count " + word;
            return 0;
        }
        return found->second;
    }

    std::string_view text_;
    const std::map<std::string, long>& counts_;
    std::size_t at_ = 0;
    std::string problem_;
};

// The counts that the full report prints in its closing summary, one
// "name = value" a line.
std::map<std::string, long> report_counts(const std::string& report) {
    std::map<std::string, long> counts;
    for (const std::string& line : split_lines(report)) {
        const std::size_t equals = line.find(" = ");
        if (equals == std::string::npos) continue;
        const std::string name = trimmed(std::string_view(line).substr(0, equals));
        const std::string value = trimmed(std::string_view(line).substr(equals + 3));
        const bool is_name = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
            return std::islower(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)) ||
                   c == '_';
        });
        const bool is_number = !value.empty() && std::all_of(value.begin(), value.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c));
        });
        if (is_name && is_number) counts[name] = std::stol(value);
    }
    return counts;
}

std::string stored_type(const MatRecord& record) {
    if (record.text()) return "text";
    if (record.precision() == 0) return "double";
    if (record.precision() == 2) return "int32";
    return "precision " + std::to_string(record.precision());
}

// The single fenced block of that language in the reference.
std::string fenced_block(const std::string& reference, const std::string& language) {
    const std::string opening = "```" + language + "\n";
    const std::size_t start = reference.find(opening);
    if (start == std::string::npos) return "";
    const std::size_t body = start + opening.size();
    const std::size_t end = reference.find("\n```", body);
    if (end == std::string::npos || reference.find(opening, end) != std::string::npos) return "";
    return reference.substr(body, end + 1 - body);
}

double number_in(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

// The configurations held against the reference: the shipped example and
// those of tests/configs.
std::vector<std::string> reference_configs() {
    std::vector<std::string> names;
    const fs::path folder = fs::path(VORN_SOURCE_DIR) / "tests" / "configs";
    if (fs::is_directory(folder))
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().extension() == ".nml") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    names.insert(names.begin(), "example");
    return names;
}

// The program run on one configuration, in a folder of this test's own.
class SnapshotReference : public ::testing::Test {
protected:
    void run_on(const std::string& config) {
        dir_ = scratch_dir(std::string("snapshot_reference_") +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        write_file(dir_ / "master_nml", config == "example" ? example_config() : test_config(config));
        run_ = run_program(dir_);
        ASSERT_EQ(run_.exit_status, 0) << run_.err;
        file_ = walk_mat_file(read_file(dir_ / "vorn_geometry.mat"));
        ASSERT_EQ(file_.problem, "");
        reference_ = reference_text();
    }

    // A variable of the file, by name.
    const MatRecord& record(const std::string& name) const {
        const MatRecord* found = file_.find(name);
        if (found == nullptr) throw std::runtime_error("no variable " + name + " in the snapshot");
        return *found;
    }

    fs::path dir_;
    RunResult run_;
    MatFileWalk file_;
    std::string reference_;
};

class SnapshotReferenceOfGrid : public SnapshotReference, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override { run_on(GetParam()); }
};

class SnapshotReferenceOfExample : public SnapshotReference {
protected:
    void SetUp() override { run_on("example"); }
};

TEST_P(SnapshotReferenceOfGrid, NamesEveryVariableOfTheFileInFileOrder) {
    std::vector<std::string> documented;
    for (const DocumentedVariable& v : documented_variables(reference_)) documented.push_back(v.name);
    const std::vector<std::string> written = file_.names();
    const std::set<std::string> documented_set(documented.begin(), documented.end());
    const std::set<std::string> written_set(written.begin(), written.end());

    EXPECT_EQ(documented_set.size(), documented.size()) << "a name is documented twice";
    for (const std::string& name : written)
        EXPECT_TRUE(documented_set.contains(name)) << name << " is in the file but not in the reference";
    for (const std::string& name : documented)
        EXPECT_TRUE(written_set.contains(name)) << name << " is in the reference but not in the file";
    EXPECT_EQ(documented, written) << "the reference lists the variables in another order";
}

TEST_P(SnapshotReferenceOfGrid, TypesAndShapesAreThoseOfTheFile) {
    const std::map<std::string, long> counts = report_counts(run_.out);
    ASSERT_TRUE(counts.contains("g_v_dimension")) << "the report's summary was not found";
    int checked = 0;
    for (const DocumentedVariable& v : documented_variables(reference_)) {
        const MatRecord* written = file_.find(v.name);
        if (written == nullptr) continue;  // reported by the name test
        ++checked;
        EXPECT_EQ(v.type, stored_type(*written)) << v.name;

        std::string shape = v.shape;
        replace_all(shape, "`", "");
        replace_all(shape, "\u2212", "-");
        replace_all(shape, "\u00b7", "*");
        const std::size_t times = shape.find("\u00d7");
        ASSERT_NE(times, std::string::npos) << v.name << ": shape " << v.shape;
        std::map<std::string, long> terms = counts;
        if (counts.contains(v.face_count)) terms["F"] = counts.at(v.face_count);
        CountTerm rows(std::string_view(shape).substr(0, times), terms);
        CountTerm columns(std::string_view(shape).substr(times + std::string_view("\u00d7").size()), terms);
        const std::optional<long> row_count = rows.value();
        const std::optional<long> column_count = columns.value();
        ASSERT_TRUE(row_count && column_count) << v.name << ": shape " << v.shape << ": " << rows.problem()
                                               << columns.problem();
        EXPECT_EQ(*row_count, written->mrows) << v.name << ": shape " << v.shape;
        EXPECT_EQ(*column_count, written->ncols) << v.name << ": shape " << v.shape;
    }
    EXPECT_EQ(checked, static_cast<int>(file_.records.size()));
}

// The Python example prints, for each voxel on its way out along the high-p
// neighbours, "voxel K", its magnetic centre and its volume, and ends when
// the side has no voxel.  Every number must be the file's own.
TEST_F(SnapshotReferenceOfExample, PythonExampleRunsAsWrittenAndPrintsTheFileValues) {
    const std::string example = fenced_block(reference_, "python");
    ASSERT_FALSE(example.empty()) << "the reference holds no single python block";
    write_file(dir_ / "example.py", example);
    const RunResult python = run_command(dir_, {"/usr/bin/python3", "example.py"});
    ASSERT_EQ(python.exit_status, 0) << python.err;
    EXPECT_EQ(python.err, "");

    const MatRecord& radius = record("g_v_m_radius");
    const MatRecord& latitude = record("g_v_m_latitude");
    const MatRecord& longitude = record("g_v_m_longitude");
    const MatRecord& volume = record("g_v_volume");
    const MatRecord& neighbour_ph = record("g_v_neighbor_ph");
    const std::int32_t voxels = volume.ncols;

    const std::vector<std::string> lines = split_lines(python.out);
    ASSERT_GE(lines.size(), 4u) << python.out;
    std::int32_t expected_voxel = 0;  // the first voxel is the example's choice
    std::size_t at = 0;
    for (; at + 3 <= lines.size() && lines[at].starts_with("voxel "); at += 3) {
        const std::int32_t k = static_cast<std::int32_t>(std::stol(lines[at].substr(6)));
        if (expected_voxel != 0) {
            EXPECT_EQ(k, expected_voxel) << "not the high-p neighbour of the voxel before";
        }
        ASSERT_GE(k, 1);
        ASSERT_LE(k, voxels);
        const std::size_t i = static_cast<std::size_t>(k - 1);

        const std::string centre = lines[at + 1];
        const std::size_t r = centre.find("radius "), lat = centre.find("latitude "), lon = centre.find("longitude ");
        ASSERT_TRUE(centre.starts_with("  magnetic centre: ") && r != std::string::npos &&
                    lat != std::string::npos && lon != std::string::npos)
            << centre;
        EXPECT_EQ(number_in(centre.substr(r + 7)), file_.float64_at(radius, i)) << centre;
        EXPECT_EQ(number_in(centre.substr(lat + 9)), file_.float64_at(latitude, i)) << centre;
        EXPECT_EQ(number_in(centre.substr(lon + 10)), file_.float64_at(longitude, i)) << centre;

        ASSERT_TRUE(lines[at + 2].starts_with("  volume ")) << lines[at + 2];
        EXPECT_EQ(number_in(lines[at + 2].substr(9)), file_.float64_at(volume, i)) << lines[at + 2];
        expected_voxel = file_.int32_at(neighbour_ph, i);
    }
    EXPECT_GT(at, 0u) << "no voxel printed";
    EXPECT_EQ(expected_voxel, no_voxel) << "the walk stopped before the side without a voxel";
    ASSERT_EQ(at + 1, lines.size()) << python.out;
    EXPECT_EQ(lines[at], "no voxel beyond the high-p side");
}

INSTANTIATE_TEST_SUITE_P(Configs, SnapshotReferenceOfGrid, ::testing::ValuesIn(reference_configs()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
}  // namespace vorn::test
