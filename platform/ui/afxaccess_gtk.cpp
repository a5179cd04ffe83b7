// What screen readers learn about the controls, on GTK (ATK).
//
// wx's report list on GTK is its own drawing on a bare widget, which ATK
// shows as an empty panel. The list keeps its model, drawing, keys and
// events, on which the dialog relies; the widget that takes its keyboard
// focus gets an ATK table instead: the column headers, a cell per row and
// column, the selected row and the focused cell. Everything is read from
// the list when asked, and the list's own notifications are passed on, so
// the table never holds a copy of the rows. Nothing is built until an
// assistive technology asks.
#include "platform/ui/afxcontrols.h"

#include <wx/listctrl.h>
#include <wx/window.h>

#include <atk/atk.h>
#include <gtk/gtk-a11y.h>
#include <gtk/gtk.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

struct ListState;

// ---------------------------------------------------------------- types
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
struct OrvCellClass {
    AtkObjectClass parent_class;
};

struct OrvTable {
    GtkWidgetAccessible parent;
    std::weak_ptr<ListState>* state;
};
struct OrvTableClass {
    GtkWidgetAccessibleClass parent_class;
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
    void Forget()
    {
        list = nullptr;
        body = nullptr;
        header = nullptr;
        DropCells();
    }
    // Keeps the caches as long as the list and its columns.
    void Sync();
    AtkObject* Cell(int row, int column);  // borrowed, or null
    AtkObject* Header(int column);         // borrowed, or null
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
};

CellData* DataOf(AtkObject* obj)
{
    return reinterpret_cast<OrvCell*>(obj)->d;
}

std::shared_ptr<ListState> StateOf(AtkObject* obj)
{
    auto* table = reinterpret_cast<OrvTable*>(obj);
    return table->state ? table->state->lock() : nullptr;
}

void Drop(AtkObject* obj)
{
    if (!obj)
        return;
    DataOf(obj)->gone = true;
    atk_object_notify_state_change(obj, ATK_STATE_DEFUNCT, TRUE);
    g_object_unref(obj);
}

void ListState::DropCells()
{
    focused = nullptr;
    for (auto& row : cells)
        for (AtkObject* cell : row)
            Drop(cell);
    cells.clear();
    for (AtkObject* h : headers)
        Drop(h);
    headers.clear();
}

void ListState::Sync()
{
    const auto rows = static_cast<std::size_t>(Rows());
    const auto columns = static_cast<std::size_t>(Columns());
    if (headers.size() != columns || cells.size() != rows) {
        DropCells();
        headers.assign(columns, nullptr);
        cells.assign(rows, std::vector<AtkObject*>(columns, nullptr));
    }
}

AtkObject* NewCell(ListState& s, const std::shared_ptr<ListState>& self, int row, int column)
{
    auto* obj = static_cast<AtkObject*>(g_object_new(orv_cell_get_type(), nullptr));
    CellData* d = DataOf(obj);
    d->state = self;
    d->row = row;
    d->column = column;
    atk_object_set_role(obj, row < 0 ? ATK_ROLE_TABLE_COLUMN_HEADER : ATK_ROLE_TABLE_CELL);
    atk_object_set_parent(obj, s.table);
    return obj;
}

std::shared_ptr<ListState> SelfOf(ListState& s)
{
    return s.table ? StateOf(s.table) : nullptr;
}

AtkObject* ListState::Cell(int row, int column)
{
    Sync();
    if (!table || row < 0 || column < 0 || row >= static_cast<int>(cells.size()) ||
        column >= static_cast<int>(headers.size()))
        return nullptr;
    AtkObject*& slot = cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
    if (!slot)
        slot = NewCell(*this, SelfOf(*this), row, column);
    return slot;
}

AtkObject* ListState::Header(int column)
{
    Sync();
    if (!table || column < 0 || column >= static_cast<int>(headers.size()))
        return nullptr;
    AtkObject*& slot = headers[static_cast<std::size_t>(column)];
    if (!slot)
        slot = NewCell(*this, SelfOf(*this), -1, column);
    return slot;
}

