#include "test_resets.h"

#include <algorithm>
#include <vector>

namespace testing_support {
namespace {

std::vector<void (*)()>& Resets() {
    static std::vector<void (*)()> resets;
    return resets;
}

}  // namespace

void AddTestReset(void (*reset)()) {
    auto& resets = Resets();
    if (std::find(resets.begin(), resets.end(), reset) == resets.end()) resets.push_back(reset);
}

void RunTestResets() {
    auto& resets = Resets();
    for (auto it = resets.rbegin(); it != resets.rend(); ++it) (*it)();
}

}  // namespace testing_support
