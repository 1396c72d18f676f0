// Taking the polling over for the analog inputs: the request period read from
// the refresh text, the request bytes, the link's periodic request switched
// off and on, and the names written without touching held samples.
#include <gtest/gtest.h>

#include <climits>

#include "RecordingLink.h"
#include "TestUtil.h"
#include "support/AnalogPolling.h"

using namespace tuvik;
using tuvik::test::Hex;
using tuvik::test::RecordingLink;

TEST(AnalogPolling, RequestPeriodIsTheLeadingNumberRounded) {
    EXPECT_EQ(AnalogPolling::RequestInterval("250"), 250);
    EXPECT_EQ(AnalogPolling::RequestInterval(" 2 50 ms"), 250);
    EXPECT_EQ(AnalogPolling::RequestInterval("250.5"), 250);  // a half to the even neighbour
    EXPECT_EQ(AnalogPolling::RequestInterval("251.5"), 252);
    EXPECT_EQ(AnalogPolling::RequestInterval("1e3"), 1000);
    EXPECT_EQ(AnalogPolling::RequestInterval("99999999999"), INT_MAX);
    for (const char* none : {"", "x", "ms 250", "0", "0.5", "-1", "-250"}) {
        EXPECT_EQ(AnalogPolling::RequestInterval(none), 0) << none;
    }

    AppContext ctx;
    DispatchState st;
    AnalogPolling p(ctx, st);
    EXPECT_EQ(p.RequestInterval(), 0);  // no connection texts at all
    FixedLinkSettings s;
    ctx.setLinkSettings(&s);
    EXPECT_EQ(p.RequestInterval(), 333);
}

TEST(AnalogPolling, BeginAndEndSwitchTheActiveLinksRequestAndKeepSamples) {
    AppContext ctx;
    DispatchState st;
    AnalogPolling p(ctx, st);
    st.AnalogTrend2.PushSample(1, 512.0);
    p.Begin();  // no link yet: only the names
    EXPECT_EQ(st.AnalogTrend2.at(1, 0), TrendCell("AD5"));
    EXPECT_EQ(st.AnalogTrend2.at(1, 2), TrendCell(512.0));
    EXPECT_FALSE(p.SendRequest());
    p.End();

    RecordingLink link;
    ctx.setActiveLink(&link);
    p.Begin();
    EXPECT_TRUE(p.SendRequest());
    p.End();
    EXPECT_EQ(link.refreshCalls, (QList<bool>{false, true}));
    EXPECT_EQ(link.bytes, Hex("88 00 77"));

    link.open = false;
    EXPECT_FALSE(p.SendRequest());
    EXPECT_EQ(link.bytes, Hex("88 00 77"));
}

namespace {
// A link that does something else while it writes a byte, as a link that
// holds writes back and runs the event loop meanwhile may.
struct BusyLink : RecordingLink {
    std::function<void()> duringSend;
    bool Send(int value, bool invert = false) override {
        const bool ok = RecordingLink::Send(value, invert);
        if (auto f = std::exchange(duringSend, nullptr)) {
            f();  // may destroy this link
        }
        return ok;
    }
};
}  // namespace

TEST(AnalogPolling, LinkDestroyedInTheMiddleOfARequestEndsIt) {
    AppContext ctx;
    DispatchState st;
    AnalogPolling p(ctx, st);
    auto* link = new BusyLink;
    ctx.setActiveLink(link);
    QByteArray written;
    link->duringSend = [&] {
        written = link->bytes;
        delete link;
    };
    EXPECT_FALSE(p.SendRequest());
    EXPECT_EQ(written, Hex("88"));
    EXPECT_EQ(ctx.activeLink(), nullptr);
    EXPECT_FALSE(p.SendRequest());
}
