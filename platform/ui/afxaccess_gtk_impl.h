// What the GTK accessibility files share: the host list's ATK table, its
// cells, and the state both read from the list. Private to platform/ui.
#pragma once

#include <wx/listctrl.h>
#include <wx/window.h>

#include <atk/atk.h>
#include <gtk/gtk-a11y.h>
#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

namespace afx_atk {

struct ListState;

// A header (row -1) or a cell of the table.
struct CellData {
    std::weak_ptr<ListState> state;
    int row = -1;
    int column = 0;
    bool gone = false;
    std::string name;  // the last name handed out (ATK keeps the pointer)
};
struct OrvCell {
    AtkObject parent;
    CellData* d;
};

struct OrvTable {
    GtkWidgetAccessible parent;
    std::weak_ptr<ListState>* state;
};

GType orv_cell_get_type();
GType orv_table_get_type();

struct ListState {
    wxListCtrl* list = nullptr;                  // null once the list goes away
    wxWindow* body = nullptr;                    // the list's window that takes the focus
    wxWindow* header = nullptr;                  // the list's column headers
    AtkObject* table = nullptr;                  // owned; built when first asked for
    std::vector<AtkObject*> headers;             // owned, one per column
    std::vector<std::vector<AtkObject*>> cells;  // owned, per row; null until asked for
    AtkObject* focused = nullptr;                // the cell last announced as focused
    // The list's focus has been reported for the list itself, so its cell
    // may follow (until the list loses the focus again).
    bool focusReported = false;
    // The list came by the focus with no focused row: the row wx then marks
    // by itself is not the user's until a key or click selects it.
    bool focusImplicit = false;

    ~ListState()
    {
        Forget();
        if (table)
            g_object_unref(table);
    }
    int Rows() const { return list ? list->GetItemCount() : 0; }
    int Columns() const { return list ? list->GetColumnCount() : 0; }
    // Objects of rows or columns that went away become defunct.
    void DropCells();
    // The list or its widget goes: nothing is read from it any more, and the
    // table lets go of the widget (a screen reader may hold it a while).
    void Forget()
    {
        list = nullptr;
        body = nullptr;
        header = nullptr;
        focusReported = false;
        DropCells();
        if (table)
            gtk_accessible_set_widget(GTK_ACCESSIBLE(table), nullptr);
    }
    // Keeps the caches as long as the list and its columns.
    void Sync();
    AtkObject* Cell(int row, int column) { return row < 0 ? nullptr : Object(row, column); }  // borrowed
    AtkObject* Header(int column) { return Object(-1, column); }                              // borrowed
    bool RowSelected(int row) const
    {
        return list && row >= 0 && row < Rows() && list->GetItemState(row, wxLIST_STATE_SELECTED) != 0;
    }
    int FocusedRow() const
    {
        return list ? static_cast<int>(list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_FOCUSED)) : -1;
    }
    bool HasFocus() const
    {
        const wxWindow* focus = wxWindow::FindFocus();
        return body && focus && (focus == body || focus == list);
    }

private:
    // The header (row -1) or cell, made when first asked for; or null.
    AtkObject* Object(int row, int column);
};

inline CellData* DataOf(AtkObject* obj)
{
    return reinterpret_cast<OrvCell*>(obj)->d;
}

inline std::shared_ptr<ListState> StateOf(AtkObject* obj)
{
    auto* table = reinterpret_cast<OrvTable*>(obj);
    return table->state ? table->state->lock() : nullptr;
}

// A new reference for the caller, as ATK's ref_ functions hand out.
inline AtkObject* RefOrNull(AtkObject* obj)
{
    return obj ? ATK_OBJECT(g_object_ref(obj)) : nullptr;
}

// Marks a cell defunct and lets go of it.
void Drop(AtkObject* obj);

}  // namespace afx_atk
