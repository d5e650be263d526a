// What the document tells its surroundings: log lines, the wait cursor and
// refreshes. The window implements it; tavtool and tests use the silent one.
#pragma once

#include <string_view>

namespace tav {

class DocumentEvents {
public:
    virtual ~DocumentEvents() = default;
    virtual void Log(std::string_view /*utf8Line*/) {}
    virtual void BeginWait() {}
    virtual void EndWait() {}
    virtual void RefreshPointList() {}
    virtual void RefreshViews() {}
};

}  // namespace tav
