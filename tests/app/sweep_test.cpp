// Scan and Clear list in a lab: kernel hosts at .1 and .100, and the fake
// responder answering .5 too late, .6 with a short hardware address, .7
// twice with two MACs, and claiming an address off the subnet on every
// request.
#include "net/magic_packet.h"
#include "platform/ui/uicall.h"
#include "tests/app/app_test_support.h"
#include "tests/support/lab.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <cstdlib>
#include <fstream>

using namespace apptest;
using namespace labtest;
using namespace guitest;
using namespace std::chrono_literals;

namespace {

const char kBusy[] = "正在探测....\n请等待结束";

class SweepTest : public ::testing::Test {
protected:
    void SetUp() override { ResetGlobals(); }
};

bool Idle()
{
    return g_scanIdle.load() == 1;
}

// A smaller subnet around the client, so a sweep takes ~3 s, not 25.
void NarrowTo27()
{
    g_localMask = inet_addr("255.255.255.224");
}

TEST_F(SweepTest, WholeSubnetListsEveryAnswerNewestFirst)
{
    REQUIRE_LAB();
    // The sweep also remembers what answered, in the user's state file.
    char state[] = "/tmp/orvane-sweep-XXXXXX";
    ASSERT_NE(mkdtemp(state), nullptr);
    setenv("XDG_STATE_HOME", state, 1);
    const auto remembered = [&] {
        std::ifstream in(std::string(state) + "/orvane/hosts");
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    MessageBoxWatcher boxes;
    TestDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        ASSERT_EQ(g_localMask, inet_addr("255.255.255.0"));
        ClickButton(d, IDC_SCAN);
        EXPECT_FALSE(Idle());
        ASSERT_TRUE(PollUntil(Idle, 60s));
        const std::vector<std::string> expected = {
            "192.168.1.100 02-4F-52-00-02-64",
            "192.168.1.23 02-4F-52-00-01-17",  // the client itself
            "192.168.1.7 02-4F-52-00-03-07",   // the first of two answers
            "192.168.1.1 02-4F-52-00-02-01",
        };
        EXPECT_EQ(Rows(d), expected);
        EXPECT_TRUE(
            PollUntil([&] { return remembered().find("192.168.1.100\t") != std::string::npos; }, 10s));
        d.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(boxes.Count(), 0u);
    for (const char* host :
         {"192.168.1.1\t02-4F-52-00-02-01\teth0\t", "192.168.1.7\t02-4F-52-00-03-07\teth0\t",
          "192.168.1.23\t02-4F-52-00-01-17\teth0\t", "192.168.1.100\t02-4F-52-00-02-64\teth0\t"})
        EXPECT_NE(remembered().find(host), std::string::npos) << host;
    unsetenv("XDG_STATE_HOME");
    std::system((std::string("rm -rf ") + state).c_str());
}

TEST_F(SweepTest, BusyButtonsRefuseAndTheSweepGoesOn)
{
    REQUIRE_LAB();
    MessageBoxWatcher boxes(MessageBoxWatcher::Mode::KeepOpen);
    TestDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        NarrowTo27();
        ClickButton(d, IDC_SCAN);
        ASSERT_TRUE(PollUntil([&] { return Rows(d).size() == 1; }, 5s));

        // Clear list while sweeping: the message, and the list stays; rows
        // keep arriving while the box is open.
        boxes.CloseWhen([&] { return Rows(d).size() >= 2; });
        ClickButton(d, IDC_CLEAR_LIST);
        EXPECT_FALSE(boxes.TimedOut());
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(Rows(d).back(), "192.168.1.1 02-4F-52-00-02-01");

        // Scan while sweeping: the same message; the running sweep is untouched.
        boxes.CloseWhen([&] { return Rows(d).size() >= 3; });
        ClickButton(d, IDC_SCAN);
        EXPECT_FALSE(boxes.TimedOut());
        ASSERT_EQ(boxes.Count(), 2u);

        ASSERT_TRUE(PollUntil(Idle, 10s));
        const std::vector<std::string> expected = {
            "192.168.1.23 02-4F-52-00-01-17",
            "192.168.1.7 02-4F-52-00-03-07",
            "192.168.1.1 02-4F-52-00-02-01",
        };
        EXPECT_EQ(Rows(d), expected);
        d.EndDialog(IDCANCEL);
    });
    for (const auto& box : boxes.Boxes()) {
        EXPECT_EQ(box.text, kBusy);
        EXPECT_EQ(box.caption, "Orvane");
        EXPECT_TRUE(box.style & wxICON_EXCLAMATION);
        EXPECT_EQ(box.parent, &dlg) << "the dialog's own message box";
    }
}

