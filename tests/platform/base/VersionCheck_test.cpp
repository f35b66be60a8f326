#include "platform/base/VersionCheck.h"

#include <gtest/gtest.h>

#include <optional>

namespace vk::base {
namespace {

TEST(VersionCheck, ComparesTheFirstThreePartsAsText) {
    struct Case {
        std::string_view current, required;
        std::optional<bool> compatible;
    };
    const Case cases[] = {
        {"1.4.0", "1.4.0", true},
        {"1.4.0", "1.3.9", true},
        {"1.4.0", "1.4.1", false},
        {"1.4.0", "2.0.0", false},
        {"1.4.0", "1.4.0.9", true},   // a fourth part is ignored
        {"1.10.0", "1.9.0", false},   // text order: "10" sorts before "9"
        {"1.4", "1.4.0", std::nullopt},
        {"1.4.0", "1", std::nullopt},
        {"2", "1", true},             // decided before a part is missing
        {"", "", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(compareVersionParts(c.current, c.required), c.compatible) << c.current << " vs " << c.required;
}

TEST(VersionCheck, ProgramVersionIsOneFourZero) {
    // The database's compatibility field and the INI engine's version check compare against it.
    EXPECT_EQ(programVersion(), "1.4.0");
    EXPECT_EQ(compareVersionParts(programVersion(), "1.4.0"), true);
    EXPECT_EQ(compareVersionParts(programVersion(), "1.4.1"), false);
}

}  // namespace
}  // namespace vk::base
