#include "store/BatchPipe.h"

#include <chrono>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

// The worker sees every batch, in order, and the reader may then use what
// the worker wrote; a failure stops the worker at that batch and reaches
// the reader, which stops too.
TEST(BatchPipeTest, WorksInOrderAndHandsAFailureBackToTheReader)
{
    std::vector<std::string> seen;
    {
        qb::BatchPipe pipe([&](std::string_view batch) { seen.emplace_back(batch); }, 2);
        for (int i = 0; i < 100; ++i) {
            std::string batch = pipe.take();
            EXPECT_TRUE(batch.empty());
            batch = std::to_string(i);
            pipe.push(std::move(batch));
        }
        pipe.finish();
    }
    ASSERT_EQ(seen.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(seen[size_t(i)], std::to_string(i));

    int worked = 0;
    int pushed = 0;
    qb::BatchPipe failing(
        [&](std::string_view batch) {
            ++worked;
            if (batch == "3")
                throw std::runtime_error("too large");
        },
        1);
    EXPECT_THROW(
        {
            for (; pushed < 1000; ++pushed)
                failing.push(std::to_string(pushed));
            failing.finish();
        },
        std::runtime_error);
    EXPECT_EQ(worked, 4);
    EXPECT_LT(pushed, 1000);
}

// A reader that fails with batches still waiting: the pipe, when it goes,
// stops its worker and waits for it, so nothing touches the caller's state
// after that.
TEST(BatchPipeTest, GoingAwayWhileBatchesWaitStopsTheWorker)
{
    int worked = 0;
    {
        qb::BatchPipe pipe(
            [&](std::string_view) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                ++worked;
            },
            8);
        for (int i = 0; i < 8; ++i)
            pipe.push("x");
    }
    const int after = worked;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(worked, after);
    EXPECT_LT(after, 8);
}

} // namespace
