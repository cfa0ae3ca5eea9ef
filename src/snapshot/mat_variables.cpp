#include "snapshot/mat_variables.hpp"

#include "matfile/matfile.hpp"
#include "units/units.hpp"

namespace vorn {

void write_variable(const MatVariable& v) {
    // The 0/1 copy of a flag and the widened single, in static storage as the
    // writers read them.
    static std::int32_t flag;
    static double tmp;

    const char* name = v.name.data();
    const auto name_length = static_cast<std::int32_t>(v.name.size());
    switch (v.writer) {
        case MatVariable::Writer::int32:
            saveit(snapshot_unit, static_cast<const std::int32_t*>(v.data), v.ld1, v.extent1, v.extent2, name,
                   name_length);
            return;
        case MatVariable::Writer::float64:
            savemt(snapshot_unit, static_cast<const double*>(v.data), v.ld1, v.extent1, v.extent2, name,
                   name_length);
            return;
        case MatVariable::Writer::text:
            savest(snapshot_unit, static_cast<const char*>(v.data), v.ld1, v.extent1, v.extent2, name,
                   name_length);
            return;
        case MatVariable::Writer::int32_3d:
            saveit_3d(snapshot_unit, static_cast<const std::int32_t*>(v.data), v.ld1, v.ld2, v.extent1,
                      v.extent2, v.extent3, name, name_length);
            return;
        case MatVariable::Writer::float64_3d:
            savemt_3d(snapshot_unit, static_cast<const double*>(v.data), v.ld1, v.ld2, v.extent1, v.extent2,
                      v.extent3, name, name_length);
            return;
        case MatVariable::Writer::flag:
            flag = *static_cast<const bool*>(v.data) ? 1 : 0;
            saveit(snapshot_unit, &flag, 1, 1, 1, name, name_length);
            return;
        case MatVariable::Writer::widened:
            tmp = static_cast<double>(*static_cast<const float*>(v.data));
            savemt(snapshot_unit, &tmp, 1, 1, 1, name, name_length);
            return;
    }
}

void write_variables(std::span<const MatVariable> variables) {
    for (const MatVariable& v : variables) write_variable(v);
}

}  // namespace vorn
