// The octet fields with real key input: moving on after two characters,
// and filling all six from a selected host row.
#include "tests/app/app_test_support.h"
#include "tests/support/lab.h"

#include <gtest/gtest.h>

using namespace apptest;
using namespace labtest;
using namespace guitest;

namespace {

class OctetEntryTest : public ::testing::Test {
protected:
    void SetUp() override { ResetGlobals(); }
};

void Load(TestDlg& dlg, int id, const char* text)
{
    CString* members[] = {&dlg.m_strMac1, &dlg.m_strMac2, &dlg.m_strMac3,
                          &dlg.m_strMac4, &dlg.m_strMac5, &dlg.m_strMac6};
    *members[id - IDC_MAC1] = text;
    dlg.UpdateData(FALSE);
}

TEST_F(OctetEntryTest, TwelveDigitsFillAllFieldsAndEndOnWake)
{
    REQUIRE_LAB();
    TestDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        ASSERT_TRUE(FocusControl(d, FindControl(d, IDC_MAC1)));
        TypeText("001a2b3c4d5e");
        ASSERT_TRUE(PollUntil([&] { return FocusedId(d) == IDC_WAKE; }));
        EXPECT_EQ(OctetTexts(d), (std::vector<std::string>{"00", "1A", "2B", "3C", "4D", "5E"}));
        d.EndDialog(IDCANCEL);
    });
}

TEST_F(OctetEntryTest, OnlyAChangeThatLeavesTwoCharactersMovesOn)
{
    REQUIRE_LAB();
    TestDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        // The second character typed into the last field moves to Wake.
        ASSERT_TRUE(FocusControl(d, FindControl(d, IDC_MAC6)));
        TypeText("f");
        Flush();
        EXPECT_EQ(FocusedId(d), IDC_MAC6) << "one character stays";
        TypeText("e");
        EXPECT_TRUE(PollUntil([&] { return FocusedId(d) == IDC_WAKE; }));
        EXPECT_EQ(Text(d, IDC_MAC6), "FE");

        // Deleting one of two characters stays.
        Load(dlg, IDC_MAC2, "AB");
        ASSERT_TRUE(FocusControl(d, FindControl(d, IDC_MAC2)));
        PressKey(WXK_END);
        PressKey(WXK_BACK);
        ASSERT_TRUE(PollUntil([&] { return Text(d, IDC_MAC2) == "A"; }));
        Flush();
        EXPECT_EQ(FocusedId(d), IDC_MAC2);

        // A third character typed into a full field stays (length 3).
        Load(dlg, IDC_MAC3, "CD");
        ASSERT_TRUE(FocusControl(d, FindControl(d, IDC_MAC3)));
        PressKey(WXK_END);
        TypeText("e");
        ASSERT_TRUE(PollUntil([&] { return Text(d, IDC_MAC3) == "CDE"; }));
        Flush();
        EXPECT_EQ(FocusedId(d), IDC_MAC3);

        // Deleting one of three leaves two: it moves on, text selected.
        PressKey(WXK_BACK);
        EXPECT_TRUE(PollUntil([&] { return FocusedId(d) == IDC_MAC4; }));
        EXPECT_EQ(Text(d, IDC_MAC3), "CD");

        d.EndDialog(IDCANCEL);
    });
}

TEST_F(OctetEntryTest, PasteOfTwoCharactersMovesOnUpperCased)
{
    REQUIRE_LAB();
    TestDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        ASSERT_TRUE(SetClipboardText("ab"));
        ASSERT_TRUE(FocusControl(d, FindControl(d, IDC_MAC4)));
        PressKey('V', wxMOD_CONTROL);
        EXPECT_TRUE(PollUntil([&] { return FocusedId(d) == IDC_MAC5; }));
        EXPECT_EQ(Text(d, IDC_MAC4), "AB");
        d.EndDialog(IDCANCEL);
    });
}

TEST_F(OctetEntryTest, OneChineseCharacterCountsAsTwo)
{
    REQUIRE_LAB();
    TestDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        ASSERT_TRUE(FocusControl(d, FindControl(d, IDC_MAC2)));
        // What an input method commits: one character, two GBK bytes.
        Edit(d, IDC_MAC2)->WriteText(wxString::FromUTF8("中"));
        EXPECT_TRUE(PollUntil([&] { return FocusedId(d) == IDC_MAC3; }));
        EXPECT_EQ(dlg.m_strMac2.GetLength(), 2);
        EXPECT_EQ(Text(d, IDC_MAC2), "中");
        d.EndDialog(IDCANCEL);
    });
}

TEST_F(OctetEntryTest, SelectingAHostRowFillsTheFieldsWithoutMovingTheFocus)
{
    REQUIRE_LAB();
    TestDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        dlg.m_listHosts.InsertItem(0, "192.168.1.1");
        dlg.m_listHosts.SetItemText(0, 1, "02-4F-52-00-02-01");
        dlg.m_listHosts.InsertItem(0, "192.168.1.100");
        dlg.m_listHosts.SetItemText(0, 1, "00-1A-2B-3C-4D-5E");
        wxListCtrl* list = List(d);
        ASSERT_TRUE(FocusControl(d, list));

        ClickListRow(list, 0);
        ASSERT_TRUE(PollUntil([&] { return Text(d, IDC_MAC1) == "00"; }));
        EXPECT_EQ(OctetTexts(d), (std::vector<std::string>{"00", "1A", "2B", "3C", "4D", "5E"}));
        EXPECT_EQ(dlg.m_strSelectedMac, "001A2B3C4D5E");
        Flush();
        EXPECT_EQ(FocusedId(d), IDC_HOST_LIST) << "loading the fields must not move the focus";

        ClickListRow(list, 1);
        ASSERT_TRUE(PollUntil([&] { return Text(d, IDC_MAC1) == "02"; }));
        EXPECT_EQ(OctetTexts(d), (std::vector<std::string>{"02", "4F", "52", "00", "02", "01"}));
        EXPECT_EQ(FocusedId(d), IDC_HOST_LIST);

        // A click on the empty part of the list deselects: the fields empty.
        const wxSize size = list->GetClientSize();
        ClickAt(list, wxPoint(size.x / 2, size.y - 10));
        EXPECT_TRUE(PollUntil([&] { return Text(d, IDC_MAC1).empty(); }));
        EXPECT_EQ(OctetTexts(d), (std::vector<std::string>(6, "")));
        EXPECT_EQ(dlg.m_strSelectedMac, "");
        d.EndDialog(IDCANCEL);
    });
}

}  // namespace
