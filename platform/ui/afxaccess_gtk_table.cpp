// The host list's ATK table (table and selection) over the widget that takes
// the list's focus: rows, columns, headers and the selection are read from
// the list when asked; selecting from a screen reader selects in the list.
#include "platform/ui/afxaccess_gtk_impl.h"

namespace afx_atk {
namespace {

struct OrvTableClass {
    GtkWidgetAccessibleClass parent_class;
};

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
    return RefOrNull(i < columns ? s->Header(i) : s->Cell(i / columns - 1, i % columns));
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
    return s ? RefOrNull(s->Cell(row, column)) : nullptr;
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
    return RefOrNull(s->Cell(rows[static_cast<std::size_t>(i)], 0));
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

}  // namespace

G_DEFINE_TYPE_WITH_CODE(OrvTable, orv_table, GTK_TYPE_WIDGET_ACCESSIBLE,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_TABLE, orv_table_table_init)
                            G_IMPLEMENT_INTERFACE(ATK_TYPE_SELECTION, orv_table_selection_init))

void orv_table_init(OrvTable* table)
{
    table->state = new std::weak_ptr<ListState>;
}

namespace {

void TableFinalize(GObject* obj)
{
    delete reinterpret_cast<OrvTable*>(obj)->state;
    G_OBJECT_CLASS(orv_table_parent_class)->finalize(obj);
}

}  // namespace

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

}  // namespace afx_atk
