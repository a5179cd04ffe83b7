// Work carried out on the UI thread for a worker, and the list operations
// built on it.
#include "tests/support/guitest.h"
#include "tests/ui/testdlg.h"

#include "platform/ui/uicall.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/listctrl.h>

#include <atomic>
#include <thread>

using namespace guitest;

namespace {

CString Gbk(const char* utf8)
{
    return CString(GbkFromUtf8(utf8));
}

// A report list with the program's two columns.
void PrepareList(CProbeDlg& d)
{
    d.m_list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    d.m_list.InsertColumn(1, Gbk("IP地址"), LVCFMT_CENTER, 95);
    d.m_list.InsertColumn(1, Gbk("MAC地址"), LVCFMT_CENTER, 115);
}

}  // namespace

TEST(RunOnUiThread, FromTheUiThreadRunsInlineWhileTheLifelineLives)
{
    auto lifeline = std::make_shared<int>(0);
    int runs = 0;
    EXPECT_TRUE(afx::RunOnUiThread(lifeline, [&] { ++runs; }));
    EXPECT_EQ(runs, 1);
    std::weak_ptr<void> weak = lifeline;
    lifeline.reset();
    EXPECT_FALSE(afx::RunOnUiThread(weak, [&] { ++runs; }));
    EXPECT_EQ(runs, 1);
}

TEST(RunOnUiThread, AWorkersCallRunsOnTheUiThreadAndReturnsWhenDone)
{
    auto lifeline = std::make_shared<int>(0);
    const std::thread::id ui = std::this_thread::get_id();
    std::atomic<bool> done{false};
    bool ranOnUi = false, result = false;
    std::thread worker([&] {
        result = afx::RunOnUiThread(lifeline, [&] { ranOnUi = std::this_thread::get_id() == ui; });
        done = true;
    });
    EXPECT_TRUE(PollUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_TRUE(result);
    EXPECT_TRUE(ranOnUi);
}

TEST(RunOnUiThread, ACallQueuedBeforeTheLifelineEndsNeverRuns)
{
    Flush();  // nothing else queued
    auto lifeline = std::make_shared<int>(0);
    std::atomic<bool> done{false};
    std::atomic<bool> ran{false};
    bool result = true;
    std::thread worker([&, weak = std::weak_ptr<void>(lifeline)] {
        result = afx::RunOnUiThread(weak, [&] { ran = true; });
        done = true;
    });
    // Without yielding, wait until the call is queued, then end the
    // lifeline before the UI thread gets to it.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!wxTheApp->HasPendingEvents() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_TRUE(wxTheApp->HasPendingEvents());
    lifeline.reset();
    EXPECT_TRUE(PollUntil([&] { return done.load(); }, 1000ms));
    worker.join();
    Flush();  // the queued call comes up now, and must not run
    EXPECT_FALSE(result);
    EXPECT_FALSE(ran);
}

TEST(RunOnUiThread, AWaitingWorkerIsReleasedWhenTheProcessEnds)
{
    Flush();
    auto lifeline = std::make_shared<int>(0);
    std::atomic<bool> done{false};
    bool result = true, ran = false;
    std::thread worker([&] {
        result = afx::RunOnUiThread(lifeline, [&] { ran = true; });
        done = true;
    });
    while (!wxTheApp->HasPendingEvents())
        std::this_thread::yield();
    // The UI thread ends the process without serving the queue: the join
    // returns only because the worker was let go.
    afx::BeginProcessEnd();
    worker.join();
    EXPECT_TRUE(done);
    EXPECT_FALSE(result);
    Flush();
    EXPECT_FALSE(ran);
    afx::testing::ResetProcessEnd();
}

TEST(ListFromAWorker, RowsInsertedFromAWorkerAreCarriedOutInOrder)
{
    CProbeDlg dlg;
    dlg.onInit = PrepareList;
    RunModal(dlg, [&](CDialog& d) {
        constexpr int kRows = 300;
        std::atomic<bool> done{false};
        std::vector<int> indexes;
        std::thread worker([&] {
            for (int i = 0; i < kRows; ++i) {
                CString ip, mac;
                ip.Format("10.0.%d.%d", i / 256, i % 256);
                mac.Format("02-4F-52-00-%02X-%02X", i / 256, i % 256);
                indexes.push_back(dlg.m_list.InsertItem(0, ip));
                dlg.m_list.SetItemText(0, 1, mac);
            }
            done = true;
        });
        ASSERT_TRUE(PollUntil([&] { return done.load(); }, 20000ms));
        worker.join();
        EXPECT_EQ(indexes, std::vector<int>(kRows, 0));
        auto* list = FindControlAs<wxListCtrl>(d, IDC_HOST_LIST);
        ASSERT_EQ(list->GetItemCount(), kRows);
        EXPECT_EQ(Utf8(list->GetItemText(0, 0)), "10.0.1.43");  // the last first
        EXPECT_EQ(Utf8(list->GetItemText(0, 1)), "02-4F-52-00-01-2B");
        EXPECT_EQ(Utf8(list->GetItemText(kRows - 1, 0)), "10.0.0.0");
        EXPECT_EQ(list->GetColumnCount(), 2);
        for (const auto& [column, heading] : {std::pair{0, "IP地址"}, std::pair{1, "MAC地址"}}) {
            wxListItem item;
            item.SetMask(wxLIST_MASK_TEXT);
            ASSERT_TRUE(list->GetColumn(column, item));
            EXPECT_EQ(Utf8(item.GetText()), heading);
        }
        EXPECT_TRUE(list->HasFlag(wxLC_HRULES) && list->HasFlag(wxLC_VRULES));
        d.EndDialog(IDCANCEL);
    });
}

TEST(ListFromAWorker, ReadsAndFailureValuesFromAnyThread)
{
    CProbeDlg dlg;
    dlg.onInit = PrepareList;
    RunModal(dlg, [&](CDialog& d) {
        CListCtrl& list = dlg.m_list;
        list.InsertItem(0, "192.168.1.1");
        list.SetItemText(0, 1, "00-1A-2B-3C-4D-5E");
        list.InsertItem(5, "192.168.1.2");  // beyond the end: appended
        FindControlAs<wxListCtrl>(d, IDC_HOST_LIST)
            ->SetItemState(1, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);

        struct Reads {
            int selected = -2, afterSelected = -2, count = -2, badInsert = -2;
            CString text, missingRow, missingColumn;
            BOOL badSet = -1;
        };
        auto read = [&list] {
            Reads r;
            r.selected = list.GetNextItem(-1, LVNI_SELECTED);
            r.afterSelected = list.GetNextItem(r.selected, LVNI_SELECTED);
            r.count = list.GetItemCount();
            r.text = list.GetItemText(0, 1);
            r.missingRow = list.GetItemText(7, 0);
            r.missingColumn = list.GetItemText(0, 5);
            r.badSet = list.SetItemText(9, 1, "x");
            r.badInsert = list.InsertItem(-1, "x");
            return r;
        };
        const Reads onUi = read();
        Reads onWorker;
        std::atomic<bool> done{false};
        std::thread worker([&] {
            onWorker = read();
            done = true;
        });
        ASSERT_TRUE(PollUntil([&] { return done.load(); }));
        worker.join();
        for (const Reads& r : {onUi, onWorker}) {
            EXPECT_EQ(r.selected, 1);
            EXPECT_EQ(r.afterSelected, -1);
            EXPECT_EQ(r.count, 2);
            EXPECT_EQ(r.text, "00-1A-2B-3C-4D-5E");
            EXPECT_TRUE(r.missingRow.IsEmpty());
            EXPECT_TRUE(r.missingColumn.IsEmpty());
            EXPECT_EQ(r.badSet, FALSE);
            EXPECT_EQ(r.badInsert, -1);
        }
        EXPECT_TRUE(list.DeleteAllItems());
        EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), -1);
        d.EndDialog(IDCANCEL);
    });
}