// --------------------------------------------------------------- the cell
std::shared_ptr<ListState> LiveState(AtkObject* obj)
{
    CellData* d = DataOf(obj);
    if (d->gone)
        return nullptr;
    auto s = d->state.lock();
    return s && s->list ? s : nullptr;
}

const gchar* CellGetName(AtkObject* obj)
{
    if (obj->name)
        return obj->name;
    CellData* d = DataOf(obj);
    auto s = LiveState(obj);
    if (!s)
        return nullptr;
    wxString text;
    if (d->row < 0) {
        wxListItem item;
        item.SetMask(wxLIST_MASK_TEXT);
        if (d->column < s->Columns() && s->list->GetColumn(d->column, item))
            text = item.GetText();
    } else if (d->row < s->Rows() && d->column < s->Columns()) {
        text = s->list->GetItemText(d->row, d->column);
    }
    d->name = text.utf8_string();
    return d->name.c_str();
}

gint CellGetIndexInParent(AtkObject* obj)
{
    CellData* d = DataOf(obj);
    auto s = LiveState(obj);
    if (!s)
        return -1;
    return d->row < 0 ? d->column : s->Columns() * (d->row + 1) + d->column;
}

// The cell's rectangle in the list's client coordinates.
bool CellRect(const ListState& s, const CellData& d, wxRect* rect)
{
    if (d.row < 0) {
        if (!s.header || !s.list)
            return false;
        int x = 0;
        for (int c = 0; c < d.column; ++c)
            x += s.list->GetColumnWidth(c);
        const wxPoint origin = s.list->ScreenToClient(s.header->GetScreenPosition());
        *rect = wxRect(origin.x + x, origin.y, s.list->GetColumnWidth(d.column), s.header->GetSize().y);
        return true;
    }
    wxRect row;
    if (!s.list->GetItemRect(d.row, row))
        return false;
    int x = row.x;
    for (int c = 0; c < d.column; ++c)
        x += s.list->GetColumnWidth(c);
    *rect = wxRect(x, row.y, s.list->GetColumnWidth(d.column), row.height);
    return true;
}

AtkStateSet* CellRefStateSet(AtkObject* obj)
{
    AtkStateSet* set = atk_state_set_new();
    CellData* d = DataOf(obj);
    auto s = LiveState(obj);
    if (!s) {
        atk_state_set_add_state(set, ATK_STATE_DEFUNCT);
        return set;
    }
    for (AtkStateType t : {ATK_STATE_ENABLED, ATK_STATE_SENSITIVE, ATK_STATE_VISIBLE, ATK_STATE_TRANSIENT})
        atk_state_set_add_state(set, t);
    wxRect rect;
    if (s->list->IsShownOnScreen() && CellRect(*s, *d, &rect) &&
        rect.Intersects(wxRect(s->list->GetClientSize())))
        atk_state_set_add_state(set, ATK_STATE_SHOWING);
    if (d->row < 0)
        return set;
    atk_state_set_add_state(set, ATK_STATE_SELECTABLE);
    atk_state_set_add_state(set, ATK_STATE_FOCUSABLE);
    atk_state_set_add_state(set, ATK_STATE_SINGLE_LINE);
    if (s->RowSelected(d->row))
        atk_state_set_add_state(set, ATK_STATE_SELECTED);
    if (d->column == 0 && s->HasFocus() && s->FocusedRow() == d->row)
        atk_state_set_add_state(set, ATK_STATE_FOCUSED);
    return set;
}

void CellGetExtents(AtkComponent* component, gint* x, gint* y, gint* width, gint* height, AtkCoordType type)
{
    *x = *y = *width = *height = -1;
    auto* obj = ATK_OBJECT(component);
    auto s = LiveState(obj);
    wxRect rect;
    if (!s || !CellRect(*s, *DataOf(obj), &rect))
        return;
    wxPoint at = s->list->ClientToScreen(rect.GetPosition());
    if (type == ATK_XY_WINDOW || type == ATK_XY_PARENT) {
        wxWindow* origin = type == ATK_XY_WINDOW ? wxGetTopLevelParent(s->list) : s->body;
        if (origin)
            at -= origin->GetScreenPosition();
    }
    *x = at.x;
    *y = at.y;
    *width = rect.width;
    *height = rect.height;
}

