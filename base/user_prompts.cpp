#include "base/user_prompts.hpp"

namespace tav {

UserPrompts& SilentPrompts() {
    static UserPrompts silent;
    return silent;
}

}  // namespace tav
