// varnex.Fingerprint and varnex.FingerprintArray.

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>

#include "call_scope.h"
#include "objects.h"

namespace py = pybind11;
using namespace Varnex;

namespace VarnexPy {

std::size_t FixedBits(const KvFPTypeBase* type) {
  switch (type->GetFPType()) {
    case KvFPType::Lingo:
    case KvFPType::UnhashedPath:
    case KvFPType::UnhashedTree:
    case KvFPType::UnhashedCircular: return 0;
    default: return KvGetFingerPrintSize(type);
  }
}

namespace {
// memcpy that takes the empty buffers (null data) of fingerprints that failed.
void CopyBytes(void* to, const void* from, std::size_t count) {
  if (count != 0) std::memcpy(to, from, count);
}
}  // namespace

std::vector<std::uint64_t> ToWords(const KvFingerPrint& fp, std::size_t words) {
  std::vector<std::uint64_t> out(words, 0);
  CopyBytes(out.data(), fp.GetBytes(), std::min(fp.NumBytes(), words * 8));
  return out;
}

FingerprintArray::FingerprintArray(const KvFPTypeBase* type, const std::vector<KvFingerPrint>& rows,
                                   std::vector<std::uint64_t> failed)
    : type_(type), n_(rows.size()), fixedBits_(FixedBits(type)), failed_(std::move(failed)) {
  if (fixedBits_ != 0) {
    words_ = (fixedBits_ + 63) / 64;
  } else {
    sizes_.resize(n_);
    for (std::size_t i = 0; i < n_; ++i) {
      sizes_[i] = static_cast<std::uint32_t>(rows[i].GetSize());
      words_ = std::max(words_, (rows[i].GetSize() + 63) / 64);
    }
  }
  records_.assign(n_ * (words_ + 2), 0);
  for (std::size_t i = 0; i < n_; ++i) {
    std::uint64_t* record = records_.data() + i * (words_ + 2);
    record[0] = i;
    record[1] = rows[i].CountBits();
    CopyBytes(record + 2, rows[i].GetBytes(), std::min(rows[i].NumBytes(), words_ * 8));
  }
}

FingerprintArray::FingerprintArray(const KvFPTypeBase* type, std::size_t words, std::vector<std::uint64_t> records,
                                   std::vector<std::uint32_t> sizes, std::vector<std::uint64_t> failed)
    : type_(type),
      n_(records.size() / (words + 2)),
      words_(words),
      fixedBits_(FixedBits(type)),
      records_(std::move(records)),
      sizes_(std::move(sizes)),
      failed_(std::move(failed)) {}

KvFingerPrint FingerprintArray::Get(std::size_t i) const {
  KvFingerPrint fp;
  fp.SetData(Row(i), RowBits(i));
  fp.SetFPTypeBase(type_);
  return fp;
}

namespace {

template <typename T>
py::array_t<T> ToArray(const std::vector<T>& values) {
  py::array_t<T> out(static_cast<py::ssize_t>(values.size()));
  CopyBytes(out.mutable_data(), values.data(), values.size() * sizeof(T));
  return out;
}

// `value(i)` for each row i of `a`, as numpy uint32.
template <typename F>
py::array_t<std::uint32_t> PerRow(const FingerprintArray& a, F value) {
  py::array_t<std::uint32_t> out(static_cast<py::ssize_t>(a.Size()));
  auto w = out.mutable_unchecked<1>();
  for (std::size_t i = 0; i < a.Size(); ++i) w(static_cast<py::ssize_t>(i)) = static_cast<std::uint32_t>(value(i));
  return out;
}

const KvFPTypeBase* TypeOfString(const std::string& text) {
  CallScope scope;
  const KvFPTypeBase* type = KvGetFPType(text);
  if (type == nullptr) scope.Fail("unknown fingerprint type string '" + text + "'");
  return type;
}

Fingerprint FromHex(const FPType& type, const std::string& text) {
  CallScope scope;
  Fingerprint result;
  if (!result.fp.FromHexString(text)) scope.Fail("malformed fingerprint text");
  const std::size_t bits = FixedBits(type.ptr);
  if (bits != 0 && result.fp.GetSize() != bits)
    throw py::value_error("a " + type.ptr->GetFPTypeString() + " fingerprint has " + std::to_string(bits) +
                          " bits, the text holds " + std::to_string(result.fp.GetSize()));
  if (bits == 0 && result.fp.GetSize() % 8 != 0)
    throw py::value_error("a text fingerprint holds whole bytes, the text holds " +
                          std::to_string(result.fp.GetSize()) + " bits");
  result.fp.SetFPTypeBase(type.ptr);
  return result;
}

py::array_t<std::uint32_t> OnBits(const Fingerprint& f) {
  std::vector<std::uint32_t> bits;
  const std::uint8_t* bytes = f.fp.GetBytes();
  for (std::size_t b = 0; b < f.fp.NumBytes(); ++b)
    for (unsigned v = bytes[b]; v != 0; v &= v - 1)
      bits.push_back(static_cast<std::uint32_t>(8 * b + static_cast<unsigned>(std::countr_zero(v))));
  return ToArray(bits);
}

std::size_t Index(py::ssize_t i, std::size_t n) {
  const py::ssize_t size = static_cast<py::ssize_t>(n);
  if (i < 0) i += size;
  if (i < 0 || i >= size) throw py::index_error("index out of range");
  return static_cast<std::size_t>(i);
}

// Rows from a 2-D NumPy array of native uint64 words, checked, never
// reinterpreted.
FingerprintArray FromWords(const FPType& type, const py::object& obj) {
  if (!py::isinstance<py::array>(obj)) throw py::type_error("words must be a numpy.ndarray of uint64");
  py::array array = obj.cast<py::array>();
  if (!array.dtype().is(py::dtype::of<std::uint64_t>()) && !array.dtype().equal(py::dtype::of<std::uint64_t>()))
    throw py::type_error("words must have dtype uint64 (native byte order), got " +
                         py::str(array.dtype()).cast<std::string>());
  const std::size_t bits = FixedBits(type.ptr);
  if (bits == 0) throw py::value_error("from_words needs a kind of fixed size, not " + type.ptr->GetFPTypeString());
  const std::size_t words = (bits + 63) / 64;
  if (array.ndim() != 2 || static_cast<std::size_t>(array.shape(1)) != words)
    throw py::value_error("words must have shape (n, " + std::to_string(words) + ") for " + std::to_string(bits) +
                          "-bit fingerprints");
  auto view = array.unchecked<std::uint64_t, 2>();
  const std::size_t n = static_cast<std::size_t>(view.shape(0));
  const std::uint64_t spare = bits % 64 == 0 ? 0 : ~std::uint64_t{0} << (bits % 64);
  std::vector<std::uint64_t> records(n * (words + 2));
  for (std::size_t i = 0; i < n; ++i) {
    std::uint64_t* record = records.data() + i * (words + 2);
    record[0] = i;
    for (std::size_t w = 0; w < words; ++w) {
      const std::uint64_t value = view(static_cast<py::ssize_t>(i), static_cast<py::ssize_t>(w));
      record[2 + w] = value;
      record[1] += static_cast<std::uint64_t>(std::popcount(value));
    }
    if ((record[1 + words] & spare) != 0)
      throw py::value_error("row " + std::to_string(i) + " sets bits at or above the fingerprint size " +
                            std::to_string(bits));
  }
  return FingerprintArray(type.ptr, words, std::move(records), {}, {});
}

}  // namespace

void BindFingerprints(py::module_& m) {
  py::class_<Fingerprint>(m, "Fingerprint", R"doc(
One fingerprint: a fixed number of bits and its FPType.

Made by FPType.fingerprint, taken from a FingerprintArray or a FastDatabase,
or read back with Fingerprint.from_hex. len(fp) is the number of bits; bit i is
bit i % 8 of byte i // 8 of bytes(fp). Immutable, hashable and picklable.
)doc")
      .def_property_readonly("type", [](const Fingerprint& f) { return FPType{f.fp.GetFPTypeBase()}; })
      .def("__len__", [](const Fingerprint& f) { return f.fp.GetSize(); })
      .def("count", [](const Fingerprint& f) { return f.fp.CountBits(); }, "The number of bits set.")
      .def("on_bits", &OnBits, "The indices of the bits set, ascending, as a numpy uint32 array.")
      .def(
          "to_numpy",
          [](const Fingerprint& f) {
            py::array_t<std::uint8_t> out(static_cast<py::ssize_t>(f.fp.NumBytes()));
            CopyBytes(out.mutable_data(), f.fp.GetBytes(), f.fp.NumBytes());
            return out;
          },
          "The bits packed into a numpy uint8 array, bit i in bit i % 8 of byte i // 8 "
          "(numpy.unpackbits(..., bitorder='little') unpacks it).")
      .def("hex", [](const Fingerprint& f) { return f.fp.ToHexString(); },
           "The library's hexadecimal text: bytes in order, two lower-case digits each.")
      .def_static("from_hex", &FromHex, py::arg("type"), py::arg("text"),
                  "The fingerprint of `type` written as `text` by Fingerprint.hex(); ValueError for malformed "
                  "text or a size other than the type's.")
      .def("__bytes__",
           [](const Fingerprint& f) {
             return py::bytes(reinterpret_cast<const char*>(f.fp.GetBytes()), f.fp.NumBytes());
           })
      .def(
          "__eq__",
          [](const Fingerprint& a, const Fingerprint& b) {
            return a.fp.GetFPTypeBase() == b.fp.GetFPTypeBase() &&
                   static_cast<const KvSystem::KvBitVector&>(a.fp) == static_cast<const KvSystem::KvBitVector&>(b.fp);
          },
          py::is_operator())
      .def("__eq__", [](const Fingerprint&, const py::object&) { return false; })
      .def("__hash__",
           [](const Fingerprint& f) {
             const std::string_view bytes(reinterpret_cast<const char*>(f.fp.GetBytes()), f.fp.NumBytes());
             return std::hash<std::string_view>()(bytes) ^ std::hash<const void*>()(f.fp.GetFPTypeBase());
           })
      .def("__repr__",
           [](const Fingerprint& f) {
             return "<varnex.Fingerprint " + f.fp.GetFPTypeBase()->GetFPTypeString() + ", " +
                    std::to_string(f.fp.CountBits()) + " of " + std::to_string(f.fp.GetSize()) + " bits on>";
           })
      .def(py::pickle(
          [](const Fingerprint& f) { return py::make_tuple(f.fp.GetFPTypeBase()->GetFPTypeString(), f.fp.ToHexString()); },
          [](const py::tuple& state) {
            return FromHex(FPType{TypeOfString(state[0].cast<std::string>())}, state[1].cast<std::string>());
          }));

  py::class_<FingerprintArray>(m, "FingerprintArray", R"doc(
n fingerprints of one type in one contiguous buffer.

len(a), a[i] (a Fingerprint), iteration, a.type, a.failed (indices of the
molecules that gave no fingerprint; their rows have no bits), a.words (a
read-only zero-copy (n, W) numpy uint64 view: bit i of row r is bit i % 64 of
a.words[r, i // 64]) and a.counts() (bits set per row). Rows of Lingo and
unhashed fingerprints differ in size: a.sizes gives each row's bits and
a.words is padded with zero words to the widest row.
)doc")
      .def_property_readonly("type", [](const FingerprintArray& a) { return FPType{a.Type()}; })
      .def("__len__", &FingerprintArray::Size)
      .def("__getitem__",
           [](const FingerprintArray& a, py::ssize_t i) { return Fingerprint{a.Get(Index(i, a.Size()))}; })
      .def_property_readonly("failed", [](const FingerprintArray& a) { return ToArray(a.Failed()); },
                             "Indices of the molecules that gave no fingerprint, ascending (numpy uint64).")
      .def_property_readonly(
          "words",
          [](py::object self) {
            const auto& a = self.cast<const FingerprintArray&>();
            if (a.Size() == 0)
              return py::array_t<std::uint64_t>(std::vector<py::ssize_t>{0, static_cast<py::ssize_t>(a.Words())});
            const py::ssize_t stride = static_cast<py::ssize_t>(a.StrideBytes());
            py::array_t<std::uint64_t> view({static_cast<py::ssize_t>(a.Size()), static_cast<py::ssize_t>(a.Words())},
                                            {stride, static_cast<py::ssize_t>(8)},
                                            a.Row(0), self);
            view.attr("setflags")(py::arg("write") = false);
            return view;
          },
          "A read-only (n, W) uint64 view on the array's buffer, no copy.")
      .def(
          "counts", [](const FingerprintArray& a) { return PerRow(a, [&](std::size_t i) { return a.Count(i); }); },
          "The number of bits set in each row (numpy uint32).")
      .def_property_readonly(
          "sizes", [](const FingerprintArray& a) { return PerRow(a, [&](std::size_t i) { return a.RowBits(i); }); },
          "Bits of each row (numpy uint32).")
      .def_static("from_words", &FromWords, py::arg("type"), py::arg("words"),
                  "An array of fingerprints of a fixed-size `type` from a 2-D numpy uint64 array of shape (n, W). "
                  "TypeError for another dtype, ValueError for another shape or bits set past the size.")
      .def("__repr__",
           [](const FingerprintArray& a) {
             return "<varnex.FingerprintArray of " + std::to_string(a.Size()) + " " + a.Type()->GetFPTypeString() +
                    " fingerprints, " + std::to_string(a.Failed().size()) + " failed>";
           })
      .def(py::pickle(
          [](const FingerprintArray& a) {
            const auto& records = a.RawRecords();
            return py::make_tuple(a.Type()->GetFPTypeString(), a.Words(),
                                  py::bytes(reinterpret_cast<const char*>(records.data()), records.size() * 8),
                                  a.Sizes(), a.Failed());
          },
          [](const py::tuple& state) {
            const KvFPTypeBase* type = TypeOfString(state[0].cast<std::string>());
            const auto words = state[1].cast<std::size_t>();
            const std::string bytes = state[2].cast<std::string>();
            if (bytes.size() % ((words + 2) * 8) != 0) throw py::value_error("damaged FingerprintArray state");
            std::vector<std::uint64_t> records(bytes.size() / 8);
            CopyBytes(records.data(), bytes.data(), bytes.size());
            auto sizes = state[3].cast<std::vector<std::uint32_t>>();
            const std::size_t n = records.size() / (words + 2);
            if (FixedBits(type) == 0 ? sizes.size() != n : !sizes.empty())
              throw py::value_error("damaged FingerprintArray state");
            return FingerprintArray(type, words, std::move(records), std::move(sizes),
                                    state[4].cast<std::vector<std::uint64_t>>());
          }));
}

}  // namespace VarnexPy
