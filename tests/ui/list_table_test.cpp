// The host list as screen readers see it on GTK (ATK, read in-process): a
// table over the list, following its rows, selection and clearing.
#include "platform/ui/afxcontrols.h"
#include "tests/support/guitest.h"
#include "tests/ui/testdlg.h"

#include <gtest/gtest.h>

#include <atk/atk.h>
#include <gtk/gtk.h>
#include <wx/listctrl.h>

#include <deque>
#include <string>
#include <vector>

using namespace guitest;

namespace {

// The first object with `role` under `root`, breadth first.
AtkObject* FindRole(AtkObject* root, AtkRole role)
{
    std::deque<AtkObject*> queue{root};
    while (!queue.empty()) {
        AtkObject* obj = queue.front();
        queue.pop_front();
        if (atk_object_get_role(obj) == role)
            return obj;
        for (int i = 0; i < atk_object_get_n_accessible_children(obj); ++i)
            if (AtkObject* child = atk_object_ref_accessible_child(obj, i)) {
                queue.push_back(child);
                g_object_unref(child);  // the widgets' accessibles live on
            }
    }
    return nullptr;
}

std::string Name(AtkObject* obj)
{
    const gchar* name = obj ? atk_object_get_name(obj) : nullptr;
    return name ? name : "<none>";
}

bool HasState(AtkObject* obj, AtkStateType state)
{
    AtkStateSet* set = atk_object_ref_state_set(obj);
    const bool has = atk_state_set_contains_state(set, state);
    g_object_unref(set);
    return has;
}

}  // namespace

TEST(ListTable, ATableOverTheListFollowingRowsSelectionAndClearing)
{
    CProbeDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        auto* list = FindControlAs<wxListCtrl>(d, IDC_HOST_LIST);
        dlg.m_list.InsertColumn(1, "IP", LVCFMT_CENTER, 95);
        dlg.m_list.InsertColumn(1, "MAC", LVCFMT_CENTER, 115);
        AtkObject* table =
            FindRole(gtk_widget_get_accessible(static_cast<GtkWidget*>(list->GetHandle())), ATK_ROLE_TABLE);
        ASSERT_TRUE(table);
        EXPECT_EQ(Name(atk_table_get_column_header(ATK_TABLE(table), 0)), "IP");
        EXPECT_EQ(Name(atk_table_get_column_header(ATK_TABLE(table), 1)), "MAC");
        EXPECT_EQ(atk_table_get_n_rows(ATK_TABLE(table)), 0);

        // Rows inserted at the top push the older ones down; a cell keeps
        // its row.
        dlg.m_list.InsertItem(0, "10.0.0.1");
        dlg.m_list.SetItemText(0, 1, "02-4F-52-00-00-01");
        AtkObject* older = atk_table_ref_at(ATK_TABLE(table), 0, 0);
        dlg.m_list.InsertItem(0, "10.0.0.2");
        dlg.m_list.SetItemText(0, 1, "02-4F-52-00-00-02");
        EXPECT_EQ(atk_table_get_n_rows(ATK_TABLE(table)), 2);
        gint row = -1, column = -1;
        EXPECT_TRUE(atk_table_cell_get_position(ATK_TABLE_CELL(older), &row, &column));
        EXPECT_EQ(row, 1);
        EXPECT_EQ(Name(older), "10.0.0.1");
        AtkObject* newest = atk_table_ref_at(ATK_TABLE(table), 0, 1);
        EXPECT_EQ(Name(newest), "02-4F-52-00-00-02");
        EXPECT_EQ(atk_object_get_role(newest), ATK_ROLE_TABLE_CELL);

        // The list's selection is the table's; selecting from the table is
        // a selection the dialog hears of.
        list->SetItemState(1, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
        EXPECT_TRUE(atk_table_is_row_selected(ATK_TABLE(table), 1));
        EXPECT_TRUE(HasState(older, ATK_STATE_SELECTED));
        const int changes = dlg.listChanges;
        EXPECT_TRUE(atk_table_add_row_selection(ATK_TABLE(table), 0));
        EXPECT_EQ(dlg.m_list.GetNextItem(-1, LVNI_SELECTED), 0);
        EXPECT_GT(dlg.listChanges, changes);
        gint* selected = nullptr;
        ASSERT_EQ(atk_table_get_selected_rows(ATK_TABLE(table), &selected), 1);
        EXPECT_EQ(selected[0], 0);
        g_free(selected);

        // Cleared: no rows, and the cells read before are gone.
        dlg.m_list.DeleteAllItems();
        EXPECT_EQ(atk_table_get_n_rows(ATK_TABLE(table)), 0);
        EXPECT_TRUE(HasState(older, ATK_STATE_DEFUNCT));
        EXPECT_TRUE(HasState(newest, ATK_STATE_DEFUNCT));
        g_object_unref(older);
        g_object_unref(newest);
        d.EndDialog(IDCANCEL);
    });
}

