#pragma once

#include <filesystem>
#include <string_view>

namespace vk::test {

// A file of the fixtures shared by every checkout (shared/fixtures/ beside the
// repository: ../shared from the checkout, as CI lays it out); empty when absent.
std::filesystem::path sharedFixture(std::string_view relative);

}  // namespace vk::test
