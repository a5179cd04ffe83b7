// The geometry of a dialog template: its sizes and positions in dialog
// units, applied with the dialog's final font.
#include "platform/ui/afxdlgimpl.h"

#include <wx/xml/xml.h>
#include <wx/xrc/xmlres.h>

#include <vector>

namespace {

// "x,yd" in dialog units.
bool ParseDialogUnits(const wxString& text, int* a, int* b)
{
    wxString t = text;
    t.Trim(true).Trim(false);
    if (!t.EndsWith(wxS("d")))
        return false;
    t.RemoveLast();
    long x = 0, y = 0;
    wxString first = t.BeforeFirst(wxS(','));
    wxString second = t.AfterFirst(wxS(','));
    if (!first.Trim().Trim(false).ToLong(&x) || !second.Trim().Trim(false).ToLong(&y))
        return false;
    *a = static_cast<int>(x);
    *b = static_cast<int>(y);
    return true;
}

const wxXmlNode* ChildElement(const wxXmlNode* node, const wxString& name)
{
    for (const wxXmlNode* c = node->GetChildren(); c; c = c->GetNext())
        if (c->GetType() == wxXML_ELEMENT_NODE && c->GetName() == name)
            return c;
    return nullptr;
}

}  // namespace

void CDialog::AfxApplyTemplateGeometry(const wxString& name)
{
    // The template's dialog units are converted with the dialog's final
    // font; the loader converts the dialog's own size before the font is
    // set, so both are applied again here.
    const wxXmlNode* node = wxXmlResource::Get()->GetResourceNode(name);
    if (!node)
        return;
    int w = 0, h = 0;
    if (const wxXmlNode* size = ChildElement(node, wxS("size"));
        size && ParseDialogUnits(size->GetNodeContent(), &w, &h))
        SetClientSize(ConvertDialogToPixels(wxSize(w, h)));

    std::vector<const wxXmlNode*> objects;
    for (const wxXmlNode* c = node->GetChildren(); c; c = c->GetNext())
        if (c->GetType() == wxXML_ELEMENT_NODE && c->GetName() == wxS("object"))
            objects.push_back(c);
    const wxWindowList& children = GetChildren();
    if (objects.size() != children.size())
        return;
    std::size_t i = 0;
    for (wxWindow* child : children) {
        const wxXmlNode* object = objects[i++];
        const wxXmlNode* pos = ChildElement(object, wxS("pos"));
        const wxXmlNode* size = ChildElement(object, wxS("size"));
        int x = 0, y = 0;
        if (!pos || !size || !ParseDialogUnits(pos->GetNodeContent(), &x, &y) ||
            !ParseDialogUnits(size->GetNodeContent(), &w, &h))
            continue;
        child->SetSize(wxRect(ConvertDialogToPixels(wxPoint(x, y)), ConvertDialogToPixels(wxSize(w, h))));
    }
}