// A screen reader may hold a cell (and through it the table) for a while
// after the list is gone: both then say they are defunct and read nothing
// from the list or its widget.
TEST(ListTable, ACellHeldPastTheListReadsNothingOfIt)
{
    CProbeDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        wxWindow* parent = FindControlAs<wxListCtrl>(d, IDC_HOST_LIST)->GetParent();
        auto* list = new wxListCtrl(parent, wxID_ANY, wxDefaultPosition, wxSize(200, 100), wxLC_REPORT);
        afx::ExposeListAsTable(list);
        list->InsertColumn(0, L"IP");
        list->InsertItem(0, L"10.0.0.1");
        AtkObject* table =
            FindRole(gtk_widget_get_accessible(static_cast<GtkWidget*>(list->GetHandle())), ATK_ROLE_TABLE);
        ASSERT_TRUE(table);
        AtkObject* cell = atk_table_ref_at(ATK_TABLE(table), 0, 0);
        ASSERT_TRUE(cell);
        EXPECT_EQ(Name(cell), "10.0.0.1");

        delete list;
        EXPECT_TRUE(HasState(cell, ATK_STATE_DEFUNCT));
        table = atk_object_get_parent(cell);
        ASSERT_TRUE(table);
        EXPECT_TRUE(HasState(table, ATK_STATE_DEFUNCT));
        EXPECT_EQ(atk_table_get_n_rows(ATK_TABLE(table)), 0);
        EXPECT_EQ(atk_object_get_n_accessible_children(table), 0);
        atk_object_get_name(table);
        if (AtkRelationSet* relations = atk_object_ref_relation_set(table))
            g_object_unref(relations);
        gint x = 0, y = 0, w = 0, h = 0;
        atk_component_get_extents(ATK_COMPONENT(cell), &x, &y, &w, &h, ATK_XY_SCREEN);
        EXPECT_EQ(w, -1);
        g_object_unref(cell);
        d.EndDialog(IDCANCEL);
    });
}

// Leaks one cell on purpose, so it runs only as ui.lsan.leaked_cell in the
// AddressSanitizer tree: LeakSanitizer must name it there, which shows that
// the suppressions for the toolkit's own leaks leave ours visible.
TEST(ListTable, DISABLED_ACellLeakedOnPurpose)
{
    CProbeDlg dlg;
    RunModal(dlg, [&](CDialog& d) {
        dlg.m_list.InsertColumn(0, "IP");
        dlg.m_list.InsertItem(0, "10.0.0.1");
        auto* list = FindControlAs<wxListCtrl>(d, IDC_HOST_LIST);
        AtkObject* table =
            FindRole(gtk_widget_get_accessible(static_cast<GtkWidget*>(list->GetHandle())), ATK_ROLE_TABLE);
        ASSERT_TRUE(table);
        EXPECT_TRUE(atk_table_ref_at(ATK_TABLE(table), 0, 0));  // never unreferenced
        d.EndDialog(IDCANCEL);
    });
}
