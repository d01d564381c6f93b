#include "providers/factories_win.h"

namespace kalorix {

std::vector<std::unique_ptr<Provider>> CreateProviders(bool elevated) {
    std::vector<std::unique_ptr<Provider>> list;
    auto add = [&list](std::unique_ptr<Provider> p) {
        if (p) list.push_back(std::move(p));
    };
    add(CreatePerfCounterProvider());
    add(CreateGpuProvider());
    add(CreateDiskProvider());
    add(CreateSystemProvider());
    if (elevated) {
        add(CreateMsiEcProvider());
        add(CreatePawnIoProvider());
    }
    return list;
}

}  // namespace kalorix
