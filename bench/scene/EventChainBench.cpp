// Events delivered per second along a chain of 1,000 ROUTEs: each Group's
// bboxCenter_changed sets the next Group's bboxCenter.
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/scene/GroupNode.h"

namespace vx {
namespace {

void BM_EventChain(benchmark::State& state) {
  const int length = static_cast<int>(state.range(0));
  std::vector<CNodeRef> chain;
  for (int i = 0; i <= length; ++i) chain.push_back(MakeNode<CGroupNode>());
  for (int i = 0; i < length; ++i) {
    if (!chain[static_cast<size_t>(i)]->AddRoute("bboxCenter_changed", "set_bboxCenter", chain[static_cast<size_t>(i) + 1])) {
      state.SkipWithError("route refused");
      return;
    }
  }
  SFVec3f value{0, 0, 0};
  for (auto _ : state) {
    value.x += 1.0f;
    chain.front()->SetField("bboxCenter", &value);
  }
  benchmark::DoNotOptimize(static_cast<CGroupNode&>(*chain.back().GetNode()).bboxCenter);
  state.counters["events/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * length, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EventChain)->Arg(1000);

}  // namespace
}  // namespace vx