gboolean CellGrabFocus(AtkComponent* component)
{
    auto* obj = ATK_OBJECT(component);
    auto s = LiveState(obj);
    CellData* d = DataOf(obj);
    if (!s || d->row < 0 || d->row >= s->Rows())
        return FALSE;
    s->body->SetFocus();
    s->list->SetItemState(d->row, wxLIST_STATE_FOCUSED, wxLIST_STATE_FOCUSED);
    return TRUE;
}

void orv_cell_component_init(AtkComponentIface* iface)
{
    iface->get_extents = CellGetExtents;
    iface->grab_focus = CellGrabFocus;
}

gboolean CellGetPosition(AtkTableCell* cell, gint* row, gint* column)
{
    CellData* d = DataOf(ATK_OBJECT(cell));
    if (d->row < 0 || !LiveState(ATK_OBJECT(cell)))
        return FALSE;
    *row = d->row;
    *column = d->column;
    return TRUE;
}

gint CellSpan(AtkTableCell*)
{
    return 1;
}

gboolean CellGetRowColumnSpan(AtkTableCell* cell, gint* row, gint* column, gint* rowSpan, gint* columnSpan)
{
    *rowSpan = *columnSpan = 1;
    return CellGetPosition(cell, row, column);
}

AtkObject* CellGetTable(AtkTableCell* cell)
{
    auto s = LiveState(ATK_OBJECT(cell));
    return s && s->table ? ATK_OBJECT(g_object_ref(s->table)) : nullptr;
}

GPtrArray* CellGetColumnHeaderCells(AtkTableCell* cell)
{
    GPtrArray* headers = g_ptr_array_new_with_free_func(g_object_unref);
    auto s = LiveState(ATK_OBJECT(cell));
    if (s)
        if (AtkObject* h = s->Header(DataOf(ATK_OBJECT(cell))->column))
            g_ptr_array_add(headers, g_object_ref(h));
    return headers;
}

GPtrArray* CellGetRowHeaderCells(AtkTableCell*)
{
    return g_ptr_array_new_with_free_func(g_object_unref);
}

void orv_cell_table_cell_init(AtkTableCellIface* iface)
{
    iface->get_position = CellGetPosition;
    iface->get_row_span = CellSpan;
    iface->get_column_span = CellSpan;
    iface->get_row_column_span = CellGetRowColumnSpan;
    iface->get_table = CellGetTable;
    iface->get_column_header_cells = CellGetColumnHeaderCells;
    iface->get_row_header_cells = CellGetRowHeaderCells;
}

G_DEFINE_TYPE_WITH_CODE(OrvCell, orv_cell, ATK_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_COMPONENT, orv_cell_component_init)
                            G_IMPLEMENT_INTERFACE(ATK_TYPE_TABLE_CELL, orv_cell_table_cell_init))

void orv_cell_init(OrvCell* cell)
{
    cell->d = new CellData;
}

void CellFinalize(GObject* obj)
{
    delete reinterpret_cast<OrvCell*>(obj)->d;
    G_OBJECT_CLASS(orv_cell_parent_class)->finalize(obj);
}

void orv_cell_class_init(OrvCellClass* klass)
{
    G_OBJECT_CLASS(klass)->finalize = CellFinalize;
    AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
    atk->get_name = CellGetName;
    atk->get_index_in_parent = CellGetIndexInParent;
    atk->ref_state_set = CellRefStateSet;
}

// -------------------------------------------------------------- the table
AtkObjectClass* TableParent()
{
    return ATK_OBJECT_CLASS(g_type_class_peek(GTK_TYPE_WIDGET_ACCESSIBLE));
}

gint TableGetNChildren(AtkObject* obj)
{
    auto s = StateOf(obj);
    return s ? s->Columns() * (s->Rows() + 1) : 0;
}

AtkObject* TableRefChild(AtkObject* obj, gint i)
{
    auto s = StateOf(obj);
    const int columns = s ? s->Columns() : 0;
    if (!s || columns == 0 || i < 0)
        return nullptr;
    AtkObject* child = i < columns ? s->Header(i) : s->Cell(i / columns - 1, i % columns);
    return child ? ATK_OBJECT(g_object_ref(child)) : nullptr;
}

