// Stand-ins for a broken report library: one without Fun001, one whose
// Fun001 fails with error 42 and that has no Fun002 to describe it.
#include <cstdint>

extern "C" {
#ifdef TAV_STUB_HAS_BUILD
__attribute__((visibility("default"))) std::int32_t Fun001(const char*, const char*, std::int32_t* progress) {
    if (progress) *progress = 5;
    return 42;
}
#else
__attribute__((visibility("default"))) std::int32_t Fun002Only(std::int32_t) { return 0; }
#endif
}
