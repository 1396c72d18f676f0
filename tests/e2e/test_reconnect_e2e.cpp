// A lost link in the main window: the status line warns while the link is
// retried, and says "Not connected" once Disconnect ended the retries. Over
// a pseudo-terminal that disappears and over a relay that hangs up. (The
// retries themselves, the log's and the history's lines: tests/core.)
#include <QPalette>

#include "E2E.h"
#include "FaultInjector.h"

using namespace tuvik;
using namespace tuvik::test;

namespace {

class LinkComesBack : public ProgramE2E {
  protected:
    QLabel* Status() { return Find<QLabel>(main.get(), "lblLinkStatus"); }
    bool Warning() { return Status()->palette().color(QPalette::Window) == QColor(255, 196, 0); }
};

}  // namespace

TEST_P(LinkComesBack, TheStatusLineWarnsWhileRetryingAndDisconnectEndsIt) {
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(WaitUntil([&] { return Status()->text().contains("last reply 0."); }));

    QStringList shown;  // the line as the window set it when the retries began
    QObject::connect(link(), &DeviceLink::reconnectingChanged, [&](bool on) {
        shown << QString::number(on) + (Warning() ? " warning " : " ") + Status()->text();
    });
    if (GetParam() == Via::Tcp) {
        sim->faults().SetNext(sim::Fault::Close, 1);
    } else {
        sim.reset();
    }
    ASSERT_TRUE(WaitUntil([&] { return !shown.isEmpty(); }, std::chrono::seconds(10)));
    EXPECT_TRUE(shown.value(0).startsWith("1 warning ") &&
                shown.value(0).contains(": connection lost, reconnecting..."))
        << shown.join('/').toStdString();
    Click(main.get(), "btnCon");
    EXPECT_FALSE(link()->reconnecting());
    EXPECT_EQ(Status()->text(), "Not connected");
}

INSTANTIATE_TEST_SUITE_P(Links, LinkComesBack, ::testing::Values(Via::Pty, Via::Tcp), ViaParamName);