AtkStateSet* TableRefStateSet(AtkObject* obj)
{
    AtkStateSet* set = TableParent()->ref_state_set(obj);
    atk_state_set_add_state(set, ATK_STATE_MANAGES_DESCENDANTS);
    return set;
}

// The label the toolkit related to the list names its table too.
AtkRelationSet* TableRefRelationSet(AtkObject* obj)
{
    AtkRelationSet* relations = TableParent()->ref_relation_set(obj);
    auto s = StateOf(obj);
    if (!relations || !s || !s->list || atk_relation_set_contains(relations, ATK_RELATION_LABELLED_BY))
        return relations;
    AtkObject* outer = gtk_widget_get_accessible(static_cast<GtkWidget*>(s->list->GetHandle()));
    AtkRelationSet* outerRelations = outer ? atk_object_ref_relation_set(outer) : nullptr;
    if (!outerRelations)
        return relations;
    if (AtkRelation* by = atk_relation_set_get_relation_by_type(outerRelations, ATK_RELATION_LABELLED_BY)) {
        GPtrArray* targets = atk_relation_get_target(by);
        for (guint i = 0; targets && i < targets->len; ++i)
            atk_relation_set_add_relation_by_type(relations, ATK_RELATION_LABELLED_BY,
                                                  ATK_OBJECT(g_ptr_array_index(targets, i)));
    }
    g_object_unref(outerRelations);
    return relations;
}

// A screen reader reads the label as the table's name; so does this.
const gchar* TableGetName(AtkObject* obj)
{
    const gchar* own = TableParent()->get_name(obj);
    if (own && *own)
        return own;
    const gchar* name = own;
    AtkRelationSet* relations = atk_object_ref_relation_set(obj);
    if (!relations)
        return name;
    if (AtkRelation* by = atk_relation_set_get_relation_by_type(relations, ATK_RELATION_LABELLED_BY)) {
        GPtrArray* targets = atk_relation_get_target(by);
        if (targets && targets->len > 0)
            name = atk_object_get_name(ATK_OBJECT(g_ptr_array_index(targets, 0)));
    }
    g_object_unref(relations);
    return name;
}

void TableInitialize(AtkObject* obj, gpointer data)
{
    TableParent()->initialize(obj, data);
    obj->role = ATK_ROLE_TABLE;
}

AtkObject* TableRefAt(AtkTable* table, gint row, gint column)
{
    auto s = StateOf(ATK_OBJECT(table));
    AtkObject* cell = s ? s->Cell(row, column) : nullptr;
    return cell ? ATK_OBJECT(g_object_ref(cell)) : nullptr;
}

gint TableGetIndexAt(AtkTable* table, gint row, gint column)
{
    auto s = StateOf(ATK_OBJECT(table));
    return s ? s->Columns() * (row + 1) + column : -1;
}

gint TableGetColumnAtIndex(AtkTable* table, gint index)
{
    auto s = StateOf(ATK_OBJECT(table));
    const int columns = s ? s->Columns() : 0;
    return columns > 0 && index >= 0 ? index % columns : -1;
}

gint TableGetRowAtIndex(AtkTable* table, gint index)
{
    auto s = StateOf(ATK_OBJECT(table));
    const int columns = s ? s->Columns() : 0;
    return columns > 0 && index >= columns ? index / columns - 1 : -1;
}

gint TableGetNColumns(AtkTable* table)
{
    auto s = StateOf(ATK_OBJECT(table));
    return s ? s->Columns() : 0;
}

gint TableGetNRows(AtkTable* table)
{
    auto s = StateOf(ATK_OBJECT(table));
    return s ? s->Rows() : 0;
}

AtkObject* TableGetColumnHeader(AtkTable* table, gint column)
{
    auto s = StateOf(ATK_OBJECT(table));
    return s ? s->Header(column) : nullptr;
}

const gchar* TableGetColumnDescription(AtkTable* table, gint column)
{
    AtkObject* header = TableGetColumnHeader(table, column);
    return header ? atk_object_get_name(header) : nullptr;
}

gboolean TableIsRowSelected(AtkTable* table, gint row)
{
    auto s = StateOf(ATK_OBJECT(table));
    return s && s->RowSelected(row);
}

