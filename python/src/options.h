// Search settings from Python arguments.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

#include "varnex/dboptions.h"

namespace VarnexPy {

// The KvSimMeasure code of a measure name ("tanimoto", "dice", "cosine",
// "euclid", "tversky", "manhattan", any case); ValueError otherwise.
unsigned MeasureCode(const std::string& measure);

// Options of one search: best first (smallest first for the Manhattan
// distance), `limit` hits (0: all), the cutoff when not None, the measure,
// Tversky weights in [0, 1] (ValueError with the library's message
// otherwise) and `threads` workers (0: every processor).
Varnex::KvFPDatabaseOptions SearchOptions(std::size_t limit, const pybind11::object& cutoff, const std::string& measure,
                                          float alpha, float beta, unsigned threads);

}  // namespace VarnexPy
