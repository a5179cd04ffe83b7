// The host list's ATK cells (component and table cell), and the cache of
// them the table keeps: a cell reads its text, place and states from the
// list whenever asked.
#include "platform/ui/afxaccess_gtk_impl.h"

namespace afx_atk {

// ------------------------------------------------------------- the cache
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

namespace {

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

}  // namespace

AtkObject* ListState::Object(int row, int column)
{
    Sync();
    if (!table || row < -1 || column < 0 || row >= static_cast<int>(cells.size()) ||
        column >= static_cast<int>(headers.size()))
        return nullptr;
    const auto c = static_cast<std::size_t>(column);
    AtkObject*& slot = row < 0 ? headers[c] : cells[static_cast<std::size_t>(row)][c];
    if (!slot)
        slot = NewCell(*this, StateOf(table), row, column);
    return slot;
}

// --------------------------------------------------------------- the cell
namespace {

struct OrvCellClass {
    AtkObjectClass parent_class;
};

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

// How far the column starts from the left of a row.
int ColumnX(const wxListCtrl& list, int column)
{
    int x = 0;
    for (int c = 0; c < column; ++c)
        x += list.GetColumnWidth(c);
    return x;
}

// The cell's rectangle in the list's client coordinates.
bool CellRect(const ListState& s, const CellData& d, wxRect* rect)
{
    if (d.row < 0) {
        if (!s.header || !s.list)
            return false;
        const wxPoint origin = s.list->ScreenToClient(s.header->GetScreenPosition());
        *rect = wxRect(origin.x + ColumnX(*s.list, d.column), origin.y, s.list->GetColumnWidth(d.column),
                       s.header->GetSize().y);
        return true;
    }
    wxRect row;
    if (!s.list->GetItemRect(d.row, row))
        return false;
    *rect = wxRect(row.x + ColumnX(*s.list, d.column), row.y, s.list->GetColumnWidth(d.column), row.height);
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
    return s ? RefOrNull(s->table) : nullptr;
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

}  // namespace

G_DEFINE_TYPE_WITH_CODE(OrvCell, orv_cell, ATK_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_COMPONENT, orv_cell_component_init)
                            G_IMPLEMENT_INTERFACE(ATK_TYPE_TABLE_CELL, orv_cell_table_cell_init))

void orv_cell_init(OrvCell* cell)
{
    cell->d = new CellData;
}

namespace {

void CellFinalize(GObject* obj)
{
    delete reinterpret_cast<OrvCell*>(obj)->d;
    G_OBJECT_CLASS(orv_cell_parent_class)->finalize(obj);
}

}  // namespace

void orv_cell_class_init(OrvCellClass* klass)
{
    G_OBJECT_CLASS(klass)->finalize = CellFinalize;
    AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
    atk->get_name = CellGetName;
    atk->get_index_in_parent = CellGetIndexInParent;
    atk->ref_state_set = CellRefStateSet;
}

}  // namespace afx_atk