gboolean TableIsSelected(AtkTable* table, gint row, gint)
{
    return TableIsRowSelected(table, row);
}

std::vector<int> SelectedRows(const ListState& s)
{
    std::vector<int> rows;
    if (!s.list)
        return rows;
    for (long i = s.list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); i >= 0;
         i = s.list->GetNextItem(i, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
        rows.push_back(static_cast<int>(i));
    return rows;
}

gint TableGetSelectedRows(AtkTable* table, gint** selected)
{
    auto s = StateOf(ATK_OBJECT(table));
    const std::vector<int> rows = s ? SelectedRows(*s) : std::vector<int>();
    if (selected) {
        *selected = rows.empty() ? nullptr : g_new(gint, rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i)
            (*selected)[i] = rows[i];
    }
    return static_cast<gint>(rows.size());
}

// Selecting from a screen reader does what a click does.
gboolean SelectRow(ListState& s, int row, bool select)
{
    if (!s.list || row < 0 || row >= s.Rows())
        return FALSE;
    const long mask = wxLIST_STATE_SELECTED | (select ? wxLIST_STATE_FOCUSED : 0);
    s.list->SetItemState(row, select ? mask : 0, mask);
    return TRUE;
}

gboolean TableAddRowSelection(AtkTable* table, gint row)
{
    auto s = StateOf(ATK_OBJECT(table));
    return s && SelectRow(*s, row, true);
}

gboolean TableRemoveRowSelection(AtkTable* table, gint row)
{
    auto s = StateOf(ATK_OBJECT(table));
    return s && SelectRow(*s, row, false);
}

void orv_table_table_init(AtkTableIface* iface)
{
    iface->ref_at = TableRefAt;
    iface->get_index_at = TableGetIndexAt;
    iface->get_column_at_index = TableGetColumnAtIndex;
    iface->get_row_at_index = TableGetRowAtIndex;
    iface->get_n_columns = TableGetNColumns;
    iface->get_n_rows = TableGetNRows;
    iface->get_column_header = TableGetColumnHeader;
    iface->get_column_description = TableGetColumnDescription;
    iface->is_row_selected = TableIsRowSelected;
    iface->is_selected = TableIsSelected;
    iface->get_selected_rows = TableGetSelectedRows;
    iface->add_row_selection = TableAddRowSelection;
    iface->remove_row_selection = TableRemoveRowSelection;
}

// As GTK's own tables: the selection is made of rows, each given by its
// first cell.
gboolean SelectionAdd(AtkSelection* selection, gint i)
{
    return TableAddRowSelection(ATK_TABLE(selection), TableGetRowAtIndex(ATK_TABLE(selection), i));
}

gboolean SelectionClear(AtkSelection* selection)
{
    auto s = StateOf(ATK_OBJECT(selection));
    if (!s)
        return FALSE;
    for (int row : SelectedRows(*s))
        SelectRow(*s, row, false);
    return TRUE;
}

AtkObject* SelectionRef(AtkSelection* selection, gint i)
{
    auto s = StateOf(ATK_OBJECT(selection));
    if (!s)
        return nullptr;
    const std::vector<int> rows = SelectedRows(*s);
    if (i < 0 || i >= static_cast<int>(rows.size()))
        return nullptr;
    AtkObject* cell = s->Cell(rows[static_cast<std::size_t>(i)], 0);
    return cell ? ATK_OBJECT(g_object_ref(cell)) : nullptr;
}

gint SelectionCount(AtkSelection* selection)
{
    return TableGetSelectedRows(ATK_TABLE(selection), nullptr);
}

gboolean SelectionIsChildSelected(AtkSelection* selection, gint i)
{
    return TableIsRowSelected(ATK_TABLE(selection), TableGetRowAtIndex(ATK_TABLE(selection), i));
}

gboolean SelectionRemove(AtkSelection* selection, gint i)
{
    auto s = StateOf(ATK_OBJECT(selection));
    if (!s)
        return FALSE;
    const std::vector<int> rows = SelectedRows(*s);
    return i >= 0 && i < static_cast<int>(rows.size()) &&
           SelectRow(*s, rows[static_cast<std::size_t>(i)], false);
}

void orv_table_selection_init(AtkSelectionIface* iface)
{
    iface->add_selection = SelectionAdd;
    iface->clear_selection = SelectionClear;
    iface->ref_selection = SelectionRef;
    iface->get_selection_count = SelectionCount;
    iface->is_child_selected = SelectionIsChildSelected;
    iface->remove_selection = SelectionRemove;
}

G_DEFINE_TYPE_WITH_CODE(OrvTable, orv_table, GTK_TYPE_WIDGET_ACCESSIBLE,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_TABLE, orv_table_table_init)
                            G_IMPLEMENT_INTERFACE(ATK_TYPE_SELECTION, orv_table_selection_init))

