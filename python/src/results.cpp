#include "results.h"

namespace py = pybind11;

namespace VarnexPy {

void RegisterResultTypes() {
  PYBIND11_NUMPY_DTYPE(Hit, index, score);
  PYBIND11_NUMPY_DTYPE(Cell, row, col, score);
}

py::array_t<Hit> ToHitArray(const std::vector<Varnex::KvSimScore>& scores) {
  py::array_t<Hit> out(static_cast<py::ssize_t>(scores.size()));
  auto w = out.mutable_unchecked<1>();
  for (std::size_t i = 0; i < scores.size(); ++i) w(static_cast<py::ssize_t>(i)) = {scores[i].GetIdx(), scores[i].GetScore()};
  return out;
}

py::tuple ToHitRuns(const std::vector<std::vector<Varnex::KvSimScore>>& hits) {
  std::vector<Varnex::KvSimScore> flat;
  std::vector<std::uint64_t> offsets{0};
  for (const auto& h : hits) {
    flat.insert(flat.end(), h.begin(), h.end());
    offsets.push_back(flat.size());
  }
  return py::make_tuple(ToHitArray(flat), py::array_t<std::uint64_t>(offsets.size(), offsets.data()));
}

py::array_t<Cell> ToCellArray(const std::vector<Varnex::KvSimScorePair>& pairs) {
  py::array_t<Cell> out(static_cast<py::ssize_t>(pairs.size()));
  auto w = out.mutable_unchecked<1>();
  for (std::size_t i = 0; i < pairs.size(); ++i)
    w(static_cast<py::ssize_t>(i)) = {pairs[i].GetIdxA(), pairs[i].GetIdxB(), pairs[i].GetScore()};
  return out;
}

}  // namespace VarnexPy
