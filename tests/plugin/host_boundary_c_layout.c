/* Built as C in the normal build: the boundary header must compile as C, and C must see the same
 * layout as C++ (host_boundary_test.cpp compares them). */
#include "plugin/host_boundary.h"

#include "tests/plugin/host_boundary_c_layout.h"

size_t ZcBoundaryLayoutFromC(int index) {
    const size_t layout[] = {
        sizeof(HostValue),
        sizeof(HostValueEntry),
        sizeof(PluginLoadRecord),
        sizeof(PluginCallbacks),
        sizeof(HostContext),
        sizeof(HostApi),
        sizeof(HostEventRecord),
        sizeof(HostEventDelivery),
        offsetof(HostApi, WriteLog),
        offsetof(PluginLoadRecord, apiDescription),
        offsetof(HostValue, payload.string.length),
        offsetof(HostEventDelivery, userData),
    };
    return index >= 0 && (size_t)index < sizeof(layout) / sizeof(layout[0]) ? layout[index] : 0;
}