void orv_table_init(OrvTable* table)
{
    table->state = new std::weak_ptr<ListState>;
}

void TableFinalize(GObject* obj)
{
    delete reinterpret_cast<OrvTable*>(obj)->state;
    G_OBJECT_CLASS(orv_table_parent_class)->finalize(obj);
}

void orv_table_class_init(OrvTableClass* klass)
{
    G_OBJECT_CLASS(klass)->finalize = TableFinalize;
    AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
    atk->initialize = TableInitialize;
    atk->get_name = TableGetName;
    atk->get_n_children = TableGetNChildren;
    atk->ref_child = TableRefChild;
    atk->ref_state_set = TableRefStateSet;
    atk->ref_relation_set = TableRefRelationSet;
}

// ------------------------------------------- the list's widget, and its news
GQuark StateQuark()
{
    static const GQuark quark = g_quark_from_static_string("orvane-list-table");
    return quark;
}

using GetAccessibleFn = AtkObject* (*)(GtkWidget*);
std::map<GType, GetAccessibleFn>& Originals()
{
    static std::map<GType, GetAccessibleFn> originals;
    return originals;
}

AtkObject* GetAccessible(GtkWidget* widget)
{
    auto* held = static_cast<std::shared_ptr<ListState>*>(g_object_get_qdata(G_OBJECT(widget), StateQuark()));
    if (held && (*held)->list) {
        ListState& s = **held;
        if (!s.table) {
            auto* obj = static_cast<AtkObject*>(g_object_new(orv_table_get_type(), nullptr));
            *reinterpret_cast<OrvTable*>(obj)->state = *held;
            gtk_accessible_set_widget(GTK_ACCESSIBLE(obj), widget);
            atk_object_initialize(obj, widget);
            s.table = obj;
        }
        return s.table;
    }
    for (GType type = G_TYPE_FROM_INSTANCE(widget); type; type = g_type_parent(type)) {
        const auto original = Originals().find(type);
        if (original != Originals().end())
            return original->second(widget);
    }
    return nullptr;
}

// The widget's class hands out the table for this widget; every other
// widget of the class keeps its own accessible.
void HookClass(GtkWidget* widget)
{
    GtkWidgetClass* klass = GTK_WIDGET_GET_CLASS(widget);
    if (klass->get_accessible == GetAccessible)
        return;
    Originals()[G_TYPE_FROM_CLASS(klass)] = klass->get_accessible;
    klass->get_accessible = GetAccessible;
}

GtkWidget* FocusWidget(wxWindow* window)
{
    auto* widget = static_cast<GtkWidget*>(window->GetHandle());
    if (widget && !gtk_widget_get_can_focus(widget) && GTK_IS_BIN(widget))
        widget = gtk_bin_get_child(GTK_BIN(widget));
    return widget;
}

void OnInserted(ListState& s, int row)
{
    if (!s.table)
        return;
    const int columns = s.Columns();
    if (s.cells.size() + 1 == static_cast<std::size_t>(s.Rows()) && row >= 0 &&
        row <= static_cast<int>(s.cells.size()) && s.headers.size() == static_cast<std::size_t>(columns)) {
        s.cells.insert(s.cells.begin() + row,
                       std::vector<AtkObject*>(static_cast<std::size_t>(columns), nullptr));
        for (std::size_t r = static_cast<std::size_t>(row) + 1; r < s.cells.size(); ++r)
            for (AtkObject* cell : s.cells[r])
                if (cell)
                    DataOf(cell)->row = static_cast<int>(r);
    } else {
        s.Sync();
    }
    g_signal_emit_by_name(s.table, "row-inserted", row, 1);
    for (int c = 0; c < columns; ++c)
        if (AtkObject* cell = s.Cell(row, c))
            g_signal_emit_by_name(s.table, "children-changed::add", columns * (row + 1) + c, cell);
}

