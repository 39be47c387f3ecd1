// Checks an image file completely; see verify.cpp for the list.
#pragma once

#include <string>

namespace npn5gen {

// Prints the findings and the gate-count histogram beside the optimum; returns
// 0 for a valid image (an image that is valid but not yet optimal included).
int run_verify(const std::string& image, int threads);

}  // namespace npn5gen
