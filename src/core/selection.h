#pragma once
// The k-th smallest of many values and their median (medians of whole frames), faster than
// std::nth_element over all of them and with the same answer.

#include <cstddef>
#include <span>
#include <vector>

namespace frontlys {

// The value std::nth_element would place at position k (0-based, k < values.size()); `values` is
// reordered. A sample of the values brackets the k-th, one pass counts what lies below the bracket
// and gathers what lies in it, and only those are ordered. Values with a NaN, or a bracket that
// misses, take std::nth_element over them all. `scratch` is a work buffer, kept by callers that
// select many times.
double NthSmallest(std::span<double> values, std::size_t k, std::vector<double>& scratch);
double NthSmallest(std::span<double> values, std::size_t k);

// The middle value, or for an even count the mean of the two middle ones; NaN for no values.
// `values` may be reordered. One selection gives both middles: the lower one is the largest of the
// values the selection ordered before the upper one.
double Median(std::span<double> values, std::vector<double>& scratch);

}  // namespace frontlys
