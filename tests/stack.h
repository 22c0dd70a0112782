// Runs a function on a thread with a stack of a given size, as small as the
// worker's can be, and waits for it.
#pragma once

#include <cstddef>
#include <functional>

namespace setup::test {

void OnStack(std::size_t bytes, const std::function<void()>& body);

}  // namespace setup::test