void OnAllDeleted(ListState& s)
{
    if (!s.table)
        return;
    const int rows = static_cast<int>(s.cells.size());
    const int columns = static_cast<int>(s.headers.size());
    std::vector<std::vector<AtkObject*>> gone;
    gone.swap(s.cells);
    s.focused = nullptr;
    for (int r = rows - 1; r >= 0; --r)
        for (int c = columns - 1; c >= 0; --c)
            if (AtkObject* cell = gone[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)])
                g_signal_emit_by_name(s.table, "children-changed::remove", columns * (r + 1) + c, cell);
    if (rows > 0)
        g_signal_emit_by_name(s.table, "row-deleted", 0, rows);
    for (auto& row : gone)
        for (AtkObject* cell : row)
            Drop(cell);
}

void OnSelection(ListState& s, int row, bool selected)
{
    if (!s.table || row < 0 || row >= static_cast<int>(s.cells.size()))
        return;
    for (AtkObject* cell : s.cells[static_cast<std::size_t>(row)])
        if (cell)
            atk_object_notify_state_change(cell, ATK_STATE_SELECTED, selected);
    g_signal_emit_by_name(s.table, "selection-changed");
}

void OnFocus(ListState& s, int row)
{
    if (!s.table || !s.HasFocus())
        return;
    AtkObject* cell = s.Cell(row, 0);
    if (!cell || cell == s.focused)
        return;
    if (s.focused)
        atk_object_notify_state_change(s.focused, ATK_STATE_FOCUSED, FALSE);
    s.focused = cell;
    atk_object_notify_state_change(cell, ATK_STATE_FOCUSED, TRUE);
    g_signal_emit_by_name(s.table, "active-descendant-changed", cell);
}

GQuark NamedQuark()
{
    static const GQuark quark = g_quark_from_static_string("orvane-named");
    return quark;
}

// A label made the mnemonic label of a named control lets go of it.
void OnMnemonicWidget(GObject* label, GParamSpec*, gpointer)
{
    GtkWidget* target = gtk_label_get_mnemonic_widget(GTK_LABEL(label));
    if (target && g_object_get_qdata(G_OBJECT(target), NamedQuark()))
        gtk_label_set_mnemonic_widget(GTK_LABEL(label), nullptr);
}

void WatchLabels(GtkWidget* widget)
{
    static const GQuark watched = g_quark_from_static_string("orvane-label-watched");
    if (GTK_IS_LABEL(widget) && !g_object_get_qdata(G_OBJECT(widget), watched)) {
        g_object_set_qdata(G_OBJECT(widget), watched, GINT_TO_POINTER(1));
        g_signal_connect(widget, "notify::mnemonic-widget", G_CALLBACK(OnMnemonicWidget), nullptr);
    }
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(
            GTK_CONTAINER(widget), [](GtkWidget* child, gpointer) { WatchLabels(child); }, nullptr);
}

void OnFocusOut(ListState& s)
{
    if (s.table && s.focused)
        atk_object_notify_state_change(s.focused, ATK_STATE_FOCUSED, FALSE);
    s.focused = nullptr;
}

void OnFocusIn(ListState& s)
{
    OnFocusOut(s);
    if (s.list)
        OnFocus(s, s.FocusedRow());
}

}  // namespace