TEST(ListFromAWorker, CallsAreCarriedOutWhileAMessageBoxIsOpen)
{
    MessageBoxWatcher watcher(MessageBoxWatcher::Mode::KeepOpen);
    CProbeDlg dlg;
    dlg.onInit = PrepareList;
    RunModal(dlg, [&](CDialog& d) {
        constexpr int kRows = 20;
        std::atomic<bool> boxOpen{false};
        std::atomic<int> inserted{0};
        std::thread worker([&] {
            while (!boxOpen)
                std::this_thread::yield();
            for (int i = 0; i < kRows; ++i)
                if (dlg.m_list.InsertItem(0, "10.0.0.1") == 0)
                    ++inserted;
        });
        // The box closes once every row is in; the rows can only have come
        // while it was open.
        watcher.CloseWhen([&] {
            boxOpen = true;
            return inserted == kRows;
        });
        d.MessageBox(GbkFromUtf8("正在探测....\n请等待结束").c_str(), nullptr, MB_OK | MB_ICONEXCLAMATION);
        worker.join();
        EXPECT_FALSE(watcher.TimedOut());
        EXPECT_EQ(inserted, kRows);
        EXPECT_EQ(dlg.m_list.GetItemCount(), kRows);
        d.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(watcher.Count(), 1u);
}

TEST(ListFromAWorker, CallsAreCarriedOutWhileANestedDialogIsOpen)
{
    CProbeDlg dlg;
    dlg.onInit = PrepareList;
    RunModal(dlg, [&](CDialog& d) {
        std::atomic<bool> start{false};
        std::atomic<int> inserted{0};
        std::thread worker([&] {
            while (!start)
                std::this_thread::yield();
            for (int i = 0; i < 10; ++i)
                if (dlg.m_list.InsertItem(0, "10.0.0.2") == 0)
                    ++inserted;
        });
        CPlainDlg about(IDD_ABOUTBOX, &dlg);
        bool allIn = false;
        RunModal(about, [&](CDialog& a) {
            start = true;
            allIn = PollUntil([&] { return inserted == 10; });
            a.EndDialog(IDOK);
        });
        worker.join();
        EXPECT_TRUE(allIn);
        d.EndDialog(IDCANCEL);
    });
}

TEST(ListFromAWorker, AfterTheWindowIsGoneCallsFailQuicklyAndTouchNothing)
{
    CProbeDlg dlg;
    dlg.onInit = PrepareList;
    RunModal(dlg, [](CDialog& d) { d.EndDialog(IDOK); });
    ASSERT_FALSE(dlg.HasWindow());

    int inserted = 0, next = 0, count = -1;
    BOOL set = TRUE, cleared = TRUE;
    CString text("x");
    std::thread worker([&] {
        inserted = dlg.m_list.InsertItem(0, "10.0.0.1");
        set = dlg.m_list.SetItemText(0, 1, "00-00-00-00-00-00");
        next = dlg.m_list.GetNextItem(-1, LVNI_SELECTED);
        text = dlg.m_list.GetItemText(0, 0);
        cleared = dlg.m_list.DeleteAllItems();
        count = dlg.m_list.GetItemCount();
    });
    worker.join();  // without serving the UI queue: nothing waits for it
    EXPECT_EQ(inserted, -1);
    EXPECT_EQ(set, FALSE);
    EXPECT_EQ(next, -1);
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_EQ(cleared, FALSE);
    EXPECT_EQ(count, 0);
}
