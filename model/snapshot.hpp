// One undoable edit of the test point list. The list operations fill it;
// applying a snapshot yields its inverse.
#pragma once

#include <cstdint>
#include <vector>

#include "model/test_point.hpp"

namespace tav {

struct Snapshot {
    std::int32_t kind = 0;
    std::vector<std::int32_t> indices;
    std::vector<TestPoint> points;
};

}  // namespace tav
