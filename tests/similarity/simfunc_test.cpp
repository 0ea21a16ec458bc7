// Similarity functors: each public functor agrees with its free function,
// copies keep class and coefficients, and the internal Lingo and unhashed
// functors score their prepared queries.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <iterator>
#include <string>
#include <tuple>
#include <typeinfo>
#include <vector>

#include "capture_sink.h"
#include "fp_texts.h"
#include "similarity/internal_simfunc.h"
#include "varnex/similarity.h"
#include "varnex/simfunc.h"

namespace {

using namespace Varnex;
using VarnexTest::CaptureSink;
using VarnexTest::LingoText;


TEST(SimFunctors, EachForwardsToItsMeasure) {
  CaptureSink sink;
  const KvFPTypeBase* type = KvGetPathFPType(1024, 0, 5, 191, 3);
  const KvFingerPrint a = VarnexTest::RangesFP(type, 1024, {{0, 40}});
  const KvFingerPrint b = VarnexTest::RangesFP(type, 1024, {{0, 30}, {40, 60}});

  const KvTanimotoSim tanimoto;
  const KvTverskySim tversky(0.7f, 0.2f);
  const KvDiceSim dice;
  const KvCosineSim cosine;
  const KvEuclidSim euclid;
  const KvManhattanSim manhattan;
  const std::tuple<const KvSimFuncBase*, std::string, float> named[] = {
      {&tanimoto, "KvTanimoto", KvTanimoto(a, b)}, {&tversky, "KvTversky", KvTversky(a, b, 0.7f, 0.2f)},
      {&dice, "KvDice", KvDice(a, b)},             {&cosine, "KvCosine", KvCosine(a, b)},
      {&euclid, "KvEuclid", KvEuclid(a, b)},       {&manhattan, "KvManhattan", KvManhattan(a, b)}};
  for (const auto& [func, name, expected] : named) {
    EXPECT_EQ((*func)(a, b), expected) << name;
    EXPECT_EQ(func->GetSimTypeString(), name);
    const std::unique_ptr<KvSimFuncBase> copy(func->CreateCopy());
    EXPECT_EQ(typeid(*copy), typeid(*func)) << name;
    EXPECT_EQ((*copy)(a, b), expected) << name;
  }
  EXPECT_EQ(sink.Count(), 0u);
  // Tversky's default beta is 1 - alpha computed in single precision, not 0.05.
  EXPECT_EQ(KvTverskySim().GetAlpha(), 0.95f);
  EXPECT_EQ(KvTverskySim().GetBeta(), 1.0f - 0.95f);
  EXPECT_EQ(KvTverskySim(0.3f).GetBeta(), 1.0f - 0.3f);
}

TEST(InternalFunctors, LingoAndUnhashedScoreTheirPreparedQueries) {
  CaptureSink sink;
  // "CCCCC" against "CCCCO": a = 1, b = 1, c = 1.
  const KvChem::KvLingoSim query("CCCCC", 1);
  const KvFingerPrint other = LingoText("CCCCO");
  const KvFingerPrint same = LingoText("CCCCC");
  // Each scores the query; its copy keeps class, coefficients and result; the
  // two-fingerprint slot answers 0.0.
  const std::tuple<std::shared_ptr<LingoSimFunc>, std::string, float> all[] = {
      {std::make_shared<TanimotoLingoSim>(), "KvTanimoto", 1.0f / 3.0f},
      {std::make_shared<TverskyLingoSim>(), "KvTversky", 1.0f / (0.95f + (1.0f - 0.95f) + 1.0f)},
      {std::make_shared<DiceLingoSim>(), "KvDice", 0.5f},
      {std::make_shared<CosineLingoSim>(), "KvCosine", 0.5f},
      {std::make_shared<EuclidLingoSim>(), "KvEuclid", std::sqrt(1.0f / 3.0f)},
      {std::make_shared<ManhattanLingoSim>(), "KvManhattan", 2.0f / 3.0f}};
  for (const auto& [func, name, expected] : all) {
    EXPECT_EQ((*func)(query, other), expected) << name;
    EXPECT_EQ(static_cast<const KvSimFuncBase&>(*func)(same, same), 0.0f) << name;
    EXPECT_EQ(func->GetSimTypeString(), name);
    const std::unique_ptr<LingoSimFunc> copy(func->CreateCopy());
    EXPECT_EQ(typeid(*copy), typeid(*func));
    EXPECT_EQ((*copy)(query, other), expected) << name;
  }
  EXPECT_EQ(sink.Count(), 0u);
  // Tversky weighs the query's own terms by alpha, the stored text's by beta.
  const KvChem::KvLingoSim longer("CCCCCCCO", 1);
  std::uint32_t a = 0, b = 0, c = 0;
  ASSERT_TRUE(KvGetLingoSimTerms(longer, other, &a, &b, &c));
  ASSERT_NE(a, b);
  EXPECT_FLOAT_EQ(TverskyLingoSim(0.9f, 0.2f)(longer, other), c / (0.9f * a + 0.2f * b + c));

  // An invalid comparer scores 0.0 with the terms' warning.
  EXPECT_EQ(TanimotoLingoSim()(KvChem::KvLingoSim("CC", 1), other), 0.0f);
  EXPECT_EQ(sink.Count(), 1u);

  // The unhashed functor: Tanimoto of sorted identifier lists.
  const TanimotoUnhashedSim sim;
  using Ids = std::vector<std::uint64_t>;
  // Duplicates pair off as in UnhashedTanimoto (measures_test.cpp), which
  // counts with the same merge.
  EXPECT_EQ(sim(Ids{1, 2, 3}, Ids{2, 3, 4}), 0.5f);
  EXPECT_EQ(sim(Ids{1, 2}, Ids{}), 0.0f);
  EXPECT_EQ(sim(Ids{}, Ids{}), 1.0f);  // two empty feature sets are identical
  EXPECT_EQ(sim(Ids{0, ~std::uint64_t{0}}, Ids{~std::uint64_t{0}}), 0.5f);
  EXPECT_EQ(sim.GetSimTypeString(), "KvTanimoto");
  EXPECT_EQ(static_cast<const KvSimFuncBase&>(sim)(same, same), 0.0f);
  const std::unique_ptr<UnhashedSimFunc> copy(sim.CreateCopy());
  EXPECT_EQ((*copy)(Ids{1, 2, 3}, Ids{2, 3, 4}), 0.5f);
}

}  // namespace
