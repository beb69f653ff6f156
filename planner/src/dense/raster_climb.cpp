#include "dense/raster_climb.h"

#include <algorithm>

namespace zelmar::plan {

Score ScoreOf(std::span<const Khz> plan, const Rules& rules) {
  const PlanFigures figures = MeasurePlan(plan);
  Score score;
  for (Family f : kFamilies) {
    const auto k = static_cast<std::size_t>(f);
    if (WindowOf(rules, f)) score.m[k] = figures.margins[k].value_or(kNoMargin);
  }
  return score;
}

RasterClimb::RasterClimb(const PlanRequest& request, std::span<const Khz> fixed,
                         Budget& budget, int threads)
    : request_(request),
      fixed_(fixed),
      budget_(budget),
      threads_(threads),
      raster_(DenseRasterStep(request, fixed)) {}

DenseAnswer RasterClimb::First(int target) {
  DenseQuery query;
  query.target = target;
  query.known = &table_;
  return DenseFindFirst(request_, fixed_, query, budget_, threads_);
}

DenseLargest RasterClimb::Largest(int limit, std::uint64_t cap) {
  CappedBudget capped(budget_, cap);
  return DenseFindLargest(request_, fixed_, limit, capped.budget(), threads_,
                          &table_);
}

void RasterClimb::Start(int target, std::span<const Khz> plan) {
  target_ = target;
  at_least_ = {};
  family_ = 0;
  high_ = kNoMargin;
  done_ = false;
  Keep(plan, ScoreOf(plan, request_.rules));
  NextFamily();
}

void RasterClimb::Offer(std::span<const Khz> plan) {
  if (done_ || static_cast<int>(plan.size()) != target_) return;
  const Score score = ScoreOf(plan, request_.rules);
  if (score > score_) Keep(plan, score);
}

void RasterClimb::Keep(std::span<const Khz> plan, const Score& score) {
  best_.assign(plan.begin(), plan.end());
  score_ = score;
  budget_.NoteBest(plan, score);
}

void RasterClimb::NextFamily() {
  for (; family_ < kFamilyCount; ++family_) {
    const Family f = kFamilies[family_];
    // A family not checked, or with nothing of it to measure, is settled.
    if (!WindowOf(request_.rules, f) || score_.m[family_] == kNoMargin) {
      continue;
    }
    // Floor and ceiling one raster step apart: the floor is the best.
    const Khz low = score_.m[family_];
    if (high_ != kNoMargin && high_ - low <= raster_) {
      at_least_[family_] = low;
      high_ = kNoMargin;
      continue;
    }
    return;
  }
}

DenseAnswer RasterClimb::Query(Budget& budget) {
  DenseQuery query;
  query.target = target_;
  query.at_least = at_least_;
  query.known = &table_;
  return DenseFindFirst(request_, fixed_, query, budget, threads_);
}

bool RasterClimb::Advance(std::uint64_t cap) {
  CappedBudget capped(budget_, cap);
  while (!done_) {
    NextFamily();
    if (family_ < kFamilyCount) {
      const Khz low = score_.m[family_];
      Khz ask = high_ == kNoMargin ? 2 * low : low + (high_ - low) / 2;
      ask = std::max((ask + raster_ - 1) / raster_ * raster_, low + raster_);
      at_least_[family_] = ask;
    }
    // With the margins settled, the first plan that reaches them is best.
    const DenseAnswer answer = Query(capped.budget());
    if (answer.status == DenseAnswer::Status::kStopped) {
      if (family_ < kFamilyCount) at_least_[family_] = 0;
      return false;
    }
    if (family_ == kFamilyCount) {
      // Always found: the best plan in hand reaches the floors.
      Keep(answer.plan, ScoreOf(answer.plan, request_.rules));
      done_ = true;
      break;
    }
    if (answer.status == DenseAnswer::Status::kFound) {
      Keep(answer.plan, ScoreOf(answer.plan, request_.rules));
    } else {
      high_ = at_least_[family_];
      if (family_ == 0) budget_.NoteBound(high_ - raster_);
    }
    at_least_[family_] = 0;
  }
  return true;
}

}  // namespace zelmar::plan
