// The public similarity functors: each forwards to its free function.

#include "varnex/simfunc.h"

#include "varnex/similarity.h"

namespace Varnex {

float KvTanimotoSim::operator()(const KvFingerPrint& a, const KvFingerPrint& b) const { return KvTanimoto(a, b); }
KvTanimotoSim* KvTanimotoSim::CreateCopy() const { return new KvTanimotoSim(*this); }
std::string KvTanimotoSim::GetSimTypeString() const { return "KvTanimoto"; }

float KvTverskySim::operator()(const KvFingerPrint& a, const KvFingerPrint& b) const {
  return KvTversky(a, b, alpha_, beta_);
}
KvTverskySim* KvTverskySim::CreateCopy() const { return new KvTverskySim(*this); }
std::string KvTverskySim::GetSimTypeString() const { return "KvTversky"; }

float KvDiceSim::operator()(const KvFingerPrint& a, const KvFingerPrint& b) const { return KvDice(a, b); }
KvDiceSim* KvDiceSim::CreateCopy() const { return new KvDiceSim(*this); }
std::string KvDiceSim::GetSimTypeString() const { return "KvDice"; }

float KvCosineSim::operator()(const KvFingerPrint& a, const KvFingerPrint& b) const { return KvCosine(a, b); }
KvCosineSim* KvCosineSim::CreateCopy() const { return new KvCosineSim(*this); }
std::string KvCosineSim::GetSimTypeString() const { return "KvCosine"; }

float KvEuclidSim::operator()(const KvFingerPrint& a, const KvFingerPrint& b) const { return KvEuclid(a, b); }
KvEuclidSim* KvEuclidSim::CreateCopy() const { return new KvEuclidSim(*this); }
std::string KvEuclidSim::GetSimTypeString() const { return "KvEuclid"; }

float KvManhattanSim::operator()(const KvFingerPrint& a, const KvFingerPrint& b) const { return KvManhattan(a, b); }
KvManhattanSim* KvManhattanSim::CreateCopy() const { return new KvManhattanSim(*this); }
std::string KvManhattanSim::GetSimTypeString() const { return "KvManhattan"; }

}  // namespace Varnex
