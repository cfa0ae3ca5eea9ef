#include "units/units.hpp"

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "run_end/abnormal_end.hpp"
#include "run_end/end_hooks.hpp"
#include "units/config_file.hpp"
#include "units/descriptors.hpp"

namespace vorn {

namespace {

char standard_output_buffer[TextUnit::buffer_size];
char error_file_buffer[TextUnit::buffer_size];
TextUnit standard_output(output_unit, STDOUT_FILENO, "stdout", standard_output_buffer);
TextUnit error_file(error_unit, -1, error_file_name, error_file_buffer);

void flush_text_units(bool quiet) {
    if (quiet) {
        standard_output.flush_quietly();
        error_file.flush_quietly();
        return;
    }
    standard_output.flush();
    if (error_file.connected()) error_file.flush();
}

// Units 6 and 7 take part in every end of the run from the start.
[[maybe_unused]] const bool text_units_end_hooks = (add_end_hooks({.flush = flush_text_units}), true);

}  // namespace

TextUnit& text_unit(int unit, const SourceLocation& where) {
    if (unit == output_unit) return standard_output;
    if (unit == error_unit && error_file.connected()) return error_file;
    abnormal_end_io({Statement::write, unit, unit == error_unit ? error_file_name : std::string_view(), where},
                    unit_not_connected, unit_not_connected_text);
}

void open_error_file(const SourceLocation& where) {
    const std::string name(error_file_name);
    int fd = open_descriptor(name.c_str(), O_WRONLY | O_CREAT);
    if (fd < 0) abnormal_end_io({Statement::open, error_unit, error_file_name, where}, errno);
    error_file.connect(fd, error_file_name, true);
}

void close_unit(int unit, const SourceLocation& where) {
    if (unit == config_unit) {
        close_config_file(where);
        return;
    }
    if (unit == error_unit) {
        if (error_file.connected()) error_file.close(where);
        return;
    }
    if (unit == output_unit) standard_output.flush(where);
}

std::string_view run_file_named_by(dev_t device, ino_t inode) {
    struct HeldFile {
        int fd;
        std::string_view name;
    };
    const HeldFile held[] = {{STDIN_FILENO, "standard input"},
                             {STDOUT_FILENO, "standard output"},
                             {STDERR_FILENO, "standard error"},
                             {config_file_descriptor(), config_file_name},
                             {error_file.descriptor(), error_file_name}};
    for (const HeldFile& file : held) {
        struct stat status;
        if (file.fd >= 0 && fstat(file.fd, &status) == 0 && status.st_dev == device && status.st_ino == inode)
            return file.name;
    }
    return {};
}

}  // namespace vorn