namespace afx {

void ExposeListAsTable(wxListCtrl* list)
{
    if (!list || !list->InReportView())
        return;
    wxWindow* body = nullptr;
    wxWindow* header = nullptr;
    for (wxWindow* child : list->GetChildren()) {
        GtkWidget* widget = FocusWidget(child);
        if (widget && gtk_widget_get_can_focus(widget))
            body = child;
        else
            header = child;
    }
    GtkWidget* widget = body ? FocusWidget(body) : nullptr;
    if (!widget || g_object_get_qdata(G_OBJECT(widget), StateQuark()))
        return;
    auto state = std::make_shared<ListState>();
    state->list = list;
    state->body = body;
    state->header = header;
    g_object_set_qdata_full(G_OBJECT(widget), StateQuark(), new std::shared_ptr<ListState>(state),
                            [](gpointer held) { delete static_cast<std::shared_ptr<ListState>*>(held); });
    HookClass(widget);

    // Passed on, never consumed: the dialog sees every notification as before.
    list->Bind(wxEVT_LIST_INSERT_ITEM, [state](wxListEvent& event) {
        OnInserted(*state, static_cast<int>(event.GetIndex()));
        event.Skip();
    });
    list->Bind(wxEVT_LIST_DELETE_ALL_ITEMS, [state](wxListEvent& event) {
        OnAllDeleted(*state);
        event.Skip();
    });
    list->Bind(wxEVT_LIST_DELETE_ITEM, [state](wxListEvent& event) {
        OnAllDeleted(*state);  // the cells that stay are made again when asked for
        event.Skip();
    });
    list->Bind(wxEVT_LIST_ITEM_SELECTED, [state](wxListEvent& event) {
        OnSelection(*state, static_cast<int>(event.GetIndex()), true);
        event.Skip();
    });
    list->Bind(wxEVT_LIST_ITEM_DESELECTED, [state](wxListEvent& event) {
        OnSelection(*state, static_cast<int>(event.GetIndex()), false);
        event.Skip();
    });
    list->Bind(wxEVT_LIST_ITEM_FOCUSED, [state](wxListEvent& event) {
        OnFocus(*state, static_cast<int>(event.GetIndex()));
        event.Skip();
    });
    // Back in the list, a screen reader hears which row has the focus.
    body->Bind(wxEVT_SET_FOCUS, [state](wxFocusEvent& event) {
        OnFocusIn(*state);
        event.Skip();
    });
    body->Bind(wxEVT_KILL_FOCUS, [state](wxFocusEvent& event) {
        OnFocusOut(*state);
        event.Skip();
    });
    // Whichever goes first, nothing is read from the list after it.
    const auto forget = [state](wxWindowDestroyEvent& event) {
        state->Forget();
        event.Skip();
    };
    list->Bind(wxEVT_DESTROY, forget, list->GetId());
    body->Bind(wxEVT_DESTROY, forget, body->GetId());
}

void SetAccessibleName(wxWindow* control, const wxString& name)
{
    auto* widget = control ? static_cast<GtkWidget*>(control->GetHandle()) : nullptr;
    AtkObject* accessible = widget ? gtk_widget_get_accessible(widget) : nullptr;
    if (!accessible)
        return;
    atk_object_set_name(accessible, name.utf8_str());
    // wx makes a label the mnemonic label of the next control in tab order
    // (on idle, again whenever the order changes), and ATK turns that into
    // "labelled by". A named control keeps no such label.
    g_object_set_qdata(G_OBJECT(widget), NamedQuark(), GINT_TO_POINTER(1));
    if (GtkWidget* top = gtk_widget_get_toplevel(widget))
        WatchLabels(top);
    GList* mnemonic = gtk_widget_list_mnemonic_labels(widget);
    for (GList* l = mnemonic; l; l = l->next)
        if (GTK_IS_LABEL(l->data))
            OnMnemonicWidget(G_OBJECT(l->data), nullptr, nullptr);
    g_list_free(mnemonic);
    AtkRelationSet* relations = atk_object_ref_relation_set(accessible);
    if (AtkRelation* by = atk_relation_set_get_relation_by_type(relations, ATK_RELATION_LABELLED_BY)) {
        GPtrArray* targets = atk_relation_get_target(by);
        std::vector<AtkObject*> labels;
        for (guint i = 0; targets && i < targets->len; ++i)
            labels.push_back(ATK_OBJECT(g_object_ref(g_ptr_array_index(targets, i))));
        for (AtkObject* label : labels) {
            atk_object_remove_relationship(accessible, ATK_RELATION_LABELLED_BY, label);
            atk_object_remove_relationship(label, ATK_RELATION_LABEL_FOR, accessible);
            g_object_unref(label);
        }
    }
    g_object_unref(relations);
}

}  // namespace afx
