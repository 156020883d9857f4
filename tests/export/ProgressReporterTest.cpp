// Tests of the progress reporter behaviour the exporters rely on.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstddef>  // std::size_t
#include <memory>   // std::make_shared
#include <string>   // std::string
#include <vector>   // std::vector

#include "IProgressDelegate.h"
#include "IncrementalProgressReporter.h"

namespace {

using Vexlor::Common::IncrementalProgressReporter;

class CountingDelegate : public Vexlor::Common::IProgressDelegate {
public:
    void OnProgress(const std::string& name, std::size_t value, std::size_t maxValue) override {
        names.push_back(name);
        values.push_back(value);
        maxValues.push_back(maxValue);
    }
    // Asks to stop at the `cancelAt`-th question only; the reporter must remember it.
    bool IsCancelRequested() override { return ++questions == cancelAt; }

    std::vector<std::string> names;
    std::vector<std::size_t> values;
    std::vector<std::size_t> maxValues;
    std::size_t questions = 0;
    std::size_t cancelAt = 0;
};

TEST(ProgressReporter, ReportsStartOnlyWhenAsked) {
    auto delegate = std::make_shared<CountingDelegate>();
    { IncrementalProgressReporter quiet(delegate, "quiet", 10, false); }
    EXPECT_TRUE(delegate->values.empty());
    IncrementalProgressReporter reporter(delegate, "DFX export", 10, true);
    ASSERT_EQ(delegate->values.size(), 1u);
    EXPECT_EQ(delegate->names[0], "DFX export");
    EXPECT_EQ(delegate->values[0], 0u);
    EXPECT_EQ(delegate->maxValues[0], 10u);
    EXPECT_EQ(reporter.GetMaxValue(), 10u);
}

// However many steps, the reports stay near a thousand and the last one says "complete"; below a
// thousand steps every step is reported (the export tests count on it for small meshes).
TEST(ProgressReporter, ThrottlesAndReportsTheMaximum) {
    for (const std::size_t maxValue : {1u, 3u, 999u, 1000u, 4321u, 1000000u}) {
        auto delegate = std::make_shared<CountingDelegate>();
        IncrementalProgressReporter reporter(delegate, "steps", maxValue, true);
        for (std::size_t i = 0; i < maxValue; ++i) ++reporter;
        EXPECT_EQ(reporter.GetValue(), maxValue);
        EXPECT_LE(delegate->values.size(), 1002u) << maxValue;
        if (maxValue < 1000) {
            EXPECT_EQ(delegate->values.size(), maxValue + 1);
        }
        EXPECT_EQ(delegate->values.back(), maxValue) << maxValue;
        for (std::size_t i = 1; i < delegate->values.size(); ++i) {
            EXPECT_LT(delegate->values[i - 1], delegate->values[i]) << maxValue;
        }
    }
}

TEST(ProgressReporter, SettingTheMaximumReportsComplete) {
    auto delegate = std::make_shared<CountingDelegate>();
    IncrementalProgressReporter reporter(delegate, "jump", 5000, true);
    ++reporter;
    reporter = reporter.GetMaxValue();
    EXPECT_EQ(delegate->values.back(), 5000u);
}

TEST(ProgressReporter, CancelFollowsTheDelegateAndStays) {
    auto delegate = std::make_shared<CountingDelegate>();
    delegate->cancelAt = 2;
    IncrementalProgressReporter reporter(delegate, "cancel", 3, true);
    EXPECT_FALSE(reporter.IsCancelled());
    EXPECT_TRUE(reporter.IsCancelled());
    EXPECT_TRUE(reporter.IsCancelled());
}

TEST(ProgressReporter, NullDelegateNeverCancels) {
    IncrementalProgressReporter reporter(nullptr, "none", 2, true);
    ++reporter;
    reporter = reporter.GetMaxValue();
    EXPECT_FALSE(reporter.IsCancelled());
}

TEST(ProgressReporter, ReleasesTheDelegate) {
    auto delegate = std::make_shared<CountingDelegate>();
    {
        IncrementalProgressReporter reporter(delegate, "hold", 1, true);
        EXPECT_EQ(delegate.use_count(), 2);
    }
    EXPECT_EQ(delegate.use_count(), 1);
}

}  // namespace