TEST_F(SweepTest, IdleScanAndClearEmptyTheList)
{
    REQUIRE_LAB();
    MessageBoxWatcher boxes;
    TestDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        NarrowTo27();
        ClickButton(d, IDC_SCAN);
        ASSERT_TRUE(PollUntil(Idle, 10s));
        ASSERT_EQ(Rows(d).size(), 3u);

        // A new sweep that finds nothing still starts from an empty list.
        g_localMask = inet_addr("255.255.255.255");
        ClickButton(d, IDC_SCAN);
        EXPECT_TRUE(Rows(d).empty());
        EXPECT_TRUE(PollUntil(Idle, 2s));

        dlg.m_listHosts.InsertItem(0, "192.168.1.9");
        ClickButton(d, IDC_CLEAR_LIST);
        EXPECT_TRUE(Rows(d).empty());
        d.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(SweepTest, AWorkerThatCannotStartIsReportedAndScanStaysUsable)
{
    REQUIRE_LAB();
    MessageBoxWatcher boxes;
    TestDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        g_localMask = inet_addr("255.255.255.255");
        afx::testing::FailNextThreadStart();
        ClickButton(d, IDC_SCAN);
        ASSERT_TRUE(PollUntil([&] { return boxes.Count() == 1; }));
        EXPECT_TRUE(Idle()) << "no worker will ever put the flag back";

        ClickButton(d, IDC_SCAN);
        EXPECT_TRUE(PollUntil(Idle, 2s));
        EXPECT_EQ(boxes.Count(), 1u) << "the second Scan starts normally";
        d.EndDialog(IDCANCEL);
    });
    ASSERT_GE(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "探测线程启动失败");
}

TEST_F(SweepTest, PickARowAndWakeItWhileTheSweepRuns)
{
    REQUIRE_LAB();
    const auto hosts = LabHosts();
    ASSERT_FALSE(hosts.empty());
    Listener there(hosts[0], WAKE_PORT);
    ASSERT_TRUE(there.Ready());
    MessageBoxWatcher boxes;
    TestDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        NarrowTo27();
        ClickButton(d, IDC_SCAN);
        ASSERT_TRUE(PollUntil([&] { return Rows(d).size() == 2; }, 5s));  // .7 on top of .1
        EXPECT_FALSE(Idle());
        wxListCtrl* list = List(d);
        ASSERT_TRUE(FocusControl(d, list));
        // The row may move down as answers arrive: pick it by its address.
        long row = -1;
        for (long i = 0; i < list->GetItemCount(); ++i)
            if (Utf8(list->GetItemText(i, 0)) == "192.168.1.7")
                row = i;
        ASSERT_GE(row, 0);
        ClickListRow(list, row);
        ASSERT_TRUE(PollUntil([&] { return Text(d, IDC_MAC6) == "07"; }));
        Click(FindControl(d, IDC_WAKE));
        ASSERT_TRUE(there.WaitFor(1, 3s));
        ASSERT_TRUE(PollUntil(Idle, 10s));
        d.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(boxes.Count(), 0u);
    const auto received = there.Received();
    ASSERT_EQ(received.size(), 1u);
    ASSERT_EQ(received[0].bytes.size(), 108u);
    const unsigned char mac[6] = {0x02, 0x4F, 0x52, 0x00, 0x03, 0x07};
    for (int copy = 1; copy <= 16; ++copy)
        EXPECT_EQ(std::vector<unsigned char>(received[0].bytes.begin() + 6 * copy,
                                             received[0].bytes.begin() + 6 * copy + 6),
                  std::vector<unsigned char>(mac, mac + 6))
            << "copy " << copy;
}

}  // namespace
