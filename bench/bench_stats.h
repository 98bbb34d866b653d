// Medians and percentiles of a benchmark's repeated measurements.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// The value below which the fraction dFraction of the values lie (nearest
// rank); 0 for no values.
inline double Percentile(std::vector<double> vecValues, double dFraction) {
  if (vecValues.empty()) return 0.0;
  std::sort(vecValues.begin(), vecValues.end());
  const auto nRank =
      static_cast<size_t>(dFraction * static_cast<double>(vecValues.size() - 1) + 0.5);
  return vecValues[std::min(nRank, vecValues.size() - 1)];
}

inline double Median(const std::vector<double>& vecValues) {
  if (vecValues.empty()) return 0.0;
  std::vector<double> vecSorted = vecValues;
  std::sort(vecSorted.begin(), vecSorted.end());
  const size_t n = vecSorted.size();
  return n % 2 == 1 ? vecSorted[n / 2] : (vecSorted[n / 2 - 1] + vecSorted[n / 2]) / 2.0;
}
