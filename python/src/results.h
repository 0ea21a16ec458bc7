// Hit lists and matrices as numpy structured arrays.
#pragma once

#include <pybind11/numpy.h>

#include <cstdint>
#include <vector>

#include "varnex/dboptions.h"

namespace VarnexPy {

struct Hit {
  std::uint64_t index;
  double score;
};

struct Cell {
  std::uint64_t row;
  std::uint64_t col;
  double score;
};

// Registers the numpy dtypes of Hit and Cell; once, at import.
void RegisterResultTypes();
// A structured array with fields `index` (uint64) and `score` (float64).
pybind11::array_t<Hit> ToHitArray(const std::vector<Varnex::KvSimScore>& scores);
// The hits of several queries as one hit array and the offsets of each
// query's run in it (one more offset than queries).
pybind11::tuple ToHitRuns(const std::vector<std::vector<Varnex::KvSimScore>>& hits);
// A structured array with fields `row`, `col` (uint64) and `score` (float64).
pybind11::array_t<Cell> ToCellArray(const std::vector<Varnex::KvSimScorePair>& pairs);

}  // namespace VarnexPy
