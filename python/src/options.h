// Search settings from Python arguments.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

#include "varnex/dboptions.h"
#include "varnex/measures.h"

namespace VarnexPy {

// The measure a name spells ("tanimoto", "dice", "cosine", "euclid",
// "tversky", "manhattan", any case); ValueError naming them otherwise.
const Varnex::KvSimMeasureInfo& FindMeasure(const std::string& measure);

// ValueError unless both Tversky weights lie in [0, 1] (the library's rule).
void CheckTverskyCoeffs(double alpha, double beta);

// Options of one search: best first (smallest first for the Manhattan
// distance), `limit` hits (0: all), the measure, Tversky weights in [0, 1]
// and `threads` workers (0: every processor). A cutoff that is not None must
// lie in the measure's score range (ValueError, also for NaN) and follows the
// library's inclusive rule: every score at or above it (at or below it for
// the Manhattan distance) is kept.
Varnex::KvFPDatabaseOptions SearchOptions(std::size_t limit, const pybind11::object& cutoff, const std::string& measure,
                                          double alpha, double beta, unsigned threads);

}  // namespace VarnexPy
