#include "tools/demo_worker/worker_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vandrel {
namespace {

struct Parsed {
    bool ok;
    WorkerOptions options;
    std::string error;
};

Parsed parse(std::vector<const char*> args) {
    Parsed p;
    char error[160];
    p.ok = parseWorkerOptions(static_cast<int>(args.size()), args.data(), p.options, error,
                              sizeof error);
    p.error = error;
    return p;
}

TEST(DemoWorkerOptions, AcceptsTheSaversStartAndTheDocumentedSwitches) {
    Parsed none = parse({});
    ASSERT_TRUE(none.ok);
    EXPECT_EQ(none.options.seconds, 0u);
    EXPECT_FALSE(none.options.stress);
    EXPECT_EQ(none.options.messageEveryS, 60u);
    EXPECT_EQ(none.options.messageForS, 15u);

    // The saver appends " -min" to ClientPath.
    EXPECT_TRUE(parse({"-min"}).ok);

    Parsed all =
        parse({"-min", "--seconds", "3", "--stress", "--message-every", "10", "--message-for", "4",
               "--seed", "4000000000", "--message", "--pass-seconds", "40", "--passes", "3"});
    ASSERT_TRUE(all.ok) << all.error;
    EXPECT_EQ(all.options.seconds, 3u);
    EXPECT_TRUE(all.options.stress);
    EXPECT_EQ(all.options.messageEveryS, 10u);
    EXPECT_EQ(all.options.messageForS, 4u);
    EXPECT_EQ(all.options.seed, 4000000000u);
    EXPECT_TRUE(all.options.messageAlways);
    EXPECT_EQ(all.options.passSeconds, 40u);
    EXPECT_EQ(all.options.passes, 3u);
    EXPECT_TRUE(parse({"--help"}).options.help);
}

TEST(DemoWorkerOptions, RefusesWhatItDoesNotKnowWithAReason) {
    Parsed unknown = parse({"--fast"});
    EXPECT_FALSE(unknown.ok);
    EXPECT_NE(unknown.error.find("--fast"), std::string::npos);
    EXPECT_FALSE(parse({"--seconds"}).ok);             // value missing
    EXPECT_FALSE(parse({"--seconds", "-3"}).ok);       // negative
    EXPECT_FALSE(parse({"--seconds", "3x"}).ok);       // trailing junk
    EXPECT_FALSE(parse({"--seconds", "86401"}).ok);    // beyond a day
    EXPECT_FALSE(parse({"--seed", "4294967296"}).ok);  // beyond 32 bits
    EXPECT_TRUE(parse({"--seconds", "86400"}).ok);
    EXPECT_FALSE(parse({"--pass-seconds", "0"}).ok);  // a pass takes time
    EXPECT_FALSE(parse({"--passes", "1001"}).ok);
}

TEST(DemoWorkerOptions, AttentionComesInTheLastSecondsOfEachPeriod) {
    WorkerOptions o;  // 15 s out of every 60 s
    EXPECT_FALSE(attentionWanted(o, 0));
    EXPECT_FALSE(attentionWanted(o, 44999));
    EXPECT_TRUE(attentionWanted(o, 45000));
    EXPECT_TRUE(attentionWanted(o, 59999));
    EXPECT_FALSE(attentionWanted(o, 60000));
    EXPECT_TRUE(attentionWanted(o, 105000));

    o.messageEveryS = 0;
    EXPECT_FALSE(attentionWanted(o, 45000));
    o.messageEveryS = 10;
    o.messageForS = 0;
    EXPECT_FALSE(attentionWanted(o, 9999));
    o.messageForS = 30;  // longer than the period: always on
    EXPECT_TRUE(attentionWanted(o, 1));
    o = WorkerOptions{};
    o.messageAlways = true;
    EXPECT_TRUE(attentionWanted(o, 0));
}

}  // namespace
}  // namespace vandrel
